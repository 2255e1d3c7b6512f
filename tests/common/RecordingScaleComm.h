#pragma once
// A scale communication component that records its calls and answers from
// a script, for tests of its callers (the send pane, the whole-scale
// commands, the receive window, the component's own window). The real one
// has its own tests against the simulator.

#include "comm/ScaleComm.h"
#include "comm/ScaleList.h"

#include <functional>

namespace korvo::test {

class RecordingScaleComm : public ScaleComm {
public:
    struct Call {
        CommMethod method;
        QString list;
        SyncItems items;
        bool showProgress;
    };
    QVector<Call> calls;
    int cancels = 0;
    // The result of one scale; unset: done, nothing counted.
    std::function<ScaleResult(const ScaleTarget &, CommMethod)> answer;
    // Calls stay open until cancel(), as a call to slow scales does.
    bool holdOpen = false;

    void cancel() override
    {
        ++cancels;
        if (!m_open)
            return;
        m_open = false;
        for (ScaleResult &s : m_result.scales)
            s.state = ScaleResult::State::Cancelled;
        m_result.cancelled = true;
        emit callFinished(m_result, m_show);
    }
    bool isBusy() const override { return m_open; }

protected:
    void begin(CommMethod method, const QString &list, SyncItems items, bool showProgress) override
    {
        calls.push_back({method, list, items, showProgress});
        const ParsedScaleList parsed = ParseScaleList(list);
        m_result = CommCallResult{};
        m_result.method = method;
        m_show = showProgress;
        QStringList addresses;
        for (const ScaleTarget &t : parsed.targets)
            addresses << t.address;
        emit callStarted(method, addresses, showProgress);
        for (int i = 0; i < parsed.targets.size(); ++i) {
            ScaleResult r = answer ? answer(parsed.targets.at(i), method) : ScaleResult{};
            if (!answer)
                r.state = ScaleResult::State::Done;
            r.address = parsed.targets.at(i).address;
            r.scaleNo = parsed.targets.at(i).scaleNo;
            m_result.scales.push_back(r);
            if (holdOpen) {
                m_result.scales.last().state = ScaleResult::State::Running;
                emit scaleProgress(i, QStringLiteral("writing PLUs"), 1, 2);
            } else {
                emit scaleFinished(i, r);
            }
        }
        m_open = holdOpen;
        if (!holdOpen)
            emit callFinished(m_result, showProgress);
    }

private:
    CommCallResult m_result;
    bool m_show = true;
    bool m_open = false;
};

} // namespace korvo::test
