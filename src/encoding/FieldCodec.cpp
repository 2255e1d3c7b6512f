#include "encoding/FieldCodec.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/Values.h"
#include "i18n/Codepages.h"
#include "i18n/IranSystem.h"

#include <QStringEncoder>
#include <QVariant>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <optional>

namespace korvo {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Room for n more bytes at the end of out; the caller fills all of them.
// One size change instead of an append per character.
char *grow(QByteArray &out, qsizetype n)
{
    const qsizetype at = out.size();
    out.resize(at + n);
    return out.data() + at;
}

void putByteHex(char *p, quint8 b)
{
    p[0] = kHexDigits[b >> 4];
    p[1] = kHexDigits[b & 0x0F];
}

void appendByteHex(QByteArray &out, quint8 b)
{
    putByteHex(grow(out, 2), b);
}

// Two decimal figures of 0..99.
void appendTwoFigures(QByteArray &out, int v)
{
    char *p = grow(out, 2);
    p[0] = char('0' + v / 10);
    p[1] = char('0' + v % 10);
}

void fail(AppState &state, const QString &source, const QString &description)
{
    state.errorSource = source;
    ReportError(state, description);
}

QString fieldSource(const QString &value, qint16 length, const QString &type, const QString &font)
{
    return QStringLiteral("CVSFieldCode (") + value + QLatin1Char(',') + QString::number(length)
        + QLatin1Char(',') + type + QLatin1Char(',') + font + QLatin1Char(')');
}

// Writes a non-negative whole number as decimal figures left-padded with "0"
// to figures; false when it needs more.
bool appendDecimal(QByteArray &out, double whole, int figures)
{
    const QByteArray digits = QByteArray::number(whole, 'f', 0);
    if (digits.size() > figures)
        return false;
    out.append(figures - digits.size(), '0');
    out.append(digits);
    return true;
}

// BCD, HEX and BIN read their value thus: "," and "." removed, the first
// `figures` characters kept, their leading number rounded half to even.
double cleanedNumber(const QString &value, int figures)
{
    QString cut;
    cut.reserve(qMin<qsizetype>(figures, value.size()));
    for (QChar c : value) {
        if (cut.size() >= figures)
            break;
        if (c == u',' || c == u'.')
            continue;
        cut.append(c);
    }
    return RoundHalfEven(NumericPrefix(cut));
}

// A number as the locale writes it; a decimal comma is accepted as well.
std::optional<double> localeNumber(const QString &value)
{
    if (std::optional<double> v = StrictNumber(value))
        return v;
    if (value.contains(u','))
        return StrictNumber(QString(value).replace(u',', u'.'));
    return std::nullopt;
}

bool isHexText(const QString &value)
{
    if (value.size() % 2 != 0)
        return false;
    for (QChar c : value) {
        const char16_t u = c.unicode();
        const bool hex = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
        if (!hex)
            return false;
    }
    return true;
}

bool allAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

bool appendNumberField(AppState &state, QByteArray &out, const QString &value, qint16 length,
                       FieldType type, const QString &typeText, const QString &font)
{
    const int figures = 2 * length;
    const double r = cleanedNumber(value, figures);
    if (!std::isfinite(r)) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("Overflow: \"%1\" is no finite number").arg(value));
        return false;
    }
    if (type == FieldType::BCD) {
        if (r < 0) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("A negative number cannot be written as BCD"));
            return false;
        }
        if (!appendDecimal(out, r, figures)) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Overflow: the number needs more than %1 figures").arg(figures));
            return false;
        }
        return true;
    }
    // HEX and BIN: a 32-bit integer, negative numbers in two's complement.
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("Overflow: the number is beyond the 32-bit range"));
        return false;
    }
    const quint32 u = static_cast<quint32>(static_cast<qint32>(r));
    const QByteArray hex = QByteArray::number(u, 16).toUpper();
    if (hex.size() > figures) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("Overflow: the number needs more than %1 bytes").arg(length));
        return false;
    }
    out.append(figures - hex.size(), '0');
    out.append(hex);
    return true;
}

