#include "ui/PropertyDialog.h"
#include "ui/DialogButtons.h"

#include "core/AppState.h"
#include "ui/FormTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvo {

namespace {

QLabel *label(QWidget *parent, const QString &name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

QLineEdit *textBox(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QComboBox *list(QWidget *parent, const QString &name)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(28);
    return c;
}

} // namespace

PropertyDialog::PropertyDialog(AppState &state, PropertyTarget target, QWidget *parent)
    : QDialog(parent), m_state(state), m_model(state, target)
{
    setObjectName(m_model.owner());
    setModal(true);

    QString prefix;
    switch (target) {
    case PropertyTarget::Store: prefix = QStringLiteral("Store"); break;
    case PropertyTarget::Department: prefix = QStringLiteral("Dept"); break;
    case PropertyTarget::MainGroup: prefix = QStringLiteral("MG"); break;
    }

    // Creation order is the tab order and the order of the language pass.
    auto *top = new QGridLayout;
    int row = 0;
    if (target != PropertyTarget::Store) {
        lblNo = label(this, QStringLiteral("lbl") + prefix + QStringLiteral("No"));
        txtNo = textBox(this, QStringLiteral("txt") + prefix + QStringLiteral("No"));
        top->addWidget(lblNo, row, 0);
        top->addWidget(txtNo, row++, 1);
    }
    lblName = label(this, QStringLiteral("lbl") + prefix + QStringLiteral("Name"));
    txtName = textBox(this, QStringLiteral("txt") + prefix + QStringLiteral("Name"));
    top->addWidget(lblName, row, 0);
    top->addWidget(txtName, row++, 1);

    fraBarcode = new QGroupBox(this);
    fraBarcode->setObjectName(QStringLiteral("fraBarcode"));
    auto *grid = new QGridLayout(fraBarcode);
    lblBarcodeFormat = label(fraBarcode, QStringLiteral("lblBarcodeFormat"));
    cboBarcodeFormat = list(fraBarcode, QStringLiteral("cboBarcodeFormat"));
    lblFlag = label(fraBarcode, QStringLiteral("lblFlag"));
    lblFlag1 = label(fraBarcode, QStringLiteral("lblFlag1"));
    txtFlag1 = textBox(fraBarcode, QStringLiteral("txtFlag1"));
    lblFlag2 = label(fraBarcode, QStringLiteral("lblFlag2"));
    txtFlag2 = textBox(fraBarcode, QStringLiteral("txtFlag2"));
    lblBarcodeFlag = label(fraBarcode, QStringLiteral("lblBarcodeFlag"));
    cboBarcodeFlag = list(fraBarcode, QStringLiteral("cboBarcodeFlag"));
    lblLabelFormat = label(fraBarcode, QStringLiteral("lblLabelFormat"));
    cboLabelFormat = list(fraBarcode, QStringLiteral("cboLabelFormat"));
    for (QLineEdit *flag : {txtFlag1, txtFlag2})
        flag->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 6 + 12);

    auto *flags = new QHBoxLayout;
    flags->addWidget(lblFlag1);
    flags->addWidget(txtFlag1);
    flags->addSpacing(12);
    flags->addWidget(lblFlag2);
    flags->addWidget(txtFlag2);
    flags->addStretch(1);
    grid->addWidget(lblBarcodeFormat, 0, 0);
    grid->addWidget(cboBarcodeFormat, 0, 1);
    grid->addWidget(lblFlag, 1, 0);
    grid->addLayout(flags, 1, 1);
    grid->addWidget(lblBarcodeFlag, 2, 0);
    grid->addWidget(cboBarcodeFlag, 2, 1);
    grid->addWidget(lblLabelFormat, 3, 0);
    grid->addWidget(cboLabelFormat, 3, 1);

    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(fraBarcode);
    outer->addLayout(buttons);

    connect(cboBarcodeFormat, &QComboBox::currentIndexChanged, this, &PropertyDialog::applyBarcodeFormat);
    connect(cmdOK, &QPushButton::clicked, this, &PropertyDialog::onOk);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PropertyDialog::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        loadForm();
    }
    QDialog::showEvent(event);
}

void PropertyDialog::loadForm()
{
    SetFormLangString(m_state, this);
    m_model.load();
    const PropertyValues &v = m_model.values;

    QSignalBlocker block(cboBarcodeFormat);
    cboBarcodeFlag->clear();
    cboBarcodeFlag->addItems(m_model.barcodeFlagItems());
    cboBarcodeFormat->clear();
    cboBarcodeFormat->addItems(m_model.barcodeFormatItems());
    cboLabelFormat->clear();
    cboLabelFormat->addItems(m_model.labelFormatItems());

    if (txtNo) {
        txtNo->setText(v.number);
        txtNo->setEnabled(m_model.numberEnabled);
    }
    txtName->setText(v.name);
    txtFlag1->setText(v.flag1);
    txtFlag2->setText(v.flag2);
    cboBarcodeFlag->setCurrentIndex(v.barcodeFlag);
    cboBarcodeFormat->setCurrentIndex(v.barcodeFormat);
    cboLabelFormat->setCurrentIndex(v.labelFormat);
    applyBarcodeFormat();
    (txtNo && txtNo->isEnabled() ? txtNo : txtName)->setFocus();
}

void PropertyDialog::applyBarcodeFormat()
{
    const FlagVisibility v = m_model.flagVisibility(cboBarcodeFormat->currentIndex());
    lblFlag->setVisible(v.flagLabel);
    lblFlag1->setVisible(v.flag1);
    txtFlag1->setVisible(v.flag1);
    lblFlag2->setVisible(v.flag2);
    txtFlag2->setVisible(v.flag2);
    lblBarcodeFlag->setVisible(v.barcodeFlag);
    cboBarcodeFlag->setVisible(v.barcodeFlag);
}

PropertyValues PropertyDialog::gather() const
{
    PropertyValues v;
    v.number = txtNo ? txtNo->text() : QString();
    v.name = txtName->text();
    v.flag1 = txtFlag1->text();
    v.flag2 = txtFlag2->text();
    v.barcodeFlag = cboBarcodeFlag->currentIndex();
    v.barcodeFormat = cboBarcodeFormat->currentIndex();
    v.labelFormat = cboLabelFormat->currentIndex();
    return v;
}

void PropertyDialog::onOk()
{
    const PropertyOutcome o = m_model.accept(gather());
    switch (o.status) {
    case PropertyOutcome::Saved:
        accept();
        return;
    case PropertyOutcome::Failed:
        return; // reported; the typed values stay for another try
    case PropertyOutcome::Invalid:
        break;
    }
    QLineEdit *box = nullptr;
    switch (o.field) {
    case PropertyField::Number: box = txtNo; break;
    case PropertyField::Name: box = txtName; break;
    case PropertyField::Flag1: box = txtFlag1; break;
    case PropertyField::Flag2: box = txtFlag2; break;
    default: break;
    }
    if (box) {
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
    }
}

} // namespace korvo
