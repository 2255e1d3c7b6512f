#include "ui/OptionsDialog.h"
#include "ui/DialogButtons.h"
#include "ui/Named.h"

#include "core/AppState.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"
#include "ui/FormTexts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmOption");

} // namespace

OptionsDialog::OptionsDialog(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(kOwner);
    setModal(true);
    buildControls();
    SetFormLangString(state, this);

    cboDefaultFontSize->addItems(FontComboItems(state.fonts));
    cboZentDoLog->addItems({QStringLiteral("TRUE"), QStringLiteral("FALSE")});
    combCodepageSelect->addItems(
        SplitItemList(GetLangString(state, kOwner, QStringLiteral("combCodepageSelect"))));
    showCurrentValues();

    connect(optConvertCodepage, &QRadioButton::toggled, combCodepageSelect, &QWidget::setEnabled);
    connect(cmdOK, &QPushButton::clicked, this, &OptionsDialog::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &OptionsDialog::reject);
}

void OptionsDialog::buildControls()
{
    fraGeneral = Named<QGroupBox>(this, "fraGeneral");
    chkUseMainGroup = Named<QCheckBox>(fraGeneral, "chkUseMainGroup");
    lblDefaultFontSize = Named<QLabel>(fraGeneral, "lblDefaultFontSize");
    cboDefaultFontSize = Named<QComboBox>(fraGeneral, "cboDefaultFontSize");
    lblZentDoLog = Named<QLabel>(fraGeneral, "lblZentDoLog");
    cboZentDoLog = Named<QComboBox>(fraGeneral, "cboZentDoLog");
    lblPLUPageSize = Named<QLabel>(fraGeneral, "lblPLUPageSize");
    txtPLUPageSize = Named<QLineEdit>(fraGeneral, "txtPLUPageSize");
    lblPriceDecimalPlace = Named<QLabel>(fraGeneral, "lblPriceDecimalPlace");
    txtPriceDecimalPlace = Named<QLineEdit>(fraGeneral, "txtPriceDecimalPlace");
    lblWeightDecimalPlace = Named<QLabel>(fraGeneral, "lblWeightDecimalPlace");
    txtWeightDecimalPlace = Named<QLineEdit>(fraGeneral, "txtWeightDecimalPlace");
    auto *general = new QGridLayout(fraGeneral);
    general->addWidget(chkUseMainGroup, 0, 0, 1, 2);
    const std::pair<QLabel *, QWidget *> rows[] = {
        {lblDefaultFontSize, cboDefaultFontSize}, {lblZentDoLog, cboZentDoLog},
        {lblPLUPageSize, txtPLUPageSize},         {lblPriceDecimalPlace, txtPriceDecimalPlace},
        {lblWeightDecimalPlace, txtWeightDecimalPlace},
    };
    int row = 1;
    for (const auto &[label, field] : rows) {
        label->setBuddy(field);
        general->addWidget(label, row, 0);
        general->addWidget(field, row, 1);
        ++row;
    }
    general->setColumnStretch(1, 1);

    fraCodepage = Named<QGroupBox>(this, "fraCodepage");
    optDependOnSysCode = Named<QRadioButton>(fraCodepage, "optDependOnSysCode");
    optConvertCodepage = Named<QRadioButton>(fraCodepage, "optConvertCodepage");
    combCodepageSelect = Named<QComboBox>(fraCodepage, "combCodepageSelect");
    auto *codepage = new QGridLayout(fraCodepage);
    codepage->addWidget(optDependOnSysCode, 0, 0, 1, 2);
    codepage->addWidget(optConvertCodepage, 1, 0);
    codepage->addWidget(combCodepageSelect, 1, 1);
    codepage->setColumnStretch(1, 1);

    fraImportType = Named<QGroupBox>(this, "fraImportType");
    optDelAllUpdate = Named<QRadioButton>(fraImportType, "optDelAllUpdate");
    optUpdateNoExist = Named<QRadioButton>(fraImportType, "optUpdateNoExist");
    optUpdateAll = Named<QRadioButton>(fraImportType, "optUpdateAll");
    auto *importType = new QVBoxLayout(fraImportType);
    importType->addWidget(optDelAllUpdate);
    importType->addWidget(optUpdateNoExist);
    importType->addWidget(optUpdateAll);

    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);

    auto *main = new QVBoxLayout(this);
    main->addWidget(fraGeneral);
    main->addWidget(fraCodepage);
    main->addWidget(fraImportType);
    main->addLayout(buttons);
}

