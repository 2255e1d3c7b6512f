#pragma once
// Process-wide state of one running program (or one test): what the
// behaviour calls globals lives here, built by the start-up. Nothing hides in
// function-local statics, so a test can build a fresh one over a temporary
// data root.

#include "core/PluFields.h"
#include "core/Records.h"
#include "core/Settings.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class QSettings;

namespace korvo {

class ScaleComm;
class UserInterface;

struct ReportedError {
    QString source;
    QString description;
};

// Language texts of this program in the chosen language, cached at start.
struct LanguageCache {
    bool loaded = false;
    QString column;                   // "English", "Chinese" or "Other"
    QHash<QString, QString> texts;    // upper-cased "owner.key" -> text (null text: absent)
    QHash<QString, qint32> ids;       // upper-cased "owner.key" -> ID
};

class AppState {
public:
    explicit AppState(UserInterface *ui = nullptr);
    ~AppState();
    AppState(const AppState &) = delete;
    AppState &operator=(const AppState &) = delete;

    // Sets the program folder and data root: dataRoot given -> program
    // folder is dataRoot/Bin; else the program folder is the executable's
    // folder and the data root its parent. Both end in "/".
    void setPaths(const QString &programFolder, const QString &dataRoot);

    UserInterface *ui = nullptr;

    QString appPath;   // g_AppPath, ends in "/"
    QString dataPath;  // g_DataPath, ends in "/"
    QString iniFile;   // g_IniFile
    Settings settings; // g_Settings

    QString userName;
    bool isAdministrator = false;
    bool logRestarted = false; // the day's log was emptied for this start

    // Error reporting.
    QString errorSource;
    QVector<ReportedError> reportedErrors; // every report of this run, in order
    int collectDepth = 0;                  // >0: reports are collected, not shown

    // Connection names of the three databases (unique per state).
    QString connLanguage, connMain, connUsers;
    bool dbOpen = false;

    PluFieldTable pluFields;  // g_PLUFields
    QVector<ScaleFont> fonts; // g_Fonts
    LanguageCache language;
    QSet<QString> missingTexts; // "owner.key" asked but absent, for checks
    EncodingTables enc;
    CodepageTable cpCentralEuropean{};
    CodepageTable cpCyrillic{};
    bool codepagesLoaded = false;
    QSet<QChar> unmappableReported; // characters already reported this run

    // g_dllZent: the scale communication component, created by the main
    // window's load (or set by a test of its callers) and owned there.
    ScaleComm *scaleComm = nullptr;

    // Per-user settings store for window positions (native format,
    // organisation and application = appTitle()). The store is already in
    // the group "Settings": callers use plain keys such as "MainLeft".
    QSettings &userStore();

    // Clock, replaceable by tests.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // The single-instance lock of the program on this data root.
    QString lockFilePath() const { return dataPath + QStringLiteral("Korvo2005.lock"); }

    static QString exeName() { return QStringLiteral("Korvo2005"); }
    static QString appTitle() { return QStringLiteral("Korvo 2005"); }
    static QString versionText(); // "1.0.5"

private:
    std::unique_ptr<QSettings> m_userStore;
};

} // namespace korvo
