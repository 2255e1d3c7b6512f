#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace korvo {

class AppState;

// programFolder/Backup/Settings
QString SettingsBackupRoot(const AppState &state);

// The date a backup folder name stands for: ten characters, figures at
// 1-4, 6-7 and 9-10; a month or day beyond its range carries over into the
// following months (2007-13-45 is 14 February 2008). nullopt otherwise.
std::optional<QDate> BackupFolderDate(const QString &name);

// Folder names under the backup root that pass the name test, newest first.
QStringList ListBackupFolders(const AppState &state);

bool BackupSettings(AppState &state);
bool DelOutdatedSettings(AppState &state);

// Copies the settings files of a backup folder back to where they belong.
bool RestoreSettings(AppState &state, const QString &backupFolder);

} // namespace korvo
