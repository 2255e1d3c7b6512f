#include "ui/RestoreSettingDialog.h"
#include "ui/DialogButtons.h"

#include "core/AppState.h"
#include "core/FileUtil.h"
#include "core/SettingsBackup.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"
#include "ui/FormTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvo {

namespace {
const QString kOwner = QStringLiteral("frmRestoreSetting");
}

RestoreSettingDialog::RestoreSettingDialog(AppState &state, QWidget *parent)
    : QDialog(parent), m_state(state)
{
    setObjectName(kOwner);
    setModal(true);
    lblSelectDate = new QLabel(this);
    lblSelectDate->setObjectName(QStringLiteral("lblSelectDate"));
    lstSelectDate = new QListWidget(this);
    lstSelectDate->setObjectName(QStringLiteral("lstSelectDate"));
    lstSelectDate->setSelectionMode(QAbstractItemView::SingleSelection);
    lblSelectDate->setBuddy(lstSelectDate);
    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(lblSelectDate);
    main->addWidget(lstSelectDate, 1);
    main->addLayout(buttons);

    SetFormLangString(state, this);
    fillList();

    connect(cmdOK, &QPushButton::clicked, this, &RestoreSettingDialog::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstSelectDate, &QListWidget::itemDoubleClicked, this, &RestoreSettingDialog::ok);
}

QString RestoreSettingDialog::folderOf(const QListWidgetItem *item)
{
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void RestoreSettingDialog::fillList()
{
    const QString root = SettingsBackupRoot(m_state);
    const QLocale locale;
    // Newest first and at most 50: pruning keeps about a month anyway.
    for (const QString &name : ListBackupFolders(m_state)) {
        const auto date = BackupFolderDate(name);
        if (!date)
            continue;
        auto *item = new QListWidgetItem(locale.toString(*date, QLocale::LongFormat), lstSelectDate);
        item->setData(Qt::UserRole, JoinPath(root, name));
        item->setToolTip(name);
    }
}

void RestoreSettingDialog::ok()
{
    const QList<QListWidgetItem *> selected = lstSelectDate->selectedItems();
    if (selected.isEmpty())
        return;
    const QString folder = folderOf(selected.first());
    const MsgResult answer =
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgRestoreSetting")),
                            AppState::appTitle(), MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    if (answer != MsgResult::Yes)
        return;
    // A copy that failed has been reported; the dialog stays for another
    // choice, and nothing claims the settings were restored.
    if (!RestoreSettings(m_state, folder))
        return;
    m_cancelled = false;
    accept();
}

} // namespace korvo
