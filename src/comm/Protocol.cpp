#include "comm/Protocol.h"

#include <QCryptographicHash>
#include <array>

namespace korvo::proto {

namespace {

// Slicing-by-8 tables: the frames of a send are megabytes, checked on both
// sides.
struct CrcTables {
    std::array<std::array<quint32, 256>, 8> t{};
};

constexpr CrcTables makeCrcTables()
{
    CrcTables r;
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        r.t[0][i] = c;
    }
    for (quint32 i = 0; i < 256; ++i)
        for (int s = 1; s < 8; ++s)
            r.t[s][i] = (r.t[s - 1][i] >> 8) ^ r.t[0][r.t[s - 1][i] & 0xFF];
    return r;
}

constexpr CrcTables kCrc = makeCrcTables();

quint32 be32(const char *p)
{
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8)
        | quint32(quint8(p[3]));
}

constexpr qsizetype kMaxBatchEntries = 65535;

} // namespace

QString TypeName(quint8 type)
{
    switch (type & ~kReplyBit) {
    case Hello: return QStringLiteral("HELLO");
    case WriteDept: return QStringLiteral("WRITE_DEPT");
    case WriteMg: return QStringLiteral("WRITE_MG");
    case WritePlu: return QStringLiteral("WRITE_PLU");
    case DeletePlu: return QStringLiteral("DELETE_PLU");
    case DeleteAllPlu: return QStringLiteral("DELETE_ALL_PLU");
    case ReadPlu: return QStringLiteral("READ_PLU");
    case ListPlu: return QStringLiteral("LIST_PLU");
    case Bye: return QStringLiteral("BYE");
    default: return QStringLiteral("type 0x%1").arg(type, 2, 16, QLatin1Char('0'));
    }
}

QString CodeName(quint16 code)
{
    switch (code) {
    case Ok: return QStringLiteral("OK");
    case BadFrame: return QStringLiteral("BAD_FRAME");
    case UnknownType: return QStringLiteral("UNKNOWN_TYPE");
    case BadPayload: return QStringLiteral("BAD_PAYLOAD");
    case WrongScale: return QStringLiteral("WRONG_SCALE");
    case NotGreeted: return QStringLiteral("NOT_GREETED");
    case StoreFull: return QStringLiteral("STORE_FULL");
    case StoreFailed: return QStringLiteral("STORE_FAILED");
    case Refused: return QStringLiteral("REFUSED");
    case BadRecord: return QStringLiteral("BAD_RECORD");
    case BadVersion: return QStringLiteral("BAD_VERSION");
    default: return QStringLiteral("code %1").arg(code);
    }
}

quint32 Crc32(QByteArrayView data, quint32 crc)
{
    const auto &t = kCrc.t;
    crc = ~crc;
    const uchar *p = reinterpret_cast<const uchar *>(data.data());
    qsizetype n = data.size();
    while (n >= 8) {
        const quint32 one = (quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24) ^ crc;
        const quint32 two = quint32(p[4]) | quint32(p[5]) << 8 | quint32(p[6]) << 16 | quint32(p[7]) << 24;
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24]
            ^ t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
        p += 8;
        n -= 8;
    }
    while (n-- > 0)
        crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QByteArray RecordDigest(QByteArrayView record)
{
    return QCryptographicHash::hash(record, QCryptographicHash::Sha256).left(kDigestSize);
}

QByteArray BuildFrame(quint8 type, quint32 seq, QByteArrayView payload)
{
    Writer w;
    w.data.reserve(kHeaderSize + payload.size() + kTrailerSize);
    w.u8('K').u8('S').u8(kVersion).u8(type).u32(seq).u32(quint32(payload.size())).bytes(payload);
    w.u32(Crc32(w.data));
    return w.data;
}

// ---------------------------------------------------------------------------

void FrameReader::feed(QByteArrayView bytes)
{
    if (!m_error.isEmpty())
        return;
    if (m_pos > 0 && m_pos >= m_buf.size() / 2) {
        m_buf.remove(0, m_pos);
        m_pos = 0;
    }
    m_buf.append(bytes);
}

