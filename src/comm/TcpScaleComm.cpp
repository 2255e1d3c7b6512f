#include "comm/TcpScaleComm.h"

#include "comm/CommSettings.h"
#include "comm/ScaleData.h"
#include "comm/ScaleList.h"
#include "comm/ScaleSession.h"
#include "core/AppState.h"
#include "core/Log.h"
#include "core/PluFields.h"
#include "encoding/RecordDecoder.h"

#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <limits>

namespace korvo {

using namespace proto;

namespace {

// Batches stay well below the frame limit: a reply comes back quickly and a
// retry repeats little.
constexpr qsizetype kBatchPayload = 256 * 1024;
// What one scale may send in a read before it is taken for a faulty one.
constexpr qint64 kMaxReadBytes = 256ll * 1024 * 1024;

using Requests = std::shared_ptr<const QVector<SessionRequest>>;

quint16 entryCount(quint8 type, const QByteArray &payload)
{
    const qsizetype at = (type == WriteDept || type == WriteMg) ? 1 : 0;
    if (payload.size() < at + 2)
        return 0;
    return quint16((quint8(payload[at]) << 8) | quint8(payload[at + 1]));
}

QVector<SessionRequest> framesOf(quint8 type, const QVector<QByteArray> &payloads, quint32 firstSeq)
{
    QVector<SessionRequest> out;
    out.reserve(payloads.size());
    for (const QByteArray &p : payloads) {
        const quint32 seq = firstSeq + quint32(out.size());
        out.push_back({type, seq, BuildFrame(type, seq, p), type == DeleteAllPlu ? 0 : entryCount(type, p)});
    }
    return out;
}

// Requests sent as they are; each reply counts what the scale wrote or
// deleted.
class BatchPlan : public SessionPlan {
public:
    BatchPlan(Requests requests, bool deletes, QString step)
        : m_requests(std::move(requests)), m_deletes(deletes), m_step(std::move(step))
    {
        for (const SessionRequest &r : *m_requests)
            m_total += r.units;
    }
    const SessionRequest *current() override
    {
        return m_i < m_requests->size() ? &m_requests->at(m_i) : nullptr;
    }
    bool accepted(const QByteArray &body, QString *error) override
    {
        const std::optional<quint32> n = ParseCount(body);
        if (!n) {
            *error = QStringLiteral("the scale's count is malformed");
            return false;
        }
        (m_deletes ? deleted : written) += int(*n);
        m_done += m_requests->at(m_i).units;
        ++m_i;
        return true;
    }
    QString step() const override { return m_step; }
    int done() const override { return m_done; }
    int total() const override { return m_total; }

private:
    Requests m_requests;
    bool m_deletes;
    QString m_step;
    qsizetype m_i = 0;
    int m_done = 0, m_total = 0;
};

// Pages through the scale's PLUs (records or digests) in ascending number.
class PagePlan : public SessionPlan {
public:
    explicit PagePlan(quint8 type) : m_type(type) {}
    void greeted(const HelloReplyInfo &h) override { m_expected = int(qMin<quint32>(h.pluCount, 1000000)); }
    const SessionRequest *current() override
    {
        if (!m_more)
            return nullptr;
        if (m_request.frame.isEmpty())
            m_request = {m_type, m_seq, BuildFrame(m_type, m_seq, PageRequest(m_after, 0xFFFF)), 0};
        return &m_request;
    }
    bool accepted(const QByteArray &body, QString *error) override
    {
        bool more = false;
        quint32 last = m_after;
        if (m_type == ReadPlu) {
            const std::optional<QVector<PluEntry>> page = ParseReadReply(body, more);
            if (!page || !ascending(*page, last, error))
                return page ? false : fail(error);
            for (const PluEntry &e : *page)
                m_bytes += e.record.size();
            if (m_bytes > kMaxReadBytes) {
                *error = QStringLiteral("the scale sends more than %1 MiB of PLUs").arg(kMaxReadBytes >> 20);
                return false;
            }
            records += *page;
            read += int(page->size());
        } else {
            const std::optional<QVector<DigestEntry>> page = ParseListReply(body, more);
            if (!page || !ascending(*page, last, error))
                return page ? false : fail(error);
            digests += *page;
        }
        if (more && last == m_after) {
            *error = QStringLiteral("the scale says more PLUs follow but sends none");
            return false;
        }
        m_after = last;
        m_more = more;
        m_request.frame.clear();
        ++m_seq;
        return true;
    }
    QString step() const override { return m_type == ReadPlu ? QStringLiteral("reading") : QStringLiteral("comparing"); }
    int done() const override { return int(m_type == ReadPlu ? records.size() : digests.size()); }
    int total() const override { return qMax(m_expected, done()); }
    bool listed() const { return !m_more; }
    quint32 nextSeq() const { return m_seq; }

