// Data roots as a person and a script meet them: asked for before they are
// built, built whole or not at all, locked per copy, checked for damage.

#include "common/TestSupport.h"
#include "core/Database.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

using namespace korvo;
using namespace korvo::test;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run Ctl(const QStringList &args, int killAfterMs = -1)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/../src/korvoctl", args);
    Run r;
    if (!p.waitForStarted())
        return r;
    if (killAfterMs >= 0) {
        QThread::msleep(killAfterMs);
        p.kill();
    }
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Runs statements on a database file while nothing else has it open.
void RawSql(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
    }
    QSqlDatabase::removeDatabase("raw");
}

} // namespace

class TestDataRootLife : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateUserSettings(); }

    void newRootOnlyAfterYes()
    {
        // A folder with a settings file of its own and no database.
        QTemporaryDir base;
        const QString target = base.filePath("shop");
        const QString ini = target + "/Korvo2005.INI";
        QVERIFY(WriteFile(ini, FileBytes(":/data/Korvo2005.INI") + "\r\n[Custom]\r\nMark=kept\r\n"));
        ScriptedUi ui;
        AppState state(&ui);
        state.setPaths(QString(), target);
        std::unique_ptr<QLockFile> lock;
        ui.answers = {MsgResult::No};
        QCOMPARE(PrepareDataRoot(state, true, &lock), StartStep::EndQuietly);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MsgIcon::Question);
        QCOMPARE(ui.messages[0].defaultButton, MsgResult::No);
        // korvoctl builds nothing either; it names the command that does.
        const Run list = Ctl({"--data-root", target, "list"});
        QCOMPARE(list.exitCode, 1);
        QVERIFY2(list.err.contains("korvoctl init"), qPrintable(list.err));
        QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"Korvo2005.INI"}));

        ui.answers = {MsgResult::Yes};
        QCOMPARE(PrepareDataRoot(state, true, &lock), StartStep::Go);
        QVERIFY(lock && lock->isLocked());
        QCOMPARE(InspectDataRoot(target), DataRootContent::Complete);
        QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"Bin", "Database", "Desc", "Korvo2005.INI", "Korvo2005.lock"}));
        QVERIFY(FileBytes(ini).endsWith("Mark=kept\r\n"));
        QVERIFY(LoadSettings(state));
        QCOMPARE(SqlCount(state, "PLU where ifnull(ZentBinData,'')=''"), 0);
        QVERIFY(SqlCount(state, "PLU") > 0);

        // A second copy on the root ends without a word.
        ui.messages.clear();
        AppState second(&ui);
        second.setPaths(QString(), target);
        std::unique_ptr<QLockFile> secondLock;
        QCOMPARE(PrepareDataRoot(second, true, &secondLock), StartStep::EndQuietly);
        QVERIFY(ui.messages.isEmpty());

        // Any other lock failure is said: a path too long for the lock file.
        QString deep = base.path();
        while (deep.size() < 4087) // the folder just fits; its lock file does not
            deep += "/" + QString(qMin(200, 4087 - int(deep.size())), 'd');
        QVERIFY(QDir().mkpath(deep));
        AppState third(&ui);
        third.setPaths(QString(), deep);
        QCOMPARE(PrepareDataRoot(third, false, &secondLock), StartStep::Fail);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].text.contains("lock file"), qPrintable(ui.messages[0].text));
    }

    void initKilledLeavesNoHalfRoot()
    {
        // Wherever a kill lands, the target is either no root at all, so
        // init runs again, or a whole one.
        QTemporaryDir base;
        for (int ms : {0, 40, 120, 300}) {
            const QString target = base.filePath(QString("root%1").arg(ms));
            Ctl({"init", target}, ms);
            const DataRootContent after = InspectDataRoot(target);
            QVERIFY2(after != DataRootContent::Partial, qPrintable(target));
            if (after == DataRootContent::None)
                QCOMPARE(Ctl({"init", target}).exitCode, 0);
            QVERIFY(QDir(base.path()).entryList({".*building*"}, QDir::Dirs | QDir::Hidden).isEmpty());
            const Run check = Ctl({"--data-root", target, "check"});
            QCOMPARE(check.exitCode, 0);
            QCOMPARE(check.out.count(": ok\n"), 3);
        }
    }

    void damageFoundBeforeAnyWrite()
    {
        // Pages of an index overwritten: the opening refuses the changed
        // file. Entries that do not match their table: the full check finds
        // them.
        const struct {
            bool garblePage;
            bool openRefused;
        } cases[] = {{true, true}, {false, false}};
        for (const auto &c : cases) {
            TestDataRoot root;
            QVERIFY(root.ok());
            const QString db = root.path() + "Database/KORVO2005.db";
            {
                auto s = root.loadedState(); // a clean open and close
                QVERIFY(s);
            }
            if (c.garblePage) {
                int page = 0, pageSize = 0;
                {
                    auto s = root.loadedState();
                    page = SqlScalar(*s, "select rootpage from sqlite_master where name='PLU_PLU_UPrice'").toInt();
                    pageSize = SqlScalar(*s, "PRAGMA page_size").toInt();
                }
                QFile f(db);
                QVERIFY(page > 1 && f.open(QIODevice::ReadWrite) && f.seek(qint64(page - 1) * pageSize));
                f.write(QByteArray(32, '\xff'));
            } else {
                RawSql(db, {"PRAGMA writable_schema=ON",
                            "update sqlite_master set sql='CREATE INDEX PLU_PLU_UPrice ON PLU (PLU_ItemCode)' "
                            "where name='PLU_PLU_UPrice'"});
            }
            const QByteArray damaged = FileBytes(db);
            auto s = root.newState();
            root.ui.messages.clear();
            QCOMPARE(InitDBConnection(*s), !c.openRefused);
            if (c.openRefused) {
                QVERIFY2(root.ui.messages.value(0).text.contains("damaged"), qPrintable(root.ui.messages.value(0).text));
                QCOMPARE(FileBytes(db), damaged);
            }
            s.reset();
            const Run check = Ctl({"--data-root", root.path(), "check"});
            QCOMPARE(check.exitCode, 1);
            QVERIFY2(check.out.contains("KORVO2005.db: ") && !check.out.contains("KORVO2005.db: ok"),
                     qPrintable(check.out));
            QVERIFY(check.out.contains("Users.db: ok"));
        }
    }
};

QTEST_MAIN(TestDataRootLife)
#include "tst_dataroot.moc"
