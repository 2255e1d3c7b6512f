#pragma once
// Our scale protocol over TCP (docs/protocol.md): framed messages with a
// length limit and a CRC-32, a greeting that names the scale, batched
// writes, deletes, paged reads and the list of PLU digests. Used by the
// scale communication component and by the scale simulator.
//
// Every length a peer sends is checked against the frame it came in and
// against the limit before anything is allocated or read: no input can make
// either side read past its buffer, allocate without bound or wait forever.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVector>
#include <optional>

namespace korvo::proto {

inline constexpr quint16 kDefaultPort = 5120;
inline constexpr quint8 kVersion = 1;
inline constexpr quint32 kMaxPayload = 1u << 20; // 1 MiB
inline constexpr int kHeaderSize = 12;             // magic 2, version 1, type 1, seq 4, length 4
inline constexpr int kTrailerSize = 4;             // CRC-32
inline constexpr int kDigestSize = 8;
inline constexpr quint8 kReplyBit = 0x80;
inline constexpr quint8 kReplaceAll = 0x01; // WriteDept / WriteMg flag

enum Type : quint8 {
    Hello = 0x01,
    WriteDept = 0x02,
    WriteMg = 0x03,
    WritePlu = 0x04,
    DeletePlu = 0x05,
    DeleteAllPlu = 0x06,
    ReadPlu = 0x07,
    ListPlu = 0x08,
    Bye = 0x09,
};

enum Code : quint16 {
    Ok = 0,
    BadFrame = 1,
    UnknownType = 2,
    BadPayload = 3,
    WrongScale = 4,
    NotGreeted = 5,
    StoreFull = 6,
    StoreFailed = 7,
    Refused = 8,
    BadRecord = 9,
    BadVersion = 10,
};

QString TypeName(quint8 type);
QString CodeName(quint16 code);

// CRC-32 as zlib and Ethernet compute it (reflected 0xEDB88320, initial and
// final value 0xFFFFFFFF); crc continues an earlier result.
quint32 Crc32(QByteArrayView data, quint32 crc = 0);

// First 8 bytes of the SHA-256 of a record: how a scale and the PC tell
// whether they hold the same record.
QByteArray RecordDigest(QByteArrayView record);

QByteArray BuildFrame(quint8 type, quint32 seq, QByteArrayView payload);

struct Frame {
    quint8 type = 0;
    quint32 seq = 0;
    QByteArray payload;
};

// Cuts frames out of a byte stream. After an error (bad magic, version,
// a length over the limit, a wrong checksum) it stays failed: the stream
// cannot be resynchronised and the connection is to be closed.
class FrameReader {
public:
    explicit FrameReader(quint32 maxPayload = kMaxPayload) : m_max(maxPayload) {}
    void feed(QByteArrayView bytes);
    enum class Status { NeedMore, Frame, Error };
    Status next(Frame &out);
    QString error() const { return m_error; }
    qsizetype buffered() const { return m_buf.size() - m_pos; }

private:
    Status fail(const QString &why);
    QByteArray m_buf;
    qsizetype m_pos = 0;
    quint32 m_max;
    QString m_error;
};

// Big-endian writing and bounds-checked reading of payloads. A reader that
// ran past its end stays !ok() and gives zeros.
class Writer {
public:
    Writer &u8(quint8 v);
    Writer &u16(quint16 v);
    Writer &u32(quint32 v);
    Writer &bytes(QByteArrayView b);
    Writer &text16(const QString &utf8Text); // u16 length + UTF-8
    QByteArray data;
};

class Reader {
public:
    // b must outlive the reader: a temporary would leave it reading freed bytes.
    explicit Reader(QByteArrayView b) : m_b(b) {}
    explicit Reader(QByteArray &&) = delete;
    quint8 u8();
    quint16 u16();
    quint32 u32();
    QByteArrayView bytes(qsizetype n);
    QString text16();
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_ok && m_pos == m_b.size(); }
    qsizetype left() const { return m_b.size() - m_pos; }

private:
    bool need(qsizetype n);
    QByteArrayView m_b;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

// A reply: the request's type with kReplyBit, the request's seq, payload =
// code u16, text16, then the body when the code is Ok.
QByteArray ReplyPayload(quint16 code, const QString &text, QByteArrayView body = {});
struct Reply {
    quint16 code = 0;
    QString text;
    QByteArray body;
};
std::optional<Reply> ParseReply(QByteArrayView payload);

struct HelloInfo {
    quint16 version = kVersion;
    quint32 scaleNo = 0;
    QString client;
};
QByteArray HelloPayload(const HelloInfo &h);
std::optional<HelloInfo> ParseHello(QByteArrayView payload);

struct HelloReplyInfo {
    quint32 scaleNo = 0;
    quint32 capacity = 0; // PLUs the scale holds at most, 0: no limit told
    quint32 pluCount = 0;
    quint32 maxPayload = kMaxPayload;
};
QByteArray HelloReplyBody(const HelloReplyInfo &h);
std::optional<HelloReplyInfo> ParseHelloReply(QByteArrayView body);

// A department (parent unused) or main group (parent = its department).
struct NamedEntry {
    quint32 no = 0;
    quint32 parent = 0;
    QByteArray name; // in the scale's code page
};
// A PLU: its number, main group and scale record.
struct PluEntry {
    quint32 plu = 0;
    quint32 mg = 0;
    QByteArray record;
};
struct DigestEntry {
    quint32 plu = 0;
    quint32 mg = 0;
    QByteArray digest;
};

// Payloads of one kind of batch, each at most maxPayload bytes and 65535
// entries. The first dept / main-group batch carries kReplaceAll.
QVector<QByteArray> NamedBatches(quint8 type, const QVector<NamedEntry> &entries, qsizetype maxPayload);
QVector<QByteArray> PluBatches(const QVector<PluEntry> &entries, qsizetype maxPayload);
QVector<QByteArray> DeleteBatches(const QVector<quint32> &plus, qsizetype maxPayload);

// Size of one PLU entry in a WritePlu / ReadPlu payload.
inline qsizetype PluEntrySize(qsizetype recordSize) { return 10 + recordSize; }

std::optional<QVector<NamedEntry>> ParseNamed(quint8 type, QByteArrayView payload, quint8 *flags);
std::optional<QVector<PluEntry>> ParsePluEntries(Reader &r, quint16 count);
std::optional<QVector<quint32>> ParseDelete(QByteArrayView payload);

// ReadPlu / ListPlu request: entries with a PLU number above `after`, at most max.
QByteArray PageRequest(quint32 after, quint16 max);
std::optional<QPair<quint32, quint16>> ParsePageRequest(QByteArrayView payload);

// Reply bodies of ReadPlu and ListPlu: more (u8), count (u16), entries.
QByteArray ReadReplyBody(const QVector<PluEntry> &entries, bool more);
QByteArray ListReplyBody(const QVector<DigestEntry> &entries, bool more);
std::optional<QVector<PluEntry>> ParseReadReply(QByteArrayView body, bool &more);
std::optional<QVector<DigestEntry>> ParseListReply(QByteArrayView body, bool &more);

QByteArray CountBody(quint32 n);
std::optional<quint32> ParseCount(QByteArrayView body);

} // namespace korvo::proto
