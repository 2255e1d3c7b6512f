// User management over a real Users.db: the rules of UserAdmin, and korvoctl
// users end to end.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "i18n/Permissions.h"
#include "i18n/UserAdmin.h"
#include "i18n/Users.h"

#include <QTest>
#include <functional>

using namespace korvo;
using namespace korvo::test;

class TestUserAdmin : public QObject {
    Q_OBJECT

private slots:
    void rules()
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

    void korvoctlUsers()
    {
        TestDataRoot root(false);
        QVERIFY2(root.ok(), qPrintable(root.error()));
        const QStringList base{"--data-root", root.path(), "users"};
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
            const ProgramRun r = RunKorvoctl(base + run.args, run.input);
            const QString what = run.args.join(' ') + ": " + r.err;
            QVERIFY2(r.exitCode == run.exitCode, qPrintable(what));
            QVERIFY2((r.out + r.err).contains(QString::fromUtf8(run.says)), qPrintable(what + r.out));
        }
        UserDirectory users(root.path() + "Database/Users.db");
        QVERIFY(!users.checkPassword("clerk", "Clerk-secret-1"));
        QVERIFY(users.checkPassword("CLERK", "Clerk-secret-2"));
    }
};

QTEST_GUILESS_MAIN(TestUserAdmin)
#include "tst_useradmin.moc"
