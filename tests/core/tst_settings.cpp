// The settings file: read and written as the profile functions do, and read
// into the settings record.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/IniFile.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

const QByteArray kFullIni = "[Setting]\r\nLanguage=Chinese\r\nUseMainGroup=False\r\nShowFieldChooser=False\r\n"
                            "PLUPageSize=25\r\nPriceDecimalPlace=2\r\nWeightDecimalPlace=3\r\nDefaultFont=4\r\n"
                            "SetLanguageCodepage=1\r\nLangeCodepageToConvert=2\r\nSetImportType=1\r\n"
                            "Codepage=windows-1251\r\n[ZentTCP]\r\nDoLog=True\r\n";

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ScriptedUi m_ui;

    static void put(const QString &file, const QByteArray &bytes) { QVERIFY(WriteFile(file, bytes)); }

    std::unique_ptr<AppState> stateWith(const QByteArray &ini)
    {
        auto s = std::make_unique<AppState>(&m_ui);
        s->setPaths(QString(), m_dir.path());
        WriteFile(s->iniFile, ini);
        m_ui.messages.clear();
        return s;
    }

    // A settings file with one key of [Setting] replaced (or removed when
    // value is null).
    static QByteArray withSetting(const QByteArray &key, const QByteArray &value)
    {
        QString ini = QString::fromLatin1(kFullIni);
        ini.remove(QRegularExpression("(?m)^" + QString::fromLatin1(key) + "=.*\r\n"));
        if (!value.isNull())
            ini.replace("[Setting]\r\n", QString::fromLatin1("[Setting]\r\n" + key + "=" + value + "\r\n"));
        return ini.toLatin1();
    }

    // Every field of the record as "Key=value".
    static QStringList allValues(const Settings &g)
    {
        return OptionValues(g) + QStringList{"Language=" + g.Language, "Codepage=" + g.Codepage,
                                             QString("ShowFieldChooser=%1").arg(int(g.ShowFieldChooser))};
    }

