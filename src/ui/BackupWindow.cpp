#include "ui/BackupWindow.h"

#include "core/AppState.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"
#include "tools/DataBackup.h"
#include "ui/FormTexts.h"
#include "ui/Named.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmBackup");
const QString kFolderKey = QStringLiteral("BackupFolder");

} // namespace

BackupWindow::BackupWindow(AppState &state, QWidget *parent) : QMainWindow(parent), m_state(state)
{
    setObjectName(kOwner);
    auto *central = new QWidget(this);
    setCentralWidget(central);
    lblDataRoot = Named<QLabel>(central, "lblDataRoot");
    auto *root = new QLabel(QDir::toNativeSeparators(state.dataPath), central);
    root->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDestination = Named<QLabel>(central, "lblDestination");
    txtDestination = Named<QLineEdit>(central, "txtDestination");
    cmdBrowseDestination = Named<QPushButton>(central, "cmdBrowseDestination");
    cmdBackup = Named<QPushButton>(central, "cmdBackup");
    lblRestoreFrom = Named<QLabel>(central, "lblRestoreFrom");
    txtRestoreFrom = Named<QLineEdit>(central, "txtRestoreFrom");
    cmdBrowseRestore = Named<QPushButton>(central, "cmdBrowseRestore");
    cmdRestore = Named<QPushButton>(central, "cmdRestore");
    cmdClose = Named<QPushButton>(central, "cmdClose");
    lblDestination->setBuddy(txtDestination);
    lblRestoreFrom->setBuddy(txtRestoreFrom);

    auto *grid = new QGridLayout(central);
    grid->addWidget(lblDataRoot, 0, 0);
    grid->addWidget(root, 0, 1, 1, 3);
    grid->addWidget(lblDestination, 1, 0);
    grid->addWidget(txtDestination, 1, 1);
    grid->addWidget(cmdBrowseDestination, 1, 2);
    grid->addWidget(cmdBackup, 1, 3);
    grid->addWidget(lblRestoreFrom, 2, 0);
    grid->addWidget(txtRestoreFrom, 2, 1);
    grid->addWidget(cmdBrowseRestore, 2, 2);
    grid->addWidget(cmdRestore, 2, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    grid->addLayout(bottom, 4, 0, 1, 4);
    resize(680, 150);

    SetFormLangString(state, this);
    txtDestination->setText(state.userStore().value(kFolderKey).toString());

    auto browse = [this](QLineEdit *box, const char *titleKey) {
        const QString chosen = m_state.ui->chooseFolder(text(titleKey));
        if (!chosen.isEmpty())
            box->setText(QDir::toNativeSeparators(chosen));
    };
    connect(cmdBrowseDestination, &QPushButton::clicked, this,
            [this, browse] { browse(txtDestination, "lblDestination"); });
    connect(cmdBrowseRestore, &QPushButton::clicked, this, [this, browse] { browse(txtRestoreFrom, "lblRestoreFrom"); });
    connect(cmdBackup, &QPushButton::clicked, this, &BackupWindow::backup);
    connect(cmdRestore, &QPushButton::clicked, this, &BackupWindow::restore);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

QString BackupWindow::text(const char *key) { return GetLangString(m_state, kOwner, QLatin1String(key)); }

void BackupWindow::say(const QString &message, MsgIcon icon)
{
    m_state.ui->message(message, windowTitle(), icon);
}

void BackupWindow::backup()
{
    const QString destination = txtDestination->text().trimmed();
    if (destination.isEmpty()) {
        say(text("msgNoFolder"), MsgIcon::Critical);
        txtDestination->setFocus();
        return;
    }
    const int files = int(DataRootFiles(m_state.dataPath).size());
    m_state.ui->progressBegin(text("cmdBackup"), files);
    const BackupOutcome out = BackupDataRoot(m_state, QDir::fromNativeSeparators(destination), m_state.ui);
    m_state.ui->progressEnd();
    if (!out.error.isEmpty()) {
        say(text("msgBackupFailed") + QLatin1Char('\n') + out.error, MsgIcon::Exclamation);
        return;
    }
    m_state.userStore().setValue(kFolderKey, destination);
    txtRestoreFrom->setText(QDir::toNativeSeparators(out.folder));
    say(text("msgBackupDone").arg(QDir::toNativeSeparators(out.folder)), MsgIcon::Information);
}

void BackupWindow::restore()
{
    const QString source = txtRestoreFrom->text().trimmed();
    if (source.isEmpty()) {
        say(text("msgNoFolder"), MsgIcon::Critical);
        txtRestoreFrom->setFocus();
        return;
    }
    if (DataRootInUse(m_state)) {
        say(text("msgProgramRunning"), MsgIcon::Exclamation);
        return;
    }
    const RestorePlan plan = PlanRestore(m_state, QDir::fromNativeSeparators(source));
    if (!plan.error.isEmpty()) {
        say(text("msgNoBackup") + QLatin1Char('\n') + plan.error, MsgIcon::Exclamation);
        return;
    }
    const QString question = text("msgConfirmRestore").arg(QDir::toNativeSeparators(m_state.dataPath)) + QStringLiteral("\n\n")
                             + DescribeRestore(plan).join(QLatin1Char('\n'));
    if (m_state.ui->message(question, windowTitle(), MsgIcon::Question, MsgButtons::YesNo, MsgResult::No)
        != MsgResult::Yes)
        return;
    QString safety, error;
    switch (RestoreDataRoot(m_state, plan, &safety, &error)) {
    case RestoreResult::Restored:
        say(text("msgRestoreDone").arg(QDir::toNativeSeparators(safety)), MsgIcon::Information);
        break;
    case RestoreResult::ProgramRunning:
        say(text("msgProgramRunning"), MsgIcon::Exclamation);
        break;
    case RestoreResult::Failed:
        say(text("msgRestoreFailed") + QLatin1Char('\n') + error, MsgIcon::Exclamation);
        break;
    }
}

} // namespace korvo