bool appendScaledField(AppState &state, QByteArray &out, const QString &value, qint16 length,
                       FieldType type, const QString &typeText, const QString &font)
{
    const int figures = 2 * length;
    const std::optional<double> v = localeNumber(value);
    if (!v || !std::isfinite(*v)) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("Type mismatch: \"%1\" is not a number").arg(value));
        return false;
    }
    const qint16 decimals =
        type == FieldType::BCD_PRICE ? state.enc.priceDecimals : state.enc.weightDecimals;
    const double scaled = *v * std::pow(10.0, decimals);
    // Figures after the point are cut to the field; figures before it never
    // are: 1234567.89 in 8 figures must not go out as 12345678.
    const QString full = FifteenDigitText(scaled);
    const qsizetype point = full.indexOf(u'.');
    const qsizetype whole = (point < 0 ? full.size() : point) - (full.startsWith(u'-') ? 1 : 0);
    if (!std::isfinite(scaled) || whole > figures) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("Overflow: %1 with %2 decimals needs more than %3 figures")
                 .arg(value)
                 .arg(decimals)
                 .arg(figures));
        return false;
    }
    const QString text = full.left(figures);
    const double r = RoundHalfEven(NumericPrefix(text));
    if (r < 0) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("A negative number cannot be written as BCD"));
        return false;
    }
    if (!appendDecimal(out, r, figures)) {
        fail(state, fieldSource(value, length, typeText, font),
             QStringLiteral("Overflow: the number needs more than %1 figures").arg(figures));
        return false;
    }
    return true;
}


// ---------------------------------------------------------------------------
// Fast path for plain numbers. It gives exactly what the text path above
// gives, but only for texts it can read without doubt (figures, at most one
// point, no sign, no blanks) and only when the result is a success; anything
// else goes the text path, which also words the errors.

constexpr int kFastFigures = 36; // wider fields take the text path

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The ASCII text of a value, when it has no other character.
bool asciiOf(QStringView value, char *buf, int cap, int &n)
{
    if (value.size() > cap)
        return false;
    n = 0;
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return false;
        buf[n++] = static_cast<char>(u);
    }
    return true;
}

// "," and "." removed, the first figures characters kept; a whole number
// of at most 18 figures (or nothing) is read, else false.
bool cleanedWhole(std::string_view text, int figures, qint64 &v)
{
    v = 0;
    int kept = 0;
    for (char c : text) {
        if (kept >= figures)
            break;
        if (c == ',' || c == '.')
            continue;
        if (!isDigit(c) || kept >= 18)
            return false;
        v = v * 10 + (c - '0');
        ++kept;
    }
    return true;
}

void appendPadded(QByteArray &out, const char *digits, int n, int figures)
{
    // Fields are a few figures wide: plain loops beat the library calls.
    char *p = grow(out, figures);
    for (int i = 0; i < figures - n; ++i)
        *p++ = '0';
    for (int i = 0; i < n; ++i)
        *p++ = digits[i];
}

// A stored whole number in a BCD, HEX or BIN field: what fastWholeField makes
// of its decimal text, without writing and reading the text.
bool fastIntegerField(QByteArray &out, qint64 value, qint16 length, FieldType type)
{
    const int figures = 2 * length;
    if (figures > kFastFigures || value < 0)
        return false;
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    int n = int(r.ptr - buf);
    // The text path keeps the first `figures` figures, at most 18.
    if (n > figures)
        n = figures;
    if (n > 18)
        return false;
    if (type == FieldType::BCD) {
        appendPadded(out, buf, n, figures);
        return true;
    }
    qint64 v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (buf[i] - '0');
    if (v > 2147483647)
        return false;
    char hex[8];
    int h = 0;
    do {
        hex[7 - h++] = kHexDigits[v & 0x0F];
        v >>= 4;
    } while (v != 0);
    if (h > figures)
        return false;
    appendPadded(out, hex + 8 - h, h, figures);
    return true;
}

