#include "core/Values.h"

#include <QRegularExpression>

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

namespace korvo {

namespace {

bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The classic reading skips blanks, tabs and line feeds anywhere in the text.
bool isValBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

// "&H1F" / "&O17" after the blanks are gone. Hexadecimal and octal values
// that fit 16 bits are taken as 16-bit signed, those that fit 32 bits as
// 32-bit signed, as the classic conversions do (&HFFFF is -1).
bool radixValue(const QString &s, int start, double *out, int *consumed)
{
    if (start + 1 >= s.size() || s.at(start) != QLatin1Char('&'))
        return false;
    const QChar kind = s.at(start + 1).toUpper();
    int radix = 0;
    if (kind == QLatin1Char('H'))
        radix = 16;
    else if (kind == QLatin1Char('O'))
        radix = 8;
    else
        return false;
    quint64 v = 0;
    int i = start + 2;
    bool any = false;
    for (; i < s.size(); ++i) {
        const QChar c = s.at(i).toUpper();
        int d = 99;
        if (isAsciiDigit(c))
            d = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            d = c.unicode() - 'A' + 10;
        if (d >= radix)
            break;
        if (v > (std::numeric_limits<quint64>::max() >> 4))
            break; // far beyond any integer range; stop taking figures
        v = v * radix + quint64(d);
        any = true;
    }
    if (!any)
        return false;
    if (v <= 0xFFFF)
        *out = double(qint16(quint16(v)));
    else if (v <= 0xFFFFFFFFull)
        *out = double(qint32(quint32(v)));
    else
        *out = double(v);
    *consumed = i - start;
    return true;
}

// Scans a decimal number at the start of s (no blanks in s). Returns the
// number of characters used, 0 when there is no figure.
int scanDecimal(const QString &s, QByteArray *ascii)
{
    int i = 0;
    const int n = s.size();
    QByteArray out;
    if (i < n && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        out.append(char(s.at(i++).unicode()));
    int figures = 0;
    while (i < n && isAsciiDigit(s.at(i))) {
        out.append(char(s.at(i++).unicode()));
        ++figures;
    }
    if (i < n && s.at(i) == QLatin1Char('.')) {
        out.append('.');
        ++i;
        while (i < n && isAsciiDigit(s.at(i))) {
            out.append(char(s.at(i++).unicode()));
            ++figures;
        }
    }
    if (figures == 0)
        return 0;
    // Exponent: E or D, optional sign, at least one figure.
    if (i < n) {
        const QChar e = s.at(i).toUpper();
        if (e == QLatin1Char('E') || e == QLatin1Char('D')) {
            int j = i + 1;
            QByteArray exp("e");
            if (j < n && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
                exp.append(char(s.at(j++).unicode()));
            int expFigures = 0;
            while (j < n && isAsciiDigit(s.at(j))) {
                exp.append(char(s.at(j++).unicode()));
                ++expFigures;
            }
            if (expFigures > 0) {
                out.append(exp);
                i = j;
            }
        }
    }
    *ascii = out;
    return i;
}

double toDouble(const QByteArray &ascii)
{
    bool ok = false;
    const double v = ascii.toDouble(&ok);
    if (ok)
        return v;
    // Out of range: toDouble refuses, the sign of the overflow still counts.
    return ascii.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                 : std::numeric_limits<double>::infinity();
}

qint32 clampInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<qint32>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<qint32>::min();
    return qint32(v);
}

} // namespace

double NumericPrefix(const QString &text, bool *found)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (!isValBlank(c))
            s.append(c);
    if (found)
        *found = false;

