#pragma once
// The scale communication component over TCP: reads what it sends from the
// database, serves the scales of a call in parallel (at most MaxParallel at
// once, each with its own timeouts and retries, so an offline or slow scale
// costs only its own time), logs one result line per scale and, for
// RDFPLU, stores what it read in RC_PLU.
//
// Database work happens on the calling thread, before the scales are
// contacted and as each finishes; the sockets are asynchronous on the same
// thread's event loop, so the user interface keeps running.

#include "comm/ScaleComm.h"

#include <memory>

namespace korvo {

class AppState;

class TcpScaleComm : public ScaleComm {
    Q_OBJECT
public:
    explicit TcpScaleComm(AppState &state, QObject *parent = nullptr);
    ~TcpScaleComm() override;

    ScaleGreeting greet(const QString &address) override;
    void cancel() override;
    bool isBusy() const override { return m_call != nullptr; }

protected:
    void begin(CommMethod method, const QString &list, SyncItems items, bool showProgress) override;

private:
    struct Call;
    bool prepare(Call &call);
    void launchNext();
    void sessionFinished(int index);
    void finishCall();

    AppState &m_state;
    std::unique_ptr<Call> m_call;
};

} // namespace korvo
