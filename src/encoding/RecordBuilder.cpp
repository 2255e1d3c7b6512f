#include "encoding/RecordBuilder.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/UserInterface.h"
#include "core/Values.h"
#include "encoding/DescriptorFiles.h"
#include "encoding/FieldCodec.h"
#include "encoding/FieldSpecial.h"
#include "encoding/SqliteRowStore.h"
#include "i18n/Language.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <climits>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace korvo {

namespace {

const QString kPluDataSource = QStringLiteral("CreateZentPLUData()");
const QString kFixedDataSource = QStringLiteral("CreateZentFixedData()");
const QString kEanSource = QStringLiteral("CreateEANData()");
const QString kStatusByteAlias = QStringLiteral("korvo_status_byte_");
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kDiscountFigures = 2 * kDiscountBlockBytes;

void fail(AppState &state, const QString &source, const QString &description)
{
    state.errorSource = source;
    ReportError(state, description);
}

QString noColumn(const QString &table, const QString &name)
{
    return QStringLiteral("%1 has no column \"%2\"").arg(table, name);
}

// Column positions of a result by upper-cased name, built once per run
// (QSqlRecord::indexOf walks the fields each time).
class ColumnIndex {
public:
    explicit ColumnIndex(const QSqlRecord &record)
    {
        for (int i = 0; i < record.count(); ++i)
            add(record.fieldName(i), i);
    }
    explicit ColumnIndex(const QStringList &names)
    {
        for (int i = 0; i < names.size(); ++i)
            add(names.at(i), i);
    }
    int operator()(const QString &name) const
    {
        return name.isEmpty() ? -1 : m_index.value(name.toUpper(), -1);
    }

private:
    void add(const QString &name, int i)
    {
        const QString key = name.toUpper();
        if (!m_index.contains(key))
            m_index.insert(key, i);
    }

    QHash<QString, int> m_index;
};

// The rows of a QtSql query, for the encoder and the run.
struct QtSqlRows {
    QSqlQuery &query;
    bool next() { return query.next(); }
    QVariant value(int col) const { return query.value(col); }
};

// Appends a text known to be Latin-1 (hexadecimal figures) as its bytes.
void appendLatin1(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *p = out.data() + at;
    for (QChar c : text)
        *p++ = static_cast<char>(c.unicode());
}

// A Yes/No value is true when its number is not 0, read as SQLite reads a
// value in a condition (a text by its leading number: "True" is false). The
// run of mode ALL lets SQLite test the status flags, so both must agree.
bool isTrue(const QVariant &v)
{
    if (v.isNull())
        return false;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return v.toLongLong() != 0;
    case QMetaType::Int:
        return v.toInt() != 0;
    case QMetaType::Double:
        return v.toDouble() != 0.0;
    case QMetaType::Bool:
        return v.toBool();
    default:
        break;
    }
    const QString text = v.toString();
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) { return k < n ? text.at(k).unicode() : char16_t(0); };
    while (i < n && (at(i) == u' ' || (at(i) >= u'\t' && at(i) <= u'\r')))
        ++i;
    std::string prefix;
    if (at(i) == u'+' || at(i) == u'-')
        prefix += char(at(i++));
    bool mantissa = false;
    while (at(i) >= u'0' && at(i) <= u'9') {
        prefix += char(at(i++));
        mantissa = true;
    }
    if (at(i) == u'.') {
        prefix += '.';
        ++i;
        while (at(i) >= u'0' && at(i) <= u'9') {
            prefix += char(at(i++));
            mantissa = true;
        }
    }
    if (!mantissa)
        return false;
    if (at(i) == u'e' || at(i) == u'E') {
        std::string exp = "e";
        qsizetype j = i + 1;
        if (at(j) == u'+' || at(j) == u'-')
            exp += char(at(j++));
        bool figures = false;
        while (at(j) >= u'0' && at(j) <= u'9') {
            exp += char(at(j++));
            figures = true;
        }
        if (figures)
            prefix += exp;
    }
    return std::strtod(prefix.c_str(), nullptr) != 0.0;
}

bool isMinusOne(const QVariant &v)
{
    if (v.isNull())
        return false;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && d == -1.0;
}

int toInt(const QVariant &v)
{
    if (v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return 0;
    return static_cast<int>(std::clamp(RoundHalfEven(d), -2147483648.0, 2147483647.0));
}

// A column of the current row as far as the encoder needs to tell: numbers
// are taken without a QVariant where the rows can give them so.
template <class Row>
RowCell cellOf(const Row &row, int col)
{
    const QVariant v = row.value(col);
    if (v.isNull())
        return {RowCell::Null};
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return {RowCell::Integer, v.toLongLong()};
    case QMetaType::Double:
        return {RowCell::Real, 0, v.toDouble()};
    default:
        return {RowCell::Other};
    }
}

RowCell cellOf(const SqliteRowStore &row, int col) { return row.cell(col); }

// isTrue, isMinusOne and toInt of a column, as of its value.
template <class Row>
bool cellIsTrue(const Row &row, int col)
{
    const RowCell c = cellOf(row, col);
    switch (c.kind) {
    case RowCell::Null: return false;
    case RowCell::Integer: return c.i != 0;
    case RowCell::Real: return c.d != 0.0;
    case RowCell::Other: break;
    }
    return isTrue(row.value(col));
}

template <class Row>
bool cellIsMinusOne(const Row &row, int col)
{
    const RowCell c = cellOf(row, col);
    switch (c.kind) {
    case RowCell::Null: return false;
    case RowCell::Integer: return c.i == -1;
    case RowCell::Real: return c.d == -1.0;
    case RowCell::Other: break;
    }
    return isMinusOne(row.value(col));
}

template <class Row>
int cellToInt(const Row &row, int col)
{
    const RowCell c = cellOf(row, col);
    if (c.kind == RowCell::Integer)
        return static_cast<int>(std::clamp<qint64>(c.i, -2147483647 - 1, 2147483647));
    return toInt(row.value(col));
}

// ---------------------------------------------------------------------------
// Status bytes

