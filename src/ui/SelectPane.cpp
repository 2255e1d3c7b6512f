#include "ui/SelectPane.h"

#include "core/PluFields.h"
#include "ui/Named.h"
#include "ui/PluListWidget.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QSet>

namespace korvo {

SelectPane::SelectPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picFrameSelect"));
    wndSelectedPLU = Named<PluListWidget>(this, "wndSelectedPLU");
    auto make = [this](const char *name) { return Named<QPushButton>(this, name); };
    cmdSelectAdd = make("cmdSelectAdd");
    cmdSelectRemove = make("cmdSelectRemove");
    cmdSelectRemoveAll = make("cmdSelectRemoveAll");
    cmdSelectSendByDept = make("cmdSelectSendByDept");
    cmdSelectSendByScale = make("cmdSelectSendByScale");
    cmdSelectDelByScale = make("cmdSelectDelByScale");
    connect(cmdSelectRemove, &QPushButton::clicked, this, &SelectPane::removeSelected);
    connect(cmdSelectRemoveAll, &QPushButton::clicked, this, &SelectPane::removeAll);
    // Somewhere sensible until the pane first has its size. A pane lower than
    // the rule's limit would keep its buttons out of sight, so the dock never
    // makes it that low.
    setMinimumHeight(kMinHeight);
    arrange(600, 260);
}

void SelectPane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size().width() >= kMinWidth && event->size().height() >= kMinHeight)
        arrange(event->size().width(), event->size().height());
}

void SelectPane::arrange(int width, int height)
{
    int buttonHeight = 0;
    for (QPushButton *b : {cmdSelectAdd, cmdSelectRemove, cmdSelectRemoveAll, cmdSelectSendByScale,
                           cmdSelectSendByDept, cmdSelectDelByScale})
        buttonHeight = qMax(buttonHeight, b->sizeHint().height());
    const int top = height - kGap / 2 - buttonHeight;
    wndSelectedPLU->setGeometry(0, 0, width, qMax(0, top - kGap / 2));
    int x = 0;
    for (QPushButton *b : {cmdSelectAdd, cmdSelectRemove, cmdSelectRemoveAll}) {
        b->setGeometry(x, top, b->sizeHint().width(), buttonHeight);
        x += b->width() + kGap;
    }
    x = width;
    for (QPushButton *b : {cmdSelectDelByScale, cmdSelectSendByDept, cmdSelectSendByScale}) {
        x -= b->sizeHint().width();
        b->setGeometry(x, top, b->sizeHint().width(), buttonHeight);
        x -= kGap;
    }
}

void SelectPane::addRows(const QVector<QStringList> &rows)
{
    QSet<QString> listed;
    for (int r = 0; r < wndSelectedPLU->rowCount(); ++r)
        listed.insert(wndSelectedPLU->rowCells(r).value(0));
    for (const QStringList &cells : rows) {
        const QString no = cells.value(0);
        if (!ParsePluNo(no) || listed.contains(no))
            continue;
        listed.insert(no);
        wndSelectedPLU->addRow(cells, -1);
    }
    wndSelectedPLU->repaintList();
    wndSelectedPLU->setFocus();
    if (wndSelectedPLU->rowCount() > 0)
        wndSelectedPLU->scrollToItem(wndSelectedPLU->item(wndSelectedPLU->rowCount() - 1, 0));
}

void SelectPane::removeSelected()
{
    const QVector<int> rows = wndSelectedPLU->selectedRowNumbers();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        wndSelectedPLU->removeRow(*it);
    wndSelectedPLU->repaintList();
}

void SelectPane::removeAll()
{
    wndSelectedPLU->clearRows();
    wndSelectedPLU->repaintList();
}

QVector<qint32> SelectPane::pluNumbers() const
{
    QVector<qint32> out;
    for (int r = 0; r < wndSelectedPLU->rowCount(); ++r)
        if (const std::optional<qint32> no = ParsePluNo(wndSelectedPLU->rowCells(r).value(0)))
            out << *no;
    return out;
}

} // namespace korvo
