#pragma once
// frmStoreProperty: the store property dialog.

#include "ui/PropertyDialog.h"

namespace korvo {

class StorePropertyDialog : public PropertyDialog {
public:
    explicit StorePropertyDialog(AppState &state, QWidget *parent = nullptr)
        : PropertyDialog(state, PropertyTarget::Store, parent)
    {
    }
};

} // namespace korvo
