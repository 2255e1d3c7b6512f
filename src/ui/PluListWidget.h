#pragma once
// A list of PLU rows: one column per entry of the PLU field table, every
// row holding all 76 items whatever columns are shown. Used for the main
// list wndPLU and the selection list wndSelectedPLU.

#include "core/PluPage.h"

#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVector>

namespace korvo {

class PluFieldTable;

// Shows a multi-line text (a name with its label lines) on one line, the
// lines parted by " | "; the item keeps the text as it is.
class PluCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &locale) const override;
    static QString JoinedLines(const QString &text);
};

class PluListWidget : public QTableWidget, public PluListView {
    Q_OBJECT
public:
    explicit PluListWidget(QWidget *parent = nullptr);

    // Columns of the field table (caption, width 100, visible by flag); then,
    // when layoutText is not empty, that layout is applied and the fields'
    // Visible flags follow the columns; the sort order is cleared.
    void setupColumns(PluFieldTable &fields, const QString &layoutText);

    // The header's arrangement (order, widths, hidden columns) as base64.
    QString layoutText() const;
    // False when the text is not a layout of this list (nothing changes then).
    bool applyLayoutText(const QString &text);

    // PluListView.
    QVector<SortColumn> sortColumns() const override { return m_sort; }
    void clearRows() override;
    void addRow(const QStringList &cells, int background) override;
    void repaintList() override;

    void setSortColumns(const QVector<SortColumn> &sort);
    // The 76 items of a row.
    QStringList rowCells(int row) const;
    // Selected rows in ascending order.
    QVector<int> selectedRowNumbers() const;
    int selectedRowCount() const { return selectedRowNumbers().size(); }

signals:
    // The sort order changed through a header click or because a sort
    // column was hidden.
    void sortOrderChanged();
    // Columns were moved, resized, shown or hidden.
    void layoutChanged();

private:
    void headerClicked(int logicalIndex);
    void dropHiddenSortColumns();
    QVector<SortColumn> m_sort;
    bool m_applying = false;
    bool m_layoutPending = false;
};

} // namespace korvo
