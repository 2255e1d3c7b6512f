#include "ui/QueryPane.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvo {

QueryPane::QueryPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fraQuery"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    int row = 0;
    auto addRow = [&](QLabel *&label, const char *labelName, QLineEdit *&box, const char *boxName,
                      QPushButton *&button, const char *buttonName) {
        label = new QLabel(this);
        label->setObjectName(QLatin1String(labelName));
        box = new QLineEdit(this);
        box->setObjectName(QLatin1String(boxName));
        // Room for a 13-digit EAN whatever the pane's width.
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
        label->setBuddy(box);
        button = new QPushButton(this);
        button->setObjectName(QLatin1String(buttonName));
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(button, row, 2);
        ++row;
    };
    addRow(lblQueryByPLUNo, "lblQueryByPLUNo", txtQueryByPLUNo, "txtQueryByPLUNo", cmdQuerybyPLUNo,
           "cmdQuerybyPLUNo");
    addRow(lblQueryByItemCode, "lblQueryByItemCode", txtQueryByItemCode, "txtQueryByItemCode",
           cmdQueryByItemCode, "cmdQueryByItemCode");
    addRow(lblQueryByEANData, "lblQueryByEANData", txtQueryByEANData, "txtQueryByEANData",
           cmdQueryByEANData, "cmdQueryByEANData");
    addRow(lblQueryByPLUName, "lblQueryByPLUName", txtQueryByPLUName, "txtQueryByPLUName",
           cmdQueryByName, "cmdQueryByName");
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
}

} // namespace korvo
