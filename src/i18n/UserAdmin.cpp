#include "i18n/UserAdmin.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "i18n/Language.h"
#include "i18n/Users.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmUserManager");

QSqlDatabase usersDb(const AppState &state)
{
    return QSqlDatabase::database(ConnectionName(state, DbKind::Users), false);
}

// Windows whose controls are no function of the program: the sign-in must
// stay usable, and the tools and the about box guard nothing.
bool isFunction(const QString &owner, const QString &key)
{
    if (owner == QLatin1String("frmMain"))
        return key.startsWith(QLatin1String("mnu")) || key.startsWith(QLatin1String("ID_MENU_"));
    for (const char *excluded : {"Global", "frmLogin", "frmAbout", "frmUserManager", "frmBackup"}) {
        if (owner == QLatin1String(excluded))
            return false;
    }
    return key.startsWith(QLatin1String("cmd")) || key.startsWith(QLatin1String("chk"))
           || key.startsWith(QLatin1String("opt"));
}

// The check and the write of a change in one write transaction, so that two
// programs cannot each remove one of the last two administrators.
class WriteTransaction {
public:
    explicit WriteTransaction(const QSqlDatabase &db) : m_db(db)
    {
        QSqlQuery q(m_db);
        m_active = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (!m_active)
            m_error = q.lastError().text();
    }
    ~WriteTransaction()
    {
        if (m_active)
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
    }
    bool active() const { return m_active; }
    QString error() const { return m_error; }
    bool commit()
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("COMMIT"))) {
            m_error = q.lastError().text();
            return false;
        }
        m_active = false;
        return true;
    }

private:
    QSqlDatabase m_db;
    bool m_active = false;
    QString m_error;
};

// Runs one statement with bound values; *error gets the failure.
bool exec(const QSqlDatabase &db, const QString &sql, const QVariantList &values, QString *error,
          int *rowsAffected = nullptr)
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    return true;
}

int administratorCount(const QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select count(*) from Users where type='ADMINISTRATOR'")) || !q.next()) {
        *error = q.lastError().text();
        return -1;
    }
    return q.value(0).toInt();
}

} // namespace

bool PasswordAcceptable(const QString &password)
{
    // Counted in characters as a person types them, not in UTF-16 units.
    return password.toUcs4().size() >= kMinPasswordLength;
}

bool UserAdmin::fail(Error e, const QString &name, const QString &detail)
{
    m_error = e;
    m_errorName = name;
    m_errorDetail = detail;
    return false;
}

QString UserAdmin::errorMessage()
{
    const char *key = nullptr;
    switch (m_error) {
    case Error::None: return {};
    case Error::EmptyName: key = "msgEmptyName"; break;
    case Error::UserExists: key = "msgUserExists"; break;
    case Error::NoSuchUser: key = "msgNoSuchUser"; break;
    case Error::PasswordTooShort: key = "msgPasswordTooShort"; break;
    case Error::LastAdministrator: key = "msgLastAdministrator"; break;
    case Error::UnknownFunction: key = "msgUnknownFunction"; break;
    case Error::Database: key = "msgUsersDatabaseError"; break;
    }
    QString text = GetLangString(m_state, kOwner, QLatin1String(key));
    text.replace(QStringLiteral("%1"), m_error == Error::PasswordTooShort ? QString::number(kMinPasswordLength)
                                                                           : m_errorName);
    if (!m_errorDetail.isEmpty())
        text += QLatin1Char('\n') + m_errorDetail;
    return text;
}

std::optional<QString> UserAdmin::storedName(const QString &name)
{
    QString stored, detail;
    if (FindUserRow(usersDb(m_state), name, &stored, nullptr, &detail))
        return stored;
    fail(detail.isEmpty() ? Error::NoSuchUser : Error::Database, name, detail);
    return std::nullopt;
}

