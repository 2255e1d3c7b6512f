#pragma once
// frmMainGroupProperty: the main group property dialog.

#include "ui/PropertyDialog.h"

namespace korvo {

class MainGroupPropertyDialog : public PropertyDialog {
public:
    explicit MainGroupPropertyDialog(AppState &state, QWidget *parent = nullptr)
        : PropertyDialog(state, PropertyTarget::MainGroup, parent)
    {
    }
};

} // namespace korvo
