#include "ui/ScaleSelectDialog.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "i18n/Language.h"
#include "ui/DialogButtons.h"
#include "ui/FormTexts.h"
#include "ui/Named.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace korvo {

namespace {
const QString kOwner = QStringLiteral("frmScaleSelect");
}

ScaleSelectDialog::ScaleSelectDialog(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(kOwner);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblScales = Named<QLabel>(this, "lblScales");
    lstScales = Named<QTreeWidget>(this, "lstScales");
    lstScales->setRootIsDecorated(false);
    lstScales->setColumnCount(ColumnCount);
    lstScales->setHeaderLabels({GetLangString(state, kOwner, QStringLiteral("colAddress")),
                                GetLangString(state, kOwner, QStringLiteral("colDescription")),
                                GetLangString(state, kOwner, QStringLiteral("colSection")),
                                GetLangString(state, kOwner, QStringLiteral("colUsed"))});
    lstScales->header()->setSectionResizeMode(ColDescription, QHeaderView::Stretch);
    lstScales->header()->setStretchLastSection(false);
    lblScales->setBuddy(lstScales);
    cmdSelectAll = Named<QPushButton>(this, "cmdSelectAll");
    cmdSelectNone = Named<QPushButton>(this, "cmdSelectNone");

    auto *box = new QVBoxLayout(this);
    box->addWidget(lblScales);
    box->addWidget(lstScales, 1);
    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);
    buttons->insertWidget(0, cmdSelectAll);
    buttons->insertWidget(1, cmdSelectNone);
    box->addLayout(buttons);
    SetFormLangString(state, this);
    resize(560, 340);

    connect(lstScales, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (!m_bMultiSelect)
            ok();
    });
    connect(cmdSelectAll, &QPushButton::clicked, lstScales, &QTreeWidget::selectAll);
    connect(cmdSelectNone, &QPushButton::clicked, lstScales, &QTreeWidget::clearSelection);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdOK, &QPushButton::clicked, this, &ScaleSelectDialog::ok);
}

ScaleSelectDialog::ScaleSelectDialog(AppState &state, int deptId, bool multiSelect, QWidget *parent)
    : ScaleSelectDialog(state, parent)
{
    m_iDeptID = deptId;
    m_bMultiSelect = multiSelect;
}

void ScaleSelectDialog::fill()
{
    lstScales->clear();
    lstScales->setSelectionMode(m_bMultiSelect ? QAbstractItemView::MultiSelection
                                               : QAbstractItemView::SingleSelection);
    cmdSelectAll->setVisible(m_bMultiSelect);
    cmdSelectNone->setVisible(m_bMultiSelect);
    const QString select = QStringLiteral("select S.SC_IP, S.SC_Dest, S.SECT_No, T.SECT_Name, S.SC_Used from SCALE S "
                                          "left join SCALE_SECT T on T.SECT_No=S.SECT_No");
    const QString sql = m_iDeptID < 0
        ? select + QStringLiteral(" order by S.SC_IP")
        : select + QStringLiteral(" where S.SECT_No in (select SECT_No from DEPT_SECT where DEPT_No=%1) order by S.SC_IP")
              .arg(m_iDeptID);
    const QString usedText = GetLangString(m_state, kOwner, QStringLiteral("txtUsed"));
    const QString unusedText = GetLangString(m_state, kOwner, QStringLiteral("txtNotUsed"));
    auto q = QueryKorvoDB(m_state, sql);
    while (q && q->next()) {
        const bool used = q->value(4).toInt() != 0;
        const QString section = q->value(3).isNull() ? q->value(2).toString()
                                                     : q->value(2).toString() + QStringLiteral(": ") + q->value(3).toString();
        auto *item = new QTreeWidgetItem(lstScales, {q->value(0).toString(), q->value(1).toString(), section,
                                                     used ? usedText : unusedText});
        // The shop took it out of use: shown, never sent to.
        if (!used)
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    }
    for (int c = 0; c < ColumnCount; ++c)
        if (c != ColDescription)
            lstScales->resizeColumnToContents(c);
    if (!m_bMultiSelect) {
        for (int i = 0; i < lstScales->topLevelItemCount(); ++i) {
            if (lstScales->topLevelItem(i)->flags() & Qt::ItemIsSelectable) {
                lstScales->setCurrentItem(lstScales->topLevelItem(i));
                break;
            }
        }
    }
}

void ScaleSelectDialog::Show()
{
    m_bCancel = true;
    m_strScales.clear();
    fill();
    exec();
}

void ScaleSelectDialog::ok()
{
    QStringList chosen;
    for (int i = 0; i < lstScales->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = lstScales->topLevelItem(i);
        if (item->isSelected() && (item->flags() & Qt::ItemIsSelectable))
            chosen << item->text(ColAddress);
    }
    m_strScales = chosen.join(QLatin1Char(';'));
    m_bCancel = false;
    accept();
}

ScaleChoice ScaleSelectDialog::choice() const
{
    ScaleChoice c;
    c.cancelled = m_bCancel;
    if (!m_strScales.isEmpty())
        c.addresses = m_strScales.split(QLatin1Char(';'));
    return c;
}

} // namespace korvo
