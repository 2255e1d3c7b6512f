#pragma once
// frmScaleSelect: the scale selection. Lists the scales (all of them, or
// those of the sections a department goes to) as "address  description";
// one or several can be chosen.

#include "core/UserInterface.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvo {

class AppState;

class ScaleSelectDialog : public QDialog {
    Q_OBJECT
public:
    ScaleSelectDialog(AppState &state, int deptId, bool multiSelect, QWidget *parent = nullptr);

    // After exec(): cancelled until OK with a choice.
    ScaleChoice choice() const { return m_choice; }

    QLabel *lblScales = nullptr;
    QListWidget *lstScales = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    ScaleChoice m_choice;
};

} // namespace korvo
