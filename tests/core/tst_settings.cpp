#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/IniFile.h"
#include "core/Settings.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using korvo::test::ScriptedUi;

namespace {

const QByteArray kFullIni = "[Setting]\r\n"
                            "Language=Chinese\r\n"
                            "UseMainGroup=False\r\n"
                            "ShowFieldChooser=False\r\n"
                            "PLUPageSize=25\r\n"
                            "PriceDecimalPlace=2\r\n"
                            "WeightDecimalPlace=3\r\n"
                            "DefaultFont=4\r\n"
                            "SetLanguageCodepage=1\r\n"
                            "LangeCodepageToConvert=2\r\n"
                            "SetImportType=1\r\n"
                            "Codepage=windows-1251\r\n"
                            "[ZentTCP]\r\n"
                            "DoLog=True\r\n";

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ScriptedUi m_ui;

    std::unique_ptr<AppState> stateWith(const QByteArray &ini)
    {
        auto s = std::make_unique<AppState>(&m_ui);
        s->setPaths(QString(), m_dir.path());
        QFile f(s->iniFile);
        if (!f.open(QIODevice::WriteOnly))
            return nullptr;
        f.write(ini);
        f.close();
        m_ui.messages.clear();
        return s;
    }

    // A settings file with one key of [Setting] replaced (or removed when
    // value is null).
    static QByteArray withSetting(const QByteArray &key, const QByteArray &value)
    {
        QByteArray out;
        bool done = false;
        for (const QByteArray &line : kFullIni.split('\n')) {
            if (line.isEmpty())
                continue;
            if (line.startsWith(key + "=")) {
                if (!value.isNull())
                    out += key + "=" + value + "\r\n";
                done = true;
                continue;
            }
            out += line + "\n";
        }
        if (!done && !value.isNull())
            out.replace("[Setting]\r\n", "[Setting]\r\n" + key + "=" + value + "\r\n");
        return out;
    }

private slots:
    void readsEveryKey()
    {
        auto s = stateWith(kFullIni);
        QVERIFY(s);
        QVERIFY(ReadSettingsFile(*s));
        const Settings &g = s->settings;
        QCOMPARE(g.Language, QString("Chinese"));
        QCOMPARE(g.UseMainGroup, false);
        QCOMPARE(g.ShowFieldChooser, false);
        QCOMPARE(g.PLUPageSize, 25);
        QCOMPARE(g.PriceDecimalPlace, 2);
        QCOMPARE(g.WeightDecimalPlace, 3);
        QCOMPARE(g.DefaultFont, 4);
        QCOMPARE(g.SetLanguageCodepage, qint16(1));
        QCOMPARE(g.LangeCodepageToConvert, qint16(2));
        QCOMPARE(g.SetImportType, qint16(1));
        QCOMPARE(g.DoLog, true);
        QCOMPARE(g.Codepage, QString("windows-1251"));
        QVERIFY(m_ui.messages.isEmpty());
        QVERIFY(s->reportedErrors.isEmpty());
    }

