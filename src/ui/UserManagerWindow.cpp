#include "ui/UserManagerWindow.h"
#include "ui/DialogButtons.h"
#include "ui/Named.h"

#include "core/AppState.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"
#include "ui/FormTexts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmUserManager");
const QString kEditOwner = QStringLiteral("frmUserEdit");

} // namespace

UserEditDialog::UserEditDialog(AppState &state, const QString &name, QWidget *parent)
    : QDialog(parent), m_state(state)
{
    setObjectName(kEditOwner);
    setModal(true);
    auto *form = new QFormLayout;
    auto box = [&](QLabel *&label, const char *labelName, QLineEdit *&edit, const char *editName, bool hidden) {
        label = Named<QLabel>(this, labelName);
        edit = Named<QLineEdit>(this, editName);
        if (hidden)
            edit->setEchoMode(QLineEdit::Password);
        label->setBuddy(edit);
        form->addRow(label, edit);
    };
    box(lblUserName, "lblUserName", txtUserName, "txtUserName", false);
    box(lblPassword, "lblPassword", txtPassword, "txtPassword", true);
    box(lblConfirmPassword, "lblConfirmPassword", txtConfirmPassword, "txtConfirmPassword", true);
    lblMinLength = Named<QLabel>(this, "lblMinLength");
    form->addRow(QString(), lblMinLength);
    chkNewAdministrator = Named<QCheckBox>(this, "chkNewAdministrator");
    form->addRow(QString(), chkNewAdministrator);
    auto *main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addLayout(OkCancelRow(this, cmdOK, cmdCancel));

    SetFormLangString(state, this);
    lblMinLength->setText(lblMinLength->text().arg(kMinPasswordLength));
    if (!name.isEmpty()) {
        setWindowTitle(GetLangString(state, kEditOwner, QStringLiteral("CaptionPassword")));
        txtUserName->setText(name);
        txtUserName->setReadOnly(true);
        chkNewAdministrator->hide();
        txtPassword->setFocus();
    }
    connect(cmdOK, &QPushButton::clicked, this, &UserEditDialog::tryAccept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString UserEditDialog::userName() const { return txtUserName->text().trimmed(); }
QString UserEditDialog::password() const { return txtPassword->text(); }
bool UserEditDialog::administrator() const { return chkNewAdministrator->isChecked(); }

void UserEditDialog::tryAccept()
{
    // Length and names are UserAdmin's to judge; the typing is judged here.
    if (txtPassword->text() != txtConfirmPassword->text()) {
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgPasswordMismatch")), windowTitle(),
                            MsgIcon::Critical);
        txtPassword->clear();
        txtConfirmPassword->clear();
        txtPassword->setFocus();
        return;
    }
    accept();
}

UserManagerWindow::UserManagerWindow(AppState &state, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_admin(state)
{
    setObjectName(kOwner);
    buildControls();
    SetFormLangString(state, this);

    // The functions by window: the main window first, then the dialogs.
    const QVector<FunctionInfo> functions = m_admin.functions();
    QHash<QString, QTreeWidgetItem *> windows;
    for (const FunctionInfo &f : functions) {
        QTreeWidgetItem *&window = windows[f.owner];
        if (!window) {
            const QString caption = state.language.texts.value((f.owner + QStringLiteral(".Caption")).toUpper());
            window = new QTreeWidgetItem(treFunctions, {caption.isEmpty() ? f.owner : caption, f.owner});
            window->setFlags(Qt::ItemIsEnabled);
        }
        auto *item = new QTreeWidgetItem(window, {f.text, f.key});
        item->setData(0, Qt::UserRole, f.id);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(0, Qt::Unchecked);
    }
    if (QTreeWidgetItem *main = windows.value(QStringLiteral("frmMain")))
        main->setExpanded(true);

    connect(lstUsers, &QListWidget::currentRowChanged, this, [this] { showUser(); });
    connect(chkAdministrator, &QCheckBox::clicked, this, &UserManagerWindow::setAdministrator);
    connect(treFunctions, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
        if (column == 0)
            functionToggled(item);
    });
    connect(cmdAddUser, &QPushButton::clicked, this, &UserManagerWindow::addUser);
    connect(cmdRemoveUser, &QPushButton::clicked, this, &UserManagerWindow::removeUser);
    connect(cmdSetPassword, &QPushButton::clicked, this, &UserManagerWindow::setPassword);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    reload(state.userName);
}

void UserManagerWindow::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    lblUsers = Named<QLabel>(central, "lblUsers");
    lstUsers = Named<QListWidget>(central, "lstUsers");
    lblUsers->setBuddy(lstUsers);
    chkAdministrator = Named<QCheckBox>(central, "chkAdministrator");
    cmdAddUser = Named<QPushButton>(central, "cmdAddUser");
    cmdRemoveUser = Named<QPushButton>(central, "cmdRemoveUser");
    cmdSetPassword = Named<QPushButton>(central, "cmdSetPassword");
    lblFunctions = Named<QLabel>(central, "lblFunctions");
    treFunctions = Named<QTreeWidget>(central, "treFunctions");
    treFunctions->setColumnCount(2);
    treFunctions->setHeaderHidden(true);
    treFunctions->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lblFunctions->setBuddy(treFunctions);
    cmdClose = Named<QPushButton>(central, "cmdClose");

    auto *left = new QVBoxLayout;
    left->addWidget(lblUsers);
    left->addWidget(lstUsers, 1);
    left->addWidget(chkAdministrator);
    for (QPushButton *b : {cmdAddUser, cmdRemoveUser, cmdSetPassword})
        left->addWidget(b);
    auto *right = new QVBoxLayout;
    right->addWidget(lblFunctions);
    right->addWidget(treFunctions, 1);
    auto *grid = new QGridLayout(central);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->setColumnStretch(1, 2);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    grid->addLayout(bottom, 1, 0, 1, 2);
    resize(760, 520);
}