bool fastWholeField(QByteArray &out, std::string_view text, qint16 length, FieldType type)
{
    const int figures = 2 * length;
    if (figures > kFastFigures)
        return false;
    qint64 v = 0;
    if (!cleanedWhole(text, figures, v))
        return false;
    char buf[24];
    if (type == FieldType::BCD) {
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        appendPadded(out, buf, int(r.ptr - buf), figures);
        return true;
    }
    if (v > 2147483647)
        return false;
    const auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
    const int n = int(r.ptr - buf);
    if (n > figures)
        return false;
    for (int i = 0; i < n; ++i)
        buf[i] = kHexDigits[buf[i] <= '9' ? buf[i] - '0' : buf[i] - 'a' + 10];
    appendPadded(out, buf, n, figures);
    return true;
}

// A plain decimal: figures with at most one point between figures.
bool plainDecimal(std::string_view text, double &v)
{
    if (text.empty() || text.size() > 40 || !isDigit(text.front()) || !isDigit(text.back()))
        return false;
    int points = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (!isDigit(c))
            return false;
    }
    if (points > 1)
        return false;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Up to 15 significant figures, as FifteenDigitText writes numbers that need
// no exponent; false for the others.
bool fifteenDigits(double v, char *buf, int cap, int &n)
{
    if (v == 0.0) {
        buf[0] = '0';
        n = 1;
        return true;
    }
    if (!std::isfinite(v))
        return false;
    const double a = std::fabs(v);
    if (a >= 1e-4 && a < 1e14) {
        // Here %.15g writes fixed notation, and the shortest text that reads
        // back as v is exactly what it writes whenever that text has at most
        // 15 significant figures (v lies nearer to it than half a step of the
        // 15-figure grid). The shortest text is much cheaper to find.
        const auto r = std::to_chars(buf, buf + cap, v, std::chars_format::fixed);
        if (r.ec == std::errc()) {
            int significant = 0;
            bool leading = true;
            for (const char *p = buf; p < r.ptr; ++p) {
                if (*p < '0' || *p > '9')
                    continue;
                if (leading && *p == '0')
                    continue;
                leading = false;
                ++significant;
            }
            if (significant <= 15) {
                n = int(r.ptr - buf);
                return true;
            }
        }
    }
    const auto r = std::to_chars(buf, buf + cap, v, std::chars_format::general, 15);
    if (r.ec != std::errc())
        return false;
    n = int(r.ptr - buf);
    for (int i = 0; i < n; ++i) {
        if (buf[i] == 'e')
            return false;
    }
    return true;
}

// 10^e as std::pow gives it; the powers up to 10^22 are exact doubles.
double powerOfTen(int e)
{
    static constexpr double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return e >= 0 && e <= 22 ? exact[e] : std::pow(10.0, e);
}

bool fastScaledField(AppState &state, QByteArray &out, std::string_view text, qint16 length,
                     FieldType type)
{
    const int figures = 2 * length;
    if (figures > kFastFigures)
        return false;
    double v = 0;
    if (!plainDecimal(text, v))
        return false;
    const qint16 decimals =
        type == FieldType::BCD_PRICE ? state.enc.priceDecimals : state.enc.weightDecimals;
    char buf[48];
    int n = 0;
    if (!fifteenDigits(v * powerOfTen(decimals), buf, sizeof buf, n))
        return false;
    // Figures before the point must all fit; the text path words the error.
    const char *point = std::find(buf, buf + n, '.');
    if (point - buf > figures)
        return false;
    n = qMin(n, figures);
    for (int i = 0; i < n; ++i) {
        if (!isDigit(buf[i]))
            return false; // a fraction inside the cut: the text path rounds it
    }
    appendPadded(out, buf, n, figures);
    return true;
}

