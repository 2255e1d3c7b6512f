#pragma once
// Users.db: user names, types and Argon2id password hashes. Passwords are
// never stored or logged in clear.

#include <QSqlDatabase>
#include <QString>

namespace korvo {

// Hash and check with libsodium's crypto_pwhash_str (Argon2id).
QString HashPassword(const QString &password);
bool VerifyPassword(const QString &hash, const QString &password);

// Looks a name up in the Users table of db without regard to case, also
// beyond ASCII. False when absent or on error (*error set then).
bool FindUserRow(const QSqlDatabase &db, const QString &name, QString *storedName, QString *hash,
                 QString *error);

// The sign-in component's own access to Users.db. It opens the file itself
// because it runs before the start-up opens the databases.
class UserDirectory {
public:
    explicit UserDirectory(const QString &usersDbPath);
    ~UserDirectory();
    UserDirectory(const UserDirectory &) = delete;
    UserDirectory &operator=(const UserDirectory &) = delete;

    bool isOpen() const { return m_open; }
    QString errorText() const { return m_error; }

    // True when the Users table holds no row (first start of a data root).
    bool isEmpty();
    // Adds a user; false when the name exists or the write failed.
    bool addUser(const QString &name, const QString &password, const QString &type);
    // True when name exists and password matches its hash. On success
    // *canonicalName receives the name as stored.
    bool checkPassword(const QString &name, const QString &password,
                       QString *canonicalName = nullptr);

private:
    // Looks a name up without regard to case; false when absent or on error.
    bool findUser(const QString &name, QString *storedName, QString *hash);

    QString m_connection;
    QString m_path;
    bool m_open = false;
    QString m_error;
};

} // namespace korvo
