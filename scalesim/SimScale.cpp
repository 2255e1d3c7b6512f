#include "SimScale.h"

#include "core/PluFields.h"
#include "encoding/RecordDecoder.h"

#include <QMutex>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

using namespace korvo::proto;

namespace scalesim {

namespace {

QMutex g_sayLock; // stdout is shared by the scales' threads

QString range(const QVector<quint32> &plus)
{
    if (plus.isEmpty())
        return QStringLiteral("none");
    if (plus.size() == 1)
        return QString::number(plus.first());
    return QStringLiteral("%1 ... %2").arg(plus.first()).arg(plus.last());
}

} // namespace

void Say(const QString &line)
{
    QMutexLocker lock(&g_sayLock);
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

struct SimScale::Conn {
    QTcpSocket *socket = nullptr;
    FrameReader reader;
    bool greeted = false;
    int answered = 0;
    bool closing = false;
};

SimScale::SimScale(const QHostAddress &address, quint32 scaleNo, const QString &storeDir, const Faults &faults)
    : m_address(address)
    , m_scaleNo(scaleNo)
    , m_faults(faults)
    , m_store(storeDir + QLatin1Char('/') + address.toString() + QStringLiteral(".journal"))
{
}

SimScale::~SimScale() = default;

QString SimScale::name() const
{
    return QStringLiteral("[%1 %2]").arg(m_address.toString()).arg(m_scaleNo);
}

bool SimScale::listen(quint16 port, QString *error)
{
    if (!m_store.load(error))
        return false;
    m_server = new QTcpServer(this);
    if (!m_server->listen(m_address, port)) {
        if (error)
            *error = m_server->errorString();
        return false;
    }
    m_port = m_server->serverPort();
    connect(m_server, &QTcpServer::newConnection, this, &SimScale::accept);
    return true;
}

void SimScale::accept()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        auto c = std::make_shared<Conn>();
        c->socket = s;
        m_conns.insert(s, c);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { readFrom(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] {
            m_conns.remove(s);
            s->deleteLater();
        });
    }
}

void SimScale::readFrom(QTcpSocket *socket)
{
    const std::shared_ptr<Conn> c = m_conns.value(socket);
    if (!c || c->closing)
        return;
    c->reader.feed(socket->readAll());
    Frame f;
    for (;;) {
        const FrameReader::Status st = c->reader.next(f);
        if (st == FrameReader::Status::NeedMore)
            return;
        if (st == FrameReader::Status::Error) {
            Say(name() + QStringLiteral(" unreadable frame: ") + c->reader.error());
            reply(*c, kReplyBit, 0, BadFrame, c->reader.error());
            c->closing = true;
            socket->disconnectFromHost();
            return;
        }
        if (m_faults.dropAfter >= 0 && c->answered >= m_faults.dropAfter) {
            Say(name() + QStringLiteral(" %1: dropping the connection (--drop-after)").arg(TypeName(f.type)));
            c->closing = true;
            socket->abort();
            return;
        }
        handle(*c, f);
        if (c->closing)
            return;
    }
}

void SimScale::reply(Conn &c, quint8 type, quint32 seq, quint16 code, const QString &text, const QByteArray &body)
{
    ++c.answered;
    QByteArray bytes = m_faults.garbage ? QByteArray("\x00\xFFgarbage from a faulty scale\r\n", 31)
                                        : BuildFrame(type | kReplyBit, seq, ReplyPayload(code, text, body));
    QTcpSocket *s = c.socket;
    if (m_faults.delayMs > 0)
        QTimer::singleShot(m_faults.delayMs, s, [s, bytes] { s->write(bytes); });
    else
        s->write(bytes);
}

QByteArray SimScale::page(quint32 after, quint16 max, bool digests, int &count)
{
    // Room for the reply's code and text besides the body.
    const qsizetype room = kMaxPayload - 64;
    QVector<PluEntry> entries;
    QVector<DigestEntry> list;
    qsizetype size = 3;
    count = 0;
    auto it = m_store.plus().upper_bound(after);
    for (; it != m_store.plus().end() && count < max; ++it) {
        const qsizetype add = digests ? 8 + kDigestSize : PluEntrySize(it->second.record.size());
        if (size + add > room)
            break;
        size += add;
        ++count;
        if (digests)
            list.push_back({it->first, it->second.mg, m_store.digest(it->first)});
        else
            entries.push_back({it->first, it->second.mg, it->second.record});
    }
    const bool more = it != m_store.plus().end();
    return digests ? ListReplyBody(list, more) : ReadReplyBody(entries, more);
}

