// The sign-in dialog over a real Users.db: first start, wrong passwords,
// cancelling, and its texts in every language.

#include "UiTestSupport.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "i18n/Permissions.h"
#include "i18n/Users.h"
#include "startup/Startup.h"
#include "ui/QtTranslations.h"
#include "ui/SignInDialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QString UsersPath(const TestDataRoot &root) { return root.path() + "Database/" + DatabaseFileName(DbKind::Users); }

QLineEdit *Box(QWidget &dlg, const char *name) { return dlg.findChild<QLineEdit *>(QLatin1String(name)); }
QPushButton *Button(QWidget &dlg, const char *name) { return dlg.findChild<QPushButton *>(QLatin1String(name)); }

// Types the name and password (and the confirmation when given), then OK.
void SignIn(SignInDialog &dlg, const QString &name, const QString &password, const QString &confirm = {})
{
    TypeInto(Box(dlg, "txtUserName"), name);
    TypeInto(Box(dlg, "txtPassword"), password);
    if (!confirm.isNull())
        TypeInto(Box(dlg, "txtConfirmPassword"), confirm);
    QTest::mouseClick(Button(dlg, "cmdOK"), Qt::LeftButton);
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    ScriptedUi &ui() { return m_root->ui; }

    void addAnn()
    {
        UserDirectory users(UsersPath(*m_root));
        QVERIFY(users.addUser("ann", "pw-1", "USER"));
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
    }
    void cleanup() { m_root.reset(); }

    void firstStartCreatesTheAdministrator()
    {
        SignInDialog dlg(m_root->path(), &ui());
        QVERIFY(dlg.directoryOpen() && dlg.createsAdministrator());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(Box(dlg, "txtConfirmPassword")->isVisible());
        QVERIFY(dlg.findChild<QLabel *>("lblNewAdministrator")->isVisible());

        // An empty password, then two different ones, are refused; nothing is stored.
        SignIn(dlg, "boss", "", "");
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgEmptyPassword"));
        QCOMPARE(ui().messages.last().icon, MsgIcon::Critical);
        SignIn(dlg, "boss", "s3cret", "s3creT");
        QCOMPARE(ui().messages.size(), 2);
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgPasswordMismatch"));
        QVERIFY(dlg.isVisible() && dlg.signedInName().isEmpty());
        QVERIFY(Box(dlg, "txtPassword")->text().isEmpty());
        QVERIFY(UserDirectory(UsersPath(*m_root)).isEmpty());

        SignIn(dlg, "boss", "s3cret", "s3cret");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.signedInName(), QStringLiteral("boss"));
        QCOMPARE(ui().messages.size(), 2);
        UserDirectory users(UsersPath(*m_root));
        QVERIFY(users.checkPassword("boss", "s3cret"));
        auto state = m_root->newState();
        QVERIFY(InitDBConnection(*state));
        state->userName = "boss";
        QVERIFY(CheckAdministrator(*state));

        // The next start asks for name and password only.
        SignInDialog next(m_root->path(), &ui());
        QVERIFY(!next.createsAdministrator());
        next.show();
        QVERIFY(!Box(next, "txtConfirmPassword")->isVisible());
    }

    void wrongPasswordLetsTheUserRetry()
    {
        addAnn();
        SignInDialog dlg(m_root->path(), &ui());
        // Failures are logged and slowed; here by 0.3 s per failure in a row.
        QStringList logged;
        SignInGuard guard([&](const QString &line) { logged << line; }, [](int n) { return n * qint64(300); });
        dlg.setGuard(&guard);
        QPushButton *ok = Button(dlg, "cmdOK");
        QVERIFY(!dlg.createsAdministrator());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        SignIn(dlg, "ann", "pw-2");
        QCOMPARE(ui().messages.size(), 1);
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgWrongPassword"));
        QVERIFY(dlg.isVisible() && dlg.signedInName().isEmpty());
        QVERIFY(Box(dlg, "txtPassword")->text().isEmpty());
        QVERIFY(!ok->isEnabled() && dlg.findChild<QLabel *>("lblSignInWait")->isVisible());
        QTRY_VERIFY(ok->isEnabled());
        // An unknown name is refused the same way, and waits longer; blanks
        // around the name do not count.
        SignIn(dlg, "nobody", "pw-1");
        QCOMPARE(ui().messages.size(), 2);
        QVERIFY(dlg.isVisible());
        QVERIFY(guard.waitMs() > 300);
        QCOMPARE(logged, QStringList({"Sign-in failed for 'ann' (1 in a row)",
                                      "Sign-in failed for 'nobody' (2 in a row)"}));
        QTRY_VERIFY(ok->isEnabled());
        SignIn(dlg, " ann ", "pw-1");
        QCOMPARE(guard.failures(), 0);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.signedInName(), QStringLiteral("ann"));
    }

    void cancelReturnsNoName()
    {
        addAnn();
        DialogSignInProvider provider(m_root->path(), &ui());
        // Even with a correct name and password typed, Cancel signs nobody in.
        OnModal<SignInDialog>([](SignInDialog *dlg) {
            QTest::keyClicks(Box(*dlg, "txtUserName"), "ann");
            QTest::keyClicks(Box(*dlg, "txtPassword"), "pw-1");
            QTest::mouseClick(Button(*dlg, "cmdCancel"), Qt::LeftButton);
        });
        QCOMPARE(provider.show(), QString());
        QVERIFY(ui().messages.isEmpty());
        // Return in the password box signs in.
        OnModal<SignInDialog>([](SignInDialog *dlg) {
            QTest::keyClicks(Box(*dlg, "txtUserName"), "ann");
            QTest::keyClicks(Box(*dlg, "txtPassword"), "pw-1");
            QTest::keyClick(Box(*dlg, "txtPassword"), Qt::Key_Return);
        });
        QCOMPARE(provider.show(), QStringLiteral("ann"));
        // No users database is no cancel: the start ends with an error.
        QVERIFY(!provider.failed());
        QVERIFY(QFile::remove(UsersPath(*m_root)));
        QCOMPARE(provider.show(), QString());
        QVERIFY(provider.failed());
        QCOMPARE(ui().messages.last().icon, MsgIcon::Critical);
    }

    void failuresStayInTheDayLog()
    {
        const qint64 delays[][2] = {{1, 500}, {2, 1000}, {6, 16000}, {7, 30000}, {1000, 30000}};
        for (const auto &d : delays)
            QCOMPARE(SignInGuard::DefaultDelay(int(d[0])), d[1]);
        // The start empties the day's log once: before the first failure it
        // writes, not after it.
        addAnn();
        auto state = m_root->newState();
        RestartDayLog(*state);
        WriteLog(*state, "Sign-in failed for 'x' (1 in a row)");
        QVERIFY(StartSession(*state, "ann"));
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        const QString log = utf16(FileBytes(LogFilePath(*state, state->now().date())));
        QVERIFY2(log.contains("'x'") && log.contains("'ann' logged in"), qPrintable(log));
    }

    void textsComeFromTheLanguageDatabase()
    {
        const char *keys[] = {"Caption", "lblUserName", "lblPassword", "lblConfirmPassword", "lblNewAdministrator",
                              "cmdOK", "cmdCancel", "msgWrongPassword", "msgPasswordMismatch", "msgEmptyName",
                              "msgEmptyPassword", "msgUsersDatabaseError", "lblSignInWait"};
        const QString ini = m_root->iniPath();
        QStringList captions;
        for (const QString &language : QStringList{"English", "Chinese", "Other"}) {
            QVERIFY(WriteIniString("Setting", "Language", language, ini));
            LoginTexts texts(m_root->path());
            QVERIFY(texts.databaseOpen());
            QCOMPARE(texts.language(), language);
            for (const char *key : keys)
                QVERIFY2(!texts.text(key).isEmpty(), key);
            QVERIFY2(texts.missingKeys().isEmpty(), qPrintable(texts.missingKeys().values().join(u' ')));
            QVERIFY(!captions.contains(texts.text("Caption")));
            captions << texts.text("Caption");
            SignInDialog dlg(m_root->path(), &ui());
            QCOMPARE(dlg.windowTitle(), texts.text("Caption"));
            QCOMPARE(Button(dlg, "cmdCancel")->text(), texts.text("cmdCancel"));
        }
        // An unknown language reads as English, by the main window's rule.
        QVERIFY(WriteIniString("Setting", "Language", "chinese", ini));
        QCOMPARE(LoginTexts(m_root->path()).language(), QStringLiteral("English"));
        // The language the program runs in wins over a newer choice in the
        // file: the sign-in after Logout matches the main window.
        QCOMPARE(SignInDialog(m_root->path(), &ui(), nullptr, "Other").windowTitle(), captions.at(2));

        // Qt's own buttons speak the language too.
        QStringList yes;
        for (const QString &language : QStringList{"Chinese", "Other", "English"}) {
            QVERIFY2(InstallQtTranslations(language), qPrintable(language));
            QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes);
            yes << box.button(QMessageBox::Yes)->text();
        }
        QCOMPARE(yes.last(), QStringLiteral("&Yes"));
        QCOMPARE(QSet<QString>(yes.begin(), yes.end()).size(), 3);

        // Without language.db the built-in English wording stands in.
        QTemporaryDir empty;
        LoginTexts fallback(empty.path());
        QVERIFY(!fallback.databaseOpen());
        QCOMPARE(fallback.text("cmdCancel"), QStringLiteral("Cancel"));
        QVERIFY(fallback.missingKeys().isEmpty());
    }
};

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