FrameReader::Status FrameReader::fail(const QString &why)
{
    m_error = why;
    m_buf.clear();
    m_pos = 0;
    return Status::Error;
}

FrameReader::Status FrameReader::next(Frame &out)
{
    if (!m_error.isEmpty())
        return Status::Error;
    const qsizetype avail = m_buf.size() - m_pos;
    const char *p = m_buf.constData() + m_pos;
    // The header is judged as soon as its first bytes are in: garbage fails
    // at once instead of waiting for a length it announces.
    if (avail >= 1 && p[0] != 'K')
        return fail(QStringLiteral("not a frame of our protocol (bad magic)"));
    if (avail >= 2 && p[1] != 'S')
        return fail(QStringLiteral("not a frame of our protocol (bad magic)"));
    if (avail >= 3 && quint8(p[2]) != kVersion)
        return fail(QStringLiteral("protocol version %1 is not spoken here").arg(quint8(p[2])));
    if (avail < kHeaderSize)
        return Status::NeedMore;
    const quint32 len = be32(p + 8);
    if (len > m_max)
        return fail(QStringLiteral("a frame of %1 bytes exceeds the limit of %2").arg(len).arg(m_max));
    const qsizetype total = kHeaderSize + qsizetype(len) + kTrailerSize;
    if (avail < total)
        return Status::NeedMore;
    if (Crc32(QByteArrayView(p, kHeaderSize + len)) != be32(p + kHeaderSize + len))
        return fail(QStringLiteral("checksum mismatch"));
    out.type = quint8(p[3]);
    out.seq = be32(p + 4);
    out.payload = QByteArray(p + kHeaderSize, len);
    m_pos += total;
    if (m_pos == m_buf.size()) {
        m_buf.clear();
        m_pos = 0;
    }
    return Status::Frame;
}

// ---------------------------------------------------------------------------

Writer &Writer::u8(quint8 v)
{
    data.append(char(v));
    return *this;
}

Writer &Writer::u16(quint16 v)
{
    data.append(char(v >> 8)).append(char(v & 0xFF));
    return *this;
}

Writer &Writer::u32(quint32 v)
{
    data.append(char(v >> 24)).append(char((v >> 16) & 0xFF)).append(char((v >> 8) & 0xFF)).append(char(v & 0xFF));
    return *this;
}

Writer &Writer::bytes(QByteArrayView b)
{
    data.append(b);
    return *this;
}

Writer &Writer::text16(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    utf8.truncate(0xFFFF);
    u16(quint16(utf8.size()));
    return bytes(utf8);
}

bool Reader::need(qsizetype n)
{
    if (!m_ok || n < 0 || m_b.size() - m_pos < n) {
        m_ok = false;
        return false;
    }
    return true;
}

quint8 Reader::u8()
{
    if (!need(1))
        return 0;
    return quint8(m_b[m_pos++]);
}

quint16 Reader::u16()
{
    if (!need(2))
        return 0;
    const quint16 v = quint16((quint8(m_b[m_pos]) << 8) | quint8(m_b[m_pos + 1]));
    m_pos += 2;
    return v;
}

quint32 Reader::u32()
{
    if (!need(4))
        return 0;
    const quint32 v = be32(m_b.data() + m_pos);
    m_pos += 4;
    return v;
}

QByteArrayView Reader::bytes(qsizetype n)
{
    if (!need(n))
        return {};
    const QByteArrayView v = m_b.sliced(m_pos, n);
    m_pos += n;
    return v;
}

QString Reader::text16()
{
    const quint16 n = u16();
    const QByteArrayView b = bytes(n);
    return m_ok ? QString::fromUtf8(b) : QString();
}

// ---------------------------------------------------------------------------

QByteArray ReplyPayload(quint16 code, const QString &text, QByteArrayView body)
{
    Writer w;
    w.u16(code).text16(text);
    if (code == Ok)
        w.bytes(body);
    return w.data;
}

std::optional<Reply> ParseReply(QByteArrayView payload)
{
    Reader r(payload);
    Reply out;
    out.code = r.u16();
    out.text = r.text16();
    if (!r.ok())
        return std::nullopt;
    out.body = r.bytes(r.left()).toByteArray();
    return out;
}

