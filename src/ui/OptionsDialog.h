#pragma once
// frmOption: the program's options. Shows the current settings, and on OK
// puts the entries into force at once, writes them to the settings file and
// re-encodes every PLU's scale record when a value the records were built
// with changed. Modal; read cancelled() after it closed.

#include "manage/Options.h"
#include "core/Settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvo {

class AppState;

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(AppState &state, QWidget *parent = nullptr);

    // True until OK completed.
    bool cancelled() const { return m_cancelled; }
    // OK re-encoded the records of all PLUs.
    bool reencoded() const { return m_reencoded; }

    // The entries as they stand.
    OptionsInput input() const;

    QGroupBox *fraGeneral = nullptr;
    QCheckBox *chkUseMainGroup = nullptr;
    QLabel *lblDefaultFontSize = nullptr;
    QComboBox *cboDefaultFontSize = nullptr;
    QLabel *lblZentDoLog = nullptr;
    QComboBox *cboZentDoLog = nullptr;
    QLabel *lblPLUPageSize = nullptr;
    QLineEdit *txtPLUPageSize = nullptr;
    QLabel *lblPriceDecimalPlace = nullptr;
    QLineEdit *txtPriceDecimalPlace = nullptr;
    QLabel *lblWeightDecimalPlace = nullptr;
    QLineEdit *txtWeightDecimalPlace = nullptr;
    QGroupBox *fraCodepage = nullptr;
    QRadioButton *optDependOnSysCode = nullptr;
    QRadioButton *optConvertCodepage = nullptr;
    QComboBox *combCodepageSelect = nullptr;
    QGroupBox *fraImportType = nullptr;
    QRadioButton *optDelAllUpdate = nullptr;
    QRadioButton *optUpdateNoExist = nullptr;
    QRadioButton *optUpdateAll = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void showCurrentValues();
    void ok();

    AppState &m_state;
    bool m_cancelled = true;
    bool m_reencoded = false;
    bool m_busy = false;
};

} // namespace korvo
