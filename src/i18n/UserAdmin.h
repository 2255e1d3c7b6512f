#pragma once
// User management over the users database of a state (InitDBConnection
// opened it): the users, their passwords and administrator rights, and the
// functions each may not use. The user-management program and "korvoctl
// users" share it. There is always at least one administrator: removing or
// demoting the last one is refused, inside the same transaction that would
// have done it.

#include <QString>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

inline constexpr int kMinPasswordLength = 8;
inline const QString kAdministratorType = QStringLiteral("ADMINISTRATOR");
inline const QString kUserType = QStringLiteral("USER");

// At least kMinPasswordLength characters: the rule for every password set,
// the first administrator's included.
bool PasswordAcceptable(const QString &password);

struct UserInfo {
    QString name;
    bool administrator = false;
    QVector<qint32> prohibited; // function IDs, ascending
};

// A function a prohibition can name: a row of the language database.
struct FunctionInfo {
    qint32 id = 0;
    QString owner; // window name
    QString key;   // control or command name
    QString text;  // its caption in the state's language, without "&"
};

class UserAdmin {
public:
    enum class Error {
        None,
        EmptyName,
        UserExists,
        NoSuchUser,
        PasswordTooShort,
        LastAdministrator,
        UnknownFunction,
        Database,
    };

    explicit UserAdmin(AppState &state) : m_state(state) {}

    // In name order.
    QVector<UserInfo> users();
    std::optional<UserInfo> user(const QString &name);

    bool addUser(const QString &name, const QString &password, bool administrator);
    bool setPassword(const QString &name, const QString &password);
    bool removeUser(const QString &name);
    bool setAdministrator(const QString &name, bool administrator);
    bool prohibit(const QString &name, const QVector<qint32> &functionIds);
    bool allow(const QString &name, const QVector<qint32> &functionIds);

    // The functions the windows check permissions for: the main window's
    // menu entries and command states, and the buttons, check boxes and
    // options of its dialogs, in ID order.
    QVector<FunctionInfo> functions();
    // A function by "owner.key", or by key alone for the main window.
    std::optional<qint32> functionId(const QString &ownerDotKey);

    Error error() const { return m_error; }
    // The failure in the state's language, naming the user.
    QString errorMessage();

private:
    bool fail(Error e, const QString &name = {}, const QString &detail = {});
    // The name as stored, or nullopt (NoSuchUser set).
    std::optional<QString> storedName(const QString &name);
    bool changeProhibitions(const QString &name, const QVector<qint32> &ids, bool add);

    AppState &m_state;
    Error m_error = Error::None;
    QString m_errorName;
    QString m_errorDetail;
};

} // namespace korvo