bool statusByte(AppState &state, int first, int &sum)
{
    QVector<StatusFlag> &flags = state.enc.statusFlags;
    sum = 0;
    for (int j = 1; j <= 8; ++j) {
        const int idx = first + j - 1; // flag first + j of the 1-based table
        if (idx < 0 || idx >= flags.size()) {
            fail(state, QStringLiteral("CreateZentStatus (%1)").arg(first),
                 QStringLiteral("Subscript out of range: status flag %1 is not defined "
                                "(PLU_STATUS.dsc defines %2, the record needs 88)")
                     .arg(first + j)
                     .arg(flags.size()));
            return false;
        }
        StatusFlag &f = flags[idx];
        if (f.Suppress != 0)
            f.Value = 0;
        sum += (1 << (j - 1)) * f.Value;
    }
    return true;
}

struct StatusBlocks {
    QByteArray status, statusB, status2, status2B;
};

// out = the status bytes first..last as hexadecimal figures, then zeros
// zero-filled bytes. Written in place: the blocks are rebuilt for every PLU.
void setStatusHex(QByteArray &out, const int *bytes, int count, int zeros)
{
    out.resize(2 * (count + zeros));
    char *p = out.data();
    for (int i = 0; i < count; ++i, p += 2) {
        p[0] = kHexDigits[(bytes[i] >> 4) & 0x0F];
        p[1] = kHexDigits[bytes[i] & 0x0F];
    }
    std::memset(p, '0', size_t(2 * zeros));
}

bool buildStatusBlocks(AppState &state, StatusBlocks &blocks)
{
    int bytes[11];
    QVector<StatusFlag> &flags = state.enc.statusFlags;
    if (flags.size() >= 88) {
        // Every flag is there: statusByte without its checks.
        StatusFlag *f = flags.data();
        for (int n = 0; n < 11; ++n) {
            int sum = 0;
            for (int j = 0; j < 8; ++j, ++f) {
                if (f->Suppress != 0)
                    f->Value = 0;
                sum += (1 << j) * f->Value;
            }
            bytes[n] = sum;
        }
    } else {
        for (int n = 0; n < 11; ++n) {
            if (!statusByte(state, 8 * n, bytes[n]))
                return false;
        }
    }
    setStatusHex(blocks.status, bytes, 2, 0);
    setStatusHex(blocks.statusB, bytes + 2, 1, 3);
    setStatusHex(blocks.status2, bytes + 3, 3, 0);
    setStatusHex(blocks.status2B, bytes + 6, 5, 3);
    return true;
}

// A copy that shares no buffer with b, so that b is rebuilt in place.
StatusBlocks deepCopy(const StatusBlocks &b)
{
    auto copy = [](const QByteArray &a) { return QByteArray(a.constData(), a.size()); };
    return {copy(b.status), copy(b.statusB), copy(b.status2), copy(b.status2B)};
}

bool operator==(const StatusBlocks &a, const StatusBlocks &b)
{
    return a.status == b.status && a.statusB == b.statusB && a.status2 == b.status2
        && a.status2B == b.status2B;
}

void storeStatusBlocks(AppState &state, const StatusBlocks &b)
{
    state.enc.statusBlock = QString::fromLatin1(b.status);
    state.enc.statusBlockB = QString::fromLatin1(b.statusB);
    state.enc.status2Block = QString::fromLatin1(b.status2);
    state.enc.status2BlockB = QString::fromLatin1(b.status2B);
}

// ---------------------------------------------------------------------------
// Barcode data

// The barcode list key of the last main-group setting seen: most PLUs of a
// run share a few main groups.
struct EanKeyCache {
    qint16 barFormat = 0;
    QString barType;
    QString key;
    bool itf = false;
    bool valid = false;
};

// The figure a one-character text reads as (NumericPrefix of it).
int figureOf(QStringView c)
{
    if (c.isEmpty())
        return 0;
    const char16_t u = c.front().unicode();
    return u >= u'0' && u <= u'9' ? int(u - u'0') : 0;
}

// The barcode data of the common case: main group and barcode format known,
// an item code of plain figures, a result of 14 figures. Anything else
// (false) takes the checked path below, which also words the errors.
bool fastEanData(const EncodingTables &enc, EanKeyCache &cache, QByteArray &out, int mgNo,
                 const QString &itemCode)
{
    const int mi = enc.mgIndex.value(mgNo, -1);
    if (mi < 0)
        return false;
    const MGSettings &s = enc.mgSettings.at(mi);
    if (!cache.valid || cache.barFormat != s.BarFormat || cache.barType != s.Bar_Type) {
        const QString upper = s.Bar_Type.toUpper();
        cache.key = QString::number(s.BarFormat) + QLatin1Char('_') + upper;
        cache.itf = upper == QLatin1String("ITF");
        cache.barFormat = s.BarFormat;
        cache.barType = s.Bar_Type;
        cache.valid = true;
    }
    const int bi = enc.scaleBarcodeIndex.value(cache.key, -1);
    if (bi < 0)
        return false;
    const ScaleBarcode &b = enc.scaleBarcodes.at(bi);
    if (itemCode.isEmpty() || itemCode.size() > 15)
        return false;
    qint64 item = 0;
    for (QChar c : itemCode) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return false;
        item = item * 10 + (c.unicode() - u'0');
    }

    char buf[64];
    char *p = buf;
    char *const end = buf + sizeof buf;
    auto number = [&](qint64 v) { p = std::to_chars(p, end, v).ptr; };
    const int c1 = figureOf(QStringView(b.FlagStat).left(1));
    const int c2 = figureOf(QStringView(b.FlagStat).right(1));
    if (c1 == 0)
        *p++ = '0';
    else if (c1 == 1)
        number(s.Flag1);
    if (c2 == 0)
        *p++ = '0';
    else if (c2 == 1)
        number(s.Flag2);
    char itemText[24];
    const int itemLen = int(std::to_chars(itemText, itemText + sizeof itemText, item).ptr - itemText);
    const int itemWidth = qMax<int>(itemLen, b.ItemNum);
    if (p - buf + itemWidth > 14)
        return false;
    std::memset(p, '0', size_t(itemWidth - itemLen));
    p += itemWidth - itemLen;
    std::memcpy(p, itemText, size_t(itemLen));
    p += itemLen;
    char last[8];
    const int lastLen = int(std::to_chars(last, last + sizeof last, qint64(s.BarFlag)).ptr - last);
    const qsizetype fill = 14 - (p - buf) - 1 - lastLen;
    if (fill < 0)
        return false;
    std::memset(p, '0', size_t(fill));
    p += fill;
    *p++ = cache.itf ? '9' : '0';
    std::memcpy(p, last, size_t(lastLen));
    p += lastLen;
    for (const char *q = buf; q < p; ++q) {
        if (*q < '0' || *q > '9')
            return false;
    }
    out.append(buf, p - buf);
    return true;
}

