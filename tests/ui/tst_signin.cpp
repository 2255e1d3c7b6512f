// The sign-in dialog over a real Users.db: first start, wrong passwords,
// cancelling, and its texts in every language.

#include "common/TestSupport.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "i18n/Users.h"
#include "ui/SignInDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QString UsersPath(const TestDataRoot &root)
{
    return root.path() + QStringLiteral("Database/") + DatabaseFileName(DbKind::Users);
}

QLineEdit *Box(SignInDialog &dlg, const char *name)
{
    return dlg.findChild<QLineEdit *>(QLatin1String(name));
}

void TypeInto(QLineEdit *box, const QString &text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

void ClickOk(SignInDialog &dlg)
{
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
}

QString UserType(const TestDataRoot &root, const QString &name)
{
    QString type;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check_users"));
        db.setDatabaseName(UsersPath(root));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("select type from Users where UserName=?"));
            q.addBindValue(name);
            if (q.exec() && q.next())
                type = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check_users"));
    return type;
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT
private slots:
    void firstStartCreatesTheAdministrator();
    void wrongPasswordLetsTheUserRetry();
    void cancelReturnsNoName();
    void textsComeFromTheLanguageDatabase();
};

void TestSignIn::firstStartCreatesTheAdministrator()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    SignInDialog dlg(root.path(), &root.ui);
    QVERIFY(dlg.directoryOpen());
    QVERIFY(dlg.createsAdministrator());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(Box(dlg, "txtConfirmPassword")->isVisible());
    QVERIFY(dlg.findChild<QLabel *>(QStringLiteral("lblNewAdministrator"))->isVisible());

    // An empty password is refused.
    TypeInto(Box(dlg, "txtUserName"), QStringLiteral("boss"));
    ClickOk(dlg);
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.last().text, dlg.texts().text(QStringLiteral("msgEmptyPassword")));
    QCOMPARE(root.ui.messages.last().icon, MsgIcon::Critical);

    // Two different passwords are refused; nothing is stored.
    TypeInto(Box(dlg, "txtPassword"), QStringLiteral("s3cret"));
    TypeInto(Box(dlg, "txtConfirmPassword"), QStringLiteral("s3creT"));
    ClickOk(dlg);
    QCOMPARE(root.ui.messages.size(), 2);
    QCOMPARE(root.ui.messages.last().text, dlg.texts().text(QStringLiteral("msgPasswordMismatch")));
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.signedInName().isEmpty());
    QVERIFY(Box(dlg, "txtPassword")->text().isEmpty());
    {
        UserDirectory users(UsersPath(root));
        QVERIFY(users.isEmpty());
    }

    TypeInto(Box(dlg, "txtPassword"), QStringLiteral("s3cret"));
    TypeInto(Box(dlg, "txtConfirmPassword"), QStringLiteral("s3cret"));
    ClickOk(dlg);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.signedInName(), QStringLiteral("boss"));
    QCOMPARE(root.ui.messages.size(), 2);
    QCOMPARE(UserType(root, QStringLiteral("boss")), QStringLiteral("ADMINISTRATOR"));
    {
        UserDirectory users(UsersPath(root));
        QVERIFY(users.checkPassword(QStringLiteral("boss"), QStringLiteral("s3cret")));
        QVERIFY(!users.checkPassword(QStringLiteral("boss"), QStringLiteral("s3creT")));
    }

    // The next start asks for name and password only.
    SignInDialog next(root.path(), &root.ui);
    QVERIFY(!next.createsAdministrator());
    next.show();
    QVERIFY(!Box(next, "txtConfirmPassword")->isVisible());
}

