#include "tools/AboutInfo.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "i18n/Language.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <QSysInfo>
#include <QThread>

#include <sodium.h>
#include <sqlite3.h>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmAbout");

qint64 physicalMemory()
{
#if defined(Q_OS_UNIX) && defined(_SC_PHYS_PAGES)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return qint64(pages) * pageSize;
#endif
    return -1;
}

} // namespace

AboutInfo CollectAboutInfo(AppState &state)
{
    auto text = [&](const char *key) { return GetLangString(state, kOwner, QLatin1String(key)); };
    const QLocale locale;
    AboutInfo info;
    info.caption = text("Caption");
    info.versionLine = (text("lblVersion") + QLatin1Char(' ') + AppState::versionText() + QLatin1Char(' ')
                        + ReadIniString(QStringLiteral("Setting"), QStringLiteral("VersionType"), state.iniFile))
                           .trimmed();

    info.libraries = {
        {text("lblQtVersion"), QString::fromLatin1(qVersion())},
        {text("lblSqliteVersion"), QString::fromLatin1(sqlite3_libversion())},
        {text("lblSodiumVersion"), QString::fromLatin1(sodium_version_string())},
    };

    info.data << AboutLine{text("lblDataRoot"), QDir::toNativeSeparators(state.dataPath)};
    for (DbKind kind : {DbKind::Main, DbKind::Language, DbKind::Users}) {
        const QString path = state.dataPath + QStringLiteral("Database/") + DatabaseFileName(kind);
        const QFileInfo file(path);
        // Committed pages wait in the write-ahead log until a checkpoint.
        const qint64 size = file.size() + QFileInfo(path + QStringLiteral("-wal")).size();
        info.data << AboutLine{DatabaseFileName(kind),
                               file.isFile() ? locale.formattedDataSize(size) : text("lblMissing")};
    }
    const QStorageInfo disk(state.dataPath);
    if (disk.isValid())
        info.data << AboutLine{text("lblFreeSpace"), locale.formattedDataSize(disk.bytesAvailable())};

    info.system = {
        {text("lblOperatingSystem"), QSysInfo::prettyProductName()},
        {text("lblKernel"), QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion()},
        {text("lblProcessor"), QSysInfo::currentCpuArchitecture() + QStringLiteral(", ")
                                   + QString::number(QThread::idealThreadCount())},
        {text("lblComputerName"), QSysInfo::machineHostName()},
        {text("lblLocale"), locale.name()},
    };
    const qint64 memory = physicalMemory();
    if (memory > 0)
        info.system.insert(3, AboutLine{text("lblMemory"), locale.formattedDataSize(memory)});
    return info;
}

QString AboutText(const AboutInfo &info)
{
    QStringList lines{info.caption, info.versionLine};
    for (const QVector<AboutLine> *group : {&info.libraries, &info.data, &info.system}) {
        lines << QString();
        for (const AboutLine &l : *group)
            lines << l.label + QStringLiteral(": ") + l.value;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace korvo