bool appendEanData(AppState &state, QByteArray &out, int mgNo, const QString &itemCode)
{
    const EncodingTables &enc = state.enc;
    const int mi = enc.mgIndex.value(mgNo, -1);
    if (mi < 0) {
        fail(state, kEanSource,
             QStringLiteral("Main group %1 is not in the main-group settings").arg(mgNo));
        return false;
    }
    const MGSettings &s = enc.mgSettings.at(mi);
    const QString key = QString::number(s.BarFormat) + QLatin1Char('_') + s.Bar_Type.toUpper();
    const int bi = enc.scaleBarcodeIndex.value(key, -1);
    if (bi < 0) {
        fail(state, kEanSource,
             QStringLiteral("Barcode format %1 (%2) of main group %3 is not in the used barcode list")
                 .arg(s.BarFormat)
                 .arg(s.Bar_Type)
                 .arg(mgNo));
        return false;
    }
    const ScaleBarcode &b = enc.scaleBarcodes.at(bi);
    const int c1 = static_cast<int>(NumericPrefix(b.FlagStat.left(1)));
    const int c2 = static_cast<int>(NumericPrefix(b.FlagStat.right(1)));

    QString flags;
    if (c1 == 0)
        flags += QLatin1Char('0');
    else if (c1 == 1)
        flags += QString::number(s.Flag1);
    if (c2 == 0)
        flags += QLatin1Char('0');
    else if (c2 == 1)
        flags += QString::number(s.Flag2);

    const std::optional<double> item = StrictNumber(itemCode);
    if (!item || !std::isfinite(*item) || RoundHalfEven(*item) < 0) {
        fail(state, kEanSource,
             QStringLiteral("Item code \"%1\" is not a whole number of figures").arg(itemCode));
        return false;
    }
    QString itemText = QString::number(RoundHalfEven(*item), 'f', 0);
    if (itemText.size() < b.ItemNum)
        itemText = itemText.rightJustified(b.ItemNum, u'0');
    const QString type = s.Bar_Type.toUpper() == QLatin1String("ITF") ? QStringLiteral("9")
                                                                       : QStringLiteral("0");
    const QString last = QString::number(s.BarFlag);
    const qsizetype fill = 14 - flags.size() - itemText.size() - type.size() - last.size();
    const QString result = flags + itemText + QString(qMax<qsizetype>(fill, 0), u'0') + type + last;
    bool digits = fill >= 0;
    for (QChar c : result)
        digits = digits && c.isDigit() && c.unicode() < 0x80;
    if (!digits || result.size() != 14) {
        fail(state, kEanSource,
             QStringLiteral("The barcode data \"%1\" of item code %2 do not make 14 figures")
                 .arg(result, itemCode));
        return false;
    }
    out.append(result.toLatin1());
    return true;
}

// ---------------------------------------------------------------------------
// The PLU record, with descriptor columns resolved to row positions once.

// record = the first four bytes of data, the two-byte total length, the rest.
bool withLengthAfterHead(AppState &state, const QByteArray &data, QByteArray &record)
{
    const qsizetype n = data.size();
    const qsizetype head = qMin<qsizetype>(n, 8);
    const qint64 total = n / 2 + 2;
    record.truncate(0);
    record.reserve(n + 4);
    record.append(data.constData(), head);
    if (n % 2 == 0 && total <= 0xFFFF) {
        const qsizetype at = record.size();
        record.resize(at + 4);
        char *p = record.data() + at;
        for (int i = 3; i >= 0; --i)
            p[3 - i] = kHexDigits[(total >> (4 * i)) & 0x0F];
    } else if (!AppendLenData(state, record, data, 2)) {
        return false;
    }
    record.append(data.constData() + head, n - head);
    return true;
}

// One descriptor with its columns resolved. It keeps its own copy of the
// descriptor: the tables in the state may be read anew while a run lets the
// user interface handle events.
struct FieldPlan {
    FieldDescriptor d;
    QString prevColumn; // Column of the descriptor before, for text fonts
    bool conditional = false;
    bool flagSourceOne = false;
    FieldType type = FieldType::Unknown;
    qint16 length = 0;
    Special special = Special::Plain;
    int col = -1;
    int flagCol = -1;
    int prevCol = -1;
    bool hasPrev = false;
};

class PluEncoder {
public:
    PluEncoder(AppState &state, const TextCodec &codec, const ColumnIndex &columns)
        : m_state(state)
        , m_codec(codec)
    {
        const QVector<FieldDescriptor> &descs = state.enc.fieldDescs;
        for (int i = 0; i < descs.size(); ++i) {
            const FieldDescriptor &d = descs.at(i);
            if (d.Column.isEmpty() || d.Length <= 0)
                continue;
            FieldPlan p;
            p.d = d;
            p.conditional = d.Conditional != 0;
            p.flagSourceOne = NumericPrefix(d.FlagSource) == 1.0;
            p.type = ParseFieldType(d.Type);
            p.length = d.Length;
            p.special = SpecialOf(d, p.type);
            p.col = columns(d.Column);
            if (p.conditional)
                p.flagCol = columns(d.FlagColumn);
            p.hasPrev = i > 0;
            if (p.hasPrev) {
                p.prevColumn = descs.at(i - 1).Column;
                p.prevCol = columns(p.prevColumn);
            }
            m_plans.push_back(p);
        }
        m_colMG = columns(QStringLiteral("PLU_MG"));
        m_colLB = columns(QStringLiteral("PLU_LBFormat1"));
        m_colBar = columns(QStringLiteral("PLU_BarFormat"));
        m_colItem = columns(QStringLiteral("PLU_ItemCode"));
    }

    // The PLU columns a record of the current descriptors reads.
    static QStringList neededColumns(const AppState &state)
    {
        QStringList names{QStringLiteral("PLU_No"), QStringLiteral("PLU_MG"),
                          QStringLiteral("PLU_LBFormat1"), QStringLiteral("PLU_BarFormat"),
                          QStringLiteral("PLU_ItemCode")};
        const QVector<FieldDescriptor> &descs = state.enc.fieldDescs;
        for (int i = 0; i < descs.size(); ++i) {
            const FieldDescriptor &d = descs.at(i);
            if (d.Column.isEmpty() || d.Length <= 0)
                continue;
            names << d.Column;
            if (d.Conditional != 0) {
                if (!d.FlagColumn.isEmpty())
                    names << d.FlagColumn;
                if (i > 0 && !descs.at(i - 1).Column.isEmpty())
                    names << descs.at(i - 1).Column;
            }
        }
        return names;
    }