void TestSignIn::wrongPasswordLetsTheUserRetry()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        UserDirectory users(UsersPath(root));
        QVERIFY(users.addUser(QStringLiteral("ann"), QStringLiteral("pw-1"), QStringLiteral("USER")));
    }
    SignInDialog dlg(root.path(), &root.ui);
    QVERIFY(!dlg.createsAdministrator());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    TypeInto(Box(dlg, "txtUserName"), QStringLiteral("ann"));
    TypeInto(Box(dlg, "txtPassword"), QStringLiteral("pw-2"));
    ClickOk(dlg);
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.last().text, dlg.texts().text(QStringLiteral("msgWrongPassword")));
    QCOMPARE(root.ui.messages.last().title, dlg.windowTitle());
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.signedInName().isEmpty());
    QVERIFY(Box(dlg, "txtPassword")->text().isEmpty());

    // An unknown name is refused the same way.
    TypeInto(Box(dlg, "txtUserName"), QStringLiteral("nobody"));
    TypeInto(Box(dlg, "txtPassword"), QStringLiteral("pw-1"));
    ClickOk(dlg);
    QCOMPARE(root.ui.messages.size(), 2);
    QVERIFY(dlg.isVisible());

    TypeInto(Box(dlg, "txtUserName"), QStringLiteral(" ann "));
    TypeInto(Box(dlg, "txtPassword"), QStringLiteral("pw-1"));
    ClickOk(dlg);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.signedInName(), QStringLiteral("ann"));
}

void TestSignIn::cancelReturnsNoName()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        UserDirectory users(UsersPath(root));
        QVERIFY(users.addUser(QStringLiteral("ann"), QStringLiteral("pw-1"), QStringLiteral("USER")));
    }
    DialogSignInProvider provider(root.path(), &root.ui);
    bool typed = false;
    QTimer::singleShot(0, this, [&] {
        auto *dlg = qobject_cast<SignInDialog *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        // Even with a correct name and password typed, Cancel signs nobody in.
        QTest::keyClicks(Box(*dlg, "txtUserName"), QStringLiteral("ann"));
        QTest::keyClicks(Box(*dlg, "txtPassword"), QStringLiteral("pw-1"));
        typed = true;
        QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    });
    QCOMPARE(provider.show(), QString());
    QVERIFY(typed);
    QVERIFY(root.ui.messages.isEmpty());

    QTimer::singleShot(0, this, [&] {
        auto *dlg = qobject_cast<SignInDialog *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        QTest::keyClicks(Box(*dlg, "txtUserName"), QStringLiteral("ann"));
        QTest::keyClicks(Box(*dlg, "txtPassword"), QStringLiteral("pw-1"));
        QTest::keyClick(Box(*dlg, "txtPassword"), Qt::Key_Return);
    });
    QCOMPARE(provider.show(), QStringLiteral("ann"));
}

void TestSignIn::textsComeFromTheLanguageDatabase()
{
    const char *keys[] = {"Caption", "lblUserName", "lblPassword", "lblConfirmPassword",
                          "lblNewAdministrator", "cmdOK", "cmdCancel", "msgWrongPassword",
                          "msgPasswordMismatch", "msgEmptyName", "msgEmptyPassword",
                          "msgUsersDatabaseError"};
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    const QString ini = root.path() + QStringLiteral("Korvo2005.INI");
    QString englishCaption;
    for (const QString &language : {QStringLiteral("English"), QStringLiteral("Chinese"), QStringLiteral("Other")}) {
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), language, ini));
        LoginTexts texts(root.path());
        QVERIFY(texts.databaseOpen());
        QCOMPARE(texts.language(), language);
        for (const char *key : keys)
            QVERIFY2(!texts.text(QLatin1String(key)).isEmpty(), key);
        QVERIFY2(texts.missingKeys().isEmpty(), qPrintable(texts.missingKeys().values().join(u' ')));
        if (language == QLatin1String("English"))
            englishCaption = texts.text(QStringLiteral("Caption"));
        else
            QVERIFY(texts.text(QStringLiteral("Caption")) != englishCaption);

        SignInDialog dlg(root.path(), &root.ui);
        QCOMPARE(dlg.windowTitle(), texts.text(QStringLiteral("Caption")));
        QCOMPARE(dlg.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->text(),
                 texts.text(QStringLiteral("cmdCancel")));
    }

    // An unknown language reads as English.
    QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), QStringLiteral("French"), ini));
    QCOMPARE(LoginTexts(root.path()).language(), QStringLiteral("English"));

    // Without language.db the built-in English wording stands in.
    QTemporaryDir empty;
    LoginTexts fallback(empty.path());
    QVERIFY(!fallback.databaseOpen());
    QCOMPARE(fallback.text(QStringLiteral("cmdCancel")), QStringLiteral("Cancel"));
    QVERIFY(fallback.missingKeys().isEmpty());
}

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
