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
#include "i18n/Language.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace korvo {

namespace {

const QString kPluDataSource = QStringLiteral("CreateZentPLUData()");
const QString kFixedDataSource = QStringLiteral("CreateZentFixedData()");
const QString kEanSource = QStringLiteral("CreateEANData()");
const QString kStatusByteAlias = QStringLiteral("korvo_status_byte_");
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kDiscountFigures = 60; // the discount block is 30 bytes

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
        for (int i = 0; i < record.count(); ++i) {
            const QString key = record.fieldName(i).toUpper();
            if (!m_index.contains(key))
                m_index.insert(key, i);
        }
    }
    int operator()(const QString &name) const
    {
        return name.isEmpty() ? -1 : m_index.value(name.toUpper(), -1);
    }

private:
    QHash<QString, int> m_index;
};

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

void appendHexByte(QByteArray &out, int b)
{
    out.append(kHexDigits[(b >> 4) & 0x0F]);
    out.append(kHexDigits[b & 0x0F]);
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

bool buildStatusBlocks(AppState &state, StatusBlocks &blocks)
{
    int bytes[11];
    for (int n = 0; n < 11; ++n) {
        if (!statusByte(state, 8 * n, bytes[n]))
            return false;
    }
    blocks.status.clear();
    blocks.statusB.clear();
    blocks.status2.clear();
    blocks.status2B.clear();
    appendHexByte(blocks.status, bytes[0]);
    appendHexByte(blocks.status, bytes[1]);
    appendHexByte(blocks.statusB, bytes[2]);
    blocks.statusB.append("000000");
    for (int n = 3; n <= 5; ++n)
        appendHexByte(blocks.status2, bytes[n]);
    for (int n = 6; n <= 10; ++n)
        appendHexByte(blocks.status2B, bytes[n]);
    blocks.status2B.append("000000");
    return true;
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

enum class Special {
    Plain,
    Text,
    Status,
    Status2,
    StatusB,
    Status2B,
    EanFlags,
    LbFormat1,
    BarFormat,
    EanData,
    Discount
};

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

Special specialOf(const FieldDescriptor &d, FieldType type)
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
            p.special = specialOf(d, p.type);
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
        data.clear();
        const int mg = m_colMG >= 0 ? toInt(row.value(m_colMG)) : 0;
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
                if (!AppendFieldValue(m_codec, data, row.value(p.col), m_zero, p.length, p.type, d.Type,
                                      m_zero))
                    return false;
                continue;
            }

            if (p.flagCol < 0)
                return missing(QStringLiteral("PLU"), d.FlagColumn);
            if (!(isTrue(row.value(p.flagCol)) && p.flagSourceOne))
                continue;
            if (p.col < 0)
                return missing(QStringLiteral("PLU"), d.Column);
            const QVariant v = row.value(p.col);
            auto valueText = [&] { return v.isNull() ? m_nul : StoredValueText(v); };

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
                const QString value = valueText();
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
                if (isMinusOne(row.value(own))) {
                    const MGSettings *s = mgSettings(mg, pluNo);
                    if (!s)
                        return false;
                    if (!AppendFieldCode(m_codec, data, QString::number(lb ? s->LabFormat : s->BarFormat),
                                         p.length, p.type, d.Type, m_zero))
                        return false;
                } else if (!AppendFieldValue(m_codec, data, v, m_nul, p.length, p.type, d.Type, m_zero)) {
                    return false;
                }
                break;
            }
            case Special::EanData: {
                if (m_colBar < 0)
                    return missing(QStringLiteral("PLU"), QStringLiteral("PLU_BarFormat"));
                if (isMinusOne(row.value(m_colBar))) {
                    if (m_colItem < 0)
                        return missing(QStringLiteral("PLU"), QStringLiteral("PLU_ItemCode"));
                    const QVariant iv = row.value(m_colItem);
                    const QString item = iv.isNull() ? m_zero : StoredValueText(iv);
                    if (!appendEanData(m_state, data, mg, item))
                        return false;
                } else {
                    const qint16 len = static_cast<qint16>(qMin(32767, p.length + 1));
                    if (!AppendFieldValue(m_codec, data, v, m_nul, len, p.type, d.Type, m_zero))
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
                    data.append(block.toLatin1());
                else
                    data.append(kDiscountFigures, '0');
                break;
            }
            case Special::Plain:
            case Special::Status:
            case Special::Status2:
                if (!AppendFieldValue(m_codec, data, v, m_nul, p.length, p.type, d.Type, m_zero))
                    return false;
                break;
            }
        }
        record.clear();
        record.reserve(data.size() + 4);
        record.append(data.left(8));
        if (!AppendLenData(m_state, record, data, 2))
            return false;
        record.append(data.mid(8));
        return true;
    }

