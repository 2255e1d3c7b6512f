#pragma once
// The page state of the main PLU list and the rules that drive it: which
// rows a tree node stands for, the page commands, the four searches and
// the sort order. No widgets: the main window and korvoctl both run the
// list through this class against their own PluListView.

#include "core/PluPage.h"

#include <QString>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;
class PluFieldTable;

// Kinds as the tree's image indices.
enum class PluNodeKind { None = 0, Store = 1, Department = 2, MainGroup = 3 };

struct PluNode {
    PluNodeKind kind = PluNodeKind::None;
    QString number; // the node's tag: DP_No of a department, MG_No of a main group
};

enum class PluSearchKind { PluNo, ItemCode, EanData, Name };

// A search condition before it is limited to a node.
struct SearchCondition {
    QString where;
    // Item code: the value is not 0; EAN data: the pattern has 12 places.
    // A hit that fails this lists its rows but leaves the editor cleared.
    bool loadsHit = true;
};

// What became of a search, and what the editor has to do about it.
struct PluSearchResult {
    bool ran = false;    // false: empty box, PLU number 0 or no node; nothing changed
    bool failed = false; // the database failed (already reported)
    bool hit = false;    // load firstHit into the editor, enabled, state "EDIT"
    qint32 firstHit = 0;
    // Without a hit: clear the editor, disable it, then this state
    // ("NEW" leaves it ready for a new PLU, "SAVE" only the New button).
    // With a hit: "EDIT". Empty when nothing ran.
    QString editorState;
};

class PluBrowser {
public:
    PluBrowser(AppState &state, PluListView &view);

    // The page state; see the page bar rules.
    qint32 currentPage = 1;
    qint32 pageCount = 1;
    qint32 firstHit = 0;         // PLU_No of the first row of the last search, 0 none
    qint32 currentMainGroup = 0; // MG_No of the last main-group node shown

    // WHERE text for every PLU under a node ("" for the store and unknown kinds).
    static QString nodeCondition(const PluNode &node);
    // Condition C of a search; nullopt when the search does nothing.
    static std::optional<SearchCondition> searchCondition(PluSearchKind kind, const QString &text);
    // C limited to the node's PLUs.
    static QString limitToNode(const QString &condition, const PluNode &node);
    // The EAN data pattern: a number padded to 11 places, longer numbers kept
    // whole, any other text as typed.
    static QString eanPattern(const QString &text);
    // The page box's text as a page: its numeric prefix, 0 without one,
    // clamped to 32 bits.
    static qint32 pageBoxValue(const QString &text);

    // ShowNodePLUs: the current page of the node's PLUs becomes the
    // remembered query. A node of no known kind runs nothing. False after a
    // reported database error.
    bool showNode(const PluNode &node);

    // The page commands re-run the remembered query.
    bool firstPage();
    bool lastPage();
    bool nextPage();
    bool previousPage();
    bool pageBox(const QString &text);
    // The remembered query again on the current page (RefreshPLUList).
    bool redo();

    // One of the four searches, limited to node.
    PluSearchResult search(PluSearchKind kind, const QString &text, const PluNode &node);

    bool previousEnabled() const { return currentPage >= 2; }
    bool nextEnabled() const { return currentPage < pageCount; }

    PluPageQuery &pageQuery() { return m_query; }
    const PluPageQuery &pageQuery() const { return m_query; }

    // Sort order after a left press on a column header: a plain press sorts
    // by that column alone, Ctrl adds it; a column already in the order is
    // not added twice. *changed tells whether the order differs now.
    static QVector<SortColumn> sortAfterHeaderPress(const QVector<SortColumn> &sort, int column,
                                                    bool ctrl, bool *changed = nullptr);
    // "NAME[:desc],NAME[:asc],..." by field name (any case). nullopt and
    // *bad = the offending item when a name is no PLU field or a direction
    // is neither asc nor desc.
    static std::optional<QVector<SortColumn>> parseSortList(const PluFieldTable &fields,
                                                            const QString &text,
                                                            QString *bad = nullptr);

private:
    bool runPage(QString condition, bool wantFirst, qint32 *first = nullptr);
    bool runRedo(qint32 page);
    void clampCurrentPage();

    AppState &m_state;
    PluListView &m_view;
    PluPageQuery m_query;
};

} // namespace korvo