void SimScale::handle(Conn &c, const Frame &f)
{
    const QString what = TypeName(f.type);
    auto refuse = [&](quint16 code, const QString &text) {
        Say(QStringLiteral("%1 %2: refused, %3 %4").arg(name(), what, CodeName(code), text));
        reply(c, f.type, f.seq, code, text);
    };
    auto done = [&](const QString &said, const QByteArray &body = {}) {
        Say(QStringLiteral("%1 %2%3").arg(name(), what, said.isEmpty() ? QString() : QStringLiteral(" ") + said));
        reply(c, f.type, f.seq, Ok, QStringLiteral("OK"), body);
    };
    if (m_faults.refuse)
        return refuse(Refused, QStringLiteral("the scale refuses all work (scalesim --refuse)"));
    if (f.type != Hello && !c.greeted && f.type <= Bye)
        return refuse(NotGreeted, QStringLiteral("send HELLO first"));

    QString error;
    switch (f.type) {
    case Hello: {
        const auto h = ParseHello(f.payload);
        if (!h)
            return refuse(BadPayload, QStringLiteral("malformed HELLO"));
        if (h->version != kVersion)
            return refuse(BadVersion, QStringLiteral("protocol version %1 is not spoken here").arg(h->version));
        if (h->scaleNo != m_scaleNo)
            return refuse(WrongScale, QStringLiteral("this is scale %1, not %2").arg(m_scaleNo).arg(h->scaleNo));
        if (!m_store.refresh(&error))
            return refuse(StoreFailed, error);
        c.greeted = true;
        HelloReplyInfo info;
        info.scaleNo = m_scaleNo;
        info.capacity = m_faults.capacity;
        info.pluCount = quint32(m_store.plus().size());
        return done(QStringLiteral("from %1, %2 PLUs held").arg(h->client).arg(info.pluCount), HelloReplyBody(info));
    }
    case WriteDept:
    case WriteMg: {
        quint8 flags = 0;
        const auto entries = ParseNamed(f.type, f.payload, &flags);
        if (!entries)
            return refuse(BadPayload, QStringLiteral("malformed %1").arg(what));
        if (!m_store.putNamed(f.type == WriteMg, *entries, flags & kReplaceAll, &error))
            return refuse(StoreFailed, error);
        return done(QStringLiteral("%1 %2").arg(entries->size()).arg(f.type == WriteMg ? "main groups" : "departments"),
                    CountBody(quint32(entries->size())));
    }
    case WritePlu: {
        Reader r(f.payload);
        const quint16 count = r.u16();
        const auto entries = ParsePluEntries(r, count);
        if (!entries || !r.atEnd())
            return refuse(BadPayload, QStringLiteral("malformed WRITE_PLU"));
        QSet<quint32> fresh;
        QVector<quint32> numbers;
        for (const PluEntry &e : *entries) {
            if (e.plu < quint32(korvo::kPluNoMin) || e.plu > quint32(korvo::kPluNoMax))
                return refuse(BadRecord, QStringLiteral("PLU number %1 is out of range").arg(e.plu));
            if (e.record.size() < 6 || !korvo::RecordData(e.record))
                return refuse(BadRecord, QStringLiteral("PLU %1: the record's length bytes do not give its %2 bytes")
                                             .arg(e.plu)
                                             .arg(e.record.size()));
            if (!m_store.plus().count(e.plu))
                fresh.insert(e.plu);
            numbers.push_back(e.plu);
        }
        if (m_faults.capacity > 0 && m_store.plus().size() + fresh.size() > m_faults.capacity)
            return refuse(StoreFull, QStringLiteral("the scale holds at most %1 PLUs").arg(m_faults.capacity));
        if (!m_store.putPlus(*entries, &error))
            return refuse(StoreFailed, error);
        return done(QStringLiteral("%1 PLUs (%2)").arg(entries->size()).arg(range(numbers)),
                    CountBody(quint32(entries->size())));
    }
    case DeletePlu: {
        const auto plus = ParseDelete(f.payload);
        if (!plus)
            return refuse(BadPayload, QStringLiteral("malformed DELETE_PLU"));
        quint32 deleted = 0;
        if (!m_store.deletePlus(*plus, deleted, &error))
            return refuse(StoreFailed, error);
        return done(QStringLiteral("%1 asked (%2), %3 deleted").arg(plus->size()).arg(range(*plus)).arg(deleted),
                    CountBody(deleted));
    }
    case DeleteAllPlu: {
        if (!f.payload.isEmpty())
            return refuse(BadPayload, QStringLiteral("DELETE_ALL_PLU carries nothing"));
        quint32 deleted = 0;
        if (!m_store.deleteAll(deleted, &error))
            return refuse(StoreFailed, error);
        return done(QStringLiteral("%1 deleted").arg(deleted), CountBody(deleted));
    }
    case ReadPlu:
    case ListPlu: {
        const auto req = ParsePageRequest(f.payload);
        if (!req)
            return refuse(BadPayload, QStringLiteral("malformed %1").arg(what));
        int count = 0;
        const QByteArray body = page(req->first, req->second, f.type == ListPlu, count);
        return done(QStringLiteral("%1 PLUs after %2").arg(count).arg(req->first), body);
    }
    case Bye:
        done(QString());
        c.closing = true;
        c.socket->disconnectFromHost();
        return;
    default:
        return refuse(UnknownType, QStringLiteral("message type 0x%1 is not known").arg(f.type, 2, 16, QLatin1Char('0')));
    }
}

} // namespace scalesim
