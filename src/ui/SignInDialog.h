#pragma once
// The sign-in: name and password checked against Users.db. On the first
// start of a data root (no user yet) it creates the administrator instead.
// It runs before the start-up loads the settings and opens the databases,
// so it reads its own texts straight from language.db.

#include "core/UserInterface.h"
#include "i18n/SignInGuard.h"
#include "ui/SignInProvider.h"

#include <QDialog>
#include <QHash>
#include <QSet>
#include <QString>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class UserDirectory;

// The frmLogin texts in the given language, or in the one the settings
// file names when none is given.
class LoginTexts {
public:
    explicit LoginTexts(const QString &dataRoot, const QString &language = {});
    // The text of frmLogin.key; the built-in English wording when
    // language.db cannot be opened or lacks the row.
    QString text(const QString &key);
    QString language() const { return m_language; }
    bool databaseOpen() const { return m_dbOpen; }
    // Keys asked for that language.db did not hold.
    QSet<QString> missingKeys() const { return m_missing; }

    static QString builtIn(const QString &key);

private:
    QString m_language;
    bool m_dbOpen = false;
    QHash<QString, QString> m_texts; // upper-cased key -> text
    QSet<QString> m_missing;
};

class SignInDialog : public QDialog {
    Q_OBJECT
public:
    // dataRoot ends in "/"; ui shows the messages; language as for LoginTexts.
    SignInDialog(const QString &dataRoot, UserInterface *ui, QWidget *parent = nullptr,
                 const QString &language = {});
    ~SignInDialog() override;

    // True when Users.db could be opened.
    bool directoryOpen() const;
    QString directoryError() const;
    // First start: the dialog asks for the new administrator.
    bool createsAdministrator() const { return m_newAdmin; }
    // The signed-in name as stored; "" until OK succeeded.
    QString signedInName() const { return m_name; }
    LoginTexts &texts() { return m_texts; }

    // Shows a message titled with the dialog caption.
    void showMessage(const QString &key, MsgIcon icon, const QString &detail = {});

    // Failed sign-ins are logged and slowed down by guard (none: neither);
    // the guard outlives the dialog, so the count goes on over sign-ins.
    void setGuard(SignInGuard *guard) { m_guard = guard; }

private slots:
    void tryAccept();

private:
    // OK stays disabled, with a note, while the guard makes the next try wait.
    void holdAfterFailure();

    UserInterface *m_ui;
    SignInGuard *m_guard = nullptr;
    QPushButton *m_ok = nullptr;
    QLabel *m_lblWait = nullptr;
    LoginTexts m_texts;
    std::unique_ptr<UserDirectory> m_users;
    bool m_newAdmin = false;
    QString m_name;
    QLineEdit *m_txtUserName = nullptr;
    QLineEdit *m_txtPassword = nullptr;
    QLineEdit *m_txtConfirm = nullptr;
};

// The real sign-in: shows the dialog modal and returns its name or "".
// Every dialog speaks the language given here (the running program's, so
// that a sign-in after Logout matches the main window), or the settings
// file's when none is given. Failed sign-ins go to log.
class DialogSignInProvider : public SignInProvider {
public:
    DialogSignInProvider(const QString &dataRoot, UserInterface *ui, const QString &language = {},
                         SignInGuard::LogSink log = {});
    QString show() override;
    // The last show() ended because Users.db could not be opened (reported),
    // not because the person cancelled.
    bool failed() const { return m_failed; }

private:
    QString m_dataRoot;
    UserInterface *m_ui;
    QString m_language;
    SignInGuard m_guard;
    bool m_failed = false;
};

} // namespace korvo