bool fastNumberField(AppState &state, QByteArray &out, std::string_view text, qint16 length,
                     FieldType type)
{
    switch (type) {
    case FieldType::BCD:
    case FieldType::HEX:
    case FieldType::BIN:
        return fastWholeField(out, text, length, type);
    case FieldType::BCD_PRICE:
    case FieldType::BCD_WEIGHT:
        return fastScaledField(state, out, text, length, type);
    default:
        return false;
    }
}

bool isNumberType(FieldType type)
{
    return type == FieldType::BCD || type == FieldType::HEX || type == FieldType::BIN
        || type == FieldType::BCD_PRICE || type == FieldType::BCD_WEIGHT;
}
} // namespace

FieldType ParseFieldType(const QString &type)
{
    const QString t = type.toUpper();
    if (t == QLatin1String("BCD"))
        return FieldType::BCD;
    if (t == QLatin1String("HEX"))
        return FieldType::HEX;
    if (t == QLatin1String("BIN"))
        return FieldType::BIN;
    if (t == QLatin1String("ASCII"))
        return FieldType::ASCII;
    if (t == QLatin1String("ASCII_TXT"))
        return FieldType::ASCII_TXT;
    if (t == QLatin1String("ASCII_NOFONT"))
        return FieldType::ASCII_NOFONT;
    if (t == QLatin1String("BCD_TIME"))
        return FieldType::BCD_TIME;
    if (t == QLatin1String("BCD_DATE"))
        return FieldType::BCD_DATE;
    if (t == QLatin1String("BCD_PRICE"))
        return FieldType::BCD_PRICE;
    if (t == QLatin1String("BCD_WEIGHT"))
        return FieldType::BCD_WEIGHT;
    if (t == QLatin1String("OTHER"))
        return FieldType::OTHER;
    return FieldType::Unknown;
}

QString FifteenDigitText(double v)
{
    if (v == 0.0 || !std::isfinite(v))
        return QStringLiteral("0");
    QString s = QString::number(v, 'g', 15);
    if (!s.contains(u'e'))
        return s;
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
    const int decimals = qMax(0, 14 - exponent);
    s = QString::number(v, 'f', decimals);
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    return s;
}

// ---------------------------------------------------------------------------

TextCodec::TextCodec(AppState &state)
    : m_state(state)
{
    if (state.settings.SetLanguageCodepage == 1) {
        switch (state.settings.LangeCodepageToConvert) {
        case 0: m_table = Table::CentralEuropean; break;
        case 1: m_table = Table::Cyrillic; break;
        case 2: m_table = Table::IranSystem; break;
        default: m_table = Table::None; break;
        }
    }
    // A conversion table maps bytes of its own source code page: the text
    // must be in that one, whatever the setting Codepage says.
    QString name = state.settings.Codepage.trimmed();
    if (m_table == Table::CentralEuropean)
        name = QStringLiteral("windows-1250");
    else if (m_table == Table::Cyrillic)
        name = QStringLiteral("windows-1251");
    if (name.isEmpty())
        name = QStringLiteral("windows-1252");
    m_codepage = name.toLatin1();
    const QByteArray &codepage = m_codepage;
    QStringEncoder probe(codepage.constData());
    if (probe.isValid()) {
        QString ascii(128, Qt::Uninitialized);
        QByteArray expected(128, Qt::Uninitialized);
        for (int i = 0; i < 128; ++i) {
            ascii[i] = QChar(i);
            expected[i] = static_cast<char>(i);
        }
        const QByteArray got = probe(ascii);
        m_asciiCompatible = !probe.hasError() && got == expected;
    }
}