bool UserManagerWindow::check(bool ok)
{
    if (!ok)
        m_state.ui->message(m_admin.errorMessage(), windowTitle(), MsgIcon::Exclamation);
    return ok;
}

void UserManagerWindow::reload(const QString &select)
{
    const QString keep = select.isEmpty() ? selectedUser() : select;
    m_users = m_admin.users();
    if (m_admin.error() != UserAdmin::Error::None)
        check(false);
    m_showing = true;
    lstUsers->clear();
    int row = m_users.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_users.size(); ++i) {
        auto *item = new QListWidgetItem(m_users.at(i).name, lstUsers);
        QFont f = item->font();
        f.setBold(m_users.at(i).administrator);
        item->setFont(f);
        if (m_users.at(i).name.compare(keep, Qt::CaseInsensitive) == 0)
            row = i;
    }
    lstUsers->setCurrentRow(row);
    m_showing = false;
    showUser();
}

QString UserManagerWindow::selectedUser() const
{
    const int row = lstUsers->currentRow();
    return row >= 0 && row < m_users.size() ? m_users.at(row).name : QString();
}

void UserManagerWindow::showUser()
{
    if (m_showing)
        return;
    const int row = lstUsers->currentRow();
    const UserInfo *u = row >= 0 && row < m_users.size() ? &m_users.at(row) : nullptr;
    m_showing = true;
    chkAdministrator->setChecked(u && u->administrator);
    for (QWidget *w : std::initializer_list<QWidget *>{chkAdministrator, cmdRemoveUser, cmdSetPassword, treFunctions})
        w->setEnabled(u != nullptr);
    for (int i = 0; i < treFunctions->topLevelItemCount(); ++i) {
        QTreeWidgetItem *window = treFunctions->topLevelItem(i);
        for (int j = 0; j < window->childCount(); ++j) {
            QTreeWidgetItem *item = window->child(j);
            const bool prohibited = u && u->prohibited.contains(item->data(0, Qt::UserRole).toInt());
            item->setCheckState(0, prohibited ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_showing = false;
}

void UserManagerWindow::addUser()
{
    UserEditDialog dialog(m_state, QString(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (check(m_admin.addUser(dialog.userName(), dialog.password(), dialog.administrator())))
        reload(dialog.userName());
}

void UserManagerWindow::removeUser()
{
    const QString name = selectedUser();
    if (name.isEmpty())
        return;
    const MsgResult answer = m_state.ui->message(
        GetLangString(m_state, kOwner, QStringLiteral("msgConfirmRemove")).arg(name), windowTitle(),
        MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    if (answer != MsgResult::Yes)
        return;
    check(m_admin.removeUser(name));
    reload();
}

void UserManagerWindow::setPassword()
{
    const QString name = selectedUser();
    if (name.isEmpty())
        return;
    UserEditDialog dialog(m_state, name, this);
    if (dialog.exec() == QDialog::Accepted)
        check(m_admin.setPassword(name, dialog.password()));
}

void UserManagerWindow::setAdministrator(bool on)
{
    const QString name = selectedUser();
    if (!name.isEmpty())
        check(m_admin.setAdministrator(name, on));
    reload(name); // a refused change shows the stored state again
}

void UserManagerWindow::functionToggled(QTreeWidgetItem *item)
{
    const QString name = selectedUser();
    if (m_showing || name.isEmpty() || !item->parent())
        return;
    const QVector<qint32> ids{item->data(0, Qt::UserRole).toInt()};
    check(item->checkState(0) == Qt::Checked ? m_admin.prohibit(name, ids) : m_admin.allow(name, ids));
    reload(name);
}

} // namespace korvo
