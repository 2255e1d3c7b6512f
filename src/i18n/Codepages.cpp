#include "i18n/Codepages.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace korvo {

namespace {

constexpr quint8 kBlank = 32;

// Marks "the code page setting names no codec" in state.unmappableReported,
// so that it is reported once per run like an unmappable character. A
// non-character never comes out of a real text.
constexpr QChar kUnknownCodepageMark(0xFFFF);

// The character a single byte stands for in the code page, or a null QChar
// when the code page leaves the byte undefined.
QChar decodeByte(const char *codepage, quint8 byte)
{
    QStringDecoder dec(codepage, QStringDecoder::Flag::Stateless);
    const char b = char(byte);
    const QString s = dec.decode(QByteArrayView(&b, 1));
    if (dec.hasError() || s.size() != 1)
        return {};
    const QChar c = s.at(0);
    // Undefined bytes come back as replacement or C1 control characters.
    if (c == QChar::ReplacementCharacter || (c.unicode() >= 0x80 && c.unicode() <= 0x9F))
        return {};
    return c;
}

// The single byte of c in the code page, or kBlank when the code page has no
// such character. The round trip refuses best-fit substitutes ("„" -> '"').
quint8 encodeChar(const char *codepage, QChar c)
{
    QStringEncoder enc(codepage, QStringEncoder::Flag::Stateless);
    const QByteArray b = enc.encode(QStringView(&c, 1));
    if (enc.hasError() || b.size() != 1)
        return kBlank;
    if (decodeByte(codepage, quint8(b.at(0))) != c)
        return kBlank;
    return quint8(b.at(0));
}

void buildTable(CodepageTable &table, const char *source, const char *target)
{
    for (int i = 0; i < 128; ++i) {
        const QChar c = decodeByte(source, quint8(128 + i));
        table[size_t(i)] = c.isNull() ? kBlank : encodeChar(target, c);
    }
}

bool codecAvailable(const char *name)
{
    return QStringDecoder(name).isValid() && QStringEncoder(name).isValid();
}

} // namespace

void LoadCodepageTables(AppState &state)
{
    const char *const names[] = {"windows-1250", "IBM852", "windows-1251", "IBM866"};
    QStringList missing;
    for (const char *n : names) {
        if (!codecAvailable(n))
            missing << QLatin1String(n);
    }
    if (!missing.isEmpty()) {
        state.cpCentralEuropean.fill(kBlank);
        state.cpCyrillic.fill(kBlank);
        state.codepagesLoaded = true;
        state.errorSource = QStringLiteral("LoadCodepageTables");
        ReportError(state, QStringLiteral("The code page converter has no %1; converted scale texts "
                                          "will carry blanks for characters of 128 and above.")
                               .arg(missing.join(QStringLiteral(", "))));
        return;
    }

    buildTable(state.cpCentralEuropean, "windows-1250", "IBM852");
    // Fixed departures from DOS 852 that the scales' fonts are built for.
    for (int b : {160, 172, 173, 188})
        state.cpCentralEuropean[size_t(b - 128)] = kBlank;
    state.cpCentralEuropean[190 - 128] = 149;

    buildTable(state.cpCyrillic, "windows-1251", "IBM866");
    state.cpCyrillic[160 - 128] = kBlank;

    state.codepagesLoaded = true;
}

QByteArray ToSystemCodepage(AppState &state, const QString &text)
{
    return ToCodepage(state, text, state.settings.Codepage.trimmed().toLatin1());
}

QByteArray ToCodepage(AppState &state, const QString &text, const QByteArray &codepageName)
{
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();

    const QString codepage = codepageName.isEmpty() ? QStringLiteral("windows-1252")
                                                    : QString::fromLatin1(codepageName);
    QByteArray name = codepage.toLatin1();
    if (!QStringEncoder(name.constData()).isValid()) {
        if (!state.unmappableReported.contains(kUnknownCodepageMark)) {
            state.unmappableReported.insert(kUnknownCodepageMark);
            state.errorSource = QStringLiteral("AsciiToHex (") + text + QLatin1Char(')');
            ReportError(state, QStringLiteral("The code page \"%1\" is unknown; texts are sent "
                                              "in windows-1252.")
                                   .arg(codepage));
        }
        name = QByteArrayLiteral("windows-1252");
    }

    // Whole text first: the common case is a text the code page holds.
    {
        QStringEncoder enc(name.constData(), QStringEncoder::Flag::Stateless);
        const QByteArray out = enc.encode(text);
        if (!enc.hasError()) {
            QStringDecoder dec(name.constData(), QStringDecoder::Flag::Stateless);
            if (QString(dec.decode(out)) == text)
                return out;
        }
    }

    // Character by character, so that only what the code page cannot hold
    // turns into "?". Encoders substitute silently, hence the round trip.
    QByteArray out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len =
            (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ? 2
                : 1;
        const QStringView ch = QStringView(text).mid(i, len);
        QStringEncoder enc(name.constData(), QStringEncoder::Flag::Stateless);
        const QByteArray bytes = enc.encode(ch);
        bool ok = !enc.hasError() && !bytes.isEmpty();
        if (ok) {
            QStringDecoder dec(name.constData(), QStringDecoder::Flag::Stateless);
            ok = QString(dec.decode(bytes)) == ch;
        }
        if (ok) {
            out += bytes;
        } else {
            out += '?';
            // Keyed by the first code unit: the set holds QChars.
            const QChar key = text.at(i);
            if (!state.unmappableReported.contains(key)) {
                state.unmappableReported.insert(key);
                state.errorSource = QStringLiteral("AsciiToHex (") + text + QLatin1Char(')');
                ReportError(state, QStringLiteral("The character \"%1\" (U+%2) has no code in code page "
                                                  "%3; it is sent as \"?\".")
                                       .arg(ch.toString(),
                                            QStringLiteral("%1").arg(ch.toString().toUcs4().value(0), 4,
                                                                     16, QLatin1Char('0')).toUpper(),
                                            QString::fromLatin1(name)));
            }
        }
        i += len;
    }
    return out;
}

qsizetype CodepageByteCount(const AppState &state, const QString &text)
{
    qsizetype ascii = 0;
    while (ascii < text.size() && text.at(ascii).unicode() < 0x80)
        ++ascii;
    if (ascii == text.size())
        return ascii;
    QByteArray name = state.settings.Codepage.trimmed().toLatin1();
    if (name.isEmpty() || !QStringEncoder(name.constData()).isValid())
        name = QByteArrayLiteral("windows-1252");
    qsizetype bytes = ascii;
    for (qsizetype i = ascii; i < text.size();) {
        const qsizetype len =
            (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        QStringEncoder enc(name.constData(), QStringEncoder::Flag::Stateless);
        const QByteArray out = enc.encode(QStringView(text).mid(i, len));
        bytes += enc.hasError() || out.isEmpty() ? 1 : out.size();
        i += len;
    }
    return bytes;
}

} // namespace korvo
