#include "ui/PluListWidget.h"

#include "core/PluFields.h"

#include <QApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QStyle>
#include <algorithm>

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
    // A click, not a press: a press may begin a move or a drag to the chooser.
    connect(h, &QHeaderView::sectionClicked, this, &PluListWidget::headerClicked);
    setItemDelegate(new PluCellDelegate(this));
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
                dropHiddenSortColumns();
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
    // A caption longer than the standard width (Russian ones are) gets room
    // for itself and a sort marker.
    const int padding = 4 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    for (int i = 0; i < fields.size(); ++i) {
        const PLUField &f = fields.at(i);
        setHorizontalHeaderItem(i, new QTableWidgetItem(f.Caption));
        const int fit = h->fontMetrics().horizontalAdvance(f.Caption + QStringLiteral(" \u25B29")) + padding;
        h->resizeSection(i, qMax(f.Width > 0 ? f.Width : 100, fit));
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

QString PluCellDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    return JoinedLines(QStyledItemDelegate::displayText(value, locale));
}

QString PluCellDelegate::JoinedLines(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineBreak);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines.join(QStringLiteral(" | "));
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
        if (item->text().contains(QLatin1Char('\n')))
            item->setToolTip(item->text());
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

void PluListWidget::headerClicked(int logicalIndex)
{
    // A plain click sorts by that column alone, a second one on the same
    // column the other way round; Ctrl-click adds a column or turns an
    // added one round.
    const bool add = QApplication::keyboardModifiers() & Qt::ControlModifier;
    auto it = std::find_if(m_sort.begin(), m_sort.end(),
                           [logicalIndex](const SortColumn &s) { return s.column == logicalIndex; });
    if (add && it != m_sort.end())
        it->ascending = !it->ascending;
    else if (add)
        m_sort.push_back({logicalIndex, true});
    else if (m_sort.size() == 1 && it != m_sort.end())
        it->ascending = !it->ascending;
    else
        m_sort = {{logicalIndex, true}};
    emit sortOrderChanged();
}

void PluListWidget::dropHiddenSortColumns()
{
    // An order by a column nobody sees cannot be read off the list.
    const QHeaderView *h = horizontalHeader();
    const auto hidden = [h](const SortColumn &s) { return h->isSectionHidden(s.column); };
    if (std::none_of(m_sort.cbegin(), m_sort.cend(), hidden))
        return;
    m_sort.erase(std::remove_if(m_sort.begin(), m_sort.end(), hidden), m_sort.end());
    emit sortOrderChanged();
}

} // namespace korvo