    template <class Row>
    bool encode(const Row &row, qint32 pluNo, const StatusBlocks &st, QByteArray &record)
    {
        QByteArray &data = m_data;
        data.truncate(0); // keeps the buffer of the previous record
        const int mg = m_colMG >= 0 ? cellToInt(row, m_colMG) : 0;
        for (const FieldPlan &p : std::as_const(m_plans)) {
            const FieldDescriptor &d = p.d;
            if (!p.conditional) {
                switch (p.special) {
                case Special::Status: data.append(st.status); continue;
                case Special::Status2: data.append(st.status2); continue;
                case Special::EanFlags: continue;
                default: break;
                }
                if (p.col < 0)
                    return missing(QStringLiteral("PLU"), d.Column);
                if (!appendColumn(row, p.col, m_zero, p.length, p))
                    return false;
                continue;
            }

            if (p.flagCol < 0)
                return missing(QStringLiteral("PLU"), d.FlagColumn);
            if (!(p.flagSourceOne && cellIsTrue(row, p.flagCol)))
                continue;
            if (p.col < 0)
                return missing(QStringLiteral("PLU"), d.Column);

            switch (p.special) {
            case Special::Text: {
                if (!p.hasPrev) {
                    fail(m_state, kPluDataSource,
                         QStringLiteral("Text field %1 has no font field before it").arg(d.Name));
                    return false;
                }
                if (p.prevCol < 0)
                    return missing(QStringLiteral("PLU"), p.prevColumn);
                const QVariant fv = row.value(p.prevCol);
                const QString font = fv.isNull() ? m_zero : StoredValueText(fv);
                const QVariant v = row.value(p.col);
                const QString value = v.isNull() ? m_nul : StoredValueText(v);
                const qint16 n = static_cast<qint16>(std::clamp<qsizetype>(value.size(), 1, 32767));
                if (!AppendFieldCode(m_codec, data, value, n, p.type, d.Type, font))
                    return false;
                break;
            }
            case Special::StatusB: data.append(st.statusB); break;
            case Special::Status2B: data.append(st.status2B); break;
            case Special::EanFlags: break;
            case Special::LbFormat1:
            case Special::BarFormat: {
                const bool lb = p.special == Special::LbFormat1;
                const int own = lb ? m_colLB : m_colBar;
                if (own < 0)
                    return missing(QStringLiteral("PLU"), lb ? QStringLiteral("PLU_LBFormat1")
                                                             : QStringLiteral("PLU_BarFormat"));
                if (cellIsMinusOne(row, own)) {
                    const MGSettings *s = mgSettings(mg, pluNo);
                    if (!s)
                        return false;
                    if (!AppendFieldCode(m_codec, data, QString::number(lb ? s->LabFormat : s->BarFormat),
                                         p.length, p.type, d.Type, m_zero))
                        return false;
                } else if (!appendColumn(row, p.col, m_nul, p.length, p)) {
                    return false;
                }
                break;
            }
            case Special::EanData: {
                if (m_colBar < 0)
                    return missing(QStringLiteral("PLU"), QStringLiteral("PLU_BarFormat"));
                if (cellIsMinusOne(row, m_colBar)) {
                    if (m_colItem < 0)
                        return missing(QStringLiteral("PLU"), QStringLiteral("PLU_ItemCode"));
                    const QVariant iv = row.value(m_colItem);
                    const QString item = iv.isNull() ? m_zero : StoredValueText(iv);
                    if (!fastEanData(m_state.enc, m_eanKey, data, mg, item)
                        && !appendEanData(m_state, data, mg, item))
                        return false;
                } else {
                    const qint16 len = static_cast<qint16>(qMin(32767, p.length + 1));
                    if (!appendColumn(row, p.col, m_nul, len, p))
                        return false;
                }
                break;
            }
            case Special::Discount: {
                const int di = m_state.enc.discountIndex.value(pluNo, -1);
                if (di < 0) {
                    fail(m_state, kPluDataSource,
                         QStringLiteral("PLU %1 has its discount flag set but no DISCOUNT row")
                             .arg(pluNo));
                    return false;
                }
                const QString &block = m_state.enc.discountData.at(di).Block;
                if (!block.isEmpty() && block.size() == kDiscountFigures)
                    appendLatin1(data, block);
                else
                    data.append(kDiscountFigures, '0');
                break;
            }
            case Special::Plain:
            case Special::Status:
            case Special::Status2:
                if (!appendColumn(row, p.col, m_nul, p.length, p))
                    return false;
                break;
            }
        }
        return withLengthAfterHead(m_state, data, record);
    }

private:
    // AppendFieldValue of column col (font "0"), numbers without a QVariant.
    template <class Row>
    bool appendColumn(const Row &row, int col, const QString &nullText, qint16 length,
                      const FieldPlan &p)
    {
        const RowCell c = cellOf(row, col);
        switch (c.kind) {
        case RowCell::Null:
            return AppendFieldCode(m_codec, m_data, nullText, length, p.type, p.d.Type, m_zero);
        case RowCell::Integer:
            return AppendFieldInteger(m_codec, m_data, c.i, length, p.type, p.d.Type, m_zero);
        case RowCell::Real:
            return AppendFieldReal(m_codec, m_data, c.d, length, p.type, p.d.Type, m_zero);
        case RowCell::Other:
            break;
        }
        return AppendFieldValue(m_codec, m_data, row.value(col), nullText, length, p.type, p.d.Type,
                                m_zero);
    }

    bool missing(const QString &table, const QString &name)
    {
        fail(m_state, kPluDataSource, noColumn(table, name));
        return false;
    }

    const MGSettings *mgSettings(int mg, qint32 pluNo)
    {
        const int i = m_state.enc.mgIndex.value(mg, -1);
        if (i < 0) {
            fail(m_state, kPluDataSource,
                 QStringLiteral("PLU %1 inherits from main group %2, which is not in the "
                                "main-group settings")
                     .arg(pluNo)
                     .arg(mg));
            return nullptr;
        }
        return &m_state.enc.mgSettings.at(i);
    }

