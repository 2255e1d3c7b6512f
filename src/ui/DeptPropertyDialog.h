#pragma once
// frmDeptProperty: the department property dialog.

#include "ui/PropertyDialog.h"

namespace korvo {

class DeptPropertyDialog : public PropertyDialog {
public:
    explicit DeptPropertyDialog(AppState &state, QWidget *parent = nullptr)
        : PropertyDialog(state, PropertyTarget::Department, parent)
    {
    }
};

} // namespace korvo
