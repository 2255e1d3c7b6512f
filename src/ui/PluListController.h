#pragma once
// Drives the main PLU list wndPLU from the page bar fraPage, the query box
// fraQuery, the list header and the store tree, through PluBrowser. The
// main window forwards its node selection and refresh to it.

#include "manage/PluBrowser.h"

#include <QObject>
#include <QPointer>

class QLineEdit;
class QTreeWidgetItem;

namespace korvo {

class AppState;
class PagePane;
class PluListWidget;
class QueryPane;
class StoreTreePane;

class PluListController : public QObject {
    Q_OBJECT
public:
    PluListController(AppState &state, PluListWidget *list, PagePane *pagePane,
                      QueryPane *queryPane, StoreTreePane *tree, QObject *parent = nullptr);

    // ShowNodePLUs for a tree node (nullptr: nothing new, page bar only).
    void showNode(QTreeWidgetItem *node);
    // The remembered query again on the current page, page bar updated.
    void reload();
    // One of the four searches with the box's text, limited to the tree's
    // selected node.
    void search(PluSearchKind kind);
    // The row event: the first selected row's PLU_No becomes the first hit.
    void pickRow();

    PluBrowser &browser() { return m_browser; }
    static PluNode nodeOf(const QTreeWidgetItem *node);

signals:
    // A page was put into the list (the selection is gone with the rows).
    void pageShown();
    // A search ran; the editor follows result (hit: load result.firstHit).
    void searched(const korvo::PluSearchResult &result);
    // A row was picked; its PLU_No is not 0.
    void rowPicked(qint32 pluNo);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPageBar();
    void pageCommand(bool (PluBrowser::*command)());
    void applyPageBox();
    void showSortIndicators();
    void selectRowOf(qint32 pluNo);

    AppState &m_state;
    // Guarded: the window's widgets go before this object does.
    QPointer<PluListWidget> m_list;
    QPointer<PagePane> m_page;
    QueryPane *m_query;
    StoreTreePane *m_tree;
    PluBrowser m_browser;
    QList<QLineEdit *> m_searchBoxes;
};

} // namespace korvo