    AppState &m_state;
    const TextCodec &m_codec;
    QVector<FieldPlan> m_plans;
    QByteArray m_data;
    EanKeyCache m_eanKey;
    const QString m_zero = QStringLiteral("0");
    const QString m_nul = QString(QChar(0)); // a null value of a flagged field
    int m_colMG = -1, m_colLB = -1, m_colBar = -1, m_colItem = -1;
};

// ---------------------------------------------------------------------------
// The discount block (the fields of DISCOUNT.dsc that are always present).

class FixedEncoder {
public:
    FixedEncoder(AppState &state, const TextCodec &codec, const ColumnIndex &columns)
        : m_state(state)
        , m_codec(codec)
    {
        const QVector<FieldDescriptor> &descs = state.enc.fieldDescs;
        for (int i = 0; i < descs.size(); ++i) {
            const FieldDescriptor &d = descs.at(i);
            if (d.Length <= 0 || d.Conditional != 0 || d.Column.isEmpty())
                continue;
            FieldPlan p;
            p.d = d;
            p.type = ParseFieldType(d.Type);
            p.length = d.Length;
            p.col = columns(d.Column);
            p.hasPrev = i > 0;
            if (p.hasPrev) {
                p.prevColumn = descs.at(i - 1).Column;
                p.prevCol = columns(p.prevColumn);
            }
            m_plans.push_back(p);
        }
    }

    template <class Row>
    bool encode(const Row &row, bool withLength, QByteArray &out)
    {
        QByteArray &data = m_data;
        data.truncate(0); // keeps the buffer of the previous block
        for (const FieldPlan &p : std::as_const(m_plans)) {
            const FieldDescriptor &d = p.d;
            if (p.col < 0) {
                fail(m_state, kFixedDataSource, noColumn(QStringLiteral("DISCOUNT"), d.Column));
                return false;
            }
            const QVariant v = row.value(p.col);
            if (p.type == FieldType::ASCII_TXT) {
                const QString value = v.isNull() ? QStringLiteral("0") : StoredValueText(v);
                if (!p.hasPrev || p.prevCol < 0) {
                    fail(m_state, kFixedDataSource,
                         p.hasPrev ? noColumn(QStringLiteral("DISCOUNT"), p.prevColumn)
                                   : QStringLiteral("Text field %1 has no font field before it")
                                         .arg(d.Name));
                    return false;
                }
                const QVariant fv = row.value(p.prevCol);
                const QString font = fv.isNull() ? QStringLiteral("0") : StoredValueText(fv);
                const qint16 n = static_cast<qint16>(std::clamp<qsizetype>(value.size(), 1, 32767));
                if (!AppendFieldCode(m_codec, data, value, n, p.type, d.Type, font))
                    return false;
            } else if (!AppendFieldValue(m_codec, data, v, QStringLiteral("0"), p.length, p.type,
                                         d.Type, QStringLiteral("0"))) {
                return false;
            }
        }
        if (!withLength) {
            out.truncate(0);
            out.append(data);
            return true;
        }
        return withLengthAfterHead(m_state, data, out);
    }

private:
    AppState &m_state;
    const TextCodec &m_codec;
    QVector<FieldPlan> m_plans;
    QByteArray m_data;
};

// Date and time texts of the update. The clock is asked again after 20 ms
// (asking it converts to local time, which is slow); the texts change only
// with the second.
class UpdateClock {
public:
    explicit UpdateClock(AppState &state) : m_state(state) {}
    void tick()
    {
        if (m_timer.isValid() && m_timer.elapsed() < 20)
            return;
        m_timer.start();
        const QDateTime now = m_state.now();
        const qint64 secs = now.toSecsSinceEpoch();
        if (secs == m_secs && !m_date.isEmpty())
            return;
        m_secs = secs;
        m_date = now.date().toString(QStringLiteral("yyyy-MM-dd"));
        m_time = now.time().toString(QStringLiteral("HH:mm:ss"));
        m_dateUtf8 = m_date.toUtf8();
        m_timeUtf8 = m_time.toUtf8();
    }
    const QString &date() const { return m_date; }
    const QString &time() const { return m_time; }
    const QByteArray &dateUtf8() const { return m_dateUtf8; }
    const QByteArray &timeUtf8() const { return m_timeUtf8; }

private:
    AppState &m_state;
    QElapsedTimer m_timer;
    qint64 m_secs = 0;
    QString m_date, m_time;
    QByteArray m_dateUtf8, m_timeUtf8;
};

// Upper-cased column names of a table of the main database.
QSet<QString> tableColumns(AppState &state, const QString &table)
{
    const QSqlRecord r = QSqlDatabase::database(state.connMain, false).record(table);
    QSet<QString> names;
    for (int i = 0; i < r.count(); ++i)
        names.insert(r.fieldName(i).toUpper());
    return names;
}

QString quotedColumnList(const QStringList &names, const QSqlRecord &table)
{
    QStringList cols;
    QSet<QString> seen;
    for (const QString &n : names) {
        const int i = table.indexOf(n);
        if (i < 0)
            continue;
        const QString actual = table.fieldName(i);
        if (seen.contains(actual.toUpper()))
            continue;
        seen.insert(actual.toUpper());
        cols << QLatin1Char('[') + actual + QLatin1Char(']');
    }
    return cols.join(QLatin1Char(','));
}

} // namespace

// ---------------------------------------------------------------------------

bool GetDefualtSettingValues(AppState &state)
{
    const QString section = QStringLiteral("Setting");
    const char *const keys[] = {"PriceDecimalPlace", "WeightDecimalPlace"};
    qint16 *targets[] = {&state.enc.priceDecimals, &state.enc.weightDecimals};
    for (int i = 0; i < 2; ++i) {
        const QString key = QString::fromLatin1(keys[i]);
        const QString text = ReadIniString(section, key, state.iniFile).trimmed();
        const std::optional<qint32> places = ParseDecimalPlaces(text);
        if (!places) {
            fail(state, QStringLiteral("GetDefualtSettingValues()"),
                 text.isEmpty()
                     ? QStringLiteral("The setting %1 is missing or empty").arg(key)
                     : QStringLiteral("Type mismatch: the setting %1 is \"%2\"; it must be a whole "
                                      "number from 0 to %3")
                           .arg(key, text)
                           .arg(kMaxDecimalPlaces));
            return false;
        }
        *targets[i] = static_cast<qint16>(*places);
    }
    return true;
}