bool TextCodec::plain(QStringView text) const
{
    if (!m_asciiCompatible || m_table == Table::IranSystem)
        return false;
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QByteArray TextCodec::bytes(const QString &text) const
{
    if (m_table == Table::IranSystem)
        return Uni2IrSys(text);
    if (m_asciiCompatible && allAscii(text))
        return text.toLatin1();
    QByteArray b = ToCodepage(m_state, text, m_codepage);
    if (m_table == Table::None)
        return b;
    // The tables' source code pages are single-byte ones.
    const CodepageTable &table =
        m_table == Table::CentralEuropean ? m_state.cpCentralEuropean : m_state.cpCyrillic;
    for (char &c : b) {
        const quint8 u = static_cast<quint8>(c);
        if (u >= 128)
            c = static_cast<char>(table[u - 128]);
    }
    return b;
}

// ---------------------------------------------------------------------------

namespace {

void appendPlainHex(QByteArray &out, QStringView text)
{
    char *p = grow(out, 2 * text.size());
    for (QChar c : text) {
        putByteHex(p, static_cast<quint8>(c.unicode()));
        p += 2;
    }
}

} // namespace

void AppendHex(QByteArray &out, const QByteArray &bytes)
{
    char *p = grow(out, 2 * bytes.size());
    for (char c : bytes) {
        putByteHex(p, static_cast<quint8>(c));
        p += 2;
    }
}

bool AppendFieldCode(const TextCodec &codec, QByteArray &out, const QString &value, qint16 length,
                     FieldType type, const QString &typeText, const QString &font)
{
    if (length <= 0)
        return true;
    AppState &state = codec.state();
    const int figures = 2 * length;
    if (isNumberType(type)) {
        char buf[64];
        int n = 0;
        const qsizetype before = out.size();
        if (asciiOf(value, buf, sizeof buf, n) && fastNumberField(state, out, std::string_view(buf, n), length, type))
            return true;
        out.truncate(before);
    }
    switch (type) {
    case FieldType::BCD:
    case FieldType::HEX:
    case FieldType::BIN:
        return appendNumberField(state, out, value, length, type, typeText, font);
    case FieldType::ASCII: {
        if (codec.plain(value) && value.size() <= length) {
            appendPlainHex(out, value);
            out.append(2 * (length - value.size()), '0');
            return true;
        }
        const QByteArray b = codec.bytes(value);
        if (b.size() > length) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Overflow: the text needs %1 bytes, the field holds %2")
                     .arg(b.size())
                     .arg(length));
            return false;
        }
        AppendHex(out, b);
        out.append(2 * (length - b.size()), '0');
        return true;
    }
    case FieldType::ASCII_TXT:
        return AppendTxtData(codec, out, value, font);
    case FieldType::ASCII_NOFONT: {
        if (codec.plain(value) && value.size() <= 255) {
            appendByteHex(out, static_cast<quint8>(value.size()));
            appendPlainHex(out, value);
            return true;
        }
        const QByteArray b = codec.bytes(value);
        if (b.size() > 255) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Overflow: the text needs %1 bytes, at most 255 fit").arg(b.size()));
            return false;
        }
        appendByteHex(out, static_cast<quint8>(b.size()));
        AppendHex(out, b);
        return true;
    }
    case FieldType::BCD_TIME: {
        if (length < 2) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Overflow: a time needs 2 bytes, the field holds %1").arg(length));
            return false;
        }
        const std::optional<QTime> t = ReadTime(value);
        if (!t) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Type mismatch: \"%1\" is not a time").arg(value));
            return false;
        }
        out.append(figures - 4, '0');
        appendTwoFigures(out, t->hour());
        appendTwoFigures(out, t->minute());
        return true;
    }
    case FieldType::BCD_DATE: {
        if (length < 3) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Overflow: a date needs 3 bytes, the field holds %1").arg(length));
            return false;
        }
        const std::optional<QDate> d = ReadDate(value);
        if (!d) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("Type mismatch: \"%1\" is not a date").arg(value));
            return false;
        }
        const int yy = ((d->year() % 100) + 100) % 100;
        out.append(figures - 6, '0');
        appendTwoFigures(out, d->day());
        appendTwoFigures(out, d->month());
        appendTwoFigures(out, yy);
        return true;
    }
    case FieldType::BCD_PRICE:
    case FieldType::BCD_WEIGHT:
        return appendScaledField(state, out, value, length, type, typeText, font);
    case FieldType::OTHER:
        // The column already holds the field's hexadecimal text.
        if (!isHexText(value)) {
            fail(state, fieldSource(value, length, typeText, font),
                 QStringLiteral("\"%1\" is not hexadecimal text").arg(value));
            return false;
        }
        out.append(value.toLatin1());
        return true;
    case FieldType::Unknown:
        break;
    }
    fail(state, fieldSource(value, length, typeText, font),
         QStringLiteral("Unknown field type \"%1\"").arg(typeText));
    return false;
}

