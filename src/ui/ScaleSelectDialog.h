#pragma once
// frmScaleSelect: the scale selection. The caller sets m_iDeptID (-1: every
// scale of the store; else the scales of the sections that serve that
// department) and m_bMultiSelect, calls Show() and reads m_bCancel and
// m_strScales (the chosen addresses joined by ";"). Each scale shows its
// address, description, section and whether it is in use; a scale the shop
// took out of use is listed but cannot be chosen.

#include "core/UserInterface.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace korvo {

class AppState;

class ScaleSelectDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScaleSelectDialog(AppState &state, QWidget *parent = nullptr);
    ScaleSelectDialog(AppState &state, int deptId, bool multiSelect, QWidget *parent = nullptr);

    int m_iDeptID = -1;
    bool m_bMultiSelect = false;
    // Fills the list and runs the dialog modally.
    void Show();
    bool m_bCancel = true;  // true until OK succeeds
    QString m_strScales;

    ScaleChoice choice() const;

    enum Column { ColAddress, ColDescription, ColSection, ColUsed, ColumnCount };
    QLabel *lblScales = nullptr;
    QTreeWidget *lstScales = nullptr;
    QPushButton *cmdSelectAll = nullptr;
    QPushButton *cmdSelectNone = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Fills the list for m_iDeptID and m_bMultiSelect (Show does it too).
    void fill();

private:
    void ok();
    AppState &m_state;
};

} // namespace korvo
