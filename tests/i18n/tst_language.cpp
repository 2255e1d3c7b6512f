// Interface texts, item lists, the language setting, function permissions,
// users and the administrator check, over a real data root.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"
#include "i18n/Users.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <sys/stat.h>

using namespace korvo;
using namespace korvo::test;

namespace {

const QString kOwner = QStringLiteral("frmI18nCheck");
const QString kProgram = QStringLiteral("Korvo2005.EXE");

// The ID of a text row, inserting the row when the delivered texts lack it.
qint32 languageRow(AppState &state, const QString &eName, const QString &caption, const QVariant &english,
                   const QVariant &chinese = {}, const QVariant &other = {})
{
    QSqlQuery q(QSqlDatabase::database(state.connLanguage, false));
    q.prepare(QStringLiteral("select ID from tbl_LANGUAGE where E_NAME=? and Caption=?"));
    q.addBindValue(eName);
    q.addBindValue(caption);
    if (q.exec() && q.next())
        return q.value(0).toInt();
    if (!q.exec(QStringLiteral("select coalesce(max(ID), 0) + 1 from tbl_LANGUAGE")) || !q.next())
        return -1;
    const qint32 id = q.value(0).toInt();
    const QString insert = QStringLiteral("insert into tbl_LANGUAGE (ID, E_NAME, Caption, English, Chinese, Other) "
                                          "values (?, ?, ?, ?, ?, ?)");
    return SqlExec(state.connLanguage, insert, {id, eName, caption, english, chinese, other}) ? id : -1;
}

void addOk(AppState &state)
{
    languageRow(state, kProgram, kOwner + ".cmdOK", QStringLiteral("OK"), QStringLiteral("确定"),
                QStringLiteral("ОК"));
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    std::unique_ptr<AppState> m_state;

    // A state over the data root with the three databases open, nothing else.
    std::unique_ptr<AppState> openState(const QString &language = QStringLiteral("English"))
    {
        auto s = m_root->newState();
        s->settings.Language = language;
        return InitDBConnection(*s) ? std::move(s) : nullptr;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
        m_state = openState();
        QVERIFY(m_state);
        AppState &s = *m_state;
        addOk(s);
        languageRow(s, kProgram, kOwner + ".lblNoText", QVariant());
        languageRow(s, kProgram, kOwner + ".lblEmpty", QString(""));
        languageRow(s, "KORVO2005.exe", kOwner + ".lblOwnerCase", QStringLiteral("Any case"));
        languageRow(s, "LabelEditor.EXE", kOwner + ".lblForeign", QStringLiteral("Not ours"));
    }
    void cleanup()
    {
        m_state.reset();
        m_root.reset();
    }

    void textsFromTheCache()
    {
        AppState &s = *m_state;
        // Loaded on first use; owner, key and E_NAME match without regard to case.
        QVERIFY(!s.language.loaded);
        QCOMPARE(GetLangString(s, kOwner, "cmdOK"), QStringLiteral("OK"));
        QVERIFY(s.language.loaded);
        QCOMPARE(GetLangString(s, kOwner.toUpper(), "cmdok"), QStringLiteral("OK"));
        QCOMPARE(GetLangString(s, kOwner, "lblOwnerCase"), QStringLiteral("Any case"));
        // An empty text is a text.
        const QString empty = GetLangString(s, kOwner, "lblEmpty");
        QVERIFY(empty.isEmpty() && !empty.isNull());
        QVERIFY(s.reportedErrors.isEmpty());

        // Read once: a row deleted afterwards is still answered from memory
        // until the texts are loaded again.
        QVERIFY(SqlExec(s.connLanguage, "delete from tbl_LANGUAGE where Caption=?", {kOwner + ".cmdOK"}));
        QCOMPARE(GetLangString(s, kOwner, "cmdOK"), QStringLiteral("OK"));
        QVERIFY(LoadLanguageTexts(s));
        QCOMPARE(GetLangString(s, kOwner, "cmdOK"), QString(""));
        addOk(s);

        // The column follows the language setting.
        auto chinese = openState("Chinese");
        QVERIFY(chinese && LoadLanguageTexts(*chinese));
        QCOMPARE(chinese->language.column, QStringLiteral("Chinese"));
        QCOMPARE(GetLangString(*chinese, kOwner, "cmdOK"), QStringLiteral("确定"));
        auto other = openState("Other");
        QVERIFY(other);
        QCOMPARE(GetLangString(*other, kOwner, "cmdOK"), QStringLiteral("ОК"));
        QVERIFY(other->reportedErrors.isEmpty());
    }

    void missingTextReportedPerCall()
    {
        AppState &s = *m_state;
        // No row; a null text; a row of another program. Asked twice: reported twice.
        for (const char *key : {"cmdNoSuchControl", "lblNoText", "lblForeign"}) {
            const QString k = QLatin1String(key);
            const QString source = "GetLangString (" + kOwner + ", " + k + ")";
            const int before = int(s.reportedErrors.size());
            QVERIFY2(GetLangString(s, kOwner, k).isEmpty(), key);
            QCOMPARE(s.reportedErrors.last().source, source);
            QVERIFY(s.reportedErrors.last().description.contains(kOwner + "." + k));
            QCOMPARE(m_root->ui.messages.last().title, source);
            QVERIFY(s.missingTexts.contains(kOwner + "." + k));
            GetLangString(s, kOwner, k);
            QCOMPARE(int(s.reportedErrors.size()), before + 2);
        }
    }

    void itemListsAndComboValues()
    {
        QCOMPARE(SplitItemList("0: Central European\r\n  1: Cyrillic  \r\n\r\n \r\n2: Farsi\r\n"),
                 QStringList({"0: Central European", "1: Cyrillic", "2: Farsi"}));
        // The number before the first colon only, not one after it.
        const struct {
            const char *item;
            int value;
        } cases[] = {{"12:EAN-13: weight", 12}, {" 7 : seven", 7}, {"-2: minus", -2}, {"x1: none", 0}};
        for (const auto &c : cases)
            QCOMPARE(ComboItemValue(c.item), c.value);
    }

    void languageSwitchWritesSetting()
    {
        AppState &s = *m_state;
        auto language = [&] { return ReadIniString("Setting", "Language", s.iniFile); };
        const QString pageSize = ReadIniString("Setting", "PLUPageSize", s.iniFile);
        WriteLanguageSetting(s, "Chinese");
        QCOMPARE(language(), QStringLiteral("Chinese"));
        WriteLanguageSetting(s, "other");
        QCOMPARE(language(), QStringLiteral("Other"));
        QCOMPARE(ReadIniString("Setting", "PLUPageSize", s.iniFile), pageSize);
        QVERIFY(s.reportedErrors.isEmpty());
        // The running program keeps the language it started with.
        QCOMPARE(s.settings.Language, QStringLiteral("English"));

        // No such column: refused and said, the file unchanged.
        WriteLanguageSetting(s, "Klingon");
        QCOMPARE(language(), QStringLiteral("Other"));
        QCOMPARE(s.reportedErrors.size(), 1);
    }

    void permissions()
    {
        AppState &s = *m_state;
        const qint32 optionId = languageRow(s, kProgram, "frmMain.mnuID_MENU_FILE_OPTION", "&Options...");
        const qint32 okId = languageRow(s, kProgram, kOwner + ".cmdOK", "OK");
        QVERIFY(optionId > 0 && okId > 0);
        const QString prohibit = "insert into UserProhibitFun (UserName, ProhibitFunID) values (?, ?)";
        QVERIFY(SqlExec(s.connUsers, prohibit, {"clerk", optionId}));
        QVERIFY(SqlExec(s.connUsers, prohibit, {"O'Neil", okId}));
        QVERIFY(SqlExec(s.connUsers, prohibit, {"clerk", 999999})); // an ID no text row has

        // Per user; owner and key without regard to case; a name with an
        // apostrophe reaches the SQL escaped; a key without a text row is
        // always allowed.
        const struct {
            const char *user, *owner, *key;
            bool allowed;
        } cases[] = {{"boss", "frmMain", "mnuID_MENU_FILE_OPTION", true},
                     {"boss", "frmI18nCheck", "cmdOK", true},
                     {"clerk", "frmMain", "mnuID_MENU_FILE_OPTION", false},
                     {"clerk", "FRMMAIN", "mnuid_menu_file_option", false},
                     {"clerk", "frmI18nCheck", "cmdOK", true},
                     {"O'Neil", "frmI18nCheck", "cmdOK", false},
                     {"O'Neil", "frmMain", "mnuID_MENU_FILE_OPTION", true},
                     {"clerk", "frmMain", "cmdNoSuchControl", true},
                     {"O'Neil", "frmMain", "cmdNoSuchControl", true}};
        for (const auto &c : cases) {
            s.userName = QString::fromUtf8(c.user);
            QVERIFY2(GetSecurityPermission(s, c.owner, c.key) == c.allowed, c.user);
        }
        QVERIFY(s.reportedErrors.isEmpty());
        QVERIFY(s.missingTexts.isEmpty()); // permission checks never report missing texts

        // An unreadable users database is reported and prohibits nothing; a
        // key without a row never reaches it.
        QVERIFY(SqlExec(s.connUsers, "drop table UserProhibitFun"));
        s.userName = "clerk";
        QVERIFY(GetSecurityPermission(s, "frmMain", "mnuID_MENU_FILE_OPTION"));
        QCOMPARE(s.reportedErrors.size(), 1);
        QCOMPARE(s.reportedErrors.first().source,
                 QStringLiteral("GetSecurityPermission (frmMain, mnuID_MENU_FILE_OPTION)"));
        QVERIFY(GetSecurityPermission(s, "frmMain", "cmdNoSuchControl"));
        QCOMPARE(s.reportedErrors.size(), 1);
    }

    void administratorCheck()
    {
        AppState &s = *m_state;
        const QString add = "insert into Users (UserName, type, PasswordHash) values (?, ?, '-')";
        QVERIFY(SqlExec(s.connUsers, add, {"boss", "ADMINISTRATOR"}));
        QVERIFY(SqlExec(s.connUsers, add, {"clerk", "USER"}));
        QVERIFY(SqlExec(s.connUsers, add, {"O'Neil", "ADMINISTRATOR"}));
        const struct {
            const char *name;
            bool admin;
        } cases[] = {{"boss", true}, {"BOSS", true}, {"clerk", false}, {"O'Neil", true}, {"nobody", false},
                     {"' or '1'='1", false}};
        for (const auto &c : cases) {
            s.userName = QString::fromUtf8(c.name);
            s.isAdministrator = !c.admin;
            QCOMPARE(CheckAdministrator(s), c.admin);
            QCOMPARE(s.isAdministrator, c.admin);
        }
        QVERIFY(s.reportedErrors.isEmpty());
    }

    // Password hashes and the user directory over a real Users.db.
    void hashAndVerify()
    {
        const QString password = QStringLiteral("Zebra-Quartz-9071");
        const QString h1 = HashPassword(password);
        const QString h2 = HashPassword(password);
        QVERIFY(h1.startsWith(QStringLiteral("$argon2id$")));
        QVERIFY(!h1.contains(QStringLiteral("Zebra")));
        QVERIFY(h1 != h2); // salted
        QVERIFY(VerifyPassword(h1, password) && VerifyPassword(h2, password));
        for (const QString &wrong : {QStringLiteral("zebra-quartz-9071"), QStringLiteral("Zebra-Quartz-907"), QString()})
            QVERIFY(!VerifyPassword(h1, wrong));
        QVERIFY(!VerifyPassword(QString(), password));
        QVERIFY(!VerifyPassword(password, password)); // a clear text is no hash
        QVERIFY(!VerifyPassword(h1.left(h1.size() - 2), password));

        // Non-ASCII passwords hash by their UTF-8 bytes; the empty password is a
        // password too.
        const QString h3 = HashPassword(QStringLiteral("Пароль密码"));
        QVERIFY(VerifyPassword(h3, QStringLiteral("Пароль密码")));
        QVERIFY(!VerifyPassword(h3, QStringLiteral("Пароль")));
        const QString h4 = HashPassword(QString());
        QVERIFY(VerifyPassword(h4, QString()));
        QVERIFY(!VerifyPassword(h4, QStringLiteral(" ")));
    }

    void directory()
    {
        const QString path = m_root->path() + "Database/Users.db";
        const QString password = QStringLiteral("Zebra-Quartz-9071");
        {
            UserDirectory dir(path);
            QVERIFY2(dir.isOpen(), qPrintable(dir.errorText()));
            QVERIFY(dir.isEmpty());

            QVERIFY(dir.addUser(QStringLiteral("Admin"), password, QStringLiteral("ADMINISTRATOR")));
            QVERIFY(!dir.isEmpty());
            QVERIFY(dir.addUser(QStringLiteral("Ölga"), QStringLiteral("other"), QStringLiteral("USER")));

            // Names are unique without regard to case, beyond ASCII too.
            QVERIFY(!dir.addUser(QStringLiteral("admin"), QStringLiteral("x"), QStringLiteral("USER")));
            QVERIFY(!dir.addUser(QStringLiteral("ölga"), QStringLiteral("x"), QStringLiteral("USER")));
            QVERIFY(!dir.addUser(QStringLiteral("  "), QStringLiteral("x"), QStringLiteral("USER")));

            QString canonical = QStringLiteral("untouched");
            QVERIFY(!dir.checkPassword(QStringLiteral("Admin"), QStringLiteral("wrong"), &canonical));
            QVERIFY(!dir.checkPassword(QStringLiteral("nobody"), password, &canonical));
            QCOMPARE(canonical, QStringLiteral("untouched"));
            QVERIFY(dir.checkPassword(QStringLiteral("aDMIN"), password, &canonical));
            QCOMPARE(canonical, QStringLiteral("Admin"));
            QVERIFY(dir.checkPassword(QStringLiteral("ÖLGA"), QStringLiteral("other"), &canonical));
            QCOMPARE(canonical, QStringLiteral("Ölga"));
            // Another user's password does not open this account.
            QVERIFY(!dir.checkPassword(QStringLiteral("Ölga"), password));
        }

        // Stored as a hash only, and kept across openings.
        auto q = QueryDb(*m_state, DbKind::Users, QStringLiteral("select PasswordHash from Users where UserName='Admin'"));
        QVERIFY(q && q->next());
        QVERIFY(VerifyPassword(q->value(0).toString(), password));
        QByteArray files;
        for (const char *suffix : {"", "-wal"})
            files += FileBytes(path + QLatin1String(suffix));
        QVERIFY(!files.isEmpty());
        QVERIFY(!files.contains(password.toUtf8()));
        QVERIFY(!files.contains(password.toUtf8().toHex()));

        UserDirectory again(path);
        QVERIFY(!again.isEmpty());
        QVERIFY(again.checkPassword(QStringLiteral("admin"), password));
    }

    void fileStaysOwnerOnly()
    {
        m_state.reset();
        const QString path = m_root->path() + "Database/Users.db";
        QCOMPARE(FileMode(path), 0600);

        UserDirectory dir(path);
        QVERIFY(dir.isOpen());
        // Someone loosened the mode while the program runs: a write tightens it.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        QVERIFY(dir.addUser(QStringLiteral("clerk"), QStringLiteral("pw"), QStringLiteral("USER")));
        QCOMPARE(FileMode(path), 0600);
        for (const char *suffix : {"-wal", "-shm"}) {
            const int mode = FileMode(path + QLatin1String(suffix));
            QVERIFY2(mode == -1 || mode == 0600, suffix);
        }
    }

    void missingDatabase()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/Users.db");
        UserDirectory users(path);
        QVERIFY(!users.isOpen());
        QVERIFY(!users.isEmpty()); // unknown is not "no users": no first-user setup
        QVERIFY(!users.addUser(QStringLiteral("Admin"), QStringLiteral("pw"), QStringLiteral("ADMINISTRATOR")));
        QVERIFY(!users.checkPassword(QStringLiteral("Admin"), QStringLiteral("pw")));
        QVERIFY(!QFile::exists(path)); // never created behind the installation's back
    }
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_language.moc"
