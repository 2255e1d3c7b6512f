#pragma once
// One scale's part of a call: a TCP connection that greets the scale and
// sends the requests of its plan one at a time. A connection that breaks
// (refused, closed, timed out, an unreadable reply) is opened again up to
// Retries times and goes on with the first request not yet accepted; a
// refusal with a code ends the scale's part at once.

#include "comm/CommSettings.h"
#include "comm/Protocol.h"
#include "comm/ScaleComm.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class QTcpSocket;

namespace korvo {

struct SessionRequest {
    quint8 type = 0;
    quint32 seq = 0;
    QByteArray frame; // the whole frame, built once
    int units = 0;    // PLUs, departments ... it carries
};

// The requests of one scale's work. It keeps its place across reconnects:
// current() is the same request until accepted() took its reply.
class SessionPlan {
public:
    virtual ~SessionPlan() = default;
    virtual void greeted(const proto::HelloReplyInfo &) {}
    // The request to send, or nullptr when the work is done.
    virtual const SessionRequest *current() = 0;
    // The scale accepted current(); false (the plan unchanged) when the
    // reply body is not what the request asks for.
    virtual bool accepted(const QByteArray &body, QString *error) = 0;
    virtual QString step() const = 0;
    virtual int done() const = 0;
    virtual int total() const = 0;

    int written = 0;
    int deleted = 0;
    int read = 0;
};

struct SessionConfig {
    quint32 ipv4 = 0;
    QString address;
    quint32 scaleNo = 0;
    CommSettings settings;
    bool detailLog = false; // [ZentTCP] DoLog: every step to the log
};

class ScaleSession : public QObject {
    Q_OBJECT
public:
    ScaleSession(SessionConfig config, std::unique_ptr<SessionPlan> plan, QObject *parent = nullptr);
    ~ScaleSession() override;

    void start();
    void cancel();
    SessionPlan &plan() { return *m_plan; }
    // State, failure, attempts, duration and the plan's counts once finished.
    const ScaleResult &result() const { return m_result; }

signals:
    void progress(const QString &step, int done, int total);
    void logLine(const QString &text);
    void finished();

private:
    enum class Phase { Idle, Connecting, Greeting, Working, Closing, Pausing, Finished };
    void attempt();
    void connected();
    void readReplies();
    void handle(const proto::Frame &frame);
    void sendNext();
    void send(quint8 type, quint32 seq, const QByteArray &frame);
    void broken(const QString &reason);
    void finish(ScaleResult::State state, const QString &failure = {});
    void dropSocket(bool graceful);
    void log(const QString &text);

    SessionConfig m_config;
    std::unique_ptr<SessionPlan> m_plan;
    ScaleResult m_result;
    Phase m_phase = Phase::Idle;
    QTcpSocket *m_socket = nullptr;
    proto::FrameReader m_reader;
    QTimer m_timer; // connect, reply and retry pauses
    QElapsedTimer m_clock;
    quint8 m_expectType = 0;
    quint32 m_expectSeq = 0;
};

} // namespace korvo
