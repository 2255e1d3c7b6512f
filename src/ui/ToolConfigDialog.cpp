#include "ui/ToolConfigDialog.h"
#include "ui/DialogButtons.h"
#include "ui/Named.h"

#include "core/AppState.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"
#include "ui/FormTexts.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmToolConfig");

} // namespace

ToolConfigDialog::ToolConfigDialog(AppState &state, QWidget *parent)
    : QDialog(parent), m_state(state), m_list(ReadUserTools(state))
{
    setObjectName(kOwner);
    setModal(true);
    buildControls();
    SetFormLangString(state, this);
    for (QPushButton *b : {cmdInsert, cmdReplace, cmdDelete, cmdUp, cmdDown})
        m_permitted.insert(b, b->isEnabled());
    showList();

    // The selected line, not the current one: a list taking the focus makes
    // its first line current without selecting it.
    connect(lstToolbar, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_showing)
            return;
        const QList<QListWidgetItem *> chosen = lstToolbar->selectedItems();
        m_list.select(chosen.isEmpty() ? -1 : lstToolbar->row(chosen.first()));
        refreshButtons();
    });
    connect(lstToolbar, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { showTool(lstToolbar->row(item)); });
    connect(txtMenuItemName, &QLineEdit::textChanged, this, &ToolConfigDialog::refreshButtons);
    connect(txtCmdLine, &QLineEdit::textChanged, this, &ToolConfigDialog::refreshButtons);
    connect(cmdInsert, &QPushButton::clicked, this, [this] {
        if (m_list.insert(boxes()))
            showList();
    });
    connect(cmdReplace, &QPushButton::clicked, this, [this] {
        if (m_list.replace(boxes()))
            showList();
    });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { edit(&ToolConfigList::remove); });
    connect(cmdUp, &QPushButton::clicked, this, [this] { edit(&ToolConfigList::moveUp); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { edit(&ToolConfigList::moveDown); });

    // Programs carry no suffix on this platform; the folder dialog title
    // drops the mnemonic mark a caption would have.
#ifdef Q_OS_WIN
    const QString programs = QStringLiteral("*.EXE|*.exe");
#else
    const QString programs = QStringLiteral("*|*");
#endif
    connect(cmdBrowseCmdLine, &QPushButton::clicked, this,
            [this, programs] { browse(txtCmdLine, QStringLiteral("Command Line:"), programs, false); });
    connect(cmdBrowseIconFile, &QPushButton::clicked, this, [this] {
        browse(txtToolbarIconFileName, QStringLiteral("Toolbar Icon File Name:"), QStringLiteral("*.ICO|*.ico"), false);
    });
    connect(cmdBrowseWorkingDir, &QPushButton::clicked, this,
            [this] { browse(txtWorkingDir, QStringLiteral("Working Directory:"), {}, true); });
    connect(cmdOK, &QPushButton::clicked, this, &ToolConfigDialog::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ToolConfigDialog::buildControls()
{
    lblToolbar = Named<QLabel>(this, "lblToolbar");
    lstToolbar = Named<QListWidget>(this, "lstToolbar");
    lblToolbar->setBuddy(lstToolbar);
    cmdInsert = Named<QPushButton>(this, "cmdInsert");
    cmdReplace = Named<QPushButton>(this, "cmdReplace");
    cmdDelete = Named<QPushButton>(this, "cmdDelete");
    cmdUp = Named<QPushButton>(this, "cmdUp");
    cmdDown = Named<QPushButton>(this, "cmdDown");
    auto *side = new QVBoxLayout;
    for (QPushButton *b : {cmdInsert, cmdReplace, cmdDelete, cmdUp, cmdDown}) {
        b->setAutoDefault(false);
        side->addWidget(b);
    }
    side->addStretch(1);
    auto *top = new QGridLayout;
    top->addWidget(lblToolbar, 0, 0);
    top->addWidget(lstToolbar, 1, 0);
    top->addLayout(side, 1, 1);

    auto *fields = new QGridLayout;
    auto row = [&](QLabel *&label, const char *labelName, QLineEdit *&box, const char *boxName,
                   QPushButton **browseButton, const char *browseName) {
        const int r = fields->rowCount();
        label = Named<QLabel>(this, labelName);
        box = Named<QLineEdit>(this, boxName);
        // The settings file gives back no more than this.
        box->setMaxLength(kToolTextMaxLength);
        label->setBuddy(box);
        fields->addWidget(label, r, 0);
        fields->addWidget(box, r, 1);
        if (browseButton) {
            *browseButton = Named<QPushButton>(this, browseName);
            (*browseButton)->setAutoDefault(false);
            fields->addWidget(*browseButton, r, 2);
        }
    };
    row(lblMenuItemName, "lblMenuItemName", txtMenuItemName, "txtMenuItemName", nullptr, nullptr);
    row(lblCmdLine, "lblCmdLine", txtCmdLine, "txtCmdLine", &cmdBrowseCmdLine, "cmdBrowseCmdLine");
    row(lblParameters, "lblParameters", txtParameters, "txtParameters", nullptr, nullptr);
    row(lblWorkingDir, "lblWorkingDir", txtWorkingDir, "txtWorkingDir", &cmdBrowseWorkingDir, "cmdBrowseWorkingDir");
    row(lblToolbarIconFileName, "lblToolbarIconFileName", txtToolbarIconFileName, "txtToolbarIconFileName",
        &cmdBrowseIconFile, "cmdBrowseIconFile");
    fields->setColumnStretch(1, 1);

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(fields);
    main->addLayout(OkCancelRow(this, cmdOK, cmdCancel));
    resize(560, 440);
}

UserTool ToolConfigDialog::boxes() const
{
    // Blanks around a value do not survive the settings file.
    return {txtMenuItemName->text().trimmed(), txtCmdLine->text().trimmed(), txtParameters->text().trimmed(),
            txtWorkingDir->text().trimmed(), txtToolbarIconFileName->text().trimmed()};
}

void ToolConfigDialog::showTool(int row)
{
    if (row < 0 || row >= m_list.count())
        return;
    const UserTool &t = m_list.tools().at(row);
    txtMenuItemName->setText(t.MenuItemName);
    txtCmdLine->setText(t.CmdLine);
    txtParameters->setText(t.Parameters);
    txtWorkingDir->setText(t.WorkingDir);
    txtToolbarIconFileName->setText(t.IconFileName);
}

void ToolConfigDialog::showList()
{
    m_showing = true;
    lstToolbar->clear();
    for (const UserTool &t : m_list.tools())
        lstToolbar->addItem(t.MenuItemName);
    lstToolbar->setCurrentRow(m_list.selected());
    if (m_list.selected() < 0)
        lstToolbar->clearSelection();
    m_showing = false;
    refreshButtons();
}

void ToolConfigDialog::refreshButtons()
{
    const ToolConfigList::ButtonStates s = m_list.buttonStates(boxes());
    const std::pair<QPushButton *, bool> rules[] = {
        {cmdInsert, s.insert}, {cmdReplace, s.replace}, {cmdDelete, s.remove}, {cmdUp, s.up}, {cmdDown, s.down},
    };
    for (const auto &[button, enabled] : rules)
        button->setEnabled(enabled && m_permitted.value(button, true));
}

void ToolConfigDialog::edit(bool (ToolConfigList::*change)())
{
    if ((m_list.*change)())
        showList();
}

void ToolConfigDialog::browse(QLineEdit *box, const QString &title, const QString &filter, bool folder)
{
    if (!m_state.ui)
        return;
    const QString chosen = folder ? m_state.ui->chooseFolder(title) : m_state.ui->openFileName(title, filter);
    if (!chosen.isEmpty())
        box->setText(chosen);
}

void ToolConfigDialog::ok()
{
    if (!WriteUserTools(m_state, m_list.tools())) {
        // The dialog stays open with the list as it is, so nothing is lost.
        m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgWriteFailed"))
                                + QLatin1Char('\n') + QDir::toNativeSeparators(m_state.iniFile),
                            windowTitle(), MsgIcon::Exclamation);
        return;
    }
    m_cancelled = false;
    accept();
}

} // namespace korvo