    void readingsOfSingleKeys()
    {
        // Only the exact text False switches the two flags off.
        auto s = stateWith(withSetting("UseMainGroup", "false"));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.UseMainGroup, true);
        s = stateWith(withSetting("ShowFieldChooser", QByteArray()));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.ShowFieldChooser, true);

        for (const char *lang : {"French", "chinese", ""}) {
            s = stateWith(withSetting("Language", lang));
            QVERIFY(ReadSettingsFile(*s));
            QCOMPARE(s->settings.Language, QString("English"));
        }
        s = stateWith(withSetting("Language", "Other"));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.Language, QString("Other"));

        // Numeric prefixes, rounded half to even; absent keys read 0.
        s = stateWith(withSetting("PriceDecimalPlace", "2.5"));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.PriceDecimalPlace, 2);
        s = stateWith(withSetting("WeightDecimalPlace", "3.5 places"));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.WeightDecimalPlace, 4);
        s = stateWith(withSetting("SetImportType", "x"));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.SetImportType, qint16(0));
        s = stateWith(withSetting("DefaultFont", QByteArray()));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.DefaultFont, 0);
        s = stateWith(withSetting("Codepage", QByteArray()));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.Codepage, QString("windows-1252"));

        // A page size below 1 would leave no rows per page.
        for (const char *size : {"0", "-5"}) {
            s = stateWith(withSetting("PLUPageSize", size));
            QVERIFY(ReadSettingsFile(*s));
            QCOMPARE(s->settings.PLUPageSize, 10);
        }
        s = stateWith(withSetting("PLUPageSize", " 30 "));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.PLUPageSize, 30);

        // DoLog is upper-cased before the strict reading.
        QByteArray ini = kFullIni;
        ini.replace("DoLog=True", "DoLog=false");
        s = stateWith(ini);
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.DoLog, false);
        QVERIFY(m_ui.messages.isEmpty());
    }

    void malformedSettingsStopWithTheKeyNamed()
    {
        struct Case {
            QByteArray ini;
            QString key;
            QString found;
        };
        QByteArray badLog = kFullIni;
        badLog.replace("DoLog=True", "DoLog=Yes");
        QByteArray noLog = kFullIni;
        noLog.replace("DoLog=True\r\n", "");
        const QVector<Case> cases = {
            {withSetting("PLUPageSize", "abc"), "Setting/PLUPageSize", "\"abc\""},
            {withSetting("PLUPageSize", "12abc"), "Setting/PLUPageSize", "\"12abc\""},
            {withSetting("PLUPageSize", QByteArray()), "Setting/PLUPageSize", "missing"},
            {badLog, "ZentTCP/DoLog", "\"Yes\""},
            {noLog, "ZentTCP/DoLog", "missing"},
            {withSetting("Codepage", "klingon-1"), "Setting/Codepage", "\"klingon-1\""},
        };
        for (const Case &c : cases) {
            auto s = stateWith(c.ini);
            s->settings.PLUPageSize = 77; // must survive a failed reading
            QVERIFY2(!ReadSettingsFile(*s), qPrintable(c.key));
            QCOMPARE(s->settings.PLUPageSize, 77);
            QCOMPARE(s->reportedErrors.size(), 1);
            QCOMPARE(s->reportedErrors[0].source, QString("LoadSettings"));
            QVERIFY2(s->reportedErrors[0].description.contains(c.key),
                     qPrintable(s->reportedErrors[0].description));
            QVERIFY2(s->reportedErrors[0].description.contains(c.found),
                     qPrintable(s->reportedErrors[0].description));
            QCOMPARE(m_ui.messages.size(), 1);
            QCOMPARE(m_ui.messages[0].title, QString("LoadSettings"));
            QCOMPARE(m_ui.messages[0].icon, MsgIcon::Critical);
            QCOMPARE(s->errorSource, QString("Korvo 2005"));
        }
        // A type mismatch in the page size reads as such.
        auto s = stateWith(withSetting("PLUPageSize", "abc"));
        QVERIFY(!ReadSettingsFile(*s));
        QCOMPARE(s->reportedErrors[0].description,
                 QString("Type mismatch: Setting/PLUPageSize must be a whole number (found \"abc\")"));
    }

    void optionSettingsAreWrittenInTheDialogsOrder()
    {
        auto s = stateWith("[Setting]\r\nLanguage=Other\r\nVersionType=Demo\r\n");
        Settings &g = s->settings;
        g.UseMainGroup = false;
        g.PLUPageSize = 40;
        g.WeightDecimalPlace = 3;
        g.PriceDecimalPlace = 2;
        g.DefaultFont = 7;
        g.DoLog = true;
        g.SetLanguageCodepage = 1;
        g.LangeCodepageToConvert = 2;
        g.SetImportType = 2;
        WriteOptionSettings(*s);
        QFile f(s->iniFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[Setting]\r\n"
                                         "Language=Other\r\n"
                                         "VersionType=Demo\r\n"
                                         "UseMainGroup=False\r\n"
                                         "PLUPageSize=40\r\n"
                                         "WeightDecimalPlace=3\r\n"
                                         "PriceDecimalPlace=2\r\n"
                                         "DefaultFont=7\r\n"
                                         "SetLanguageCodepage=1\r\n"
                                         "LangeCodepageToConvert=2\r\n"
                                         "SetImportType=2\r\n"
                                         "[ZentTCP]\r\n"
                                         "DoLog=True\r\n"));

        // What was written reads back to the same record.
        const Settings written = g;
        g = Settings();
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(g.UseMainGroup, written.UseMainGroup);
        QCOMPARE(g.PLUPageSize, written.PLUPageSize);
        QCOMPARE(g.WeightDecimalPlace, written.WeightDecimalPlace);
        QCOMPARE(g.PriceDecimalPlace, written.PriceDecimalPlace);
        QCOMPARE(g.DefaultFont, written.DefaultFont);
        QCOMPARE(g.DoLog, written.DoLog);
        QCOMPARE(g.SetLanguageCodepage, written.SetLanguageCodepage);
        QCOMPARE(g.LangeCodepageToConvert, written.LangeCodepageToConvert);
        QCOMPARE(g.SetImportType, written.SetImportType);
        QCOMPARE(g.Language, QString("Other"));

        // Switching back replaces values in place.
        g.UseMainGroup = true;
        g.DoLog = false;
        WriteOptionSettings(*s);
        QCOMPARE(ReadIniString("Setting", "UseMainGroup", s->iniFile), QString("True"));
        QCOMPARE(ReadIniString("ZentTCP", "DoLog", s->iniFile), QString("False"));
    }

    void pathsAndStateBasics()
    {
        AppState a;
        a.setPaths("/opt/Shop/Bin", QString());
        QCOMPARE(a.appPath, QString("/opt/Shop/Bin/"));
        QCOMPARE(a.dataPath, QString("/opt/Shop/"));
        QCOMPARE(a.iniFile, QString("/opt/Shop/Korvo2005.INI"));
        a.setPaths("/opt/Shop/Bin/", QString());
        QCOMPARE(a.dataPath, QString("/opt/Shop/"));
        a.setPaths("/ignored", "/srv/korvo/");
        QCOMPARE(a.dataPath, QString("/srv/korvo/"));
        QCOMPARE(a.appPath, QString("/srv/korvo/Bin/"));
        QCOMPARE(a.iniFile, QString("/srv/korvo/Korvo2005.INI"));
        QCOMPARE(a.errorSource, QString("Korvo 2005"));

        // Two states alive at once never share a connection.
        AppState b;
        QVERIFY(a.connMain != b.connMain);
        QVERIFY(a.connMain != a.connLanguage && a.connMain != a.connUsers);
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(AppState::versionText()).hasMatch());
    }

    void userStoreKeepsValuesUnderSettings()
    {
        korvo::test::IsolateUserSettings();
        {
            AppState a;
            a.userStore().setValue("MainLeft", 1234);
            a.userStore().sync();
        }
        AppState b;
        QCOMPARE(b.userStore().value("MainLeft").toInt(), 1234);
        QCOMPARE(b.userStore().group(), QString("Settings"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
