#include "ui/ScaleSelectDialog.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "ui/DialogButtons.h"
#include "ui/FormTexts.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace korvo {

ScaleSelectDialog::ScaleSelectDialog(AppState &state, int deptId, bool multiSelect, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmScaleSelect"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblScales = new QLabel(this);
    lblScales->setObjectName(QStringLiteral("lblScales"));
    lstScales = new QListWidget(this);
    lstScales->setObjectName(QStringLiteral("lstScales"));
    lstScales->setSelectionMode(multiSelect ? QAbstractItemView::MultiSelection
                                            : QAbstractItemView::SingleSelection);
    lblScales->setBuddy(lstScales);
    auto *box = new QVBoxLayout(this);
    box->addWidget(lblScales);
    box->addWidget(lstScales, 1);
    box->addLayout(OkCancelRow(this, cmdOK, cmdCancel));
    SetFormLangString(state, this);

    const QString sql = deptId < 0
        ? QStringLiteral("select SC_IP, SC_Dest from SCALE order by SC_IP")
        : QStringLiteral("select SC_IP, SC_Dest from SCALE where SECT_No in (select SECT_No from "
                         "DEPT_SECT where DEPT_No=%1) order by SC_IP")
              .arg(deptId);
    auto q = QueryKorvoDB(state, sql);
    while (q && q->next()) {
        const QString address = q->value(0).toString();
        auto *item = new QListWidgetItem(address + QStringLiteral("    ") + q->value(1).toString(), lstScales);
        item->setData(Qt::UserRole, address);
    }
    if (!multiSelect && lstScales->count() > 0)
        lstScales->setCurrentRow(0);

    connect(lstScales, &QListWidget::itemDoubleClicked, this, [this, multiSelect] {
        if (!multiSelect)
            cmdOK->click();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        ScaleChoice c;
        for (int i = 0; i < lstScales->count(); ++i) {
            if (lstScales->item(i)->isSelected())
                c.addresses << lstScales->item(i)->data(Qt::UserRole).toString();
        }
        c.cancelled = false;
        m_choice = c;
        accept();
    });
}

} // namespace korvo
