#pragma once
// One page of PLU or RC_PLU rows into a list, fetched with LIMIT/OFFSET so
// the rows of other pages are never read.

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

struct SortColumn {
    int column = 0; // PLU field index
    bool ascending = true;
};

// What a list must offer to be filled with pages.
class PluListView {
public:
    virtual ~PluListView() = default;
    virtual QVector<SortColumn> sortColumns() const = 0;
    virtual void clearRows() = 0;
    // cells: 76 texts (77 with PLU_Compare for RC_PLU); background: a colour
    // as 0xBBGGRR, or -1 for none.
    virtual void addRow(const QStringList &cells, int background) = 0;
    virtual void repaintList() = 0;
};

inline constexpr int kAlternateRowColour = 16770790; // red 230, green 230, blue 255
inline constexpr int kCompareRowColour = 8454143;    // red 255, green 255, blue 128

// One instance per list: it remembers the list's last query for "redo".
class PluPageQuery {
public:
    // Fills view with page `page` of the query; see the list's paging rules.
    // Returns the PLU_No of the first row of the whole result when wantFirst
    // and rows exist, else 0. Returns nullopt when the database failed (the
    // error was reported).
    std::optional<qint32> run(AppState &state, PluListView &view, qint32 &page, qint32 &pageCount,
                              QString &condition, bool save, bool wantFirst,
                              const QString &table);

    // The order clause for the view's sort columns: " order by A ,B DESC".
    static QString orderClause(AppState &state, const PluListView &view, bool *ok = nullptr);

    QString savedQuery() const { return m_saved.sql; }
    void clear() { m_saved = {}; }
    // The statements the last run executed, in order (for benchmarks).
    QStringList lastStatements() const { return m_last; }

private:
    struct Statements {
        QString sql;   // the whole query, as remembered
        QString count; // its row count
        QString keys;  // rowids of its rows in list order
        QString rows;  // head of the page query: select list up to the key subquery
        QString table;
    };
    Statements m_saved; // for redo
    QStringList m_last;
};

} // namespace korvo