QString CreateZentStatus(AppState &state, int first, int bytes)
{
    int sum = 0;
    if (!statusByte(state, first, sum))
        return {};
    return QString::number(sum, 16).toUpper().rightJustified(2 * bytes, u'0');
}

bool CreateZentPLUStatus(AppState &state)
{
    StatusBlocks blocks;
    if (!buildStatusBlocks(state, blocks))
        return false;
    storeStatusBlocks(state, blocks);
    return true;
}

QString CreateEANData(AppState &state, int mgNo, const QString &itemCode)
{
    QByteArray out;
    if (!appendEanData(state, out, mgNo, itemCode))
        return {};
    return QString::fromLatin1(out);
}

QString CreateZentFixedData(AppState &state, const QSqlRecord &row, bool withLength, bool *ok)
{
    if (ok)
        *ok = true;
    if (row.isEmpty())
        return {};
    const TextCodec codec(state);
    FixedEncoder enc(state, codec, ColumnIndex(row));
    QByteArray out;
    const bool good = enc.encode(row, withLength, out);
    if (ok)
        *ok = good;
    return good ? QString::fromLatin1(out) : QString();
}

bool LoadDiscountData(AppState &state, const QString &path, std::optional<qint32> onlyPlu)
{
    EncodingTables &enc = state.enc;
    enc.discountData.clear();
    enc.discountIndex.clear();
    // A block of a wrong layout would be sent in every discounted record.
    if (!ReadZentFixedDescFile(state, path)
        || !CheckDiscountDescriptors(state, path, tableColumns(state, QStringLiteral("DISCOUNT"))))
        return false;

    QString sql = QStringLiteral("select * from DISCOUNT ");
    if (onlyPlu)
        sql += QStringLiteral("where PLU_No=") + QString::number(*onlyPlu) + QLatin1Char(' ');
    sql += QStringLiteral("order by PLU_No; ");
    std::optional<QSqlQuery> q = QueryKorvoDB(state, sql);
    if (!q)
        return true; // reported; the rows' blocks are missing, the file was fine
    const TextCodec codec(state);
    const ColumnIndex columns(q->record());
    FixedEncoder fixed(state, codec, columns);
    const int colPlu = columns(QStringLiteral("PLU_No"));
    QByteArray block;
    while (q->next()) {
        DiscountData entry;
        entry.PLU_No = colPlu >= 0 ? toInt(q->value(colPlu)) : 0;
        if (fixed.encode(*q, false, block))
            entry.Block = QString::fromLatin1(block);
        enc.discountData.push_back(entry);
        if (!enc.discountIndex.contains(entry.PLU_No))
            enc.discountIndex.insert(entry.PLU_No, enc.discountData.size() - 1);
    }
    return true;
}

QString CreateZentPLUData(AppState &state, qint32 pluNo)
{
    std::optional<QSqlQuery> q = QueryKorvoDB(
        state, QStringLiteral("Select * from PLU where [PLU_No]=") + QString::number(pluNo)
                   + QLatin1Char(';'));
    if (!q)
        return {};
    if (!q->next()) {
        fail(state, kPluDataSource, QStringLiteral("PLU %1 does not exist").arg(pluNo));
        return {};
    }
    StatusBlocks st;
    st.status = state.enc.statusBlock.toLatin1();
    st.statusB = state.enc.statusBlockB.toLatin1();
    st.status2 = state.enc.status2Block.toLatin1();
    st.status2B = state.enc.status2BlockB.toLatin1();
    const TextCodec codec(state);
    PluEncoder enc(state, codec, ColumnIndex(q->record()));
    QByteArray record;
    if (!enc.encode(*q, pluNo, st, record))
        return {};
    return QString::fromLatin1(record);
}

