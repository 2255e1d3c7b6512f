#include "core/AppState.h"

#include "core/Database.h"
#include "core/ErrorReporter.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace korvo {

namespace {

// A folder path with "/" separators, cleaned, ending in "/".
QString folderPath(const QString &path)
{
    QString p = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

} // namespace

AppState::AppState(UserInterface *ui_) : ui(ui_), errorSource(kDefaultErrorSource)
{
    // Connection names must differ between states living at the same time
    // (tests open several); the address is unique while this one lives.
    const QString tag = QString::number(reinterpret_cast<quintptr>(this), 16);
    connLanguage = QStringLiteral("korvo-language-") + tag;
    connMain = QStringLiteral("korvo-main-") + tag;
    connUsers = QStringLiteral("korvo-users-") + tag;
}

AppState::~AppState()
{
    CloseDBConnections(*this);
}

void AppState::setPaths(const QString &programFolder, const QString &dataRoot)
{
    if (!dataRoot.isEmpty()) {
        dataPath = folderPath(QFileInfo(dataRoot).absoluteFilePath());
        appPath = dataPath + QStringLiteral("Bin/");
    } else {
        appPath = folderPath(QFileInfo(programFolder).absoluteFilePath());
        QString parent = appPath;
        parent.chop(1);
        const qsizetype cut = parent.lastIndexOf(QLatin1Char('/'));
        dataPath = cut >= 0 ? parent.left(cut + 1) : appPath;
    }
    iniFile = dataPath + QStringLiteral("Korvo2005.INI");
}

QSettings &AppState::userStore()
{
    if (!m_userStore) {
        m_userStore = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                  appTitle(), appTitle());
        m_userStore->beginGroup(QStringLiteral("Settings"));
    }
    return *m_userStore;
}

QString AppState::versionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(KORVO_VERSION_MAJOR)
        .arg(KORVO_VERSION_MINOR)
        .arg(KORVO_VERSION_PATCH);
}

} // namespace korvo
