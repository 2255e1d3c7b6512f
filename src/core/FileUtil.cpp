#include "core/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace korvo {

bool MakeDir(const QString &path)
{
    if (path.trimmed().isEmpty())
        return false;
    const QFileInfo fi(path);
    if (fi.exists())
        return fi.isDir();
    return QDir().mkpath(path) && QFileInfo(path).isDir();
}

bool DelDirectory(const QString &path)
{
    if (path.isEmpty())
        return true;
    const QFileInfo fi(path);
    if (fi.isSymLink() || (fi.exists() && !fi.isDir()))
        return false;
    return QDir(path).removeRecursively();
}

bool CopyFileOver(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buf[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buf, sizeof buf);
        if (n < 0) {
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buf, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

bool CopyFiles(const QString &source, const QString &pattern, const QString &target)
{
    const QDir src(source);
    if (!src.exists() || !QFileInfo(target).isDir())
        return false;
    // Without QDir::CaseSensitive the name filter ignores case, as the
    // classic file listing did ("*.ini" finds Korvo2005.INI).
    const QFileInfoList files =
        src.entryInfoList(QStringList{pattern}, QDir::Files | QDir::Hidden | QDir::System);
    bool ok = true;
    for (const QFileInfo &fi : files) {
        if (!fi.isFile())
            continue;
        if (!CopyFileOver(fi.absoluteFilePath(), JoinPath(target, fi.fileName())))
            ok = false;
    }
    return ok;
}

QString UnicodeEncodingOf(const QByteArray &head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("UTF-8 with a byte-order mark");
    if (head.size() < 2)
        return {};
    if (head.startsWith("\xFF\xFE") || (head.at(0) != 0 && head.at(1) == 0))
        return QStringLiteral("UTF-16 little-endian");
    if (head.startsWith("\xFE\xFF") || (head.at(0) == 0 && head.at(1) != 0))
        return QStringLiteral("UTF-16 big-endian");
    return {};
}

QString JoinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    QString f = folder;
    while (f.size() > 1 && f.endsWith(QLatin1Char('/')))
        f.chop(1);
    QString n = name;
    while (n.startsWith(QLatin1Char('/')))
        n.remove(0, 1);
    if (f.endsWith(QLatin1Char('/')))
        return f + n;
    return f + QLatin1Char('/') + n;
}

} // namespace korvo
