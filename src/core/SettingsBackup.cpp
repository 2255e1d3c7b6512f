#include "core/SettingsBackup.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/FileUtil.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace korvo {

namespace {

constexpr int kMaxListedBackups = 50;
constexpr qint64 kKeepDays = 30;

bool isFigures(const QString &s)
{
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

struct DatedFolder {
    QString name;
    QDate date;
};

QVector<DatedFolder> datedFolders(const AppState &state)
{
    QVector<DatedFolder> out;
    const QDir root(SettingsBackupRoot(state));
    const QStringList names = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names) {
        if (QFileInfo(root.filePath(name)).isSymLink())
            continue;
        if (const auto d = BackupFolderDate(name))
            out.append({name, *d});
    }
    return out;
}

} // namespace

QString SettingsBackupRoot(const AppState &state)
{
    return state.appPath + QStringLiteral("Backup/Settings");
}

std::optional<QDate> BackupFolderDate(const QString &name)
{
    if (name.size() != 10 || !isFigures(name.mid(0, 4)) || !isFigures(name.mid(5, 2))
        || !isFigures(name.mid(8, 2)))
        return std::nullopt;
    const int y = name.mid(0, 4).toInt();
    const int m = name.mid(5, 2).toInt();
    const int d = name.mid(8, 2).toInt();
    // Excess months and days carry over into the following months.
    const QDate first(y, 1, 1);
    if (!first.isValid())
        return std::nullopt;
    const QDate date = first.addMonths(m - 1).addDays(d - 1);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QStringList ListBackupFolders(const AppState &state)
{
    QVector<DatedFolder> folders = datedFolders(state);
    std::sort(folders.begin(), folders.end(), [](const DatedFolder &a, const DatedFolder &b) {
        return a.date != b.date ? a.date > b.date : a.name > b.name;
    });
    QStringList names;
    for (const DatedFolder &f : folders) {
        if (names.size() >= kMaxListedBackups)
            break;
        names << f.name;
    }
    return names;
}

bool BackupSettings(AppState &state)
{
    const QString root = SettingsBackupRoot(state);
    if (!MakeDir(root)) {
        state.errorSource = QStringLiteral("BackupSettings ");
        ReportError(state, QStringLiteral("Cannot create the folder %1").arg(root));
        return false;
    }
    const QString target =
        JoinPath(root, state.now().date().toString(QStringLiteral("yyyy-MM-dd")));
    // The first start of a day keeps that day's copy.
    if (QFileInfo::exists(target))
        return true;
    if (!MakeDir(target)) {
        state.errorSource = QStringLiteral("BackupSettings ");
        ReportError(state, QStringLiteral("Cannot create the folder %1").arg(target));
        return false;
    }
    // The settings file lives in the data root, the tools' files in the
    // program folder: both belong in the backup.
    bool ok = CopyFiles(state.appPath, QStringLiteral("*.ini"), target);
    const QFileInfo ini(state.iniFile);
    if (ok && ini.isFile())
        ok = CopyFileOver(ini.absoluteFilePath(), JoinPath(target, ini.fileName()));
    if (!ok) {
        // Leave no half backup behind: the next start would take it as done.
        DelDirectory(target);
        state.errorSource = QStringLiteral("BackupSettings ");
        ReportError(state, QStringLiteral("Cannot copy the settings files into %1").arg(target));
        return false;
    }
    return true;
}

bool DelOutdatedSettings(AppState &state)
{
    const QString root = SettingsBackupRoot(state);
    const QFileInfo rootInfo(root);
    if (!rootInfo.exists())
        return true;
    if (!rootInfo.isDir() || !rootInfo.isReadable()) {
        state.errorSource = QStringLiteral("DelOutdatedSettings ");
        ReportError(state, QStringLiteral("Cannot read the folder %1").arg(root));
        return false;
    }
    const QDate today = state.now().date();
    QStringList outdated;
    for (const DatedFolder &f : datedFolders(state))
        if (qAbs(f.date.daysTo(today)) > kKeepDays)
            outdated << JoinPath(root, f.name);
    // A folder that resists deletion is tried again at the next start.
    for (const QString &path : outdated)
        DelDirectory(path);
    return true;
}

bool RestoreSettings(AppState &state, const QString &backupFolder)
{
    const QString folder = backupFolder.contains(QLatin1Char('/'))
        ? backupFolder
        : JoinPath(SettingsBackupRoot(state), backupFolder);
    auto fail = [&](const QString &description) {
        state.errorSource = QStringLiteral("RestoreSettings ");
        ReportError(state, description);
        return false;
    };
    const QDir dir(folder);
    if (!dir.exists())
        return fail(QStringLiteral("The backup folder %1 does not exist").arg(folder));

    const QString iniName = QFileInfo(state.iniFile).fileName();
    const QFileInfoList files =
        dir.entryInfoList(QStringList{QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden);
    QStringList failed;
    for (const QFileInfo &fi : files) {
        const bool isSettingsFile = fi.fileName().compare(iniName, Qt::CaseInsensitive) == 0;
        const QString target =
            isSettingsFile ? state.iniFile : JoinPath(state.appPath, fi.fileName());
        if (!CopyFileOver(fi.absoluteFilePath(), target))
            failed << target;
    }
    if (!failed.isEmpty())
        return fail(QStringLiteral("Cannot write %1").arg(failed.join(QStringLiteral(", "))));
    return true;
}

} // namespace korvo