    double radix = 0;
    int used = 0;
    if (radixValue(s, 0, &radix, &used)) {
        if (found)
            *found = true;
        return radix;
    }
    QByteArray ascii;
    if (scanDecimal(s, &ascii) == 0)
        return 0;
    if (found)
        *found = true;
    return toDouble(ascii);
}

std::optional<double> StrictNumber(const QString &text)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    double radix = 0;
    int used = 0;
    if (radixValue(s, 0, &radix, &used))
        return used == s.size() ? std::optional<double>(radix) : std::nullopt;
    // A decimal comma is taken as the decimal point when there is no point.
    if (!s.contains(QLatin1Char('.')) && s.count(QLatin1Char(',')) == 1)
        s.replace(QLatin1Char(','), QLatin1Char('.'));
    QByteArray ascii;
    if (scanDecimal(s, &ascii) != s.size())
        return std::nullopt;
    const double v = toDouble(ascii);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

double RoundHalfEven(double v)
{
    const int oldMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(oldMode);
    return r;
}

qint32 PrefixToInt32(const QString &text)
{
    return clampInt32(RoundHalfEven(NumericPrefix(text)));
}

qint16 PrefixToInt16(const QString &text)
{
    const qint32 v = PrefixToInt32(text);
    return qint16(std::clamp<qint32>(v, std::numeric_limits<qint16>::min(),
                                     std::numeric_limits<qint16>::max()));
}

std::optional<qint32> StrictInt32(const QString &text)
{
    const auto v = StrictNumber(text);
    if (!v)
        return std::nullopt;
    const double r = RoundHalfEven(*v);
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return qint32(r);
}

std::optional<bool> StrictBool(const QString &text)
{
    const QString s = text.trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    const auto v = StrictNumber(s);
    if (!v)
        return std::nullopt;
    return *v != 0.0;
}

QString NumberText(double v)
{
    if (!std::isfinite(v))
        return QStringLiteral("0");
    if (v == 0.0)
        return QStringLiteral("0"); // also -0
    // Fixed notation, shortest text that reads back to the same double.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (res.ec != std::errc())
        return QString::number(v, 'g', 17);
    return QString::fromLatin1(buf, int(res.ptr - buf));
}

QDate ZeroDate() { return QDate(1899, 12, 30); }

namespace {

struct DateTimeParts {
    QDate date;
    QTime time;
    bool hasTime = false;
};

std::optional<QTime> timeFromParts(const QString &h, const QString &m, const QString &s)
{
    const QTime t(h.toInt(), m.toInt(), s.isEmpty() ? 0 : s.toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

std::optional<DateTimeParts> parseDateText(const QString &text)
{
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    static const QRegularExpression dmy(QStringLiteral(
        R"(^(\d{1,2})([./])(\d{1,2})\2(\d{4})(?: (\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    DateTimeParts parts;
    QString h, mi, se;
    if (const auto m = iso.match(text); m.hasMatch()) {
        parts.date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        h = m.captured(4);
        mi = m.captured(5);
        se = m.captured(6);
    } else if (const auto m2 = dmy.match(text); m2.hasMatch()) {
        parts.date = QDate(m2.captured(4).toInt(), m2.captured(3).toInt(), m2.captured(1).toInt());
        h = m2.captured(5);
        mi = m2.captured(6);
        se = m2.captured(7);
    } else {
        return std::nullopt;
    }
    if (!parts.date.isValid())
        return std::nullopt;
    if (!h.isEmpty()) {
        const auto t = timeFromParts(h, mi, se);
        if (!t)
            return std::nullopt;
        parts.time = *t;
        parts.hasTime = true;
    }
    return parts;
}

// Figures at text[from, from + n), ASCII only (as \d of the patterns
// above); -1 when another character sits there.
int asciiFigures(const QString &text, qsizetype from, int n)
{
    int v = 0;
    for (qsizetype i = from; i < from + n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// The stored forms "yyyy-MM-dd" and "HH:mm[:ss]", and whole day counts ("0"
// where nothing was stored), read without the patterns.
// A miss (other form, invalid value) returns nullopt and leaves the reading
// to the general path, which gives the same result for these forms.
std::optional<QDate> isoDate(const QString &text)
{
    if (text.size() != 10 || text.at(4) != u'-' || text.at(7) != u'-')
        return std::nullopt;
    const int y = asciiFigures(text, 0, 4), m = asciiFigures(text, 5, 2), d = asciiFigures(text, 8, 2);
    if (y < 0 || m < 0 || d < 0)
        return std::nullopt;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> dayCountDate(const QString &text)
{
    if (text.isEmpty() || text.size() > 7)
        return std::nullopt;
    const int days = asciiFigures(text, 0, int(text.size()));
    if (days < 0 || days > 3000000)
        return std::nullopt;
    const QDate d = ZeroDate().addDays(days);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

std::optional<QTime> isoTime(const QString &text)
{
    if ((text.size() != 5 && text.size() != 8) || text.at(2) != u':'
        || (text.size() == 8 && text.at(5) != u':'))
        return std::nullopt;
    const int h = asciiFigures(text, 0, 2), m = asciiFigures(text, 3, 2);
    const int s = text.size() == 8 ? asciiFigures(text, 6, 2) : 0;
    if (h < 0 || m < 0 || s < 0)
        return std::nullopt;
    const QTime t(h, m, s);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

} // namespace

std::optional<QDate> ReadDate(const QString &text)
{
    if (const auto d = isoDate(text))
        return d;
    if (const auto d = dayCountDate(text))
        return d;
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    if (const auto parts = parseDateText(s))
        return parts->date;
    const auto days = StrictNumber(s);
    if (!days)
        return std::nullopt;
    // The whole days count; the fraction is the time of day.
    const double whole = std::trunc(*days);
    if (std::fabs(whole) > 3.0e6)
        return std::nullopt;
    const QDate d = ZeroDate().addDays(qint64(whole));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

std::optional<QTime> ReadTime(const QString &text)
{
    if (const auto t = isoTime(text))
        return t;
    // A whole number of days has no time of day.
    if (!text.isEmpty() && text.size() <= 9 && asciiFigures(text, 0, int(text.size())) >= 0)
        return QTime(0, 0);
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    static const QRegularExpression hm(QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2}))?$)"));
    if (const auto m = hm.match(s); m.hasMatch())
        return timeFromParts(m.captured(1), m.captured(2), m.captured(3));
    if (const auto parts = parseDateText(s))
        return parts->hasTime ? parts->time : QTime(0, 0);
    const auto v = StrictNumber(s);
    if (!v)
        return std::nullopt;
    const double fraction = std::fabs(*v - std::trunc(*v));
    qint64 secs = qint64(RoundHalfEven(fraction * 86400.0));
    if (secs >= 86400)
        secs = 0;
    return QTime(0, 0).addSecs(int(secs));
}

} // namespace korvo
