#pragma once
// The scale communication component: the calls of the program (WRFDEPT,
// WRFMG, WRFPLU, WRFPLUByDept, WRFALLPLU, DELRPLU, DELFPLU, RDFPLU,
// SyncPLUFromPCtoScale, HideStatusForm), each taking a scale list text.
//
// This is the interface the callers use; TcpScaleComm is the real one, and
// tests of callers use a recording one. A call serves every scale of its
// list and returns when each is done, with one result per scale. The
// blocking calls keep the event loop running meanwhile, so a window keeps
// painting and can cancel; start() and the signals are the same without
// blocking. One call runs at a time.

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace korvo {

enum class CommMethod {
    WriteDept,      // WRFDEPT
    WriteMg,        // WRFMG
    WritePlu,       // WRFPLU: items are PLU numbers
    WritePluByDept, // WRFPLUByDept: items are department numbers
    WriteAllPlu,    // WRFALLPLU
    DeletePlu,      // DELRPLU: items are PLU numbers
    DeleteAllPlu,   // DELFPLU
    ReadPlu,        // RDFPLU: into RC_PLU
    Sync,           // SyncPLUFromPCtoScale
};

// The call's name as the program knows it ("WRFPLU", ...).
QString CommMethodName(CommMethod method);

// What the items of a synchronisation are. The list cannot tell: a line
// "...,2021,5" may mean department 5 or PLU 5.
enum class SyncItems { Plus, Departments };

struct ScaleResult {
    enum class State { Waiting, Running, Done, Failed, Cancelled };
    QString address;
    quint32 scaleNo = 0;
    State state = State::Waiting;
    QString failure;     // why the scale failed
    QStringList skipped; // what was not done though the scale worked, with the reason
    int written = 0;     // PLUs (departments, main groups) written
    int deleted = 0;
    int read = 0;
    int attempts = 0;
    qint64 ms = 0;
    // Done, and nothing of its work left out.
    bool complete() const { return state == State::Done && skipped.isEmpty(); }
    QString summary() const; // one line for the log and korvoctl
};

// What a scale said when greeted (the configuration's "test connection").
struct ScaleGreeting {
    bool ok = false;
    QString failure;       // why it did not answer
    quint32 scaleNo = 0;   // the number it answered to
    quint32 pluCount = 0;  // PLUs it holds
    quint32 capacity = 0;  // PLUs it holds at most, 0: not told
    qint64 ms = 0;
};

struct CommCallResult {
    CommMethod method = CommMethod::WritePlu;
    QVector<ScaleResult> scales;
    QStringList problems; // list lines skipped, settings or database trouble
    bool cancelled = false;
    bool ok() const;      // no problem and every scale complete
};

class ScaleComm : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    CommCallResult WRFDEPT(const QString &list) { return call(CommMethod::WriteDept, list); }
    CommCallResult WRFMG(const QString &list) { return call(CommMethod::WriteMg, list); }
    CommCallResult WRFPLU(const QString &list) { return call(CommMethod::WritePlu, list); }
    CommCallResult WRFPLUByDept(const QString &list) { return call(CommMethod::WritePluByDept, list); }
    CommCallResult WRFALLPLU(const QString &list) { return call(CommMethod::WriteAllPlu, list); }
    CommCallResult DELRPLU(const QString &list) { return call(CommMethod::DeletePlu, list); }
    CommCallResult DELFPLU(const QString &list) { return call(CommMethod::DeleteAllPlu, list); }
    CommCallResult RDFPLU(const QString &list) { return call(CommMethod::ReadPlu, list); }
    // Brings the scales in line with the database for the scope of the
    // items: none, all PLUs; department numbers, those departments' PLUs;
    // PLU numbers, those PLUs.
    CommCallResult SyncPLUFromPCtoScale(const QString &list, SyncItems items = SyncItems::Plus)
    {
        return call(CommMethod::Sync, list, items);
    }
    // The next call shows no progress; its failures are shown all the same.
    void HideStatusForm(bool hide) { m_hideNext = hide; }

    // Runs a call to its end, the event loop running meanwhile.
    CommCallResult call(CommMethod method, const QString &list, SyncItems items = SyncItems::Plus);
    // Starts a call; false (nothing started) while one runs. Its end comes
    // with callFinished.
    bool start(CommMethod method, const QString &list, SyncItems items = SyncItems::Plus);
    // Greets one scale and parts again, outside the calls above (no
    // progress, no log line of a call); may run beside a call.
    virtual ScaleGreeting greet(const QString &address);
    // Ends the running call: scales not yet done are Cancelled.
    virtual void cancel() = 0;
    virtual bool isBusy() const = 0;

signals:
    void callStarted(korvo::CommMethod method, const QStringList &addresses, bool showProgress);
    // step: what the scale is doing; done of total units of its work.
    void scaleProgress(int index, const QString &step, int done, int total);
    void scaleFinished(int index, const korvo::ScaleResult &result);
    void callFinished(const korvo::CommCallResult &result, bool showProgress);

protected:
    // Runs the call: callStarted first, callFinished last (at once or later).
    virtual void begin(CommMethod method, const QString &list, SyncItems items, bool showProgress) = 0;

private:
    bool m_hideNext = false;
};

} // namespace korvo

Q_DECLARE_METATYPE(korvo::CommMethod)
Q_DECLARE_METATYPE(korvo::ScaleResult)
Q_DECLARE_METATYPE(korvo::CommCallResult)