QByteArray HelloPayload(const HelloInfo &h)
{
    Writer w;
    w.u16(h.version).u32(h.scaleNo).text16(h.client);
    return w.data;
}

std::optional<HelloInfo> ParseHello(QByteArrayView payload)
{
    Reader r(payload);
    HelloInfo h;
    h.version = r.u16();
    h.scaleNo = r.u32();
    h.client = r.text16();
    if (!r.atEnd())
        return std::nullopt;
    return h;
}

QByteArray HelloReplyBody(const HelloReplyInfo &h)
{
    Writer w;
    w.u32(h.scaleNo).u32(h.capacity).u32(h.pluCount).u32(h.maxPayload);
    return w.data;
}

std::optional<HelloReplyInfo> ParseHelloReply(QByteArrayView body)
{
    Reader r(body);
    HelloReplyInfo h;
    h.scaleNo = r.u32();
    h.capacity = r.u32();
    h.pluCount = r.u32();
    h.maxPayload = r.u32();
    if (!r.atEnd())
        return std::nullopt;
    return h;
}

QVector<QByteArray> NamedBatches(quint8 type, const QVector<NamedEntry> &entries, qsizetype maxPayload)
{
    QVector<QByteArray> out;
    Writer w;
    quint16 count = 0;
    auto flush = [&](bool always) {
        if (count == 0 && !always)
            return;
        Writer head;
        head.u8(out.isEmpty() ? kReplaceAll : 0).u16(count);
        out.push_back(head.data + w.data);
        w.data.clear();
        count = 0;
    };
    for (const NamedEntry &e : entries) {
        const qsizetype size = (type == WriteMg ? 10 : 6) + qMin<qsizetype>(e.name.size(), 0xFFFF);
        if (count == kMaxBatchEntries || (count > 0 && 3 + w.data.size() + size > maxPayload))
            flush(false);
        w.u32(e.no);
        if (type == WriteMg)
            w.u32(e.parent);
        w.u16(quint16(qMin<qsizetype>(e.name.size(), 0xFFFF))).bytes(e.name.left(0xFFFF));
        ++count;
    }
    // An empty table still goes out once, so that the scale's is emptied.
    flush(out.isEmpty());
    return out;
}

QVector<QByteArray> PluBatches(const QVector<PluEntry> &entries, qsizetype maxPayload)
{
    QVector<QByteArray> out;
    Writer w;
    quint16 count = 0;
    auto flush = [&] {
        if (count == 0)
            return;
        Writer head;
        head.u16(count);
        out.push_back(head.data + w.data);
        w.data.clear();
        count = 0;
    };
    for (const PluEntry &e : entries) {
        if (count == kMaxBatchEntries || (count > 0 && 2 + w.data.size() + PluEntrySize(e.record.size()) > maxPayload))
            flush();
        w.u32(e.plu).u32(e.mg).u16(quint16(e.record.size())).bytes(e.record);
        ++count;
    }
    flush();
    return out;
}

QVector<QByteArray> DeleteBatches(const QVector<quint32> &plus, qsizetype maxPayload)
{
    QVector<QByteArray> out;
    const qsizetype per = qMin<qsizetype>(kMaxBatchEntries, (maxPayload - 2) / 4);
    for (qsizetype i = 0; i < plus.size(); i += per) {
        Writer w;
        const qsizetype n = qMin(per, plus.size() - i);
        w.u16(quint16(n));
        for (qsizetype k = 0; k < n; ++k)
            w.u32(plus.at(i + k));
        out.push_back(w.data);
    }
    return out;
}

