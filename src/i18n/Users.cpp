#include "i18n/Users.h"

#include "core/Database.h"
#include "core/DatabaseCheck.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>

#include <sodium.h>

namespace korvo {

namespace {

// An Argon2id hash, with the parameters HashPassword uses, of a random text
// that was thrown away. Checking a password against it costs the same as a
// real check and never succeeds, so an unknown name takes as long as a wrong
// password.
constexpr char kDecoyHash[] =
    "$argon2id$v=19$m=65536,t=2,p=1$8XigNul/dZ+N7gRQAHSxDQ$mbTMS2Zhe0sNc0Cf//iZ3kiMbDUA2j3NLRIZCP/UgWY";

bool sodiumReady()
{
    // sodium_init() may be called any number of times; 1 means "already".
    return sodium_init() >= 0;
}

// Clears the clear-text copy of a password before its memory is freed.
struct WipedUtf8 {
    explicit WipedUtf8(const QString &s) : bytes(s.toUtf8()) {}
    ~WipedUtf8() { sodium_memzero(bytes.data(), size_t(bytes.size())); }
    WipedUtf8(const WipedUtf8 &) = delete;
    WipedUtf8 &operator=(const WipedUtf8 &) = delete;
    QByteArray bytes;
};

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The database and its journal side files hold the hashes; none of them is
// for other accounts' eyes.
void restrictToOwner(const QString &dbPath)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString p = dbPath + QLatin1String(suffix);
        if (QFile::exists(p))
            QFile::setPermissions(p, kOwnerOnly);
    }
}

} // namespace

QString HashPassword(const QString &password)
{
    if (!sodiumReady())
        return {};
    WipedUtf8 pw(password);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, pw.bytes.constData(), quint64(pw.bytes.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        return {}; // out of memory
    return QString::fromLatin1(out);
}

bool VerifyPassword(const QString &hash, const QString &password)
{
    if (!sodiumReady())
        return false;
    const QByteArray h = hash.toLatin1();
    if (h.isEmpty() || h.size() >= qsizetype(crypto_pwhash_STRBYTES))
        return false;
    WipedUtf8 pw(password);
    return crypto_pwhash_str_verify(h.constData(), pw.bytes.constData(), quint64(pw.bytes.size())) == 0;
}

UserDirectory::UserDirectory(const QString &usersDbPath)
    : m_connection(QStringLiteral("korvo-userdir-") + QUuid::createUuid().toString(QUuid::Id128)),
      m_path(usersDbPath)
{
    // The file comes from the data root's schema; a missing file is an error
    // of the installation, never silently created here.
    restrictToOwner(usersDbPath);
    QSqlDatabase db = OpenDatabaseFile(m_connection, usersDbPath, &m_error);
    if (!db.isValid() || !db.isOpen())
        return;
    if (db.record(QStringLiteral("Users")).indexOf(QStringLiteral("PasswordHash")) < 0) {
        m_error = QStringLiteral("%1 holds no table Users with password hashes").arg(usersDbPath);
        return;
    }
    m_open = true;
}

UserDirectory::~UserDirectory()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    if (m_open)
        RecordCleanClose(m_path);
}

bool UserDirectory::isEmpty()
{
    if (!m_open)
        return false; // unknown: never offer a first-user setup on a broken file
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("select count(*) from Users")) || !q.next()) {
        m_error = q.lastError().text();
        return false;
    }
    return q.value(0).toLongLong() == 0;
}

bool FindUserRow(const QSqlDatabase &db, const QString &name, QString *storedName, QString *hash,
                 QString *error)
{
    // Names compare without regard to case beyond ASCII too, so this scan is
    // done here rather than by the column's collation. The table is short.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select UserName, PasswordHash from Users"))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    while (q.next()) {
        const QString n = q.value(0).toString();
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            if (storedName)
                *storedName = n;
            if (hash)
                *hash = q.value(1).toString();
            return true;
        }
    }
    return false;
}

bool UserDirectory::findUser(const QString &name, QString *storedName, QString *hash)
{
    return FindUserRow(QSqlDatabase::database(m_connection, false), name, storedName, hash, &m_error);
}

bool UserDirectory::addUser(const QString &name, const QString &password, const QString &type)
{
    if (!m_open)
        return false;
    if (name.trimmed().isEmpty()) {
        m_error = QStringLiteral("A user needs a name");
        return false;
    }
    if (findUser(name, nullptr, nullptr)) {
        m_error = QStringLiteral("The user \"%1\" exists already").arg(name);
        return false;
    }
    const QString hash = HashPassword(password);
    if (hash.isEmpty()) {
        m_error = QStringLiteral("The password could not be hashed");
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("insert into Users (UserName, type, PasswordHash) values (?, ?, ?)"));
    q.addBindValue(name);
    q.addBindValue(type);
    q.addBindValue(hash);
    const bool ok = q.exec();
    if (!ok)
        m_error = q.lastError().text();
    restrictToOwner(m_path);
    return ok;
}

bool UserDirectory::checkPassword(const QString &name, const QString &password,
                                  QString *canonicalName)
{
    QString storedName, hash;
    const bool known = m_open && findUser(name, &storedName, &hash);
    // One verification whatever the name, so that the time taken does not
    // tell known names from unknown ones.
    const bool match = VerifyPassword(known && !hash.isEmpty() ? hash : QString::fromLatin1(kDecoyHash),
                                      password);
    if (!known || hash.isEmpty() || !match)
        return false;
    if (canonicalName)
        *canonicalName = storedName;
    return true;
}

} // namespace korvo
