#include "core/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QVector>

namespace korvo {

namespace {

// One physical line: its bytes without the terminator, and the terminator.
struct RawLine {
    QByteArray body;
    QByteArray eol; // "\r\n", "\n", "\r" or "" for a last line without one
};

enum class FileCodec { Utf8, Latin1 };

struct IniText {
    QByteArray bom; // kept as it was
    QVector<RawLine> lines;
    FileCodec codec = FileCodec::Utf8;
};

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(dec(bytes));
    return !dec.hasError();
}

IniText splitIni(const QByteArray &data)
{
    IniText t;
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        t.bom = bytes.left(3);
        bytes.remove(0, 3);
    }
    t.codec = isValidUtf8(bytes) ? FileCodec::Utf8 : FileCodec::Latin1;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && bytes.at(i) != '\n' && bytes.at(i) != '\r')
            ++i;
        RawLine line;
        line.body = bytes.mid(start, i - start);
        if (i < n) {
            if (bytes.at(i) == '\r' && i + 1 < n && bytes.at(i + 1) == '\n') {
                line.eol = "\r\n";
                i += 2;
            } else {
                line.eol = bytes.mid(i, 1);
                i += 1;
            }
        }
        t.lines.append(line);
        start = i;
    }
    return t;
}

QString decode(const QByteArray &bytes, FileCodec codec)
{
    return codec == FileCodec::Utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// True for a "[name]" line; *name gets the trimmed name.
bool isSectionLine(const QString &line, QString *name)
{
    const QString s = line.trimmed();
    if (!s.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = s.indexOf(QLatin1Char(']'));
    *name = (close < 0 ? s.mid(1) : s.mid(1, close - 1)).trimmed();
    return true;
}

// Key of a "key=value" line (trimmed), or a null text.
QString keyName(const QString &line, qsizetype *eqPos = nullptr)
{
    const QString s = line.trimmed();
    if (s.isEmpty() || s.startsWith(QLatin1Char(';')) || s.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    if (eqPos)
        *eqPos = eq;
    const QString k = line.left(eq).trimmed();
    return k.isEmpty() ? QString() : k;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString ReadIniString(const QString &section, const QString &key, const QString &file,
                      int bufferSize)
{
    QFile f(file);
    if (bufferSize <= 1 || !f.open(QIODevice::ReadOnly))
        return {};
    const IniText t = splitIni(f.readAll());

    bool inSection = false;
    bool sectionSeen = false;
    for (const RawLine &raw : t.lines) {
        const QString line = decode(raw.body, t.codec);
        QString sec;
        if (isSectionLine(line, &sec)) {
            // Only the first section of that name counts.
            if (inSection)
                break;
            inSection = !sectionSeen && sameName(sec, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        qsizetype eq = -1;
        const QString k = keyName(line, &eq);
        if (k.isNull() || !sameName(k, key))
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2) {
            const QChar q = value.front();
            if ((q == QLatin1Char('"') || q == QLatin1Char('\'')) && value.back() == q)
                value = value.mid(1, value.size() - 2);
        }
        return value.left(bufferSize - 1);
    }
    return {};
}

bool WriteIniString(const QString &section, const QString &key, const QString &value,
                    const QString &file)
{
    // A line break in a name or value would split the entry.
    auto hasBreak = [](const QString &s) {
        return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
    };
    if (section.trimmed().isEmpty() || key.trimmed().isEmpty() || hasBreak(section)
        || hasBreak(key) || hasBreak(value) || key.contains(QLatin1Char('='))
        || section.contains(QLatin1Char(']')))
        return false;

    QByteArray original;
    {
        QFile f(file);
        if (f.exists()) {
            if (!f.open(QIODevice::ReadOnly))
                return false;
            original = f.readAll();
        }
    }
    IniText t = splitIni(original);

    // A Latin-1 file stays Latin-1 unless the new text needs more; then the
    // whole file becomes UTF-8 (the same texts, other bytes).
    auto fitsLatin1 = [](const QString &s) {
        for (QChar c : s)
            if (c.unicode() > 0xFF)
                return false;
        return true;
    };
    if (t.codec == FileCodec::Latin1
        && !(fitsLatin1(section) && fitsLatin1(key) && fitsLatin1(value))) {
        for (RawLine &l : t.lines)
            l.body = QString::fromLatin1(l.body).toUtf8();
        t.codec = FileCodec::Utf8;
    }
    auto encode = [&](const QString &s) {
        return t.codec == FileCodec::Utf8 ? s.toUtf8() : s.toLatin1();
    };

    QByteArray eol = "\r\n";
    for (const RawLine &l : t.lines)
        if (!l.eol.isEmpty()) {
            eol = l.eol;
            break;
        }

    int sectionStart = -1;  // index of the header line
    int lastContent = -1;   // last non-blank line of that section
    int keyLine = -1;
    qsizetype keyEq = -1;
    for (int i = 0; i < t.lines.size(); ++i) {
        const QString line = decode(t.lines[i].body, t.codec);
        QString sec;
        if (isSectionLine(line, &sec)) {
            if (sectionStart >= 0)
                break;
            if (sameName(sec, section)) {
                sectionStart = i;
                lastContent = i;
            }
            continue;
        }
        if (sectionStart < 0)
            continue;
        if (!line.trimmed().isEmpty())
            lastContent = i;
        qsizetype eq = -1;
        const QString k = keyName(line, &eq);
        if (!k.isNull() && sameName(k, key)) {
            keyLine = i;
            keyEq = eq;
            break;
        }
    }

    auto terminateLast = [&] {
        if (!t.lines.isEmpty() && t.lines.last().eol.isEmpty())
            t.lines.last().eol = eol;
    };

    if (keyLine >= 0) {
        // Keep the key as written and the blanks after "=".
        const QString line = decode(t.lines[keyLine].body, t.codec);
        qsizetype valueStart = keyEq + 1;
        while (valueStart < line.size()
               && (line.at(valueStart) == QLatin1Char(' ')
                   || line.at(valueStart) == QLatin1Char('\t')))
            ++valueStart;
        t.lines[keyLine].body = encode(line.left(valueStart) + value);
    } else if (sectionStart >= 0) {
        RawLine l{encode(key + QLatin1Char('=') + value), eol};
        if (t.lines[lastContent].eol.isEmpty())
            t.lines[lastContent].eol = eol;
        t.lines.insert(lastContent + 1, l);
    } else {
        terminateLast();
        t.lines.append(RawLine{encode(QLatin1Char('[') + section + QLatin1Char(']')), eol});
        t.lines.append(RawLine{encode(key + QLatin1Char('=') + value), eol});
    }

    QByteArray out = t.bom;
    for (const RawLine &l : t.lines) {
        out += l.body;
        out += l.eol;
    }
    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly))
        return false;
    if (save.write(out) != out.size()) {
        save.cancelWriting();
        return false;
    }
    return save.commit();
}

} // namespace korvo
