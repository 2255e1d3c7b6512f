// The program folder's own files: backups of the settings files and the
// daily log, with the error reports that go into it.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/SettingsBackup.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QByteArray utf16le(const QString &s)
{
    QStringEncoder enc(QStringEncoder::Utf16LE);
    return enc(s);
}

QString logText(const QString &path)
{
    QStringDecoder dec(QStringDecoder::Utf16);
    return dec(FileBytes(path));
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private:
    ScriptedUi m_ui;
    QTemporaryDir m_dir;

    std::unique_ptr<AppState> logState(const QString &sub, bool withLogFolder = true)
    {
        auto s = std::make_unique<AppState>(&m_ui);
        s->setPaths(QString(), m_dir.filePath(sub));
        if (withLogFolder)
            QDir().mkpath(s->appPath + "log");
        s->now = [] { return QDateTime(QDate(2007, 5, 1), QTime(9, 30, 0)); };
        m_ui.messages.clear();
        return s;
    }


    // A data root with the settings file and two files in the program folder.
    std::unique_ptr<AppState> newState(const QTemporaryDir &dir, QDate today)
    {
        auto s = std::make_unique<AppState>(&m_ui);
        s->setPaths(QString(), dir.path());
        s->now = [today] { return QDateTime(today, QTime(8, 0)); };
        WriteFile(s->iniFile, "[Setting]\r\nPLUPageSize=10\r\n");
        WriteFile(s->appPath + "Tool.ini", "[Tool]\r\nx=1\r\n");
        WriteFile(s->appPath + "readme.txt", "not a settings file");
        m_ui.messages.clear();
        return s;
    }

private slots:
    void folderDates()
    {
        // Month 13 is January of the next year, day 45 runs 14 days past the
        // end of that January; only the figures are tested, not the separators.
        const struct {
            const char *name;
            QDate date;
        } cases[] = {{"2007-05-01", {2007, 5, 1}}, {"2007-13-45", {2008, 2, 14}}, {"2007-02-30", {2007, 3, 2}},
                     {"2007-00-00", {2006, 11, 30}}, {"2007_05_01", {2007, 5, 1}}, {"2007-1-1", {}},
                     {"2007-05-1x", {}}, {"2007-05-011", {}}, {"abcd-05-01", {}}, {"0000-05-01", {}}, {"", {}}};
        for (const auto &c : cases)
            QCOMPARE(BackupFolderDate(c.name).value_or(QDate()), c.date);
    }

    void backupTakesBothSettingsPlacesOncePerDay()
    {
        QTemporaryDir dir;
        auto s = newState(dir, QDate(2007, 5, 1));
        QVERIFY(BackupSettings(*s));
        QCOMPARE(SettingsBackupRoot(*s), s->appPath + "Backup/Settings");
        const QString day = SettingsBackupRoot(*s) + "/2007-05-01/";
        QCOMPARE(FileBytes(day + "Korvo2005.INI"), QByteArray("[Setting]\r\nPLUPageSize=10\r\n"));
        QCOMPARE(FileBytes(day + "Tool.ini"), QByteArray("[Tool]\r\nx=1\r\n"));
        QVERIFY(!QFile::exists(day + "readme.txt"));

        // A later start of the same day keeps the first copy; the next day
        // gets its own folder with the new content.
        WriteFile(s->iniFile, "[Setting]\r\nPLUPageSize=99\r\n");
        QVERIFY(BackupSettings(*s));
        QCOMPARE(FileBytes(day + "Korvo2005.INI"), QByteArray("[Setting]\r\nPLUPageSize=10\r\n"));
        s->now = [] { return QDateTime(QDate(2007, 5, 2), QTime(8, 0)); };
        QVERIFY(BackupSettings(*s));
        QCOMPARE(FileBytes(SettingsBackupRoot(*s) + "/2007-05-02/Korvo2005.INI"),
                 QByteArray("[Setting]\r\nPLUPageSize=99\r\n"));
        QVERIFY(m_ui.messages.isEmpty());

        // A plain file where the backup folder belongs: reported.
        QTemporaryDir blocked;
        auto t = newState(blocked, QDate(2007, 5, 1));
        QVERIFY(WriteFile(t->appPath + "Backup", "in the way"));
        QVERIFY(!BackupSettings(*t));
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].title, QString("BackupSettings "));
        QVERIFY(m_ui.messages[0].text.contains("Backup/Settings"));
    }

    void pruningKeepsThirtyDays()
    {
        QTemporaryDir dir;
        auto s = newState(dir, QDate(2008, 2, 20));
        const QString root = SettingsBackupRoot(*s) + "/";
        const QStringList keep = {"2008-01-21", // 30 days ago
                                  "2008-03-21", // 30 days ahead
                                  "2007-13-45", // 14 Feb 2008 after the carry-over
                                  "2007-1-1",   // fails the name test
                                  "notadate"};
        const QStringList drop = {"2008-01-20", "2008-03-22", "2007-05-01"}; // 31 days either way
        for (const QString &n : keep + drop)
            QVERIFY(WriteFile(root + n + "/Korvo2005.INI", "x"));
        QVERIFY(WriteFile(root + "2008-01-20/nested/deep.ini", "x"));
        QVERIFY(WriteFile(root + "2001-01-01", "plain file")); // a file is no backup folder

        QVERIFY(DelOutdatedSettings(*s));
        for (const QString &n : keep)
            QVERIFY2(QFileInfo(root + n).isDir(), qPrintable(n));
        for (const QString &n : drop)
            QVERIFY2(!QFileInfo::exists(root + n), qPrintable(n));
        QVERIFY(QFileInfo(root + "2001-01-01").isFile());
        QVERIFY(m_ui.messages.isEmpty());

        QTemporaryDir empty; // no backup folder at all is nothing to prune
        QVERIFY(DelOutdatedSettings(*newState(empty, QDate(2008, 2, 20))));
    }

    void listShowsNewestFiftyFirst()
    {
        QTemporaryDir dir;
        auto s = newState(dir, QDate(2007, 5, 1));
        const QString root = SettingsBackupRoot(*s) + "/";
        const QDate start(2007, 1, 1);
        for (int i = 0; i < 55; ++i)
            QVERIFY(QDir().mkpath(root + start.addDays(i * 3).toString("yyyy-MM-dd")));
        QVERIFY(QDir().mkpath(root + "2007-1-1"));
        QVERIFY(QDir().mkpath(root + "2099-13-01")); // 2100-01-01, the newest
        const QStringList list = ListBackupFolders(*s);
        QCOMPARE(list.size(), 50);
        QCOMPARE(list.first(), QString("2099-13-01"));
        QCOMPARE(list.at(1), start.addDays(54 * 3).toString("yyyy-MM-dd"));
        QCOMPARE(list.last(), start.addDays(6 * 3).toString("yyyy-MM-dd"));
        QVERIFY(!list.contains("2007-1-1"));
    }

    void restorePutsEachFileWhereItBelongs()
    {
        QTemporaryDir dir;
        auto s = newState(dir, QDate(2007, 5, 1));
        const QString folder = SettingsBackupRoot(*s) + "/2007-04-30/";
        QVERIFY(WriteFile(folder + "korvo2005.ini", "[Setting]\r\nPLUPageSize=5\r\n"));
        QVERIFY(WriteFile(folder + "Tool.INI", "[Tool]\r\nx=2\r\n"));
        QVERIFY(WriteFile(folder + "notes.txt", "skip me"));

        QVERIFY(RestoreSettings(*s, "2007-04-30"));
        QCOMPARE(FileBytes(s->iniFile), QByteArray("[Setting]\r\nPLUPageSize=5\r\n"));
        QCOMPARE(FileBytes(s->appPath + "Tool.INI"), QByteArray("[Tool]\r\nx=2\r\n"));
        QVERIFY(!QFile::exists(s->appPath + "korvo2005.ini"));
        QVERIFY(!QFile::exists(s->appPath + "notes.txt"));
        // A full path serves as well.
        WriteFile(folder + "Tool.INI", "[Tool]\r\nx=3\r\n");
        QVERIFY(RestoreSettings(*s, folder));
        QCOMPARE(FileBytes(s->appPath + "Tool.INI"), QByteArray("[Tool]\r\nx=3\r\n"));

        // A backup taken and restored gives back the old settings file.
        QVERIFY(BackupSettings(*s));
        WriteFile(s->iniFile, "changed");
        QVERIFY(RestoreSettings(*s, "2007-05-01"));
        QCOMPARE(FileBytes(s->iniFile), QByteArray("[Setting]\r\nPLUPageSize=5\r\n"));
        QVERIFY(m_ui.messages.isEmpty());

        QVERIFY(!RestoreSettings(*s, "2001-01-01"));
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].title, QString("RestoreSettings "));
    }

    void folderHelpers()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + "/";
        QVERIFY(WriteFile(base + "file", "x"));
        QVERIFY(!MakeDir(base + "file/sub"));

        // CopyFiles: case-insensitive pattern, plain files only, overwrites.
        QVERIFY(WriteFile(base + "src/Korvo2005.INI", "one"));
        QVERIFY(WriteFile(base + "src/c.txt", "three"));
        QVERIFY(QDir().mkpath(base + "src/dir.ini"));
        QVERIFY(WriteFile(base + "dst/Korvo2005.INI", "old"));
        QVERIFY(CopyFiles(base + "src", "*.ini", base + "dst"));
        QCOMPARE(FileBytes(base + "dst/Korvo2005.INI"), QByteArray("one"));
        QVERIFY(!QFile::exists(base + "dst/c.txt"));
        QVERIFY(!QFile::exists(base + "dst/dir.ini"));
        QVERIFY(!CopyFiles(base + "src", "*.ini", base + "missing"));
        QVERIFY(!CopyFiles(base + "nosrc", "*.ini", base + "dst"));

        // DelDirectory removes the tree but never follows a link out of it.
        QVERIFY(WriteFile(base + "outside/keep.txt", "keep"));
        QVERIFY(WriteFile(base + "tree/x/y/z.txt", "z"));
        QVERIFY(QFile::link(base + "outside", base + "tree/x/link"));
        QVERIFY(DelDirectory(base + "tree"));
        QVERIFY(!QFileInfo::exists(base + "tree"));
        QCOMPARE(FileBytes(base + "outside/keep.txt"), QByteArray("keep"));
        QVERIFY(!DelDirectory(base + "file"));
        QVERIFY(QFile::exists(base + "file"));
    }

    void logLinesAreUtf16WithOneBom()
    {
        auto s = logState("a");
        const QString file = LogFilePath(*s, QDate(2007, 5, 1));
        QCOMPARE(file, s->appPath + "log/Korvo2005_2007-05-01.log");
        WriteLog(*s, "'anna' logged in");
        QCOMPARE(FileBytes(file),
                 QByteArray("\xFF\xFE", 2) + utf16le("[2007-05-01 09:30:00]  'anna' logged in\r\n"));

        // Appending adds a line and no second byte order mark.
        s->now = [] { return QDateTime(QDate(2007, 5, 1), QTime(23, 59, 58)); };
        WriteLog(*s, QString::fromUtf8("价格 Ünïcode"));
        QCOMPARE(logText(file), QString::fromUtf8("[2007-05-01 09:30:00]  'anna' logged in\r\n"
                                                  "[2007-05-01 23:59:58]  价格 Ünïcode\r\n"));
        QCOMPARE(FileBytes(file).count(QByteArray("\xFF\xFE", 2)), 1);

        // The next day writes its own file.
        s->now = [] { return QDateTime(QDate(2007, 5, 2), QTime(0, 0, 1)); };
        WriteLog(*s, "next");
        QVERIFY(QFile::exists(s->appPath + "log/Korvo2005_2007-05-02.log"));
    }

    void logFailuresAreSilent()
    {
        // No log folder: nothing is created, nothing is shown.
        auto s = logState("b", false);
        WriteLog(*s, "lost");
        QVERIFY(!QFile::exists(s->appPath + "log"));
        QVERIFY(m_ui.messages.isEmpty());

        // The day's file cannot be opened (a folder stands in its place).
        auto t = logState("c");
        QVERIFY(QDir().mkpath(LogFilePath(*t, QDate(2007, 5, 1))));
        WriteLog(*t, "lost too");
        QVERIFY(QFileInfo(LogFilePath(*t, QDate(2007, 5, 1))).isDir());
        QVERIFY(m_ui.messages.isEmpty());
    }

    void reportErrorLogsShowsAndResets()
    {
        auto s = logState("d");
        s->errorSource = "BackupSettings ";
        ReportError(*s, "disk full");
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].text, QString("disk full"));
        QCOMPARE(m_ui.messages[0].title, QString("BackupSettings "));
        QCOMPARE(m_ui.messages[0].icon, MsgIcon::Critical);
        QCOMPARE(s->errorSource, kDefaultErrorSource);
        QCOMPARE(s->reportedErrors.size(), 1);

        // Without a source of its own the default titles the box.
        ReportError(*s, "second");
        QCOMPARE(m_ui.messages[1].title, QString("Korvo 2005"));

        QCOMPARE(logText(LogFilePath(*s, QDate(2007, 5, 1))),
                 QString("[2007-05-01 09:30:00]  BackupSettings :    disk full\r\n"
                         "[2007-05-01 09:30:00]  Korvo 2005:    second\r\n"));

        // No user interface: still logged and recorded.
        AppState quiet;
        quiet.setPaths(QString(), m_dir.filePath("d"));
        quiet.now = s->now;
        quiet.errorSource = "X";
        ReportError(quiet, "no box");
        QCOMPARE(quiet.reportedErrors.size(), 1);
        QVERIFY(logText(LogFilePath(quiet, QDate(2007, 5, 1))).endsWith("X:    no box\r\n"));
    }

    void collectorGathersInsteadOfShowing()
    {
        auto s = logState("e");
        s->errorSource = "before";
        ReportError(*s, "shown");
        QCOMPARE(m_ui.messages.size(), 1);
        {
            ErrorCollector outer(*s);
            s->errorSource = "EncodePLU (1)";
            ReportError(*s, "first failure");
            {
                ErrorCollector inner(*s);
                s->errorSource = "EncodePLU (2)";
                ReportError(*s, "second failure");
                QCOMPARE(inner.count(), 1);
                QCOMPARE(inner.firstSource(), QString("EncodePLU (2)"));
            }
            QCOMPARE(outer.count(), 2);
            QCOMPARE(outer.firstSource(), QString("EncodePLU (1)"));
            QCOMPARE(outer.firstDescription(), QString("first failure"));
            QCOMPARE(m_ui.messages.size(), 1);
        }
        QCOMPARE(s->collectDepth, 0);
        ReportError(*s, "shown again");
        QCOMPARE(m_ui.messages.size(), 2);
        const QString log = logText(LogFilePath(*s, QDate(2007, 5, 1)));
        QCOMPARE(log.count("\r\n"), 4); // collected reports are logged all the same
        QVERIFY(log.contains("EncodePLU (2):    second failure"));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