QString StoredValueText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Int:
        return QString::number(v.toInt());
    case QMetaType::ULongLong:
        return QString::number(v.toULongLong());
    case QMetaType::UInt:
        return QString::number(v.toUInt());
    case QMetaType::Double:
        return FifteenDigitText(v.toDouble());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}

bool AppendFieldValue(const TextCodec &codec, QByteArray &out, const QVariant &value,
                      const QString &nullText, qint16 length, FieldType type, const QString &typeText,
                      const QString &font)
{
    if (length <= 0)
        return true;
    if (!value.isNull()) {
        switch (value.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
            return AppendFieldInteger(codec, out, value.toLongLong(), length, type, typeText, font);
        case QMetaType::Double:
            return AppendFieldReal(codec, out, value.toDouble(), length, type, typeText, font);
        default:
            break;
        }
    }
    return AppendFieldCode(codec, out, value.isNull() ? nullText : StoredValueText(value), length,
                           type, typeText, font);
}

bool AppendFieldInteger(const TextCodec &codec, QByteArray &out, qint64 value, qint16 length,
                        FieldType type, const QString &typeText, const QString &font)
{
    if (length <= 0)
        return true;
    if (isNumberType(type)) {
        const qsizetype before = out.size();
        if (type == FieldType::BCD || type == FieldType::HEX || type == FieldType::BIN) {
            if (fastIntegerField(out, value, length, type))
                return true;
        } else {
            char buf[24];
            const auto r = std::to_chars(buf, buf + sizeof buf, value);
            if (fastNumberField(codec.state(), out, std::string_view(buf, r.ptr - buf), length, type))
                return true;
        }
        out.truncate(before);
    }
    return AppendFieldCode(codec, out, QString::number(value), length, type, typeText, font);
}

bool AppendFieldReal(const TextCodec &codec, QByteArray &out, double value, qint16 length,
                     FieldType type, const QString &typeText, const QString &font)
{
    if (length <= 0)
        return true;
    if (!std::isfinite(value)) {
        // FifteenDigitText would write it as 0: a free article on the scale.
        const QString text = QString::number(value);
        fail(codec.state(), fieldSource(text, length, typeText, font),
             QStringLiteral("Overflow: the stored value %1 is no finite number").arg(text));
        return false;
    }
    if (isNumberType(type)) {
        char buf[48];
        int n = 0;
        const qsizetype before = out.size();
        if (fifteenDigits(value, buf, sizeof buf, n)
            && fastNumberField(codec.state(), out, std::string_view(buf, n), length, type))
            return true;
        out.truncate(before);
    }
    return AppendFieldCode(codec, out, FifteenDigitText(value), length, type, typeText, font);
}

