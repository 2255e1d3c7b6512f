// Backup and restore of a data root: a consistent copy while a writer is
// busy, the restore refused while the program holds its lock, and the
// restore itself through korvoctl.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/IniFile.h"
#include "i18n/Users.h"
#include "tools/DataBackup.h"

#include <QDir>
#include <QLockFile>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

using namespace korvo;
using namespace korvo::test;

namespace {

constexpr int kBatch = 50;

int fileMode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// First value of a statement on a database file; "" on any failure.
QString scalar(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    QString value;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

} // namespace

class TestDataBackup : public QObject {
    Q_OBJECT

private slots:
    void backupWhileAWriterIsBusy()
    {
        TestDataRoot root;
        QVERIFY2(root.ok(), qPrintable(root.error()));
        auto state = root.newState();
        const QString mainDb = root.path() + "Database/KORVO2005.db";

        // Another connection, as the running program would be, commits
        // batches of rows as fast as it can while the backups run.
        sqlite3 *writer = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(mainDb).constData(), &writer), SQLITE_OK);
        sqlite3_busy_timeout(writer, 10000);
        QCOMPARE(sqlite3_exec(writer, "PRAGMA journal_mode=WAL; create table Churn(n integer, pad blob)",
                              nullptr, nullptr, nullptr), SQLITE_OK);
        std::atomic<bool> stop{false};
        std::atomic<int> batches{0};
        std::thread thread([&] {
            while (!stop) {
                sqlite3_exec(writer, "BEGIN", nullptr, nullptr, nullptr);
                for (int i = 0; i < kBatch; ++i)
                    sqlite3_exec(writer, "insert into Churn values(1, randomblob(2000))", nullptr, nullptr, nullptr);
                if (sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
                    ++batches;
                else
                    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
            }
        });
        QTRY_VERIFY(batches >= 3);

        QTemporaryDir dest;
        QStringList folders;
        QVector<int> committedBefore;
        for (int i = 0; i < 3; ++i) {
            committedBefore << batches;
            const BackupOutcome out = BackupDataRoot(*state, dest.path());
            QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
            folders << out.folder;
        }
        const int written = batches;
        stop = true;
        thread.join();
        sqlite3_close(writer);

        // Same second, three folders: none overwrites another.
        QCOMPARE(QSet<QString>(folders.begin(), folders.end()).size(), 3);
        const QString stamp = state->now().toString("yyyy-MM-dd");
        for (int i = 0; i < folders.size(); ++i) {
            const QString &folder = folders[i];
            QVERIFY2(QFileInfo(folder).fileName().startsWith("Korvo2005_" + stamp), qPrintable(folder));
            for (const char *db : {"KORVO2005.db", "language.db", "Users.db"})
                QCOMPARE(scalar(folder + "/Database/" + db, "PRAGMA integrity_check"), QStringLiteral("ok"));
            const int rows = scalar(folder + "/Database/KORVO2005.db", "select count(*) from Churn").toInt();
            // Whole transactions only, and every one committed before the
            // backup began: the write-ahead log's pages are in the copy.
            QVERIFY2(rows % kBatch == 0 && rows >= committedBefore[i] * kBatch && rows <= written * kBatch,
                     qPrintable(QString::number(rows)));
            QCOMPARE(fileMode(folder + "/Database/Users.db"), 0600);
            for (const QString &f : {QStringLiteral("Korvo2005.INI"), QStringLiteral("Desc/PLU.dsc")})
                QCOMPARE(FileBytes(folder + "/" + f), FileBytes(root.path() + f));
        }
        QVERIFY(QDir(dest.path()).entryList({"*.partial"}, QDir::AllEntries).isEmpty());
    }

    void restoreOnlyWithoutTheProgram()
    {
        TestDataRoot root(false);
        QVERIFY2(root.ok(), qPrintable(root.error()));
        auto state = root.newState();
        const QString usersDb = root.path() + "Database/Users.db";
        QTemporaryDir dest;
        const BackupOutcome backup = BackupDataRoot(*state, dest.path());
        QVERIFY2(backup.error.isEmpty(), qPrintable(backup.error));

        // Changes after the backup, which the restore takes back.
        QVERIFY(UserDirectory(usersDb).addUser("late", "Late-comer-1", "USER"));
        QVERIFY(WriteIniString("Setting", "VersionType", "Changed", state->iniFile));
        const QStringList restore{"--data-root", root.path(), "restore", backup.folder};
        {
            QLockFile lock(state->lockFilePath());
            QVERIFY(lock.tryLock(0));
            QVERIFY(DataRootInUse(*state));
            const ProgramRun r = RunKorvoctl(restore + QStringList{"--yes"});
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("running"), qPrintable(r.err));
            QCOMPARE(ReadIniString("Setting", "VersionType", state->iniFile), QStringLiteral("Changed"));
        }
        // Unconfirmed it says what it would replace and changes nothing.
        ProgramRun r = RunKorvoctl(restore);
        QCOMPARE(r.exitCode, 1);
        for (const char *f : {"Korvo2005.INI:", "Database/KORVO2005.db:", "Database/Users.db:", "Desc/PLU.dsc:"})
            QVERIFY2(r.out.contains(f), qPrintable(r.out));
        QCOMPARE(ReadIniString("Setting", "VersionType", state->iniFile), QStringLiteral("Changed"));

        r = RunKorvoctl(restore + QStringList{"--yes"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(ReadIniString("Setting", "VersionType", state->iniFile), QStringLiteral("Standard"));
        QVERIFY(!UserDirectory(usersDb).checkPassword("late", "Late-comer-1"));
        QCOMPARE(fileMode(usersDb), 0600);
        // The replaced files were kept.
        const QString kept = QRegularExpression("kept in (.*)\n").match(r.out).captured(1);
        QVERIFY2(!kept.isEmpty(), qPrintable(r.out));
        QCOMPARE(ReadIniString("Setting", "VersionType", kept + "/Korvo2005.INI"), QStringLiteral("Changed"));
        QVERIFY(UserDirectory(kept + "/Database/Users.db").checkPassword("late", "Late-comer-1"));

        // A damaged copy is no backup: refused before anything is replaced.
        QFile main(backup.folder + "/Database/KORVO2005.db");
        QVERIFY(main.open(QIODevice::ReadWrite));
        main.seek(4096);
        main.write(QByteArray(8192, '\x5a'));
        main.close();
        QVERIFY(!PlanRestore(*state, backup.folder).error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDataBackup)
#include "tst_databackup.moc"