std::optional<QVector<NamedEntry>> ParseNamed(quint8 type, QByteArrayView payload, quint8 *flags)
{
    Reader r(payload);
    const quint8 f = r.u8();
    const quint16 count = r.u16();
    QVector<NamedEntry> out;
    // Each entry takes at least 6 bytes: a count beyond what the payload
    // can hold is refused before anything is reserved.
    if (!r.ok() || qsizetype(count) * 6 > r.left())
        return std::nullopt;
    out.reserve(count);
    for (quint16 i = 0; i < count; ++i) {
        NamedEntry e;
        e.no = r.u32();
        if (type == WriteMg)
            e.parent = r.u32();
        const quint16 n = r.u16();
        e.name = r.bytes(n).toByteArray();
        if (!r.ok())
            return std::nullopt;
        out.push_back(e);
    }
    if (!r.atEnd())
        return std::nullopt;
    if (flags)
        *flags = f;
    return out;
}

std::optional<QVector<PluEntry>> ParsePluEntries(Reader &r, quint16 count)
{
    QVector<PluEntry> out;
    if (!r.ok() || qsizetype(count) * 10 > r.left())
        return std::nullopt;
    out.reserve(count);
    for (quint16 i = 0; i < count; ++i) {
        PluEntry e;
        e.plu = r.u32();
        e.mg = r.u32();
        const quint16 n = r.u16();
        e.record = r.bytes(n).toByteArray();
        if (!r.ok())
            return std::nullopt;
        out.push_back(std::move(e));
    }
    return out;
}

std::optional<QVector<quint32>> ParseDelete(QByteArrayView payload)
{
    Reader r(payload);
    const quint16 count = r.u16();
    if (!r.ok() || r.left() != qsizetype(count) * 4)
        return std::nullopt;
    QVector<quint32> out;
    out.reserve(count);
    for (quint16 i = 0; i < count; ++i)
        out.push_back(r.u32());
    return out;
}

QByteArray PageRequest(quint32 after, quint16 max)
{
    Writer w;
    w.u32(after).u16(max);
    return w.data;
}

std::optional<QPair<quint32, quint16>> ParsePageRequest(QByteArrayView payload)
{
    Reader r(payload);
    const quint32 after = r.u32();
    const quint16 max = r.u16();
    if (!r.atEnd())
        return std::nullopt;
    return qMakePair(after, max);
}

QByteArray ReadReplyBody(const QVector<PluEntry> &entries, bool more)
{
    Writer w;
    w.u8(more ? 1 : 0).u16(quint16(entries.size()));
    for (const PluEntry &e : entries)
        w.u32(e.plu).u32(e.mg).u16(quint16(e.record.size())).bytes(e.record);
    return w.data;
}

QByteArray ListReplyBody(const QVector<DigestEntry> &entries, bool more)
{
    Writer w;
    w.u8(more ? 1 : 0).u16(quint16(entries.size()));
    for (const DigestEntry &e : entries)
        w.u32(e.plu).u32(e.mg).bytes(e.digest.left(kDigestSize).leftJustified(kDigestSize, '\0'));
    return w.data;
}

std::optional<QVector<PluEntry>> ParseReadReply(QByteArrayView body, bool &more)
{
    Reader r(body);
    const quint8 m = r.u8();
    const quint16 count = r.u16();
    std::optional<QVector<PluEntry>> out = ParsePluEntries(r, count);
    if (!out || !r.atEnd() || m > 1)
        return std::nullopt;
    more = m == 1;
    return out;
}

std::optional<QVector<DigestEntry>> ParseListReply(QByteArrayView body, bool &more)
{
    Reader r(body);
    const quint8 m = r.u8();
    const quint16 count = r.u16();
    if (!r.ok() || m > 1 || r.left() != qsizetype(count) * (8 + kDigestSize))
        return std::nullopt;
    QVector<DigestEntry> out;
    out.reserve(count);
    for (quint16 i = 0; i < count; ++i) {
        DigestEntry e;
        e.plu = r.u32();
        e.mg = r.u32();
        e.digest = r.bytes(kDigestSize).toByteArray();
        out.push_back(e);
    }
    more = m == 1;
    return out;
}

QByteArray CountBody(quint32 n)
{
    Writer w;
    w.u32(n);
    return w.data;
}

std::optional<quint32> ParseCount(QByteArrayView body)
{
    Reader r(body);
    const quint32 n = r.u32();
    if (!r.atEnd())
        return std::nullopt;
    return n;
}

} // namespace korvo::proto
