// korvoctl run as the built program over test data roots (list, plu, users,
// restore, init, check), and the rules beneath it: user administration,
// backups taken while a writer is busy, data roots built whole or not at all,
// locked per copy and checked for damage.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "i18n/Permissions.h"
#include "i18n/UserAdmin.h"
#include "i18n/Users.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"
#include "tools/DataBackup.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <functional>
#include <sqlite3.h>
#include <thread>

using namespace korvo;
using namespace korvo::test;

namespace {

// RFC 4180 reading: quoted cells may hold commas, quotes and line breaks.
QVector<QStringList> parseCsv(const QString &text)
{
    QVector<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"' && quoted && i + 1 < text.size() && text.at(i + 1) == u'"') {
            cell += c; // a doubled quote inside quotes
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (quoted || (c != u',' && c != u'\n')) {
            cell += c;
        } else {
            row << cell;
            cell.clear();
            if (c == u'\n') {
                rows << row;
                row.clear();
            }
        }
    }
    if (!cell.isEmpty() || !row.isEmpty())
        rows << (row << cell);
    return rows;
}

// Column of the printed rows under a header name.
QStringList column(const QVector<QStringList> &rows, const QString &name)
{
    QStringList out;
    const qsizetype at = rows.value(0).indexOf(name);
    for (qsizetype i = 1; i < rows.size(); ++i)
        out << rows[i].value(at);
    return out;
}
QStringList pluNos(const ProgramRun &r) { return column(parseCsv(r.out), "PLU_No"); }

// First value of a statement on a database file, read only; "" on any failure.
QString fileScalar(const QString &path, const char *sql)
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

constexpr int kBatch = 50;

} // namespace