private:
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
        QByteArray data;
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
        out.clear();
        if (!withLength) {
            out = data;
            return true;
        }
        out.append(data.left(8));
        if (!AppendLenData(m_state, out, data, 2))
            return false;
        out.append(data.mid(8));
        return true;
    }

private:
    AppState &m_state;
    const TextCodec &m_codec;
    QVector<FieldPlan> m_plans;
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
    }
    const QString &date() const { return m_date; }
    const QString &time() const { return m_time; }

private:
    AppState &m_state;
    QElapsedTimer m_timer;
    qint64 m_secs = 0;
    QString m_date, m_time;
};

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
        const std::optional<double> v = StrictNumber(text);
        const double r = v ? RoundHalfEven(*v) : 0.0;
        if (!v || !(r >= -32768.0 && r <= 32767.0)) {
            fail(state, QStringLiteral("GetDefualtSettingValues()"),
                 text.isEmpty() ? QStringLiteral("The setting %1 is missing or empty").arg(key)
                                : QStringLiteral("Type mismatch: the setting %1 is \"%2\"").arg(key, text));
            return false;
        }
        *targets[i] = static_cast<qint16>(r);
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
    const bool read = ReadZentFixedDescFile(state, path);

    QString sql = QStringLiteral("select * from DISCOUNT ");
    if (onlyPlu)
        sql += QStringLiteral("where PLU_No=") + QString::number(*onlyPlu) + QLatin1Char(' ');
    sql += QStringLiteral("order by PLU_No; ");
    std::optional<QSqlQuery> q = QueryKorvoDB(state, sql);
    if (!q)
        return read;
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
    return read;
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