namespace {

QString joinedNumbers(const QVector<qint64> &numbers, int max)
{
    QStringList list;
    for (qsizetype i = 0; i < numbers.size() && i < max; ++i)
        list << QString::number(numbers.at(i));
    if (numbers.size() > max)
        list << QStringLiteral("...");
    return list.join(QStringLiteral(", "));
}

// The PLU number of a row as stored, never cut to 32 bits.
template <class Row>
qint64 rowKey(const Row &row, int col)
{
    const RowCell c = cellOf(row, col);
    if (c.kind == RowCell::Integer)
        return c.i;
    const QVariant v = row.value(col);
    bool ok = false;
    const qint64 key = v.toLongLong(&ok);
    return ok ? key : 0;
}

// Mode SINGLE, or a selection of PLUs encoded as mode ALL is (condition ""
// for every PLU).
EncodeRunResult encodeRun(AppState &state, bool single, qint32 &pluNo, const QString &condition,
                          RowAccess access)
{
    EncodeRunResult result;
    const QString runSource = QStringLiteral("CreatePLUData (%1)");
    UserInterface *ui = state.ui;
    const bool all = !single;
    state.unmappableReported.clear();
    const qsizetype reportsBefore = state.reportedErrors.size();

    // A selection collects its reports and ends with one summary instead of
    // a message box per PLU.
    std::optional<ErrorCollector> collector;
    if (all)
        collector.emplace(state);
    auto finish = [&] {
        const qsizetype errors = state.reportedErrors.size() - reportsBefore;
        const ReportedError first = errors > 0 ? state.reportedErrors.at(reportsBefore) : ReportedError{};
        const QString owner = QStringLiteral("frmMain");
        if (!result.completed) {
            result.encoded = 0;
            result.summary = GetLangString(state, owner, QStringLiteral("msgEncodeStopped"))
                                 .arg(first.source, first.description);
        } else if (errors > 0 || !result.failedPlus.isEmpty()) {
            result.summary = GetLangString(state, owner, QStringLiteral("msgEncodeAllSummary"))
                                 .arg(QString::number(result.failedPlus.size()),
                                      QString::number(result.selected), first.source, first.description);
            if (!result.failedPlus.isEmpty())
                result.summary += QLatin1Char('\n')
                    + GetLangString(state, owner, QStringLiteral("msgEncodeFailedPlus"))
                          .arg(joinedNumbers(result.failedPlus, 20));
        } else {
            result.summary = GetLangString(state, owner, QStringLiteral("msgEncodeDone"))
                                 .arg(result.encoded)
                                 .arg(result.selected);
        }
        if (all && ui && (!result.completed || errors > 0)) {
            ui->message(result.summary, AppState::appTitle(), MsgIcon::Exclamation);
            result.summaryShown = true;
        }
        return result;
    };

    // Everything a record depends on is read and checked before anything is
    // written: a wrong decimal place or descriptor would spoil every record.
    const QSet<QString> pluColumns = tableColumns(state, QStringLiteral("PLU"));
    const QString statusPath = DescriptorPath(state, QStringLiteral("PLU_STATUS.dsc"));
    const QString pluPath = DescriptorPath(state, QStringLiteral("PLU.dsc"));
    if (!GetDefualtSettingValues(state)
        || !LoadDiscountData(state, DescriptorPath(state, QStringLiteral("DISCOUNT.dsc")),
                             single ? std::optional<qint32>(pluNo) : std::nullopt)
        || !ReadZentStatFile(state, statusPath) || !CheckStatusFlags(state, statusPath, pluColumns)
        || !ReadZentPLUDescFile(state, pluPath) || !CheckPluDescriptors(state, pluPath, pluColumns))
        return finish();

    // The write lock first, waiting for another writer: a run that cannot
    // write fails here once, not at every PLU.
    Transaction tx(state);
    if (!tx.active()) {
        fail(state, runSource.arg(pluNo),
             QStringLiteral("The scale records cannot be written: ") + DatabaseErrorText(tx.error()));
        return finish();
    }
    const QString where = condition.trimmed().isEmpty() ? QString()
                                                        : QStringLiteral(" where (") + condition + u')';
    int total = 1;
    if (all) {
        std::optional<QSqlQuery> c =
            QueryKorvoDB(state, QStringLiteral("select count(*) from PLU") + where + u';');
        if (!c)
            return finish();
        total = c->next() ? c->value(0).toInt() : 0;
    }

    // Mode ALL fetches only the columns the record reads, and lets SQLite
    // add up the status flags of each status byte; the rows are the same as
    // those of "Select * from PLU". Mode SINGLE reads its one row whole.
    const QSqlDatabase db = QSqlDatabase::database(state.connMain, false);
    QString columns = QStringLiteral("*");
    bool packed = false;
    if (all) {
        const QSqlRecord table = db.record(QStringLiteral("PLU"));
        const ColumnIndex tableColumns(table);
        QString needed = quotedColumnList(PluEncoder::neededColumns(state), table);
        if (!needed.isEmpty()) {
            const QVector<StatusFlag> &flags = state.enc.statusFlags;
            for (int n = 0; n < 11; ++n) {
                QStringList terms;
                for (int j = 0; j < 8 && 8 * n + j < flags.size(); ++j) {
                    const StatusFlag &f = flags.at(8 * n + j);
                    const int c = f.Source == 1 ? tableColumns(f.Name) : -1;
                    if (c >= 0)
                        terms << QStringLiteral("(CASE WHEN [%1] THEN %2 ELSE 0 END)")
                                     .arg(table.fieldName(c))
                                     .arg(1 << j);
                }
                needed += QStringLiteral(",(") + (terms.isEmpty() ? QStringLiteral("0") : terms.join(u'+'))
                    + QStringLiteral(") AS [") + kStatusByteAlias + QString::number(n) + u']';
            }
            columns = needed;
            packed = true;
        }
    }
    const QString sql = single
        ? QStringLiteral("Select ") + columns + QStringLiteral(" from PLU Where [PLU_No]=")
              + QString::number(pluNo) + QLatin1Char(';')
        : QStringLiteral("Select ") + columns + QStringLiteral(" from PLU") + where
              + QStringLiteral(" order by [PLU_No];");

    // Written back by the row's own 64-bit key: a number cut to 32 bits
    // would land in another PLU's row.
    const QString updateSql =
        QStringLiteral("Update PLU set ZentBinData=?, PLU_UPDate=?, PLU_UPTime=? where PLU_No=?");
    std::unique_ptr<SqliteRowStore> native;
    if (all && access == RowAccess::Native)
        native = SqliteRowStore::open(db, TranslateSql(sql), updateSql);
    std::optional<QSqlQuery> rows;
    if (!native) {
        rows = QueryKorvoDB(state, sql);
        if (!rows)
            return finish();
    }
    result.nativeRows = native != nullptr;
    const ColumnIndex rec = native ? ColumnIndex(native->columnNames()) : ColumnIndex(rows->record());
    const int colNo = rec(QStringLiteral("PLU_No"));
    if (colNo < 0) {
        fail(state, runSource.arg(pluNo), noColumn(QStringLiteral("PLU"), QStringLiteral("PLU_No")));
        return finish();
    }
    const TextCodec codec(state);
    PluEncoder encoder(state, codec, rec);

    // Where each flag's value comes from: its column (SINGLE) or a bit of a
    // status byte that SQLite added up (ALL).
    QVector<int> flagCols;
    int statusCols[11];
    for (int n = 0; n < 11; ++n)
        statusCols[n] = packed ? rec(kStatusByteAlias + QString::number(n)) : -1;
    for (const StatusFlag &f : std::as_const(state.enc.statusFlags))
        flagCols.push_back(f.Source == 1 && !packed ? rec(f.Name) : -1);

    QSqlQuery update(db);
    update.prepare(updateSql);
    UpdateClock clock(state);
    StatusBlocks blocks, stored;
    bool anyStored = false;
    QByteArray record;
    const QByteArray noRecord;
    const QString empty = QStringLiteral(""); // stored as '', not NULL

    if (all && ui)
        ui->progressBegin(GetLangString(state, QStringLiteral("Global"), QStringLiteral("msgCreatePLUDate"))
                              + QStringLiteral("..."),
                          total);
    int count = 0;
    bool ended = false;
    auto walk = [&](auto &&row) {
        while (row.next()) {
            ++count;
            const qint64 key = rowKey(row, colNo);
            pluNo = static_cast<qint32>(std::clamp<qint64>(key, INT_MIN, INT_MAX));
            const qsizetype rowReports = state.reportedErrors.size();
            bool good = false;
            if (key < kPluNoMin || key > kPluNoMax) {
                fail(state, runSource.arg(key),
                     QStringLiteral("The PLU number %1 is outside %2 to %3: the scale record has no "
                                    "room for it")
                         .arg(key)
                         .arg(kPluNoMin)
                         .arg(kPluNoMax));
            } else {
                QVector<StatusFlag> &flags = state.enc.statusFlags;
                if (packed) {
                    StatusFlag *flag = flags.data();
                    const qsizetype flagCount = flags.size();
                    for (int n = 0; n < 11; ++n) {
                        int byte = 0;
                        if (statusCols[n] >= 0) {
                            const RowCell c = cellOf(row, statusCols[n]);
                            byte = c.kind == RowCell::Integer ? static_cast<int>(c.i)
                                                              : row.value(statusCols[n]).toInt();
                        }
                        for (int j = 0; j < 8 && 8 * n + j < flagCount; ++j)
                            flag[8 * n + j].Value = (byte >> j) & 1;
                    }
                } else {
                    for (int i = 0; i < flags.size(); ++i)
                        flags[i].Value = (flagCols.at(i) >= 0 && isTrue(row.value(flagCols.at(i)))) ? 1 : 0;
                }
                good = buildStatusBlocks(state, blocks);
                if (good) {
                    // Most PLUs share their status blocks: the texts in the
                    // state are only made anew when they change.
                    if (!anyStored || !(blocks == stored)) {
                        storeStatusBlocks(state, blocks);
                        stored = deepCopy(blocks);
                        anyStored = true;
                    }
                    good = encoder.encode(row, pluNo, blocks, record);
                }
            }
            const QByteArray &bytes = good ? record : noRecord;
            if (!good && state.reportedErrors.size() > rowReports)
                WriteLog(state, runSource.arg(key)
                                    + QStringLiteral(":    no scale record: the PLU could not be encoded"));

            clock.tick();
            int changed = -1;
            QSqlError writeError;
            if (native) {
                changed = native->update(bytes, clock.dateUtf8(), clock.timeUtf8(), key);
                writeError = native->updateError();
            } else {
                update.addBindValue(good ? QString::fromLatin1(bytes) : empty);
                update.addBindValue(clock.date());
                update.addBindValue(clock.time());
                update.addBindValue(qlonglong(key));
                if (update.exec())
                    changed = update.numRowsAffected();
                else
                    writeError = update.lastError();
            }
            // A write the database refuses (full disk, I/O) ends the run: it
            // would refuse the next PLU alike.
            if (changed < 0 || changed > 1) {
                fail(state,
                     QStringLiteral("QueryKorvoDB Update PLU set [ZentBinData]='")
                         + (good ? QString::fromLatin1(bytes) : empty) + QStringLiteral("', [PLU_UPDate]=#")
                         + clock.date() + QStringLiteral("#,[PLU_UPTime]=#") + clock.time()
                         + QStringLiteral("# where [PLU_No]=") + QString::number(key) + QLatin1Char(';'),
                     changed < 0 ? DatabaseErrorText(writeError)
                                 : QStringLiteral("PLU %1 is stored %2 times").arg(key).arg(changed));
                result.failedPlus.push_back(key);
                ended = true;
                break;
            }
            if (changed == 0) {
                fail(state, runSource.arg(key),
                     QStringLiteral("PLU %1 was removed while it was encoded; no record was stored").arg(key));
                good = false;
            }
            if (good)
                ++result.encoded;
            else
                result.failedPlus.push_back(key);

            if (all && ui && count % 100 == 0)
                ui->progressStep(count);
            if (count % 10 != 0 && ui)
                ui->processEvents();
        }
    };
    QString readError;
    if (native) {
        walk(*native);
        readError = native->readError();
    } else {
        walk(QtSqlRows{*rows});
        if (rows->lastError().isValid())
            readError = rows->lastError().text();
    }
    // A walk cut short by the database is no completed run.
    if (!ended && !readError.isEmpty()) {
        fail(state, runSource.arg(pluNo),
             QStringLiteral("Reading the PLUs failed after %1 of them: %2").arg(count).arg(readError));
        ended = true;
    }
    result.selected = count;
    if (all && ui) {
        ui->progressStep(count);
        ui->progressEnd();
    }
    // Every statement of the run ends before the commit.
    native.reset();
    if (rows)
        rows->finish();
    update.finish();
    if (ended) {
        // All or nothing: a run that stopped changes no record.
        tx.rollback();
    } else if (!tx.commit()) {
        fail(state, runSource.arg(pluNo),
             QStringLiteral("The encoded records could not be saved: ") + DatabaseErrorText(tx.error()));
    } else {
        result.completed = true;
    }
    return finish();
}

} // namespace

