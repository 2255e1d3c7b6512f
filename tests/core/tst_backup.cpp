#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/FileUtil.h"
#include "core/SettingsBackup.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestBackup : public QObject {
    Q_OBJECT

private:
    ScriptedUi m_ui;

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
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