EncodeRunResult CreatePLUData(AppState &state, const QString &mode, qint32 &pluNo)
{
    EncodeRunResult result;
    const bool all = mode.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0;
    const bool single = mode.compare(QLatin1String("SINGLE"), Qt::CaseInsensitive) == 0;
    const QString runSource = QStringLiteral("CreatePLUData (%1)");
    if (!all && !single) {
        fail(state, runSource.arg(pluNo), QStringLiteral("Unknown mode \"%1\"").arg(mode));
        return result;
    }
    UserInterface *ui = state.ui;
    state.unmappableReported.clear();

    // Mode ALL: one summary instead of a message box per PLU.
    std::optional<ErrorCollector> collector;
    if (all)
        collector.emplace(state);

    int total = 0;
    if (all) {
        if (std::optional<QSqlQuery> c = QueryKorvoDB(state, QStringLiteral("select count(*) from PLU;"));
            c && c->next())
            total = c->value(0).toInt();
    } else {
        total = 1;
    }
    auto summarize = [&] {
        if (!collector || collector->count() == 0 || !ui)
            return;
        const int selected = qMax(total, result.selected);
        const QString text =
            GetLangString(state, QStringLiteral("frmMain"), QStringLiteral("msgEncodeAllSummary"))
                .arg(QString::number(selected - result.encoded), QString::number(selected),
                     collector->firstSource(), collector->firstDescription());
        ui->message(text, AppState::appTitle(), MsgIcon::Exclamation);
    };

    GetDefualtSettingValues(state);
    // A descriptor file that cannot be read whole would give every PLU a
    // record of the wrong layout: the run stops before anything is written.
    const qsizetype reportsBefore = state.reportedErrors.size();
    const bool discountRead = LoadDiscountData(
        state, DescriptorPath(state, QStringLiteral("DISCOUNT.dsc")),
        single ? std::optional<qint32>(pluNo) : std::nullopt);
    const bool statusRead =
        ReadZentStatFile(state, DescriptorPath(state, QStringLiteral("PLU_STATUS.dsc")));
    const bool pluRead = ReadZentPLUDescFile(state, DescriptorPath(state, QStringLiteral("PLU.dsc")));
    if (!discountRead || !statusRead || !pluRead) {
        if (state.reportedErrors.size() == reportsBefore)
            fail(state, runSource.arg(pluNo), QStringLiteral("The descriptor files could not be read"));
        summarize();
        return result;
    }

    // Mode ALL fetches only the columns the record reads, and lets SQLite
    // add up the status flags of each status byte; the rows are the same as
    // those of "Select * from PLU". Mode SINGLE reads its one row whole.
    const QSqlDatabase db = QSqlDatabase::database(state.connMain, false);
    QString columns = QStringLiteral("*");
    QString unknownFlag;
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
                    if (f.Source != 1)
                        continue;
                    const int c = tableColumns(f.Name);
                    if (c < 0) {
                        if (unknownFlag.isEmpty())
                            unknownFlag = f.Name;
                        continue;
                    }
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
        : QStringLiteral("Select ") + columns + QStringLiteral(" from PLU order by [PLU_No];");

    Transaction tx(state);
    std::optional<QSqlQuery> rows = QueryKorvoDB(state, sql);
    if (rows) {
        const ColumnIndex rec(rows->record());
        const int colNo = rec(QStringLiteral("PLU_No"));
        const TextCodec codec(state);
        PluEncoder encoder(state, codec, rec);

        // Where each flag's value comes from: its column (SINGLE) or a bit
        // of a status byte that SQLite added up (ALL).
        QVector<int> flagCols;
        int statusCols[11];
        for (int n = 0; n < 11; ++n)
            statusCols[n] = packed ? rec(kStatusByteAlias + QString::number(n)) : -1;
        for (const StatusFlag &f : std::as_const(state.enc.statusFlags)) {
            const int c = f.Source == 1 && !packed ? rec(f.Name) : -1;
            if (f.Source == 1 && !packed && c < 0 && unknownFlag.isEmpty())
                unknownFlag = f.Name;
            flagCols.push_back(c);
        }

        QSqlQuery update(db);
        update.prepare(QStringLiteral(
            "Update PLU set ZentBinData=?, PLU_UPDate=?, PLU_UPTime=? where PLU_No=?"));
        UpdateClock clock(state);
        StatusBlocks blocks;
        QByteArray record;
        const QString empty = QStringLiteral(""); // stored as '', not NULL

        if (all && ui)
            ui->progressBegin(GetLangString(state, QStringLiteral("Global"),
                                            QStringLiteral("msgCreatePLUDate"))
                                  + QStringLiteral("..."),
                              total);
        int count = 0;
        bool ended = false;
        while (rows->next()) {
            ++count;
            pluNo = colNo >= 0 ? toInt(rows->value(colNo)) : 0;
            if (!unknownFlag.isEmpty() || colNo < 0) {
                fail(state, runSource.arg(pluNo),
                     noColumn(QStringLiteral("PLU"),
                              colNo < 0 ? QStringLiteral("PLU_No") : unknownFlag));
                result.failedPlus.push_back(pluNo);
                ended = true;
                break;
            }
            QVector<StatusFlag> &flags = state.enc.statusFlags;
            if (packed) {
                for (int n = 0; n < 11; ++n) {
                    const int byte = statusCols[n] >= 0 ? rows->value(statusCols[n]).toInt() : 0;
                    for (int j = 0; j < 8 && 8 * n + j < flags.size(); ++j)
                        flags[8 * n + j].Value = (byte >> j) & 1;
                }
            } else {
                for (int i = 0; i < flags.size(); ++i)
                    flags[i].Value = (flagCols.at(i) >= 0 && isTrue(rows->value(flagCols.at(i)))) ? 1 : 0;
            }

            const qsizetype rowReports = state.reportedErrors.size();
            bool good = buildStatusBlocks(state, blocks);
            if (good) {
                storeStatusBlocks(state, blocks);
                good = encoder.encode(*rows, pluNo, blocks, record);
            }
            const QString text = good ? QString::fromLatin1(record) : empty;
            if (!good && state.reportedErrors.size() > rowReports)
                WriteLog(state, runSource.arg(pluNo)
                                    + QStringLiteral(":    no scale record: the PLU could not be encoded"));

            clock.tick();
            update.addBindValue(text);
            update.addBindValue(clock.date());
            update.addBindValue(clock.time());
            update.addBindValue(pluNo);
            if (!update.exec()) {
                fail(state,
                     QStringLiteral("QueryKorvoDB Update PLU set [ZentBinData]='") + text
                         + QStringLiteral("', [PLU_UPDate]=#") + clock.date()
                         + QStringLiteral("#,[PLU_UPTime]=#") + clock.time()
                         + QStringLiteral("# where [PLU_No]=") + QString::number(pluNo)
                         + QLatin1Char(';'),
                     update.lastError().text());
                good = false;
            }
            if (good)
                ++result.encoded;
            else
                result.failedPlus.push_back(pluNo);

            if (all && ui && count % 100 == 0)
                ui->progressStep(count);
            if (count % 10 != 0 && ui)
                ui->processEvents();
        }
        result.selected = count;
        result.completed = !ended;
        if (all && ui) {
            ui->progressStep(count);
            ui->progressEnd();
        }
        rows->finish();
    }
    tx.commit();
    summarize();
    return result;
}

} // namespace korvo