bool AppendTxtData(const TextCodec &codec, QByteArray &out, const QString &text, const QString &fonts)
{
    AppState &state = codec.state();
    static constexpr char16_t nul = 0;
    const QStringView body = text.isEmpty() ? QStringView(&nul, 1) : QStringView(text);
    const QString hexType = QStringLiteral("HEX");
    const QString zero = QStringLiteral("0");
    qsizetype lineStart = 0;
    qsizetype fontStart = 0; // -1 once the font list is used up
    for (int i = 0;; ++i) {
        qsizetype lineEnd = body.indexOf(u'\r', lineStart);
        const bool last = lineEnd < 0;
        if (last)
            lineEnd = body.size();
        const QStringView line = body.mid(lineStart, lineEnd - lineStart);

        // The line's font: the next item of the list, 0 when there is none.
        QStringView font = zero;
        if (fontStart >= 0) {
            qsizetype fontEnd = QStringView(fonts).indexOf(u',', fontStart);
            font = QStringView(fonts).mid(fontStart, (fontEnd < 0 ? fonts.size() : fontEnd) - fontStart);
            fontStart = fontEnd < 0 ? -1 : fontEnd + 1;
        }
        char buf[16];
        int n = 0;
        const qsizetype before = out.size();
        if (!(asciiOf(font, buf, sizeof buf, n)
              && fastNumberField(state, out, std::string_view(buf, n), 1, FieldType::HEX))) {
            out.truncate(before);
            if (!AppendFieldCode(codec, out, font.toString(), 1, FieldType::HEX, hexType, zero))
                return false;
        }

        if (codec.plain(line) && line.size() <= 255) {
            appendByteHex(out, static_cast<quint8>(line.size()));
            appendPlainHex(out, line);
        } else {
            const QByteArray b = codec.bytes(line.toString());
            if (b.size() > 255) {
                fail(state, QStringLiteral("CVSTxtData (") + text + QLatin1Char(',') + fonts + QLatin1Char(')'),
                     QStringLiteral("Overflow: line %1 needs %2 bytes, at most 255 fit")
                         .arg(i + 1)
                         .arg(b.size()));
                return false;
            }
            appendByteHex(out, static_cast<quint8>(b.size()));
            AppendHex(out, b);
        }
        char *end = grow(out, 2);
        end[0] = '0';
        end[1] = last ? 'C' : 'D';
        if (last)
            return true;
        lineStart = lineEnd + 1;
    }
}

bool AppendLenData(AppState &state, QByteArray &out, const QByteArray &data, qint16 length)
{
    if (length <= 0)
        return true;
    const qint64 total = data.size() / 2 + 2;
    const QByteArray hex = QByteArray::number(total, 16).toUpper();
    if (data.size() % 2 != 0 || hex.size() > 2 * length) {
        fail(state, QStringLiteral("LenData (") + QString::fromLatin1(data) + QLatin1Char(')'),
             data.size() % 2 != 0
                 ? QStringLiteral("The record has an odd number of figures")
                 : QStringLiteral("Overflow: a record of %1 bytes does not fit its length field")
                       .arg(total));
        return false;
    }
    out.append(2 * length - hex.size(), '0');
    out.append(hex);
    return true;
}

QString CVSFieldCode(AppState &state, const QString &value, qint16 length, const QString &type,
                     const QString &font, bool *ok)
{
    const TextCodec codec(state);
    QByteArray out;
    const bool good = AppendFieldCode(codec, out, value, length, ParseFieldType(type), type, font);
    if (ok)
        *ok = good;
    return good ? QString::fromLatin1(out) : QString();
}

QString CVSTxtData(AppState &state, const QString &text, const QString &fonts, bool *ok)
{
    const TextCodec codec(state);
    QByteArray out;
    const bool good = AppendTxtData(codec, out, text, fonts);
    if (ok)
        *ok = good;
    return good ? QString::fromLatin1(out) : QString();
}

QString AsciiToHex(AppState &state, const QString &text)
{
    const TextCodec codec(state);
    QByteArray out;
    AppendHex(out, codec.bytes(text));
    return QString::fromLatin1(out);
}

QString LenData(AppState &state, const QString &data, qint16 length, bool *ok)
{
    QByteArray out;
    const bool good = AppendLenData(state, out, data.toLatin1(), length);
    if (ok)
        *ok = good;
    return good ? QString::fromLatin1(out) : QString();
}

} // namespace korvo