    QVector<PluEntry> records;
    QVector<DigestEntry> digests;

private:
    static bool fail(QString *error)
    {
        *error = QStringLiteral("the scale's page of PLUs is malformed");
        return false;
    }
    // Numbers within the PLU range, each above the one before: a scale can
    // neither repeat itself nor page forever.
    template <class Entries>
    bool ascending(const Entries &page, quint32 &last, QString *error) const
    {
        for (const auto &e : page) {
            if (e.plu <= last || e.plu > quint32(kPluNoMax)) {
                *error = QStringLiteral("the scale sent PLU %1 after PLU %2").arg(e.plu).arg(last);
                return false;
            }
            last = e.plu;
        }
        return true;
    }

    quint8 m_type;
    quint32 m_after = 0;
    quint32 m_seq = 1;
    bool m_more = true;
    int m_expected = 0;
    qint64 m_bytes = 0;
    SessionRequest m_request;
};

// What the database holds for a synchronisation, shared by the scales of
// one scope.
struct SyncSource {
    PluSet set;
    QVector<QByteArray> digests; // of set.entries
    PluScope scope = PluScope::All;
    QSet<quint32> scopePlus; // PluScope::Plus
    QSet<quint32> scopeMgs;  // PluScope::Departments

    bool inScope(quint32 plu, quint32 mg) const
    {
        switch (scope) {
        case PluScope::All: return true;
        case PluScope::Plus: return scopePlus.contains(plu);
        case PluScope::Departments: return scopeMgs.contains(mg);
        }
        return false;
    }
};

// Lists the scale's digests, then writes what differs or is missing and
// deletes what the database does not hold.
class SyncPlan : public SessionPlan {
public:
    explicit SyncPlan(std::shared_ptr<const SyncSource> source) : m_source(std::move(source)), m_list(ListPlu) {}
    void greeted(const HelloReplyInfo &h) override { m_list.greeted(h); }
    const SessionRequest *current() override
    {
        if (!m_list.listed())
            return m_list.current();
        if (!m_apply)
            plan();
        return m_apply->current();
    }
    bool accepted(const QByteArray &body, QString *error) override
    {
        if (!m_list.listed())
            return m_list.accepted(body, error);
        if (!m_apply->accepted(body, error))
            return false;
        written = m_apply->written;
        deleted = m_apply->deleted;
        return true;
    }
    QString step() const override { return m_apply ? QStringLiteral("synchronising") : m_list.step(); }
    int done() const override { return m_apply ? m_apply->done() : m_list.done(); }
    int total() const override { return m_apply ? m_apply->total() : m_list.total(); }

private:
    void plan()
    {
        QHash<quint32, QByteArray> onScale;
        QVector<quint32> remove;
        for (const DigestEntry &e : std::as_const(m_list.digests)) {
            onScale.insert(e.plu, e.digest);
            if (m_source->inScope(e.plu, e.mg) && !m_source->set.inDatabase.contains(e.plu))
                remove.push_back(e.plu);
        }
        QVector<PluEntry> send;
        for (qsizetype i = 0; i < m_source->set.entries.size(); ++i) {
            const PluEntry &e = m_source->set.entries.at(i);
            if (onScale.value(e.plu) != m_source->digests.at(i))
                send.push_back(e);
        }
        QVector<SessionRequest> requests = framesOf(WritePlu, PluBatches(send, kBatchPayload), m_list.nextSeq());
        requests += framesOf(DeletePlu, DeleteBatches(remove, kBatchPayload), m_list.nextSeq() + quint32(requests.size()));
        // Write replies count written, delete replies deleted.
        m_apply = std::make_unique<MixedPlan>(std::make_shared<const QVector<SessionRequest>>(std::move(requests)));
    }