private slots:
    void readsEveryKey()
    {
        auto s = stateWith(kFullIni);
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(allValues(s->settings),
                 (QStringList{"UseMainGroup=0", "PLUPageSize=25", "WeightDecimalPlace=3", "PriceDecimalPlace=2",
                              "DefaultFont=4", "DoLog=1", "SetLanguageCodepage=1", "LangeCodepageToConvert=2",
                              "SetImportType=1", "Language=Chinese", "Codepage=windows-1251",
                              "ShowFieldChooser=0"}));
        QVERIFY(m_ui.messages.isEmpty());
        QVERIFY(s->reportedErrors.isEmpty());
    }

    void readingsOfSingleKeys()
    {
        // Only the exact text False switches the two flags off; an unknown
        // language is English; numbers are prefixes rounded half to even,
        // absent ones 0; a page size below 1 would leave no rows per page.
        const char *cases[][3] = {
            {"UseMainGroup", "false", "UseMainGroup=1"},      {"ShowFieldChooser", nullptr, "ShowFieldChooser=1"},
            {"Language", "French", "Language=English"},       {"Language", "chinese", "Language=English"},
            {"Language", "", "Language=English"},             {"Language", "Other", "Language=Other"},
            {"PriceDecimalPlace", " 6 ", "PriceDecimalPlace=6"}, {"WeightDecimalPlace", "0", "WeightDecimalPlace=0"},
            {"SetImportType", "x", "SetImportType=0"},        {"DefaultFont", nullptr, "DefaultFont=0"},
            {"Codepage", nullptr, "Codepage=windows-1252"},   {"PLUPageSize", "0", "PLUPageSize=10"},
            {"PLUPageSize", "-5", "PLUPageSize=10"},          {"PLUPageSize", " 30 ", "PLUPageSize=30"},
        };
        for (const auto &c : cases) {
            auto s = stateWith(withSetting(c[0], c[1]));
            QVERIFY(ReadSettingsFile(*s));
            QVERIFY2(allValues(s->settings).contains(c[2]), c[2]);
        }
        // DoLog is upper-cased before the strict reading.
        QByteArray ini = kFullIni;
        auto s = stateWith(ini.replace("DoLog=True", "DoLog=false"));
        QVERIFY(ReadSettingsFile(*s));
        QCOMPARE(s->settings.DoLog, false);
        QVERIFY(m_ui.messages.isEmpty());
    }

    void malformedSettingsStopWithTheKeyNamed()
    {
        QByteArray badLog = kFullIni, noLog = kFullIni;
        badLog.replace("DoLog=True", "DoLog=Yes");
        noLog.replace("DoLog=True\r\n", "");
        const QString full = QString::fromLatin1(kFullIni);
        const struct {
            QByteArray ini;
            QString key, found;
        } cases[] = {
            {withSetting("PLUPageSize", "abc"), "Setting/PLUPageSize", "\"abc\""},
            {withSetting("PLUPageSize", "12abc"), "Setting/PLUPageSize", "\"12abc\""},
            {withSetting("PLUPageSize", QByteArray()), "Setting/PLUPageSize", "missing"},
            {badLog, "ZentTCP/DoLog", "\"Yes\""},
            {noLog, "ZentTCP/DoLog", "missing"},
            {withSetting("Codepage", "klingon-1"), "Setting/Codepage", "\"klingon-1\""},
            // Decimal places scale every price: whole numbers 0 to 6 only.
            {withSetting("PriceDecimalPlace", "2.5"), "Setting/PriceDecimalPlace", "\"2.5\""},
            {withSetting("PriceDecimalPlace", "400"), "Setting/PriceDecimalPlace", "0 to 6"},
            {withSetting("WeightDecimalPlace", "-5"), "Setting/WeightDecimalPlace", "\"-5\""},
            {withSetting("WeightDecimalPlace", QByteArray()), "Setting/WeightDecimalPlace", "missing"},
            // A UTF-16 file would read as one without keys.
            {QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(full.utf16()), full.size() * 2),
             "UTF-16 little-endian", "plain text"},
        };
        for (const auto &c : cases) {
            auto s = stateWith(c.ini);
            s->settings.PLUPageSize = 77; // must survive a failed reading
            QVERIFY2(!ReadSettingsFile(*s), qPrintable(c.key));
            QCOMPARE(s->settings.PLUPageSize, 77);
            QCOMPARE(s->reportedErrors.size(), 1);
            const QString text = s->reportedErrors[0].description;
            QVERIFY2(text.contains(c.key) && text.contains(c.found), qPrintable(text));
            QCOMPARE(m_ui.messages.size(), 1);
            QCOMPARE(m_ui.messages[0].title, QString("LoadSettings"));
        }
        // A folder where the file should be is no missing key.
        auto folder = stateWith({});
        QFile::remove(folder->iniFile);
        QVERIFY(QDir().mkpath(folder->iniFile));
        QVERIFY(!ReadSettingsFile(*folder));
        QVERIFY2(folder->reportedErrors.value(0).description.contains("is a folder"),
                 qPrintable(folder->reportedErrors.value(0).description));
        QVERIFY(QDir(folder->iniFile).removeRecursively());

        auto s = stateWith(withSetting("PLUPageSize", "abc"));
        QVERIFY(!ReadSettingsFile(*s));
        QCOMPARE(s->reportedErrors[0].description,
                 QString("Type mismatch: Setting/PLUPageSize must be a whole number (found \"abc\")"));
    }

    void readLikePrivateProfile()
    {
        const QString f = m_dir.filePath("read.ini");
        put(f, "; comment=not a key\r\n"
               "[Setting]\r\n"
               "  Language =  Chinese  \r\n"
               "Quoted=\"  spaced  \"\r\n"
               "Single='x'\r\n"
               "Half=\"open\r\n"
               "Empty=\r\n"
               "Dup=first\r\n"
               "dup=second\r\n"
               "\r\n"
               "[ zenttcp ]\r\n"
               "DoLog=True\r\n"
               "[SETTING]\r\n"
               "Later=only in the second block\r\n");
        // A key of another section, a comment, an absent key and a key of a
        // second section of the same name read as "".
        const char *cases[][3] = {
            {"Setting", "Language", "Chinese"}, {"setting", "LANGUAGE", "Chinese"}, {"ZentTCP", "dolog", "True"},
            {"Setting", "Quoted", "  spaced  "}, {"Setting", "Single", "x"}, {"Setting", "Half", "\"open"},
            {"Setting", "Empty", ""}, {"Setting", "Dup", "first"}, {"Setting", "DoLog", ""},
            {"Setting", "; comment", ""}, {"Setting", "Missing", ""}, {"Nowhere", "Language", ""},
            {"Setting", "Later", ""}};
        for (const auto &c : cases)
            QCOMPARE(ReadIniString(c[0], c[1], f), QString(c[2]));
        QCOMPARE(ReadIniString("Setting", "Language", m_dir.filePath("absent.ini")), QString(""));
    }

    void valuesAreCutToTheBuffer()
    {
        const QString f = m_dir.filePath("long.ini");
        const QByteArray longValue(300, 'v');
        put(f, "[PLU]\nShow=" + longValue + "\nShort=abc\n");
        QCOMPARE(ReadIniString("PLU", "Show", f), QString(254, QLatin1Char('v')));
        QCOMPARE(ReadIniString("PLU", "Show", f, 10), QString("vvvvvvvvv"));
        QCOMPARE(ReadIniString("PLU", "Short", f, 3), QString("ab"));
    }

    void writeKeepsEveryOtherLineByteForByte()
    {
        const QString f = m_dir.filePath("keep.ini");
        const QByteArray before = "; shop settings\r\n"
                                  "[Setting]\r\n"
                                  "Language=English\r\n"
                                  "  PLUPageSize = 10   \r\n"
                                  "Odd line without equals\r\n"
                                  "\r\n"
                                  "[ZentTCP]\r\n"
                                  "DoLog=False";
        put(f, before);
        QVERIFY(WriteIniString("setting", "pluPAGESIZE", "25", f));
        QByteArray after = QByteArray(before).replace("PLUPageSize = 10   ", "PLUPageSize = 25");
        QCOMPARE(FileBytes(f), after);
        QCOMPARE(ReadIniString("Setting", "PLUPageSize", f), QString("25"));

        // A new key goes to the end of its section, before the blank lines.
        QVERIFY(WriteIniString("Setting", "DefaultFont", "3", f));
        QCOMPARE(FileBytes(f), after.replace("equals\r\n", "equals\r\nDefaultFont=3\r\n"));

        // A key in the last, unterminated line; then a new section at the end.
        QVERIFY(WriteIniString("ZentTCP", "DoLog", "True", f));
        QVERIFY(WriteIniString("Tools", "ToolsCount", "0", f));
        QVERIFY(FileBytes(f).endsWith("[ZentTCP]\r\nDoLog=True\r\n[Tools]\r\nToolsCount=0\r\n"));
        QVERIFY(WriteIniString("ZentTCP", "Port", "1", f));
        QVERIFY(FileBytes(f).endsWith("DoLog=True\r\nPort=1\r\n[Tools]\r\nToolsCount=0\r\n"));
    }

    void writeKeepsLineEndingsAndEncoding()
    {
        // An LF file stays LF; a UTF-8 byte order mark stays.
        const QString lf = m_dir.filePath("lf.ini");
        put(lf, "\xEF\xBB\xBF[Setting]\nVersionType=Stor\xC3\xA9\n");
        QCOMPARE(ReadIniString("Setting", "VersionType", lf), QString::fromUtf8("Storé"));
        QVERIFY(WriteIniString("Setting", "Language", QString::fromUtf8("Other"), lf));
        QCOMPARE(FileBytes(lf), QByteArray("\xEF\xBB\xBF[Setting]\nVersionType=Stor\xC3\xA9\nLanguage=Other\n"));

        // A file that is no valid UTF-8 reads as Latin-1 and keeps its bytes.
        const QString latin = m_dir.filePath("latin.ini");
        put(latin, "[Setting]\r\nVersionType=Caf\xE9\r\n");
        QCOMPARE(ReadIniString("Setting", "VersionType", latin), QString::fromUtf8("Café"));
        QVERIFY(WriteIniString("Setting", "Language", "English", latin));
        QCOMPARE(FileBytes(latin), QByteArray("[Setting]\r\nVersionType=Caf\xE9\r\nLanguage=English\r\n"));
        // A text Latin-1 cannot hold turns the file into UTF-8 without losing the rest.
        QVERIFY(WriteIniString("Setting", "Language", QString::fromUtf8("中文"), latin));
        QCOMPARE(ReadIniString("Setting", "VersionType", latin), QString::fromUtf8("Café"));
        QCOMPARE(ReadIniString("Setting", "Language", latin), QString::fromUtf8("中文"));
    }

    void writeCreatesAndRefuses()
    {
        const QString f = m_dir.filePath("new.ini");
        QVERIFY(WriteIniString("Setting", "UseMainGroup", "False", f));
        QCOMPARE(FileBytes(f), QByteArray("[Setting]\r\nUseMainGroup=False\r\n"));

        // A line break would split the entry; the file stays as it was.
        QVERIFY(!WriteIniString("Setting", "UseMainGroup", "True\r\n[Evil]", f));
        QVERIFY(!WriteIniString("Setting", "a=b", "1", f));
        QCOMPARE(FileBytes(f), QByteArray("[Setting]\r\nUseMainGroup=False\r\n"));

        // No folder to write into: false, nothing created.
        const QString nowhere = m_dir.filePath("no/such/folder/x.ini");
        QVERIFY(!WriteIniString("Setting", "Language", "English", nowhere));
        QVERIFY(!QFile::exists(nowhere));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
