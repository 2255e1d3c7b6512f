#include "ui/SignInDialog.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/UserInterface.h"
#include "i18n/UserAdmin.h"
#include "i18n/Users.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>
#include <QVBoxLayout>

namespace korvo {

namespace {

const char *const kOwner = "frmLogin";

} // namespace

QString LoginTexts::builtIn(const QString &key)
{
    static const struct {
        const char *key;
        const char *text;
    } kTexts[] = {
        {"Caption", "Sign in"},
        {"lblUserName", "&User name:"},
        {"lblPassword", "&Password:"},
        {"lblConfirmPassword", "&Confirm password:"},
        {"lblNewAdministrator", "No user exists yet. Choose the administrator's name and password."},
        {"cmdOK", "OK"},
        {"cmdCancel", "Cancel"},
        {"msgWrongPassword", "The user name or the password is wrong."},
        {"msgPasswordMismatch", "The two passwords differ."},
        {"msgEmptyName", "Please enter a user name."},
        {"msgEmptyPassword", "Please enter a password."},
        {"msgPasswordTooShort", "A password needs at least %1 characters."},
        {"msgUsersDatabaseError", "The users database cannot be opened."},
        {"lblSignInWait", "Too many failed attempts: wait %1 seconds before the next one."},
    };
    for (const auto &t : kTexts) {
        if (key.compare(QLatin1String(t.key), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(t.text);
    }
    return key;
}

LoginTexts::LoginTexts(const QString &dataRoot, const QString &language)
{
    const QString root = QDir(dataRoot).absolutePath() + QLatin1Char('/');
    m_language = LanguageFromSetting(
        !language.isEmpty() ? language
                            : ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"),
                                            root + QStringLiteral("Korvo2005.INI")));

    const QString path = root + QStringLiteral("Database/") + DatabaseFileName(DbKind::Language);
    if (!QFileInfo::exists(path))
        return;
    const QString conn = QStringLiteral("login_language_") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            // The language name is one of three fixed column names, never user text.
            const QString sql = QStringLiteral("select Caption, [") + m_language
                + QStringLiteral("] from tbl_LANGUAGE where E_NAME='")
                + SqlEscape(AppState::exeName() + QStringLiteral(".EXE"))
                + QStringLiteral("' and Caption like '") + QLatin1String(kOwner)
                + QStringLiteral(".%'");
            if (q.exec(sql)) {
                m_dbOpen = true;
                const int prefix = int(qstrlen(kOwner)) + 1;
                while (q.next()) {
                    if (q.value(1).isNull())
                        continue;
                    m_texts.insert(q.value(0).toString().mid(prefix).toUpper(),
                                   q.value(1).toString());
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
}

QString LoginTexts::text(const QString &key)
{
    const auto it = m_texts.constFind(key.toUpper());
    if (it != m_texts.constEnd())
        return it.value();
    if (m_dbOpen)
        m_missing.insert(key);
    return builtIn(key);
}

SignInDialog::SignInDialog(const QString &dataRoot, UserInterface *ui, QWidget *parent,
                           const QString &language)
    : QDialog(parent), m_ui(ui), m_texts(dataRoot, language)
{
    setObjectName(QStringLiteral("frmLogin"));
    const QString usersPath = QDir(dataRoot).absolutePath() + QStringLiteral("/Database/")
        + DatabaseFileName(DbKind::Users);
    m_users = std::make_unique<UserDirectory>(usersPath);
    m_newAdmin = m_users->isOpen() && m_users->isEmpty();

    setWindowTitle(m_texts.text(QStringLiteral("Caption")));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *layout = new QVBoxLayout(this);
    auto *lblNew = new QLabel(m_texts.text(QStringLiteral("lblNewAdministrator")), this);
    lblNew->setObjectName(QStringLiteral("lblNewAdministrator"));
    lblNew->setWordWrap(true);
    lblNew->setVisible(m_newAdmin);
    layout->addWidget(lblNew);

    auto *form = new QFormLayout;
    auto makeRow = [&](const char *labelName, const char *boxName, bool password) {
        auto *label = new QLabel(m_texts.text(QLatin1String(labelName)), this);
        label->setObjectName(QLatin1String(labelName));
        auto *box = new QLineEdit(this);
        box->setObjectName(QLatin1String(boxName));
        if (password)
            box->setEchoMode(QLineEdit::Password);
        box->setMinimumWidth(220);
        label->setBuddy(box);
        form->addRow(label, box);
        return box;
    };
    m_txtUserName = makeRow("lblUserName", "txtUserName", false);
    m_txtPassword = makeRow("lblPassword", "txtPassword", true);
    m_txtConfirm = makeRow("lblConfirmPassword", "txtConfirmPassword", true);
    if (!m_newAdmin) {
        form->setRowVisible(m_txtConfirm, false);
    }
    layout->addLayout(form);

    m_lblWait = new QLabel(this);
    m_lblWait->setObjectName(QStringLiteral("lblSignInWait"));
    m_lblWait->setWordWrap(true);
    m_lblWait->hide();
    layout->addWidget(m_lblWait);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = new QPushButton(m_texts.text(QStringLiteral("cmdOK")), this);
    m_ok = ok;
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(m_texts.text(QStringLiteral("cmdCancel")), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(ok, &QPushButton::clicked, this, &SignInDialog::tryAccept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_txtUserName->setFocus();
}

SignInDialog::~SignInDialog() = default;

bool SignInDialog::directoryOpen() const { return m_users->isOpen(); }
QString SignInDialog::directoryError() const { return m_users->errorText(); }

void SignInDialog::showMessage(const QString &key, MsgIcon icon, const QString &detail)
{
    if (!m_ui)
        return;
    QString text = m_texts.text(key);
    if (text.contains(QLatin1String("%1")))
        text = text.arg(detail);
    else if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    m_ui->message(text, windowTitle(), icon, MsgButtons::Ok, MsgResult::Ok);
}

void SignInDialog::holdAfterFailure()
{
    const qint64 wait = m_guard->waitMs();
    if (wait <= 0)
        return;
    m_ok->setEnabled(false);
    m_lblWait->setText(m_texts.text(QStringLiteral("lblSignInWait")).arg((wait + 999) / 1000));
    m_lblWait->show();
    QTimer::singleShot(int(wait), this, [this] {
        m_ok->setEnabled(true);
        m_lblWait->hide();
    });
}

void SignInDialog::tryAccept()
{
    if (m_guard && m_guard->waitMs() > 0)
        return; // Enter while OK waits
    const QString name = m_txtUserName->text().trimmed();
    const QString password = m_txtPassword->text();
    if (!m_users->isOpen()) {
        showMessage(QStringLiteral("msgUsersDatabaseError"), MsgIcon::Critical, m_users->errorText());
        return;
    }
    if (name.isEmpty()) {
        showMessage(QStringLiteral("msgEmptyName"), MsgIcon::Critical);
        m_txtUserName->setFocus();
        return;
    }
    if (m_newAdmin) {
        if (password.isEmpty()) {
            showMessage(QStringLiteral("msgEmptyPassword"), MsgIcon::Critical);
            m_txtPassword->setFocus();
            return;
        }
        if (!PasswordAcceptable(password)) {
            showMessage(QStringLiteral("msgPasswordTooShort"), MsgIcon::Critical, QString::number(kMinPasswordLength));
            m_txtPassword->setFocus();
            return;
        }
        if (password != m_txtConfirm->text()) {
            showMessage(QStringLiteral("msgPasswordMismatch"), MsgIcon::Critical);
            m_txtPassword->clear();
            m_txtConfirm->clear();
            m_txtPassword->setFocus();
            return;
        }
        if (!m_users->addUser(name, password, QStringLiteral("ADMINISTRATOR"))) {
            showMessage(QStringLiteral("msgUsersDatabaseError"), MsgIcon::Critical, m_users->errorText());
            return;
        }
        m_name = name;
        accept();
        return;
    }
    QString stored;
    if (!m_users->checkPassword(name, password, &stored)) {
        if (m_guard)
            m_guard->failed(name);
        showMessage(QStringLiteral("msgWrongPassword"), MsgIcon::Exclamation);
        m_txtPassword->clear();
        m_txtPassword->setFocus();
        if (m_guard)
            holdAfterFailure();
        return;
    }
    if (m_guard)
        m_guard->succeeded();
    m_name = stored.isEmpty() ? name : stored;
    accept();
}

DialogSignInProvider::DialogSignInProvider(const QString &dataRoot, UserInterface *ui,
                                           const QString &language, SignInGuard::LogSink log)
    : m_dataRoot(dataRoot), m_ui(ui), m_language(language), m_guard(std::move(log))
{
}

QString DialogSignInProvider::show()
{
    SignInDialog dlg(m_dataRoot, m_ui, nullptr, m_language);
    dlg.setGuard(&m_guard);
    m_failed = !dlg.directoryOpen();
    if (m_failed) {
        dlg.showMessage(QStringLiteral("msgUsersDatabaseError"), MsgIcon::Critical,
                        dlg.directoryError());
        return {};
    }
    if (dlg.exec() != QDialog::Accepted)
        return {};
    return dlg.signedInName();
}

} // namespace korvo
