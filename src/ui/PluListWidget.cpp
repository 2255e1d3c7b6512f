#include "ui/PluListWidget.h"

#include "core/PluFields.h"

#include <QApplication>
#include <QHeaderView>

namespace korvo {

PluListWidget::PluListWidget(QWidget *parent) : QTableWidget(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(false);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView *h = horizontalHeader();
    h->setSectionsMovable(true);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setHighlightSections(false);
    h->setSortIndicatorShown(false);
    h->setSectionsClickable(true);
    connect(h, &QHeaderView::sectionPressed, this, &PluListWidget::headerPressed);
    // The header reports a hidden column before it counts as hidden, so the
    // layout is announced once the change is complete, and only once.
    auto changed = [this] {
        if (m_applying || m_layoutPending)
            return;
        m_layoutPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_layoutPending = false;
                emit layoutChanged();
            },
            Qt::QueuedConnection);
    };
    connect(h, &QHeaderView::sectionMoved, this, changed);
    connect(h, &QHeaderView::sectionResized, this, changed);
    connect(h, &QHeaderView::sectionCountChanged, this, changed);
}

void PluListWidget::setupColumns(PluFieldTable &fields, const QString &layoutText)
{
    m_applying = true;
    clear();
    setRowCount(0);
    setColumnCount(0);
    setColumnCount(fields.size());
    QHeaderView *h = horizontalHeader();
    for (int i = 0; i < fields.size(); ++i) {
        const PLUField &f = fields.at(i);
        setHorizontalHeaderItem(i, new QTableWidgetItem(f.Caption));
        h->resizeSection(i, f.Width > 0 ? f.Width : 100);
        h->setSectionHidden(i, !f.Visible);
    }
    m_applying = false;
    if (layoutText.isEmpty())
        return;
    applyLayoutText(layoutText);
    for (int i = 0; i < fields.size(); ++i)
        fields.at(i).Visible = !h->isSectionHidden(i);
    m_sort.clear();
}

QString PluListWidget::layoutText() const
{
    return QString::fromLatin1(horizontalHeader()->saveState().toBase64());
}

bool PluListWidget::applyLayoutText(const QString &text)
{
    const QByteArray state = QByteArray::fromBase64(text.trimmed().toLatin1());
    if (state.isEmpty())
        return false;
    m_applying = true;
    QHeaderView *h = horizontalHeader();
    const QByteArray before = h->saveState();
    bool ok = h->restoreState(state) && h->count() == columnCount();
    if (!ok)
        h->restoreState(before);
    // The sort indicator is not ours: the sort order lives in m_sort.
    h->setSortIndicatorShown(false);
    m_applying = false;
    return ok;
}

void PluListWidget::clearRows()
{
    clearContents();
    setRowCount(0);
}

void PluListWidget::addRow(const QStringList &cells, int background)
{
    const int row = rowCount();
    setRowCount(row + 1);
    QBrush brush;
    if (background >= 0)
        brush = QBrush(QColor(background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF));
    for (int c = 0; c < columnCount(); ++c) {
        auto *item = new QTableWidgetItem(c < cells.size() ? cells[c] : QString());
        if (background >= 0)
            item->setBackground(brush);
        setItem(row, c, item);
    }
}

void PluListWidget::repaintList()
{
    viewport()->update();
}

void PluListWidget::setSortColumns(const QVector<SortColumn> &sort)
{
    m_sort = sort;
}

QStringList PluListWidget::rowCells(int row) const
{
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c) {
        const QTableWidgetItem *it = item(row, c);
        cells << (it ? it->text() : QString());
    }
    return cells;
}

QVector<int> PluListWidget::selectedRowNumbers() const
{
    QVector<int> rows;
    const QModelIndexList sel = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    for (const QModelIndex &i : sel)
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PluListWidget::headerPressed(int logicalIndex)
{
    // A plain click sorts by that column alone; Ctrl-click adds a column.
    if (!(QApplication::keyboardModifiers() & Qt::ControlModifier))
        m_sort.clear();
    for (const SortColumn &s : std::as_const(m_sort)) {
        if (s.column == logicalIndex)
            return; // already a sort column: the order stays as it is
    }
    m_sort.push_back({logicalIndex, true});
    emit sortOrderChanged();
}

} // namespace korvo
