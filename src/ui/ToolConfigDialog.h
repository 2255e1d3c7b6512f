#pragma once
// frmToolConfig: the user-defined tools of the Tools menu. The list mirrors
// a ToolConfigList line for line; OK writes the settings file, and the
// caller rebuilds the Tools menu. Modal; read cancelled() after it closed.

#include "tools/ToolConfig.h"

#include <QDialog>
#include <QHash>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvo {

class AppState;

class ToolConfigDialog : public QDialog {
    Q_OBJECT
public:
    explicit ToolConfigDialog(AppState &state, QWidget *parent = nullptr);

    bool cancelled() const { return m_cancelled; }
    const ToolConfigList &tools() const { return m_list; }

    QLabel *lblToolbar = nullptr;
    QListWidget *lstToolbar = nullptr;
    QLabel *lblMenuItemName = nullptr;
    QLineEdit *txtMenuItemName = nullptr;
    QLabel *lblCmdLine = nullptr;
    QLineEdit *txtCmdLine = nullptr;
    QPushButton *cmdBrowseCmdLine = nullptr;
    QLabel *lblParameters = nullptr;
    QLineEdit *txtParameters = nullptr;
    QLabel *lblWorkingDir = nullptr;
    QLineEdit *txtWorkingDir = nullptr;
    QPushButton *cmdBrowseWorkingDir = nullptr;
    QLabel *lblToolbarIconFileName = nullptr;
    QLineEdit *txtToolbarIconFileName = nullptr;
    QPushButton *cmdBrowseIconFile = nullptr;
    QPushButton *cmdInsert = nullptr;
    QPushButton *cmdReplace = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void buildControls();
    UserTool boxes() const;
    void showTool(int row);
    // Rebuilds the list's lines from the tools and selects the selected one.
    void showList();
    void refreshButtons();
    void edit(bool (ToolConfigList::*change)());
    void browse(QLineEdit *box, const QString &title, const QString &filter, bool folder);
    void ok();

    AppState &m_state;
    ToolConfigList m_list;
    QHash<QPushButton *, bool> m_permitted; // after the language pass
    bool m_cancelled = true;
    bool m_showing = false;
};

} // namespace korvo