EncodeRunResult CreatePLUData(AppState &state, const QString &mode, qint32 &pluNo)
{
    return CreatePLUData(state, mode, pluNo, RowAccess::Native);
}

EncodeRunResult CreatePLUData(AppState &state, const QString &mode, qint32 &pluNo, RowAccess access)
{
    const bool all = mode.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0;
    const bool single = mode.compare(QLatin1String("SINGLE"), Qt::CaseInsensitive) == 0;
    if (!all && !single) {
        fail(state, QStringLiteral("CreatePLUData (%1)").arg(pluNo), QStringLiteral("Unknown mode \"%1\"").arg(mode));
        return {};
    }
    return encodeRun(state, single, pluNo, QString(), access);
}

EncodeRunResult EncodePluSelection(AppState &state, const QString &condition)
{
    qint32 last = 0;
    return encodeRun(state, false, last, condition, RowAccess::Native);
}

Special SpecialOf(const FieldDescriptor &d, FieldType type)
{
    const QString n = d.Name.toUpper();
    if (d.Conditional == 0) {
        if (n == QLatin1String("PLU_STATUS"))
            return Special::Status;
        if (n == QLatin1String("PLU_STATUS2"))
            return Special::Status2;
        if (n == QLatin1String("PLU_EANFLAGS"))
            return Special::EanFlags;
        return Special::Plain;
    }
    if (type == FieldType::ASCII_TXT)
        return Special::Text;
    if (n == QLatin1String("PLU_STATUSB"))
        return Special::StatusB;
    if (n == QLatin1String("PLU_STATUS2B"))
        return Special::Status2B;
    if (n == QLatin1String("PLU_LBFORMAT1"))
        return Special::LbFormat1;
    if (n == QLatin1String("PLU_BARFORMAT"))
        return Special::BarFormat;
    if (n == QLatin1String("PLU_EANFLAGS"))
        return Special::EanFlags;
    if (n == QLatin1String("PLU_EANDATA"))
        return Special::EanData;
    if (n == QLatin1String("PLU_DISOUNT"))
        return Special::Discount;
    return Special::Plain;
}

} // namespace korvo
