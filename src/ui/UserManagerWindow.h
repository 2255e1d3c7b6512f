#pragma once
// frmUserManager, the window of the user-management program: the users with
// their administrator right, and for the chosen user the functions of the
// program, ticked where prohibited. Every change is written at once through
// UserAdmin. frmUserEdit asks for a new user or a new password.

#include "i18n/UserAdmin.h"

#include <QDialog>
#include <QMainWindow>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvo {

class AppState;

class UserEditDialog : public QDialog {
    Q_OBJECT
public:
    // name empty: a new user (name and administrator right asked too).
    UserEditDialog(AppState &state, const QString &name, QWidget *parent = nullptr);

    QString userName() const;
    QString password() const;
    bool administrator() const;

    QLabel *lblUserName = nullptr;
    QLineEdit *txtUserName = nullptr;
    QLabel *lblPassword = nullptr;
    QLineEdit *txtPassword = nullptr;
    QLabel *lblConfirmPassword = nullptr;
    QLineEdit *txtConfirmPassword = nullptr;
    QLabel *lblMinLength = nullptr;
    QCheckBox *chkNewAdministrator = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void tryAccept();
    AppState &m_state;
};

class UserManagerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit UserManagerWindow(AppState &state, QWidget *parent = nullptr);

    QLabel *lblUsers = nullptr;
    QListWidget *lstUsers = nullptr;
    QCheckBox *chkAdministrator = nullptr;
    QPushButton *cmdAddUser = nullptr;
    QPushButton *cmdRemoveUser = nullptr;
    QPushButton *cmdSetPassword = nullptr;
    QLabel *lblFunctions = nullptr;
    QTreeWidget *treFunctions = nullptr;
    QPushButton *cmdClose = nullptr;

    // Shows the users again, keeping the chosen one when it still exists.
    void reload(const QString &select = {});

private:
    void buildControls();
    QString selectedUser() const;
    void showUser();
    void addUser();
    void removeUser();
    void setPassword();
    void setAdministrator(bool on);
    void functionToggled(QTreeWidgetItem *item);
    bool check(bool ok); // shows the failure; returns ok

    AppState &m_state;
    UserAdmin m_admin;
    QVector<UserInfo> m_users;
    bool m_showing = false;
};

} // namespace korvo
