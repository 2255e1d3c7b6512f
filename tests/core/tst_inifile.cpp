#include "common/TestSupport.h"
#include "core/IniFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static void put(const QString &file, const QByteArray &bytes) { QVERIFY(WriteFile(file, bytes)); }
    static QByteArray get(const QString &file) { return FileBytes(file); }

private slots:
    void readLikePrivateProfile()
    {
        const QString f = path("read.ini");
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
        QCOMPARE(ReadIniString("Setting", "Language", path("absent.ini")), QString(""));
    }

    void valuesAreCutToTheBuffer()
    {
        const QString f = path("long.ini");
        const QByteArray longValue(300, 'v');
        put(f, "[PLU]\nShow=" + longValue + "\nShort=abc\n");
        QCOMPARE(ReadIniString("PLU", "Show", f), QString(254, QLatin1Char('v')));
        QCOMPARE(ReadIniString("PLU", "Show", f, 10), QString("vvvvvvvvv"));
        QCOMPARE(ReadIniString("PLU", "Short", f, 3), QString("ab"));
    }

    void writeKeepsEveryOtherLineByteForByte()
    {
        const QString f = path("keep.ini");
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
        QCOMPARE(get(f), after);
        QCOMPARE(ReadIniString("Setting", "PLUPageSize", f), QString("25"));

        // A new key goes to the end of its section, before the blank lines.
        QVERIFY(WriteIniString("Setting", "DefaultFont", "3", f));
        QCOMPARE(get(f), after.replace("equals\r\n", "equals\r\nDefaultFont=3\r\n"));

        // A key in the last, unterminated line; then a new section at the end.
        QVERIFY(WriteIniString("ZentTCP", "DoLog", "True", f));
        QVERIFY(WriteIniString("Tools", "ToolsCount", "0", f));
        QVERIFY(get(f).endsWith("[ZentTCP]\r\nDoLog=True\r\n[Tools]\r\nToolsCount=0\r\n"));
        QVERIFY(WriteIniString("ZentTCP", "Port", "1", f));
        QVERIFY(get(f).endsWith("DoLog=True\r\nPort=1\r\n[Tools]\r\nToolsCount=0\r\n"));
    }

    void writeKeepsLineEndingsAndEncoding()
    {
        // An LF file stays LF; a UTF-8 byte order mark stays.
        const QString lf = path("lf.ini");
        put(lf, "\xEF\xBB\xBF[Setting]\nVersionType=Stor\xC3\xA9\n");
        QCOMPARE(ReadIniString("Setting", "VersionType", lf), QString::fromUtf8("Storé"));
        QVERIFY(WriteIniString("Setting", "Language", QString::fromUtf8("Other"), lf));
        QCOMPARE(get(lf), QByteArray("\xEF\xBB\xBF[Setting]\nVersionType=Stor\xC3\xA9\nLanguage=Other\n"));

        // A file that is no valid UTF-8 reads as Latin-1 and keeps its bytes.
        const QString latin = path("latin.ini");
        put(latin, "[Setting]\r\nVersionType=Caf\xE9\r\n");
        QCOMPARE(ReadIniString("Setting", "VersionType", latin), QString::fromUtf8("Café"));
        QVERIFY(WriteIniString("Setting", "Language", "English", latin));
        QCOMPARE(get(latin), QByteArray("[Setting]\r\nVersionType=Caf\xE9\r\nLanguage=English\r\n"));
        // A text Latin-1 cannot hold turns the file into UTF-8 without losing the rest.
        QVERIFY(WriteIniString("Setting", "Language", QString::fromUtf8("中文"), latin));
        QCOMPARE(ReadIniString("Setting", "VersionType", latin), QString::fromUtf8("Café"));
        QCOMPARE(ReadIniString("Setting", "Language", latin), QString::fromUtf8("中文"));
    }

    void writeCreatesAndRefuses()
    {
        const QString f = path("new.ini");
        QVERIFY(WriteIniString("Setting", "UseMainGroup", "False", f));
        QCOMPARE(get(f), QByteArray("[Setting]\r\nUseMainGroup=False\r\n"));

        // A line break would split the entry; the file stays as it was.
        QVERIFY(!WriteIniString("Setting", "UseMainGroup", "True\r\n[Evil]", f));
        QVERIFY(!WriteIniString("Setting", "a=b", "1", f));
        QCOMPARE(get(f), QByteArray("[Setting]\r\nUseMainGroup=False\r\n"));

        // No folder to write into: false, nothing created.
        const QString nowhere = path("no/such/folder/x.ini");
        QVERIFY(!WriteIniString("Setting", "Language", "English", nowhere));
        QVERIFY(!QFile::exists(nowhere));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
