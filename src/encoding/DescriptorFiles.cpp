#include "encoding/DescriptorFiles.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/FileUtil.h"
#include "core/Values.h"
#include "encoding/FieldCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cmath>
#include <optional>

namespace korvo {

namespace {

// Blanks of a descriptor line: spaces and tabs, plus a stray CR or LF.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

// Finds name inside folder without regard to case; "" when absent.
QString findEntryNoCase(const QString &folder, const QString &name)
{
    QDir dir(folder);
    if (!dir.exists())
        return {};
    if (QFileInfo::exists(dir.filePath(name)))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &e : entries) {
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    }
    return {};
}

// Callers write "desc" and "Desc" alike: on a case-sensitive file system the
// last two path components are matched without regard to case.
QString resolvePath(const QString &path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    const QFileInfo fi(path);
    const QFileInfo parent(fi.path());
    QString folder = fi.path();
    if (!parent.exists()) {
        const QString found = findEntryNoCase(parent.path(), parent.fileName());
        if (found.isEmpty())
            return path;
        folder = found;
    }
    const QString file = findEntryNoCase(folder, fi.fileName());
    return file.isEmpty() ? path : file;
}

// Reads a descriptor file as text in the system code page. A file in a
// Unicode encoding would read as garbled names: it is refused, named.
std::optional<QString> readText(const AppState &state, const QString &path, QString *error)
{
    const QString resolved = resolvePath(path);
    QFile f(resolved);
    auto refuse = [&](const QString &why) -> std::optional<QString> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (QFileInfo(resolved).isDir())
        return refuse(QStringLiteral("%1 is a folder, not a descriptor file").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        return refuse(QFileInfo::exists(resolved)
                          ? QStringLiteral("The file cannot be read: %1 (%2)").arg(path, f.errorString())
                          : QStringLiteral("File not found: ") + path);
    const QByteArray raw = f.readAll();
    if (const QString encoding = UnicodeEncodingOf(raw.left(4)); !encoding.isEmpty())
        return refuse(QStringLiteral("The file is in %1; descriptor files are plain text in the "
                                     "code page %2")
                          .arg(encoding, state.settings.Codepage));
    QStringDecoder dec(state.settings.Codepage.toLatin1().constData());
    if (!dec.isValid())
        return QString::fromLocal8Bit(raw);
    return QString(dec(raw));
}

// Whole number of a descriptor column: strict reading, halves to even,
// 16-bit range.
std::optional<qint16> wholeNumber16(const QString &text)
{
    // Plain figures (the usual case) need no general number reading.
    if (!text.isEmpty() && text.size() <= 4) {
        int v = 0;
        qsizetype i = text.at(0) == u'-' ? 1 : 0;
        bool plain = i < text.size();
        for (; plain && i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            plain = c >= u'0' && c <= u'9';
            v = v * 10 + (c - u'0');
        }
        if (plain)
            return static_cast<qint16>(text.at(0) == u'-' ? -v : v);
    }
    const std::optional<double> v = StrictNumber(text);
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    const double r = RoundHalfEven(*v);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(r);
}

void reportReader(AppState &state, const QString &reader, const QString &path,
                  const QString &description)
{
    state.errorSource = reader + QLatin1Char('(') + path + QLatin1Char(')');
    ReportError(state, description);
}

QString lineError(int lineNo, const QString &what)
{
    return QStringLiteral("Line %1: %2").arg(lineNo).arg(what);
}

// The lines that carry an entry (not blank, not a ";" comment), split at
// every "," of the untrimmed line, with their 1-based line numbers.
struct DescriptorLine {
    int lineNo;
    QStringList cols;
};

QVector<DescriptorLine> usedLines(const QString &text)
{
    QVector<DescriptorLine> out;
    const QStringList lines = SplitDescriptorLines(text);
    for (int i = 0; i < lines.size(); ++i) {
        const QString trimmed = trimBlanks(lines.at(i));
        if (trimmed.isEmpty() || trimmed.startsWith(u';'))
            continue;
        out.push_back({i + 1, lines.at(i).split(u',')});
    }
    return out;
}

// False after reporting a line with fewer than `needed` columns.
bool hasColumns(AppState &state, const QString &reader, const QString &path,
                const DescriptorLine &line, int needed)
{
    if (line.cols.size() >= needed)
        return true;
    reportReader(state, reader, path,
                 lineError(line.lineNo, QStringLiteral("expected %1 columns, found %2")
                                            .arg(needed)
                                            .arg(line.cols.size())));
    return false;
}

enum class DescKind { Plu, Fixed };

bool readFieldDescFile(AppState &state, const QString &path, DescKind kind)
{
    const QString reader = kind == DescKind::Plu ? QStringLiteral("ReadZentPLUDescFile")
                                                 : QStringLiteral("ReadZentFixedDescFile");
    EncodingTables &enc = state.enc;
    enc.fieldDescs.clear();
    if (kind == DescKind::Plu)
        enc.fieldDescIndex.clear();

    QString error;
    const std::optional<QString> text = readText(state, path, &error);
    if (!text) {
        reportReader(state, reader, path, error);
        return false;
    }
    // Source of the first flag of each name, as GetZentStatusValue finds it.
    QHash<QString, qint16> flagSources;
    if (kind == DescKind::Plu) {
        for (const StatusFlag &f : std::as_const(state.enc.statusFlags)) {
            if (!flagSources.contains(f.Name))
                flagSources.insert(f.Name, f.Source);
        }
    }
    for (const DescriptorLine &line : usedLines(*text)) {
        if (!hasColumns(state, reader, path, line, 7))
            return false;
        const QStringList &cols = line.cols;
        // Length and Conditional are whole numbers; anything else ends the read.
        auto whole = [&](int col, const char *what) -> std::optional<qint16> {
            const std::optional<qint16> v = wholeNumber16(trimBlanks(cols.at(col)));
            if (!v)
                reportReader(state, reader, path,
                             lineError(line.lineNo, QStringLiteral("%1 \"%2\" is not a whole number")
                                                        .arg(QLatin1String(what), trimBlanks(cols.at(col)))));
            return v;
        };
        FieldDescriptor d;
        d.Line = line.lineNo;
        d.Name = trimBlanks(cols.at(0));
        const std::optional<qint16> length = whole(1, "Length");
        if (!length)
            return false;
        d.Length = *length;
        d.Type = trimBlanks(cols.at(2));
        const std::optional<qint16> cond = whole(3, "Conditional");
        if (!cond)
            return false;
        d.Conditional = *cond;
        d.FlagColumn = trimBlanks(cols.at(4));
        d.Column = trimBlanks(cols.at(5));
        d.ImportKind = trimBlanks(cols.at(6));
        if (kind == DescKind::Plu) {
            d.FlagSource = QString::number(flagSources.value(d.FlagColumn, 0));
            const QString key = d.Name.toUpper();
            if (enc.fieldDescIndex.contains(key)) {
                reportReader(state, reader, path,
                             lineError(line.lineNo, QStringLiteral("field name \"%1\" is repeated")
                                                  .arg(d.Name)));
                return false;
            }
            enc.fieldDescs.push_back(d);
            enc.fieldDescIndex.insert(key, enc.fieldDescs.size() - 1);
        } else {
            d.FlagSource = QStringLiteral("1");
            enc.fieldDescs.push_back(d);
        }
    }
    return true;
}

} // namespace

QStringList SplitDescriptorLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.push_back(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.push_back(text.mid(start));
    return lines;
}

QString DescriptorPath(const AppState &state, const QString &fileName)
{
    const QString canonical = state.dataPath + QStringLiteral("Desc/") + fileName;
    const QString folder = findEntryNoCase(state.dataPath, QStringLiteral("Desc"));
    if (folder.isEmpty())
        return canonical;
    const QString file = findEntryNoCase(folder, fileName);
    return file.isEmpty() ? folder + QLatin1Char('/') + fileName : file;
}

bool ReadZentPLUDescFile(AppState &state, const QString &path)
{
    return readFieldDescFile(state, path, DescKind::Plu);
}

bool ReadZentFixedDescFile(AppState &state, const QString &path)
{
    return readFieldDescFile(state, path, DescKind::Fixed);
}

bool ReadZentStatFile(AppState &state, const QString &path)
{
    const QString reader = QStringLiteral("ReadZentStatFile");
    state.enc.statusFlags.clear();
    QString error;
    const std::optional<QString> text = readText(state, path, &error);
    if (!text) {
        reportReader(state, reader, path, error);
        return false;
    }
    for (const DescriptorLine &line : usedLines(*text)) {
        if (!hasColumns(state, reader, path, line, 4))
            return false;
        const QStringList &cols = line.cols;
        StatusFlag f;
        f.Line = line.lineNo;
        f.Name = trimBlanks(cols.at(0));
        f.Source = PrefixToInt16(trimBlanks(cols.at(1)));
        f.Suppress = PrefixToInt16(trimBlanks(cols.at(3)));
        f.Value = 0;
        state.enc.statusFlags.push_back(f);
    }
    return true;
}

namespace {

// Reports the first fault of a file that was read cleanly; false then.
class FileCheck {
public:
    FileCheck(AppState &state, const QString &reader, const QString &path)
        : m_state(state), m_reader(reader), m_path(path)
    {
    }
    bool fault(int lineNo, const QString &why)
    {
        reportReader(m_state, m_reader, m_path, lineNo > 0 ? lineError(lineNo, why) : why);
        return false;
    }

private:
    AppState &m_state;
    QString m_reader, m_path;
};

// Bytes a field takes whatever its value; -1 for the types whose size
// follows the value.
int fixedSize(FieldType type, qint16 length)
{
    switch (type) {
    case FieldType::ASCII_TXT:
    case FieldType::ASCII_NOFONT:
    case FieldType::OTHER:
    case FieldType::Unknown:
        return -1;
    default:
        return length;
    }
}

} // namespace

bool CheckPluDescriptors(AppState &state, const QString &path, const QSet<QString> &pluColumns)
{
    FileCheck check(state, QStringLiteral("ReadZentPLUDescFile"), path);
    const QVector<FieldDescriptor> &descs = state.enc.fieldDescs;
    if (descs.isEmpty())
        return check.fault(0, QStringLiteral("The file describes no field of the scale record"));
    for (int i = 0; i < descs.size(); ++i) {
        const FieldDescriptor &d = descs.at(i);
        if (ParseFieldType(d.Type) == FieldType::Unknown)
            return check.fault(d.Line, QStringLiteral("unknown type \"%1\"").arg(d.Type));
        if (!d.Column.isEmpty() && !pluColumns.contains(d.Column.toUpper()))
            return check.fault(d.Line, QStringLiteral("PLU has no column \"%1\"").arg(d.Column));
        if (d.Conditional == 0 || d.Length <= 0 || d.Column.isEmpty())
            continue;
        if (d.FlagColumn.isEmpty())
            return check.fault(d.Line, QStringLiteral("the conditional field %1 names no flag column").arg(d.Name));
        if (!pluColumns.contains(d.FlagColumn.toUpper()))
            return check.fault(d.Line, QStringLiteral("PLU has no flag column \"%1\"").arg(d.FlagColumn));
        if (ParseFieldType(d.Type) == FieldType::ASCII_TXT && (i == 0 || descs.at(i - 1).Column.isEmpty()))
            return check.fault(d.Line, QStringLiteral("the text field %1 has no font field before it").arg(d.Name));
    }
    return true;
}

bool CheckDiscountDescriptors(AppState &state, const QString &path, const QSet<QString> &discountColumns)
{
    FileCheck check(state, QStringLiteral("ReadZentFixedDescFile"), path);
    int bytes = 0;
    int lastLine = 0;
    bool sized = true;
    for (const FieldDescriptor &d : std::as_const(state.enc.fieldDescs)) {
        const FieldType type = ParseFieldType(d.Type);
        if (type == FieldType::Unknown)
            return check.fault(d.Line, QStringLiteral("unknown type \"%1\"").arg(d.Type));
        if (d.Length <= 0 || d.Conditional != 0 || d.Column.isEmpty())
            continue;
        if (!discountColumns.contains(d.Column.toUpper()))
            return check.fault(d.Line, QStringLiteral("DISCOUNT has no column \"%1\"").arg(d.Column));
        const int size = fixedSize(type, d.Length);
        sized = sized && size >= 0;
        bytes += qMax(size, 0);
        lastLine = d.Line;
    }
    if (lastLine == 0)
        return check.fault(0, QStringLiteral("The file describes no field of the discount block"));
    if (sized && bytes != kDiscountBlockBytes)
        return check.fault(0, QStringLiteral("The fields make a discount block of %1 bytes; the scale "
                                             "record holds %2")
                                  .arg(bytes)
                                  .arg(kDiscountBlockBytes));
    return true;
}

bool CheckStatusFlags(AppState &state, const QString &path, const QSet<QString> &pluColumns)
{
    FileCheck check(state, QStringLiteral("ReadZentStatFile"), path);
    const QVector<StatusFlag> &flags = state.enc.statusFlags;
    if (flags.size() < kStatusFlagCount)
        return check.fault(0, QStringLiteral("The file defines %1 status flags; the eleven status bytes "
                                             "of the record need %2")
                                  .arg(flags.size())
                                  .arg(kStatusFlagCount));
    for (const StatusFlag &f : flags) {
        if (f.Source == 1 && !pluColumns.contains(f.Name.toUpper()))
            return check.fault(f.Line, QStringLiteral("the flag %1 takes its value from a column that "
                                                      "PLU does not have")
                                           .arg(f.Name));
    }
    return true;
}

qint16 GetZentStatusValue(AppState &state, const QString &name)
{
    for (const StatusFlag &f : std::as_const(state.enc.statusFlags)) {
        if (f.Name == name)
            return f.Source;
    }
    return 0;
}

QString ReadFile(const AppState &state, const QString &path)
{
    const std::optional<QString> text = readText(state, path, nullptr);
    if (!text)
        return {};
    QString out;
    const QStringList lines = SplitDescriptorLines(*text);
    for (const QString &line : lines) {
        const QString t = trimBlanks(line);
        if (t.isEmpty() || t.startsWith(u';'))
            continue;
        out += t;
        out += QStringLiteral("\r\n");
    }
    return out;
}

void LinkStatusFlagsToFields(AppState &state)
{
    const QString path = DescriptorPath(state, QStringLiteral("PLU_STATUS.dsc"));
    QString error;
    if (!readText(state, path, &error)) {
        // The program still starts (no editor field is then tied to a
        // flag), but the operator learns why before encoding fails too.
        state.errorSource = QStringLiteral("LinkStatusFlagsToFields");
        ReportError(state, error);
    }
    const QString text = ReadFile(state, path);
    QHash<QString, QString> links; // upper-cased field name -> flag name
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString &line : lines) {
        const QStringList cols = line.split(u',');
        if (cols.size() < 3)
            continue;
        if (trimBlanks(cols.at(1)) != QLatin1String("1"))
            continue;
        const QString flag = trimBlanks(cols.at(0));
        const QStringList parts = cols.at(2).split(u'|');
        for (const QString &part : parts) {
            const QString field = trimBlanks(part).toUpper();
            if (field.isEmpty() || links.contains(field))
                continue; // a field is linked by its first flag line
            links.insert(field, flag);
        }
    }
    for (PLUField &f : state.pluFields.fields)
        f.StatusFlag = links.value(f.Name.toUpper());
}

} // namespace korvo
