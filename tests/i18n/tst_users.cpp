// Password hashes and the user directory over a real Users.db.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "i18n/Users.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include <sys/stat.h>

using namespace korvo;
using namespace korvo::test;

namespace {

QString usersDb(const TestDataRoot &root) { return root.path() + QStringLiteral("Database/Users.db"); }

} // namespace

class TestUsers : public QObject {
    Q_OBJECT

private slots:
    void hashAndVerify();
    void directory();
    void fileStaysOwnerOnly();
    void missingDatabase();
};

void TestUsers::hashAndVerify()
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

void TestUsers::directory()
{
    TestDataRoot root(false);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    const QString path = usersDb(root);
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
    auto state = root.newState();
    QVERIFY(InitDBConnection(*state));
    auto q = QueryDb(*state, DbKind::Users, QStringLiteral("select PasswordHash from Users where UserName='Admin'"));
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

void TestUsers::fileStaysOwnerOnly()
{
    TestDataRoot root(false);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    const QString path = usersDb(root);
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

void TestUsers::missingDatabase()
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

QTEST_GUILESS_MAIN(TestUsers)
#include "tst_users.moc"
