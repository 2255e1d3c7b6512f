#include "ui/PluListController.h"

#include "core/AppState.h"
#include "core/Values.h"
#include "ui/PagePane.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"
#include "ui/StoreTreePane.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace korvo {

PluListController::PluListController(AppState &state, PluListWidget *list, PagePane *pagePane,
                                     QueryPane *queryPane, StoreTreePane *tree, QObject *parent)
    : QObject(parent), m_state(state), m_list(list), m_page(pagePane), m_query(queryPane),
      m_tree(tree), m_browser(state, *list)
{
    connect(m_page->cmdFirstPage, &QPushButton::clicked, this,
            [this] { pageCommand(&PluBrowser::firstPage); });
    connect(m_page->cmdLastPage, &QPushButton::clicked, this,
            [this] { pageCommand(&PluBrowser::lastPage); });
    connect(m_page->cmdNext, &QPushButton::clicked, this,
            [this] { pageCommand(&PluBrowser::nextPage); });
    connect(m_page->cmdPrevious, &QPushButton::clicked, this,
            [this] { pageCommand(&PluBrowser::previousPage); });
    connect(m_page->txtPageNo, &QLineEdit::returnPressed, this, &PluListController::applyPageBox);
    m_page->txtPageNo->installEventFilter(this);

    const struct {
        QLineEdit *box;
        QPushButton *button;
        PluSearchKind kind;
    } searches[] = {
        {m_query->txtQueryByPLUNo, m_query->cmdQuerybyPLUNo, PluSearchKind::PluNo},
        {m_query->txtQueryByItemCode, m_query->cmdQueryByItemCode, PluSearchKind::ItemCode},
        {m_query->txtQueryByEANData, m_query->cmdQueryByEANData, PluSearchKind::EanData},
        {m_query->txtQueryByPLUName, m_query->cmdQueryByName, PluSearchKind::Name},
    };
    for (const auto &s : searches) {
        const PluSearchKind kind = s.kind;
        connect(s.box, &QLineEdit::returnPressed, this, [this, kind] { search(kind); });
        connect(s.button, &QPushButton::clicked, this, [this, kind] { search(kind); });
        s.box->installEventFilter(this);
        m_searchBoxes << s.box;
    }

    connect(m_list, &PluListWidget::sortOrderChanged, this, &PluListController::showSortIndicators);
    connect(m_list, &QTableWidget::cellClicked, this, &PluListController::pickRow);
}

PluNode PluListController::nodeOf(const QTreeWidgetItem *node)
{
    PluNode n;
    switch (StoreTreePane::kindOf(node)) {
    case NodeKind::Store: n.kind = PluNodeKind::Store; break;
    case NodeKind::Department: n.kind = PluNodeKind::Department; break;
    case NodeKind::MainGroup: n.kind = PluNodeKind::MainGroup; break;
    case NodeKind::None: n.kind = PluNodeKind::None; break;
    }
    n.number = StoreTreePane::tagOf(node);
    return n;
}

void PluListController::showPageBar()
{
    m_page->showPage(m_browser.currentPage, m_browser.pageCount);
}

void PluListController::showNode(QTreeWidgetItem *node)
{
    m_browser.showNode(nodeOf(node));
    showPageBar();
    emit pageShown();
}

void PluListController::reload()
{
    m_browser.redo();
    showPageBar();
    emit pageShown();
}

void PluListController::pageCommand(bool (PluBrowser::*command)())
{
    (m_browser.*command)();
    showPageBar();
    emit pageShown();
}

void PluListController::applyPageBox()
{
    m_browser.pageBox(m_page->txtPageNo->text());
    showPageBar();
    emit pageShown();
}

void PluListController::search(PluSearchKind kind)
{
    QLineEdit *box = m_searchBoxes.value(int(kind));
    if (!box)
        return;
    const PluSearchResult r = m_browser.search(kind, box->text(), nodeOf(m_tree->selectedNode()));
    if (!r.ran)
        return;
    showPageBar();
    emit pageShown();
    if (r.hit)
        selectRowOf(r.firstHit);
    emit searched(r);
}

void PluListController::selectRowOf(qint32 pluNo)
{
    const QString key = QString::number(pluNo);
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const QTableWidgetItem *item = m_list->item(row, 0);
        if (item && item->text() == key) {
            m_list->clearSelection();
            m_list->selectRow(row);
            m_list->scrollToItem(item);
            return;
        }
    }
}

void PluListController::pickRow()
{
    const QVector<int> rows = m_list->selectedRowNumbers();
    if (rows.isEmpty())
        return;
    m_browser.firstHit = PrefixToInt32(m_list->rowCells(rows.first()).value(0));
    if (m_browser.firstHit != 0)
        emit rowPicked(m_browser.firstHit);
}

void PluListController::showSortIndicators()
{
    const QVector<SortColumn> sort = m_list->sortColumns();
    for (int c = 0; c < m_list->columnCount() && c < m_state.pluFields.size(); ++c) {
        QTableWidgetItem *header = m_list->horizontalHeaderItem(c);
        if (!header)
            continue;
        QString text = m_state.pluFields.at(c).Caption;
        for (qsizetype k = 0; k < sort.size(); ++k) {
            if (sort[k].column != c)
                continue;
            text += sort[k].ascending ? QStringLiteral(" \u25B2") : QStringLiteral(" \u25BC");
            if (sort.size() > 1)
                text += QString::number(k + 1);
        }
        header->setText(text);
    }
}

bool PluListController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // A search box gets the focus with its whole text selected; after
        // the click that focused it has placed the cursor.
        if (auto *box = qobject_cast<QLineEdit *>(watched); box && m_searchBoxes.contains(box))
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
    } else if (event->type() == QEvent::FocusOut && m_page && m_list
               && watched == m_page->txtPageNo) {
        // Leaving the box for another control applies it; the window losing
        // the focus (another program, a menu, closing) does not.
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason && m_state.dbOpen)
            applyPageBox();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace korvo
