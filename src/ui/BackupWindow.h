#pragma once
// frmBackup, the window of the data backup program: back the data root up
// into a dated folder under a chosen folder, or restore one such folder
// after saying what it replaces.

#include "core/UserInterface.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class AppState;

class BackupWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit BackupWindow(AppState &state, QWidget *parent = nullptr);

    QLabel *lblDataRoot = nullptr;
    QLabel *lblDestination = nullptr;
    QLineEdit *txtDestination = nullptr;
    QPushButton *cmdBrowseDestination = nullptr;
    QPushButton *cmdBackup = nullptr;
    QLabel *lblRestoreFrom = nullptr;
    QLineEdit *txtRestoreFrom = nullptr;
    QPushButton *cmdBrowseRestore = nullptr;
    QPushButton *cmdRestore = nullptr;
    QPushButton *cmdClose = nullptr;

    void backup();
    void restore();

private:
    QString text(const char *key);
    void say(const QString &text, MsgIcon icon);

    AppState &m_state;
};

} // namespace korvo