class TestKorvoctl : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root; // the demo shop, for list, plu and users
    std::unique_ptr<AppState> m_state;
    QStringList m_header;

    ProgramRun ctl(const QStringList &args, const QByteArray &input = {})
    {
        return RunKorvoctl(QStringList{"--data-root", m_root.path()} + args, input);
    }
    ProgramRun list(const QStringList &args) { return ctl(QStringList{"list"} + args); }
    QStringList values(const QString &sql) { return SqlColumn(*m_state, sql); }
    QString scalar(const QString &sql) { return SqlScalar(*m_state, sql); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
        for (const PLUField &f : m_state->pluFields.fields)
            if (f.Visible)
                m_header << f.Name;
        QVERIFY(m_header.contains("PLU_Commodity"));
        QVERIFY(QueryKorvoDB(*m_state, "insert into PLU(PLU_No,PLU_MG,PLU_UPrice,PLU_ItemCode,"
                                       "PLU_Commodity) values(9001,302,2.5,'123','O''Neil''s "
                                       "\"best\", sliced\nthin')"));
        QVERIFY(QueryKorvoDB(*m_state, "insert into PLU(PLU_No,PLU_MG,PLU_UPrice,PLU_ItemCode,"
                                       "PLU_Commodity) values(9002,202,3.5,'00123','Lamb')"));
    }

    void listPagesAndSort()
    {
        const int all = values("select count(*) from PLU").value(0).toInt();
        const int pages = (all + m_state->settings.PLUPageSize - 1) / m_state->settings.PLUPageSize;
        QVERIFY(pages >= 3);

        ProgramRun r = list({"--page", "999"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err.trimmed(), QString("page %1 of %1").arg(pages));
        QVector<QStringList> rows = parseCsv(r.out);
        QCOMPARE(rows.value(0), m_header);
        QCOMPARE(rows.size() - 1, all - (pages - 1) * m_state->settings.PLUPageSize);
        QCOMPARE(column(rows, "PLU_No").constLast(), values("select max(PLU_No) from PLU").value(0));

        r = list({"--dept", "2", "--sort", "PLU_UPrice:desc,plu_no"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err.trimmed(), QString("page 1 of 1"));
        QCOMPARE(pluNos(r), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG where DP_No=2) "
                                   "order by PLU_UPrice desc, PLU_No"));

        r = list({"--mg", "302", "--sort", "PLU_UPrice"});
        rows = parseCsv(r.out);
        QCOMPARE(column(rows, "PLU_No"), values("select PLU_No from PLU where PLU_MG=302 order by PLU_UPrice, PLU_No"));
        // Quotes, commas and line breaks come back whole.
        QVERIFY(column(rows, "PLU_Commodity").contains("O'Neil's \"best\", sliced\nthin"));
        for (const QStringList &row : rows)
            QCOMPARE(row.size(), m_header.size());
    }

    void listSearches()
    {
        ProgramRun r = list({"--name", " O'Neil "});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(pluNos(r), QStringList{"9001"});
        QVERIFY(r.err.contains("first hit 9001") && r.err.contains("page 1 of 1"));
        r = list({"--dept", "2", "--item-code", "00123"});
        QCOMPARE(pluNos(r), QStringList{});
        QVERIFY(r.err.contains("no hit"));
        QCOMPARE(pluNos(list({"--dept", "3", "--item-code", "00123"})), QStringList{"9001"});
        QCOMPARE(pluNos(list({"--mg", "202", "--plu", "9002abc"})), QStringList{"9002"});

        // A search that does nothing leaves the node's page.
        r = list({"--mg", "202", "--plu", "0"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.contains("searches nothing"));
        QCOMPARE(pluNos(r), values("select PLU_No from PLU where PLU_MG=202 order by PLU_No"));
        QVERIFY(list({"--name", "   "}).err.contains("searches nothing"));
    }

    void listBadArguments()
    {
        // Numbers are whole numbers, not prefixes, nor rounded.
        const QList<QStringList> usageErrors{{"--sort", "PLU_No:up"}, {"--dept", "1", "--mg", "101"},
                                             {"--name"}, {"--plu", "1", "--name", "x"},
                                             {"--page", "1", "--page", "2"}, {"--page", "1.5"}};
        for (const QStringList &args : usageErrors) {
            const ProgramRun r = list(args);
            QVERIFY2(r.exitCode == 2 && r.out.isEmpty() && r.err.contains("usage"), qPrintable(args.join(' ')));
        }
        QVERIFY(list({"--sort", "Bogus"}).err.contains("\"Bogus\""));
        const ProgramRun r = list({"--dept", "42"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("no department 42"));
    }

    void pluRoundTrip()
    {
        const ProgramRun got = ctl({"plu", "get", "1"});
        QCOMPARE(got.exitCode, 0);
        const QJsonObject plu = QJsonDocument::fromJson(got.out.toUtf8()).object();
        QCOMPARE(plu.value("PLU_Commodity").toString(), "Bananas\rripe, loose");
        QCOMPARE(plu.value("PLU_UPrice").toDouble(), 1.69);
        QVERIFY(plu.value("PLU_EANData").isNull());
        QCOMPARE(plu.value("Stat2_Discount").toBool(), true);
        QCOMPARE(plu.value("discount").toObject().value("Dis_Type").toInt(), 2);

        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("plu.json"), got.out.toUtf8()));
        const ProgramRun saved = ctl({"plu", "save", dir.filePath("plu.json")});
        QCOMPARE(saved.out, "PLU 1 saved\n");
        QCOMPARE(saved.exitCode, 0);
        // Saved again, the PLU reads back the same but for its update time.
        QJsonObject again = QJsonDocument::fromJson(ctl({"plu", "get", "1"}).out.toUtf8()).object();
        QJsonObject before = plu;
        for (QJsonObject *o : {&again, &before}) {
            o->remove("PLU_UPDate");
            o->remove("PLU_UPTime");
        }
        QCOMPARE(again, before);
    }

    void pluSavedAndRefused()
    {
        const QString before1 = ctl({"plu", "get", "1"}).out;
        const QJsonArray objects = {
            QJsonObject{{"PLU_No", 8000}, {"PLU_MG", 101}, {"PLU_Commodity", "O'Neil"}, {"PLU_UPrice", "1,5"},
                        {"PLU_ItemCode", ""}, {"Stat2_Organic", true}, {"PLU_Ingredient", "x'); drop table PLU; --"}},
            QJsonObject{{"plu_no", "2"}, {"PLU_Cost", QJsonValue::Null}},
            QJsonObject{{"PLU_No", 8001}, {"PLU_MG", 101}, {"PLU_Tare", "5); delete from PLU; --"}},
            QJsonObject{{"PLU_No", 8002}, {"PLU_MG", 101}, {"PLU_Price", 1}},
            QJsonObject{{"PLU_No", 1}, {"PLU_Commodity", "changed"}, {"discount", QJsonObject{{"Dis_SDate", "2026-02-30"}}}},
            QJsonObject{{"PLU_No", 1.5}},
            QJsonArray{1},
        };
        const ProgramRun r = ctl({"plu", "save", "-"}, QJsonDocument(objects).toJson());
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts),
                 (QStringList{"PLU 8000 saved", "PLU 2 saved", "PLU 8001 not saved", "PLU 8002 not saved",
                              "PLU 1 not saved", "object 6 not saved", "object 7 not saved"}));
        for (const char *reason : {"PLU_Tare", "unknown column \"PLU_Price\"", "Dis_SDate", "PLU_No must be"})
            QVERIFY2(r.err.contains(QLatin1String(reason)), qPrintable(r.err));

        // Quotes, a decimal comma, an empty text as null, a hostile text kept as text.
        QCOMPARE(scalar("select PLU_Commodity||'|'||PLU_UPrice||'|'||(PLU_ItemCode is null)||'|'||Stat2_Organic"
                        "||'|'||PLU_Ingredient from PLU where PLU_No=8000"),
                 "O'Neil|1.5|1|1|x'); drop table PLU; --");
        QVERIFY(scalar("select length(ZentBinData) from PLU where PLU_No=8000").toInt() > 20);
        // Keys left out keep what the PLU had.
        QCOMPARE(scalar("select (PLU_Cost is null)||'|'||PLU_UPrice from PLU where PLU_No=2"), "1|2.29");
        QCOMPARE(SqlCount(*m_state, "PLU where PLU_No in (8001, 8002)"), 0);
        QCOMPARE(ctl({"plu", "get", "1"}).out, before1);

        const ProgramRun missing = ctl({"plu", "get", "777777"});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains("does not exist"));
        QCOMPARE(ctl({"plu", "get", "1x"}).exitCode, 2);
        QCOMPARE(ctl({"plu", "save", "/no/such/file.json"}).exitCode, 1);
        QCOMPARE(ctl({"plu", "save", "-"}, "{not json").exitCode, 1);
    }

    void users()
    {
        const struct {
            QStringList args;
            QByteArray input;
            int exitCode;
            const char *says; // in stdout or stderr
        } runs[] = {
            {{"add", "chief", "--admin", "--password-stdin"}, "Chief-secret-1\n", 0, ""},
            {{"add", "clerk", "--password-stdin"}, "tiny\n", 1, "at least 8"},
            {{"add", "clerk", "--password-stdin"}, "Clerk-secret-1\r\n", 0, ""},
            {{"add", "clerk2"}, "", 1, "--password-stdin"}, // no terminal, no echo-free prompt
            {{"prohibit", "clerk", "frmOption.cmdOK", "mnuID_MENU_FILE_OPTION"}, "", 0, ""},
            {{"prohibit", "clerk", "mnuNO_SUCH"}, "", 1, "mnuNO_SUCH"},
            {{"list"}, "", 0, "chief\tADMINISTRATOR\t\nclerk\tUSER\tmnuID_MENU_FILE_OPTION,frmOption.cmdOK\n"},
            {{"remove", "chief"}, "", 1, "last administrator"},
            {{"passwd", "clerk", "--password-stdin"}, "Clerk-secret-2\n", 0, ""},
            {{"passwd", "nobody", "--password-stdin"}, "Whatever-123\n", 1, "nobody"},
        };
        for (const auto &run : runs) {
            const ProgramRun r = ctl(QStringList{"users"} + run.args, run.input);
            const QString what = run.args.join(' ') + ": " + r.err + r.out;
            QVERIFY2(r.exitCode == run.exitCode && (r.out + r.err).contains(QString::fromUtf8(run.says)),
                     qPrintable(what));
        }
        UserDirectory users(m_root.path() + "Database/Users.db");
        QVERIFY(!users.checkPassword("clerk", "Clerk-secret-1"));
        QVERIFY(users.checkPassword("CLERK", "Clerk-secret-2"));
    }

    void userAdminRules()
    {
        TestDataRoot root(false);
        QVERIFY2(root.ok(), qPrintable(root.error()));
        auto state = root.loadedState(QStringLiteral("boss"));
        QVERIFY(state);
        UserAdmin admin(*state);
        using E = UserAdmin::Error;
        const QString pw = QStringLiteral("Long-enough-1");
        const struct {
            const char *what;
            std::function<bool()> op;
            E error;
        } steps[] = {
            {"first administrator", [&] { return admin.addUser("boss", pw, true); }, E::None},
            // Four characters outside the BMP are eight UTF-16 units.
            {"length counts characters", [&] { return admin.addUser("anna", "😀😀😀😀", false); }, E::PasswordTooShort},
            {"seven characters", [&] { return admin.addUser("anna", "Seven-7", false); }, E::PasswordTooShort},
            {"user", [&] { return admin.addUser("Änna", pw, false); }, E::None},
            {"name taken in other case", [&] { return admin.addUser("äNNA", pw, false); }, E::UserExists},
            {"blank name", [&] { return admin.addUser("  ", pw, false); }, E::EmptyName},
            {"remove the last administrator", [&] { return admin.removeUser("BOSS"); }, E::LastAdministrator},
            {"demote the last administrator", [&] { return admin.setAdministrator("boss", false); }, E::LastAdministrator},
            {"password of nobody", [&] { return admin.setPassword("nobody", pw); }, E::NoSuchUser},
            {"promote", [&] { return admin.setAdministrator("änna", true); }, E::None},
            {"demote, another is left", [&] { return admin.setAdministrator("boss", false); }, E::None},
            {"the new last administrator", [&] { return admin.removeUser("Änna"); }, E::LastAdministrator},
            {"unknown function", [&] { return admin.functionId("mnuNO_SUCH").has_value(); }, E::UnknownFunction},
            {"sign-in window is no function", [&] { return admin.functionId("frmLogin.cmdOK").has_value(); }, E::UnknownFunction},
        };
        for (const auto &step : steps) {
            QCOMPARE_EQ(step.op(), step.error == E::None);
            QVERIFY2(admin.error() == step.error, step.what);
        }
        const QVector<UserInfo> users = admin.users();
        QCOMPARE(users.size(), 2);
        QCOMPARE(users[0].name + (users[0].administrator ? "*" : ""), QStringLiteral("boss"));
        QCOMPARE(users[1].name + (users[1].administrator ? "*" : ""), QStringLiteral("Änna*"));

        // Prohibitions are the main window's checks, for that user only, and
        // go with the user.
        const std::optional<qint32> options = admin.functionId("mnuID_MENU_FILE_OPTION");
        const std::optional<qint32> ok = admin.functionId("frmOption.cmdOK");
        QVERIFY(options && ok);
        QVERIFY(admin.prohibit("BOSS", {*options, *ok}));
        auto allowed = [&](const QString &user) {
            state->userName = user;
            return GetSecurityPermission(*state, "frmMain", "mnuID_MENU_FILE_OPTION");
        };
        QVERIFY(!allowed("boss"));
        QVERIFY(allowed("Änna"));
        QVERIFY(admin.allow("boss", {*options}));
        QVERIFY(allowed("boss"));
        QCOMPARE(admin.user("boss")->prohibited, QVector<qint32>{*ok});
        QVERIFY(admin.removeUser("boss"));
        QVERIFY(admin.addUser("Boss", pw, false));
        QVERIFY(admin.user("boss")->prohibited.isEmpty());
        QVERIFY(state->reportedErrors.isEmpty());
    }

    void backupWhileAWriterIsBusy()
    {
        TestDataRoot root;
        QVERIFY2(root.ok(), qPrintable(root.error()));
        auto state = root.newState();

        // Another connection, as the running program would be, commits
        // batches of rows as fast as it can while the backups run.
        sqlite3 *writer = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(root.path() + "Database/KORVO2005.db").constData(), &writer), SQLITE_OK);
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
                QCOMPARE(fileScalar(folder + "/Database/" + db, "PRAGMA integrity_check"), QStringLiteral("ok"));
            const int rows = fileScalar(folder + "/Database/KORVO2005.db", "select count(*) from Churn").toInt();
            // Whole transactions only, and every one committed before the
            // backup began: the write-ahead log's pages are in the copy.
            QVERIFY2(rows % kBatch == 0 && rows >= committedBefore[i] * kBatch && rows <= written * kBatch,
                     qPrintable(QString::number(rows)));
            QCOMPARE(FileMode(folder + "/Database/Users.db"), 0600);
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
        QCOMPARE(FileMode(usersDb), 0600);
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
        const ProgramRun list = RunKorvoctl({"--data-root", target, "list"});
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
            RunKorvoctl({"init", target}, {}, ms);
            const DataRootContent after = InspectDataRoot(target);
            QVERIFY2(after != DataRootContent::Partial, qPrintable(target));
            if (after == DataRootContent::None)
                QCOMPARE(RunKorvoctl({"init", target}).exitCode, 0);
            QVERIFY(QDir(base.path()).entryList({".*building*"}, QDir::Dirs | QDir::Hidden).isEmpty());
            const ProgramRun check = RunKorvoctl({"--data-root", target, "check"});
            QCOMPARE(check.exitCode, 0);
            QCOMPARE(check.out.count(": ok\n"), 3);
        }
    }

    void damageFoundBeforeAnyWrite()
    {
        // Pages of an index overwritten: the opening refuses the changed
        // file. Entries that do not match their table: the full check finds
        // them.
        for (const bool garblePage : {true, false}) {
            TestDataRoot root;
            QVERIFY(root.ok());
            const QString db = root.path() + "Database/KORVO2005.db";
            int page = 0, pageSize = 0;
            {
                auto s = root.loadedState(); // a clean open and close
                QVERIFY(s);
                page = SqlScalar(*s, "select rootpage from sqlite_master where name='PLU_PLU_UPrice'").toInt();
                pageSize = SqlScalar(*s, "PRAGMA page_size").toInt();
            }
            if (garblePage) {
                QFile f(db);
                QVERIFY(page > 1 && f.open(QIODevice::ReadWrite) && f.seek(qint64(page - 1) * pageSize));
                f.write(QByteArray(32, '\xff'));
            } else {
                sqlite3 *raw = nullptr;
                QCOMPARE(sqlite3_open(QFile::encodeName(db).constData(), &raw), SQLITE_OK);
                QCOMPARE(sqlite3_exec(raw, "PRAGMA writable_schema=ON; update sqlite_master set sql='CREATE INDEX "
                                           "PLU_PLU_UPrice ON PLU (PLU_ItemCode)' where name='PLU_PLU_UPrice'",
                                      nullptr, nullptr, nullptr), SQLITE_OK);
                sqlite3_close(raw);
            }
            const QByteArray damaged = FileBytes(db);
            auto s = root.newState();
            root.ui.messages.clear();
            QCOMPARE(InitDBConnection(*s), !garblePage);
            if (garblePage) {
                QVERIFY2(root.ui.messages.value(0).text.contains("damaged"), qPrintable(root.ui.messages.value(0).text));
                QCOMPARE(FileBytes(db), damaged);
            }
            s.reset();
            const ProgramRun check = RunKorvoctl({"--data-root", root.path(), "check"});
            QCOMPARE(check.exitCode, 1);
            QVERIFY2(check.out.contains("KORVO2005.db: ") && !check.out.contains("KORVO2005.db: ok"),
                     qPrintable(check.out));
            QVERIFY(check.out.contains("Users.db: ok"));
        }
    }

    void cleanupTestCase() { m_state.reset(); }
};

QTEST_GUILESS_MAIN(TestKorvoctl)
#include "tst_korvoctl.moc"
