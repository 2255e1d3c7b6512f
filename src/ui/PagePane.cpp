#include "ui/PagePane.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvo {

namespace {

QPushButton *NamedButton(QWidget *parent, const char *name)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

PagePane::PagePane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fraPage"));
    cmdFirstPage = NamedButton(this, "cmdFirstPage");
    cmdPrevious = NamedButton(this, "cmdPrevious");
    txtPageNo = new QLineEdit(this);
    txtPageNo->setObjectName(QStringLiteral("txtPageNo"));
    txtPageCount = new QLineEdit(this);
    txtPageCount->setObjectName(QStringLiteral("txtPageCount"));
    txtPageCount->setReadOnly(true);
    txtPageCount->setFocusPolicy(Qt::NoFocus);
    cmdNext = NamedButton(this, "cmdNext");
    cmdLastPage = NamedButton(this, "cmdLastPage");

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(cmdFirstPage, 0, 0, 1, 2);
    grid->addWidget(cmdLastPage, 0, 2, 1, 2);
    grid->addWidget(cmdPrevious, 1, 0, 1, 2);
    grid->addWidget(cmdNext, 1, 2, 1, 2);
    // "Page [n] of [m]"
    auto *pageRow = new QHBoxLayout;
    lblPageNo = new QLabel(this);
    lblPageNo->setObjectName(QStringLiteral("lblPageNo"));
    lblPageNo->setBuddy(txtPageNo);
    lblPageCount = new QLabel(this);
    lblPageCount->setObjectName(QStringLiteral("lblPageCount"));
    txtPageNo->setMaximumWidth(70);
    txtPageCount->setMaximumWidth(70);
    pageRow->addWidget(lblPageNo);
    pageRow->addWidget(txtPageNo);
    pageRow->addWidget(lblPageCount);
    pageRow->addWidget(txtPageCount);
    pageRow->addStretch(1);
    grid->addLayout(pageRow, 2, 0, 1, 4);
    grid->setRowStretch(3, 1);
    showPage(1, 1);
}

void PagePane::showPage(qint32 page, qint32 pageCount)
{
    txtPageNo->setText(QString::number(page));
    txtPageCount->setText(QString::number(pageCount));
    cmdPrevious->setEnabled(page >= 2);
    cmdNext->setEnabled(page < pageCount);
}

} // namespace korvo