QVector<UserInfo> UserAdmin::users()
{
    m_error = Error::None;
    QVector<UserInfo> list;
    QSqlQuery q(usersDb(m_state));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select UserName, type from Users order by UserName"))) {
        fail(Error::Database, {}, q.lastError().text());
        return list;
    }
    while (q.next())
        list.push_back({q.value(0).toString(),
                        q.value(1).toString().compare(kAdministratorType, Qt::CaseInsensitive) == 0, {}});
    if (!q.exec(QStringLiteral("select UserName, ProhibitFunID from UserProhibitFun order by ProhibitFunID"))) {
        fail(Error::Database, {}, q.lastError().text());
        return {};
    }
    while (q.next()) {
        const QString n = q.value(0).toString();
        for (UserInfo &u : list) {
            if (u.name.compare(n, Qt::CaseInsensitive) == 0)
                u.prohibited << q.value(1).toInt();
        }
    }
    return list;
}

std::optional<UserInfo> UserAdmin::user(const QString &name)
{
    const std::optional<QString> stored = storedName(name);
    if (!stored)
        return std::nullopt;
    for (const UserInfo &u : users()) {
        if (u.name == *stored)
            return u;
    }
    fail(Error::NoSuchUser, name);
    return std::nullopt;
}

bool UserAdmin::addUser(const QString &name, const QString &password, bool administrator)
{
    m_error = Error::None;
    const QString n = name.trimmed();
    if (n.isEmpty())
        return fail(Error::EmptyName);
    if (!PasswordAcceptable(password))
        return fail(Error::PasswordTooShort);
    const QString hash = HashPassword(password);
    if (hash.isEmpty())
        return fail(Error::Database, n, QStringLiteral("The password could not be hashed"));
    const QSqlDatabase db = usersDb(m_state);
    WriteTransaction t(db);
    if (!t.active())
        return fail(Error::Database, n, t.error());
    QString stored, detail;
    if (FindUserRow(db, n, &stored, nullptr, &detail))
        return fail(Error::UserExists, stored);
    if (!detail.isEmpty())
        return fail(Error::Database, n, detail);
    // Rows of an earlier user of that name must not prohibit anything now.
    if (!exec(db, QStringLiteral("delete from UserProhibitFun where UserName=?"), {n}, &detail)
        || !exec(db, QStringLiteral("insert into Users (UserName, type, PasswordHash) values (?, ?, ?)"),
                 {n, administrator ? kAdministratorType : kUserType, hash}, &detail)
        || !t.commit())
        return fail(Error::Database, n, detail.isEmpty() ? t.error() : detail);
    return true;
}

bool UserAdmin::setPassword(const QString &name, const QString &password)
{
    m_error = Error::None;
    if (!PasswordAcceptable(password))
        return fail(Error::PasswordTooShort);
    const std::optional<QString> stored = storedName(name);
    if (!stored)
        return false;
    const QString hash = HashPassword(password);
    QString detail = QStringLiteral("The password could not be hashed");
    int rows = 0;
    if (hash.isEmpty()
        || !exec(usersDb(m_state), QStringLiteral("update Users set PasswordHash=? where UserName=?"),
                 {hash, *stored}, &detail, &rows))
        return fail(Error::Database, *stored, detail);
    return rows == 1 || fail(Error::NoSuchUser, name);
}

bool UserAdmin::removeUser(const QString &name)
{
    m_error = Error::None;
    const QSqlDatabase db = usersDb(m_state);
    WriteTransaction t(db);
    if (!t.active())
        return fail(Error::Database, name, t.error());
    const std::optional<UserInfo> u = user(name);
    if (!u)
        return false;
    QString detail;
    if (u->administrator) {
        const int admins = administratorCount(db, &detail);
        if (admins < 0)
            return fail(Error::Database, u->name, detail);
        if (admins <= 1)
            return fail(Error::LastAdministrator, u->name);
    }
    if (!exec(db, QStringLiteral("delete from UserProhibitFun where UserName=?"), {u->name}, &detail)
        || !exec(db, QStringLiteral("delete from Users where UserName=?"), {u->name}, &detail) || !t.commit())
        return fail(Error::Database, u->name, detail.isEmpty() ? t.error() : detail);
    return true;
}

