#pragma once
// The common body of the store, department and main-group property
// dialogs: number (not for the store), name, the two flag codes, barcode
// flag, barcode format and label format. The logic is PropertyDialogModel;
// this class shows it and hands the operator's values over on OK.
//
// Use: set addMode / parentNumber / number, exec(); afterwards cancelled()
// and number() tell the outcome.

#include "manage/StoreHierarchy.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class AppState;

class PropertyDialog : public QDialog {
    Q_OBJECT
public:
    PropertyDialog(AppState &state, PropertyTarget target, QWidget *parent = nullptr);

    // Interface members, set before the dialog is shown.
    void setAddMode(bool add) { m_model.addMode = add; }
    // ST_No of a new department / DP_No of a new main group.
    void setParentNumber(qint32 no) { m_model.parentNo = no; }
    void setNumber(qint32 no) { m_model.number = no; }

    // Read after it closed.
    qint32 number() const { return m_model.number; }
    bool cancelled() const { return m_model.cancelled; }

    const PropertyDialogModel &model() const { return m_model; }

    // Controls, named as their language keys.
    QLabel *lblNo = nullptr;     // lblDeptNo / lblMGNo (none for the store)
    QLineEdit *txtNo = nullptr;  // txtDeptNo / txtMGNo
    QLabel *lblName = nullptr;   // lblDeptName / lblMGName / lblStoreName
    QLineEdit *txtName = nullptr; // txtDeptName / txtMGName / txtStoreName
    QGroupBox *fraBarcode = nullptr;
    QLabel *lblBarcodeFormat = nullptr;
    QComboBox *cboBarcodeFormat = nullptr;
    QLabel *lblFlag = nullptr;
    QLabel *lblFlag1 = nullptr;
    QLineEdit *txtFlag1 = nullptr;
    QLabel *lblFlag2 = nullptr;
    QLineEdit *txtFlag2 = nullptr;
    QLabel *lblBarcodeFlag = nullptr;
    QComboBox *cboBarcodeFlag = nullptr;
    QLabel *lblLabelFormat = nullptr;
    QComboBox *cboLabelFormat = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadForm();
    void applyBarcodeFormat();
    void onOk();
    PropertyValues gather() const;

    AppState &m_state;
    PropertyDialogModel m_model;
    bool m_loaded = false;
};

} // namespace korvo