void OptionsDialog::showCurrentValues()
{
    const Settings &s = m_state.settings;
    chkUseMainGroup->setChecked(s.UseMainGroup);

    auto items = [](const QComboBox *combo) {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    };
    cboDefaultFontSize->setCurrentIndex(ItemIndexByValue(items(cboDefaultFontSize), s.DefaultFont));
    cboZentDoLog->setCurrentIndex(BoolItemIndex(items(cboZentDoLog), s.DoLog));
    const bool convert = s.SetLanguageCodepage != 0;
    optConvertCodepage->setChecked(convert);
    optDependOnSysCode->setChecked(!convert);
    combCodepageSelect->setCurrentIndex(ItemIndexByValue(items(combCodepageSelect), s.LangeCodepageToConvert));
    combCodepageSelect->setEnabled(convert);

    txtPLUPageSize->setText(QString::number(s.PLUPageSize));
    txtPriceDecimalPlace->setText(QString::number(s.PriceDecimalPlace));
    txtWeightDecimalPlace->setText(QString::number(s.WeightDecimalPlace));

    QRadioButton *const importOptions[] = {optDelAllUpdate, optUpdateNoExist, optUpdateAll};
    importOptions[ImportTypeOption(s.SetImportType)]->setChecked(true);
}

OptionsInput OptionsDialog::input() const
{
    OptionsInput in;
    in.useMainGroup = chkUseMainGroup->isChecked();
    in.pageSizeText = txtPLUPageSize->text();
    in.priceDecimalText = txtPriceDecimalPlace->text();
    in.weightDecimalText = txtWeightDecimalPlace->text();
    in.fontText = cboDefaultFontSize->currentText();
    in.doLogText = cboZentDoLog->currentText();
    in.dependOnSysCode = optDependOnSysCode->isChecked();
    in.codepageIndex = combCodepageSelect->currentIndex();
    in.importType = optUpdateNoExist->isChecked() ? 1 : optUpdateAll->isChecked() ? 2 : 0;
    return in;
}

void OptionsDialog::ok()
{
    if (m_busy)
        return;
    // The run shows its progress and lets events through; meanwhile a
    // second OK, Cancel or close is ignored (m_busy).
    m_busy = true;
    const OptionsOutcome outcome = AcceptOptions(m_state, input());
    m_busy = false;
    m_reencoded = outcome.reencoded;
    switch (outcome.status) {
    case OptionsOutcome::Saved:
        m_cancelled = false;
        accept();
        return;
    case OptionsOutcome::Invalid: {
        QLineEdit *field = outcome.problem.field == OptionsField::PageSize ? txtPLUPageSize
            : outcome.problem.field == OptionsField::PriceDecimals         ? txtPriceDecimalPlace
                                                                           : txtWeightDecimalPlace;
        if (m_state.ui)
            m_state.ui->message(GetLangString(m_state, kOwner, outcome.problem.key), AppState::appTitle(),
                                MsgIcon::Critical);
        field->setFocus();
        field->selectAll();
        return;
    }
    case OptionsOutcome::Failed:
        // The run's summary said why; the entries stay for another try.
        if (m_state.ui)
            m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgOptionsNotSaved")),
                                AppState::appTitle(), MsgIcon::Critical);
        return;
    }
}

void OptionsDialog::reject()
{
    if (m_busy)
        return;
    QDialog::reject();
}

void OptionsDialog::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace korvo