bool UserAdmin::setAdministrator(const QString &name, bool administrator)
{
    m_error = Error::None;
    const QSqlDatabase db = usersDb(m_state);
    WriteTransaction t(db);
    if (!t.active())
        return fail(Error::Database, name, t.error());
    const std::optional<UserInfo> u = user(name);
    if (!u)
        return false;
    if (u->administrator == administrator)
        return true;
    QString detail;
    if (!administrator) {
        const int admins = administratorCount(db, &detail);
        if (admins < 0)
            return fail(Error::Database, u->name, detail);
        if (admins <= 1)
            return fail(Error::LastAdministrator, u->name);
    }
    if (!exec(db, QStringLiteral("update Users set type=? where UserName=?"),
              {administrator ? kAdministratorType : kUserType, u->name}, &detail)
        || !t.commit())
        return fail(Error::Database, u->name, detail.isEmpty() ? t.error() : detail);
    return true;
}

bool UserAdmin::changeProhibitions(const QString &name, const QVector<qint32> &ids, bool add)
{
    m_error = Error::None;
    const std::optional<QString> stored = storedName(name);
    if (!stored)
        return false;
    const QSqlDatabase db = usersDb(m_state);
    WriteTransaction t(db);
    if (!t.active())
        return fail(Error::Database, *stored, t.error());
    const QString sql = add ? QStringLiteral("insert or ignore into UserProhibitFun (UserName, ProhibitFunID) values (?, ?)")
                            : QStringLiteral("delete from UserProhibitFun where UserName=? and ProhibitFunID=?");
    QString detail;
    for (qint32 id : ids) {
        if (!exec(db, sql, {*stored, id}, &detail))
            return fail(Error::Database, *stored, detail);
    }
    return t.commit() || fail(Error::Database, *stored, t.error());
}

bool UserAdmin::prohibit(const QString &name, const QVector<qint32> &functionIds)
{
    return changeProhibitions(name, functionIds, true);
}

bool UserAdmin::allow(const QString &name, const QVector<qint32> &functionIds)
{
    return changeProhibitions(name, functionIds, false);
}

QVector<FunctionInfo> UserAdmin::functions()
{
    if (!m_state.language.loaded)
        LoadLanguageTexts(m_state);
    QVector<FunctionInfo> list;
    // The column is one of three fixed names (LoadLanguageTexts chose it).
    const QString sql = QStringLiteral("select [ID], [Caption], [%1] from [tbl_LANGUAGE] where [E_NAME]='%2' order by [ID]")
                            .arg(m_state.language.column, SqlEscape(AppState::exeName() + QStringLiteral(".EXE")));
    auto q = QueryDb(m_state, DbKind::Language, sql, QStringLiteral("UserAdmin::functions"));
    if (!q)
        return list;
    while (q->next()) {
        const QString caption = q->value(1).toString();
        const qsizetype dot = caption.indexOf(QLatin1Char('.'));
        if (dot <= 0)
            continue;
        FunctionInfo f{q->value(0).toInt(), caption.left(dot), caption.mid(dot + 1), q->value(2).toString()};
        if (!isFunction(f.owner, f.key))
            continue;
        // "&" marks a mnemonic, "(&X)" one behind a text that has no X;
        // "&&" is an ampersand.
        static const QRegularExpression trailingMnemonic(QStringLiteral("\\(&[^&]\\)"));
        f.text.remove(trailingMnemonic);
        f.text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        f.text.remove(QLatin1Char('&'));
        f.text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        list << f;
    }
    return list;
}

std::optional<qint32> UserAdmin::functionId(const QString &ownerDotKey)
{
    const QString full = ownerDotKey.contains(QLatin1Char('.')) ? ownerDotKey
                                                                 : QStringLiteral("frmMain.") + ownerDotKey;
    for (const FunctionInfo &f : functions()) {
        if ((f.owner + QLatin1Char('.') + f.key).compare(full, Qt::CaseInsensitive) == 0)
            return f.id;
    }
    fail(Error::UnknownFunction, ownerDotKey);
    return std::nullopt;
}

} // namespace korvo