    class MixedPlan : public SessionPlan {
    public:
        explicit MixedPlan(Requests r) : m_r(std::move(r)) {}
        const SessionRequest *current() override { return m_i < m_r->size() ? &m_r->at(m_i) : nullptr; }
        bool accepted(const QByteArray &body, QString *error) override
        {
            const std::optional<quint32> n = ParseCount(body);
            if (!n) {
                *error = QStringLiteral("the scale's count is malformed");
                return false;
            }
            (m_r->at(m_i).type == DeletePlu ? deleted : written) += int(*n);
            m_done += m_r->at(m_i).units;
            ++m_i;
            return true;
        }
        QString step() const override { return QStringLiteral("synchronising"); }
        int done() const override { return m_done; }
        int total() const override
        {
            int t = 0;
            for (const SessionRequest &r : *m_r)
                t += r.units;
            return t;
        }

    private:
        Requests m_r;
        qsizetype m_i = 0;
        int m_done = 0;
    };

    std::shared_ptr<const SyncSource> m_source;
    PagePlan m_list;
    std::unique_ptr<MixedPlan> m_apply;
};

// Nothing to do once greeted: the session says goodbye at once.
class GreetPlan : public SessionPlan {
public:
    void greeted(const HelloReplyInfo &h) override { hello = h; }
    const SessionRequest *current() override { return nullptr; }
    bool accepted(const QByteArray &, QString *) override { return true; }
    QString step() const override { return QStringLiteral("greeting"); }
    int done() const override { return 0; }
    int total() const override { return 0; }
    std::optional<HelloReplyInfo> hello;
};

bool plusAreItems(CommMethod m, SyncItems items)
{
    return m == CommMethod::WritePlu || m == CommMethod::DeletePlu || (m == CommMethod::Sync && items == SyncItems::Plus);
}

bool deptsAreItems(CommMethod m, SyncItems items)
{
    return m == CommMethod::WritePluByDept || (m == CommMethod::Sync && items == SyncItems::Departments);
}

QString itemsKey(const QVector<qint64> &items)
{
    QStringList parts;
    for (qint64 i : items)
        parts << QString::number(i);
    return parts.join(u',');
}

} // namespace

struct TcpScaleComm::Call {
    CommMethod method = CommMethod::WritePlu;
    SyncItems items = SyncItems::Plus;
    bool show = true;
    CommSettings settings;
    QVector<ScaleTarget> targets;
    QVector<QStringList> skipped; // per target: items left out before contacting it
    QVector<QPointer<ScaleSession>> sessions;
    QVector<bool> started;
    int next = 0;
    int running = 0;
    int finished = 0;
    bool cancelled = false;
    std::unique_ptr<RecordDecoder> decoder; // RDFPLU
    CommCallResult result;
};

TcpScaleComm::TcpScaleComm(AppState &state, QObject *parent) : ScaleComm(parent), m_state(state)
{
    qRegisterMetaType<CommMethod>();
    qRegisterMetaType<ScaleResult>();
    qRegisterMetaType<CommCallResult>();
}

TcpScaleComm::~TcpScaleComm()
{
    if (m_call) {
        for (const QPointer<ScaleSession> &s : std::as_const(m_call->sessions))
            if (s)
                s->disconnect(this);
    }
}

ScaleGreeting TcpScaleComm::greet(const QString &address)
{
    ScaleGreeting g;
    const std::optional<quint32> ip = ParseIPv4(address);
    SessionConfig config;
    QString problem;
    if (!ip) {
        g.failure = QStringLiteral("\"%1\" is not an IPv4 address").arg(address);
        return g;
    }
    if (!ReadCommSettings(m_state, config.settings, &problem)) {
        g.failure = problem;
        return g;
    }
    config.ipv4 = *ip;
    config.address = address.trimmed();
    config.scaleNo = ScaleNumberOf(address);
    config.detailLog = m_state.settings.DoLog;
    auto owned = std::make_unique<GreetPlan>();
    GreetPlan *plan = owned.get();
    ScaleSession session(config, std::move(owned));
    connect(&session, &ScaleSession::logLine, this, [this](const QString &line) { WriteLog(m_state, QStringLiteral("ZentTCP ") + line); });
    QEventLoop loop;
    connect(&session, &ScaleSession::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    session.start();
    if (session.result().state == ScaleResult::State::Waiting || session.result().state == ScaleResult::State::Running)
        loop.exec();
    const ScaleResult &r = session.result();
    g.ms = r.ms;
    g.ok = r.state == ScaleResult::State::Done && plan->hello.has_value();
    g.failure = g.ok ? QString() : (r.failure.isEmpty() ? QStringLiteral("no greeting came back") : r.failure);
    if (plan->hello) {
        g.scaleNo = plan->hello->scaleNo;
        g.pluCount = plan->hello->pluCount;
        g.capacity = plan->hello->capacity;
    }
    return g;
}

void TcpScaleComm::begin(CommMethod method, const QString &list, SyncItems items, bool showProgress)
{
    m_call = std::make_unique<Call>();
    Call &c = *m_call;
    c.method = method;
    c.items = items;
    c.show = showProgress;
    c.result.method = method;
    const QString name = CommMethodName(method);
    auto problem = [&](const QString &text) {
        c.result.problems << text;
        WriteLog(m_state, QStringLiteral("ZentTCP %1: %2").arg(name, text));
    };

    QString settingsProblem;
    const bool settingsOk = ReadCommSettings(m_state, c.settings, &settingsProblem);
    ParsedScaleList parsed = ParseScaleList(list);
    for (const ScaleListProblem &p : std::as_const(parsed.problems))
        problem(p.describe());
    for (const ScaleTarget &t : std::as_const(parsed.targets)) {
        // Items outside their range never reach a scale: the line is skipped.
        QString bad;
        for (qint64 i : t.items) {
            if (plusAreItems(method, items) && (i < kPluNoMin || i > kPluNoMax))
                bad = QStringLiteral("item %1 is no PLU number (%2 to %3)").arg(i).arg(kPluNoMin).arg(kPluNoMax);
            else if (deptsAreItems(method, items) && (i < 1 || i > std::numeric_limits<qint32>::max()))
                bad = QStringLiteral("item %1 is no department number").arg(i);
            if (!bad.isEmpty())
                break;
        }
        if (!bad.isEmpty())
            problem(QStringLiteral("scale %1 (line %2): %3; nothing is sent to it").arg(t.address).arg(t.lines.first()).arg(bad));
        else
            c.targets.push_back(t);
    }
    QStringList addresses;
    for (const ScaleTarget &t : std::as_const(c.targets)) {
        addresses << t.address;
        ScaleResult r;
        r.address = t.address;
        r.scaleNo = t.scaleNo;
        c.result.scales.push_back(r);
    }
    emit callStarted(method, addresses, showProgress);
    if (!settingsOk) {
        problem(settingsProblem);
        for (ScaleResult &r : c.result.scales) {
            r.state = ScaleResult::State::Failed;
            r.failure = settingsProblem;
        }
        return finishCall();
    }
    if (c.targets.isEmpty() || !prepare(c))
        return finishCall();
    launchNext();
}

bool TcpScaleComm::prepare(Call &c)
{
    const int n = int(c.targets.size());
    c.skipped.resize(n);
    c.sessions.resize(n);
    c.started.fill(false, n);
    QString error;
    auto failAll = [&](const QString &why) {
        c.result.problems << why;
        WriteLog(m_state, QStringLiteral("ZentTCP %1: %2").arg(CommMethodName(c.method), why));
        for (ScaleResult &r : c.result.scales) {
            r.state = ScaleResult::State::Failed;
            r.failure = why;
        }
        return false;
    };

    // One plan source per distinct item set: most lists give every scale
    // the same items, and their frames are built once.
    QHash<QString, Requests> batches;
    QHash<QString, QStringList> notes;
    QHash<QString, std::shared_ptr<const SyncSource>> sources;
    Requests shared;
    if (c.method == CommMethod::WriteDept || c.method == CommMethod::WriteMg) {
        // Every department and main group: the items do not say whether
        // they are PLUs or departments, and a scale needs the department and
        // main group of each PLU it holds.
        QVector<NamedEntry> entries;
        const bool mgs = c.method == CommMethod::WriteMg;
        if (!SelectNamed(m_state, mgs, entries, &error))
            return failAll(error);
        const quint8 type = mgs ? WriteMg : WriteDept;
        shared = std::make_shared<const QVector<SessionRequest>>(framesOf(type, NamedBatches(type, entries, kBatchPayload), 1));
    } else if (c.method == CommMethod::DeleteAllPlu) {
        shared = std::make_shared<const QVector<SessionRequest>>(framesOf(DeleteAllPlu, {QByteArray()}, 1));
    } else if (c.method == CommMethod::ReadPlu) {
        RecordLayout layout;
        if (!LoadRecordLayout(m_state, layout))
            return failAll(QStringLiteral("the descriptor files could not be read; no scale was read"));
        c.decoder = std::make_unique<RecordDecoder>(m_state, std::move(layout));
    }

    for (int i = 0; i < n; ++i) {
        const ScaleTarget &t = c.targets.at(i);
        const QString key = itemsKey(t.items);
        std::unique_ptr<SessionPlan> plan;
        switch (c.method) {
        case CommMethod::WriteDept:
            plan = std::make_unique<BatchPlan>(shared, false, QStringLiteral("writing departments"));
            break;
        case CommMethod::WriteMg:
            plan = std::make_unique<BatchPlan>(shared, false, QStringLiteral("writing main groups"));
            break;
        case CommMethod::DeleteAllPlu:
            plan = std::make_unique<BatchPlan>(shared, true, QStringLiteral("deleting"));
            break;
        case CommMethod::DeletePlu: {
            if (!batches.contains(key)) {
                QVector<quint32> plus;
                for (qint64 item : t.items)
                    plus << quint32(item);
                batches.insert(key, std::make_shared<const QVector<SessionRequest>>(
                                        framesOf(DeletePlu, DeleteBatches(plus, kBatchPayload), 1)));
            }
            plan = std::make_unique<BatchPlan>(batches.value(key), true, QStringLiteral("deleting"));
            break;
        }
        case CommMethod::WritePlu:
        case CommMethod::WritePluByDept:
        case CommMethod::WriteAllPlu: {
            const QString k = c.method == CommMethod::WriteAllPlu ? QString() : key;
            if (!batches.contains(k)) {
                PluSet set;
                const PluScope scope = c.method == CommMethod::WriteAllPlu ? PluScope::All
                    : c.method == CommMethod::WritePlu                   ? PluScope::Plus
                                                                         : PluScope::Departments;
                if (!SelectPlus(m_state, scope, t.items, set, &error))
                    return failAll(error);
                QStringList left = set.unusable;
                for (quint32 m : std::as_const(set.missing))
                    left << QStringLiteral("PLU %1 is not in the database").arg(m);
                notes.insert(k, left);
                batches.insert(k, std::make_shared<const QVector<SessionRequest>>(
                                      framesOf(WritePlu, PluBatches(set.entries, kBatchPayload), 1)));
            }
            c.skipped[i] = notes.value(k);
            plan = std::make_unique<BatchPlan>(batches.value(k), false, QStringLiteral("writing PLUs"));
            break;
        }
        case CommMethod::ReadPlu:
            plan = std::make_unique<PagePlan>(ReadPlu);
            break;
        case CommMethod::Sync: {
            if (!sources.contains(key)) {
                auto source = std::make_shared<SyncSource>();
                source->scope = t.items.isEmpty() ? PluScope::All
                    : c.items == SyncItems::Plus  ? PluScope::Plus
                                                  : PluScope::Departments;
                if (!SelectPlus(m_state, source->scope, t.items, source->set, &error))
                    return failAll(error);
                for (qint64 item : t.items)
                    source->scopePlus.insert(quint32(item));
                if (source->scope == PluScope::Departments && !MainGroupsOf(m_state, t.items, source->scopeMgs, &error))
                    return failAll(error);
                for (const PluEntry &e : std::as_const(source->set.entries))
                    source->digests << RecordDigest(e.record);
                sources.insert(key, source);
                notes.insert(key, source->set.unusable);
            }
            c.skipped[i] = notes.value(key);
            plan = std::make_unique<SyncPlan>(sources.value(key));
            break;
        }
        }
        SessionConfig config;
        config.ipv4 = t.ipv4;
        config.address = t.address;
        config.scaleNo = t.scaleNo;
        config.settings = c.settings;
        config.detailLog = m_state.settings.DoLog;
        auto *session = new ScaleSession(config, std::move(plan), this);
        connect(session, &ScaleSession::progress, this,
                [this, i](const QString &step, int done, int total) { emit scaleProgress(i, step, done, total); });
        connect(session, &ScaleSession::logLine, this, [this](const QString &line) { WriteLog(m_state, QStringLiteral("ZentTCP ") + line); });
        connect(session, &ScaleSession::finished, this, [this, i] { sessionFinished(i); });
        c.sessions[i] = session;
    }
    return true;
}

void TcpScaleComm::launchNext()
{
    Call &c = *m_call;
    while (!c.cancelled && c.running < c.settings.maxParallel && c.next < c.targets.size()) {
        const int i = c.next++;
        c.started[i] = true;
        ++c.running;
        c.result.scales[i].state = ScaleResult::State::Running;
        c.sessions.at(i)->start();
        if (!m_call)
            return; // finished at once (a refused connection on the spot)
    }
}

void TcpScaleComm::sessionFinished(int index)
{
    Call &c = *m_call;
    ScaleSession *session = c.sessions.at(index);
    ScaleResult r = session->result();
    r.skipped = c.skipped.value(index);
    if (c.method == CommMethod::ReadPlu && r.state == ScaleResult::State::Done) {
        // The scale's earlier rows are replaced only by a whole read.
        auto &plan = static_cast<PagePlan &>(session->plan());
        QString error;
        if (!StoreReceived(m_state, *c.decoder, r.address, plan.records, r.skipped, &error)) {
            r.state = ScaleResult::State::Failed;
            r.failure = error;
        }
    }
    c.result.scales[index] = r;
    WriteLog(m_state, QStringLiteral("ZentTCP %1 %2").arg(CommMethodName(c.method), r.summary()));
    session->disconnect(this);
    session->deleteLater();
    --c.running;
    ++c.finished;
    emit scaleFinished(index, r);
    if (c.finished == c.targets.size())
        return finishCall();
    launchNext();
}

void TcpScaleComm::cancel()
{
    if (!m_call || m_call->cancelled)
        return;
    Call &c = *m_call;
    c.cancelled = true;
    c.result.cancelled = true;
    for (int i = 0; i < c.targets.size(); ++i) {
        if (c.started.value(i))
            continue;
        c.started[i] = true;
        c.result.scales[i].state = ScaleResult::State::Cancelled;
        c.result.scales[i].failure = QStringLiteral("cancelled before it was contacted");
        WriteLog(m_state, QStringLiteral("ZentTCP %1 %2").arg(CommMethodName(c.method), c.result.scales.at(i).summary()));
        if (c.sessions.at(i))
            c.sessions.at(i)->deleteLater();
        ++c.finished;
        emit scaleFinished(i, c.result.scales.at(i));
    }
    // Running sessions end now; the last one finishes the call.
    const QVector<QPointer<ScaleSession>> running = c.sessions;
    for (int i = 0; i < running.size() && m_call; ++i) {
        ScaleSession *s = running.at(i);
        if (s && c.result.scales.at(i).state == ScaleResult::State::Running)
            s->cancel();
    }
    if (m_call && m_call->finished == m_call->targets.size())
        finishCall();
}

void TcpScaleComm::finishCall()
{
    const CommCallResult result = std::move(m_call->result);
    const bool show = m_call->show;
    m_call.reset();
    emit callFinished(result, show);
}

} // namespace korvo
