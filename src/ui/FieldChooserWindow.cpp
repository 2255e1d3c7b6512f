#include "ui/FieldChooserWindow.h"
#include "ui/WindowPlacement.h"

#include "core/AppState.h"
#include "ui/FormTexts.h"
#include "ui/PluListWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QStyle>

namespace korvo {

namespace {

// The chooser control sits this far from the window's left edge and is
// twice that narrower than the window's inner width.
constexpr int kListInset = 4;

void acceptMove(QDropEvent *event)
{
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

} // namespace

const QString FieldChooserWindow::kFieldMimeType = QStringLiteral("application/x-korvo-plu-field");

// ---------------------------------------------------------------- list

FieldChooserList::FieldChooserList(FieldChooserWindow *window) : QListWidget(window), m_window(window)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(false);
    setSortingEnabled(false);
}

void FieldChooserList::startDrag(Qt::DropActions)
{
    QListWidgetItem *item = currentItem();
    if (!item)
        return;
    const int field = item->data(Qt::UserRole).toInt();
    const QRect r = visualItemRect(item);
    m_window->startFieldDrag(field, viewport(), viewport()->grab(r),
                             viewport()->mapFromGlobal(QCursor::pos()) - r.topLeft());
}

void FieldChooserList::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_window->acceptsDropOf(event->mimeData()))
        acceptMove(event);
    else
        event->ignore();
}

void FieldChooserList::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_window->acceptsDropOf(event->mimeData()))
        acceptMove(event);
    else
        event->ignore();
}

void FieldChooserList::dropEvent(QDropEvent *event)
{
    // Own entries dropped back here, or anything else: nothing to do.
    if (m_window->acceptsDropOf(event->mimeData())
        && m_window->hideField(FieldChooserWindow::fieldFromMimeData(event->mimeData())))
        acceptMove(event);
    else
        event->ignore();
}

// ---------------------------------------------------------------- window

FieldChooserWindow::FieldChooserWindow(AppState &state, PluListWidget *list, QWidget *owner)
    : QWidget(owner, Qt::Tool), m_state(state), m_list(list), m_header(list->horizontalHeader()),
      m_dragRunner([](QDrag *drag) { return drag->exec(Qt::MoveAction, Qt::MoveAction); })
{
    setObjectName(QStringLiteral("frmFieldChooser"));
    setAcceptDrops(true);
    wndFieldChooser = new FieldChooserList(this);
    wndFieldChooser->setObjectName(QStringLiteral("wndFieldChooser"));

    SetFormLangString(state, this);
    restorePosition();

    // Double-click or Enter on an entry shows its column where it was.
    connect(wndFieldChooser, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { showField(item->data(Qt::UserRole).toInt()); });
    connect(list, &PluListWidget::layoutChanged, this, [this] {
        syncVisibleFlags();
        if (isVisible())
            refresh();
    });

    // The header starts drags of its sections and takes drops of entries.
    m_headerViewport = m_header->viewport();
    m_headerViewport->setAcceptDrops(true);
    m_headerViewport->installEventFilter(this);
}

QMimeData *FieldChooserWindow::fieldMimeData(int field)
{
    auto *data = new QMimeData;
    data->setData(kFieldMimeType, QByteArray::number(field));
    return data;
}

int FieldChooserWindow::fieldFromMimeData(const QMimeData *data)
{
    if (!data || !data->hasFormat(kFieldMimeType))
        return -1;
    bool ok = false;
    const int field = data->data(kFieldMimeType).toInt(&ok);
    return ok && field >= 0 ? field : -1;
}

bool FieldChooserWindow::acceptsDropOf(const QMimeData *data) const
{
    const int field = fieldFromMimeData(data);
    return field >= 0 && field < m_list->columnCount() && !m_header->isSectionHidden(field);
}

void FieldChooserWindow::refresh()
{
    wndFieldChooser->clear();
    for (int i = 0; i < m_list->columnCount(); ++i) {
        if (!m_header->isSectionHidden(i))
            continue;
        // The field's caption: the header's text may carry a sort marker.
        const QString caption = i < m_state.pluFields.size() ? m_state.pluFields.at(i).Caption
                                                              : QString::number(i);
        auto *item = new QListWidgetItem(caption, wndFieldChooser);
        item->setData(Qt::UserRole, i);
    }
}

void FieldChooserWindow::syncVisibleFlags()
{
    PluFieldTable &fields = m_state.pluFields;
    const int n = qMin(fields.size(), m_list->columnCount());
    for (int i = 0; i < n; ++i)
        fields.at(i).Visible = !m_header->isSectionHidden(i);
}

bool FieldChooserWindow::hideField(int field)
{
    if (field < 0 || field >= m_list->columnCount() || m_header->isSectionHidden(field))
        return false;
    if (m_header->count() - m_header->hiddenSectionCount() <= 1)
        return false;
    m_header->setSectionHidden(field, true);
    syncVisibleFlags();
    refresh();
    return true;
}

bool FieldChooserWindow::showField(int field, int visualPosition)
{
    if (field < 0 || field >= m_list->columnCount())
        return false;
    m_header->setSectionHidden(field, false);
    if (visualPosition >= 0) {
        const int from = m_header->visualIndex(field);
        int to = visualPosition;
        if (from < to)
            --to; // the section leaves its old place first
        to = qBound(0, to, m_header->count() - 1);
        if (from != to)
            m_header->moveSection(from, to);
    }
    syncVisibleFlags();
    refresh();
    return true;
}

Qt::DropAction FieldChooserWindow::startFieldDrag(int field, QWidget *source, const QPixmap &pixmap,
                                                  const QPoint &hotSpot)
{
    auto *drag = new QDrag(source);
    drag->setMimeData(fieldMimeData(field));
    if (!pixmap.isNull()) {
        drag->setPixmap(pixmap);
        drag->setHotSpot(hotSpot);
    }
    QPointer<QDrag> guard(drag);
    const Qt::DropAction action = m_dragRunner ? m_dragRunner(drag) : Qt::IgnoreAction;
    if (guard)
        guard->deleteLater();
    return action;
}

// ---------------------------------------------------------------- header side

bool FieldChooserWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_headerViewport.data() && !m_replaying)
        return headerEvent(event);
    return QWidget::eventFilter(watched, event);
}

bool FieldChooserWindow::headerEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton) {
            m_pressPos = e->position().toPoint();
            m_pressedField = m_header->logicalIndexAt(m_pressPos);
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (m_pressedField < 0 || !(e->buttons() & Qt::LeftButton) || !isVisible())
            return false;
        // Sideways the header moves its section; out of it up or down, or
        // over the chooser, the section is on its way to the chooser.
        const QPoint pos = e->position().toPoint();
        const int slack = QApplication::startDragDistance();
        const bool outOfHeader = pos.y() < -slack || pos.y() > m_header->viewport()->height() + slack;
        const bool overChooser = frameGeometry().contains(e->globalPosition().toPoint());
        if (!outOfHeader && !overChooser)
            return false;
        const int field = m_pressedField;
        m_pressedField = -1;
        cancelHeaderGesture();
        const QRect section(m_header->sectionViewportPosition(field), 0, m_header->sectionSize(field),
                            m_header->viewport()->height());
        startFieldDrag(field, m_header->viewport(), m_header->viewport()->grab(section),
                       m_pressPos - section.topLeft());
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressedField = -1;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *e = static_cast<QDropEvent *>(event);
        // Only fields are dropped on the header; the table's own item drops
        // would land in its rows.
        if (fieldFromMimeData(e->mimeData()) >= 0)
            acceptMove(e);
        else
            e->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *e = static_cast<QDropEvent *>(event);
        const int field = fieldFromMimeData(e->mimeData());
        if (field >= 0 && showField(field, headerDropPosition(e->position().toPoint().x())))
            acceptMove(e);
        else
            e->ignore();
        return true;
    }
    default:
        return false;
    }
}

void FieldChooserWindow::cancelHeaderGesture()
{
    // Brings a section move under way back to its start and ends it, so the
    // header is idle when the drag takes the mouse.
    QWidget *vp = m_header->viewport();
    const QPointF local(m_pressPos);
    const QPointF global(vp->mapToGlobal(m_pressPos));
    m_replaying = true;
    QMouseEvent back(QEvent::MouseMove, local, global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &back);
    // Let go beside every section: a release on the pressed one is a click,
    // and a click sorts.
    const QPointF outside(-1, local.y());
    QMouseEvent release(QEvent::MouseButtonRelease, outside, QPointF(vp->mapToGlobal(outside)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &release);
    m_replaying = false;
}

int FieldChooserWindow::headerDropPosition(int x) const
{
    const int logical = m_header->logicalIndexAt(x);
    if (logical < 0) {
        // Before the first or after the last shown section.
        const bool before = m_header->isRightToLeft() ? x > m_header->viewport()->width() : x < 0;
        return before ? 0 : m_header->count();
    }
    int visual = m_header->visualIndex(logical);
    const int start = m_header->sectionViewportPosition(logical);
    const int middle = start + m_header->sectionSize(logical) / 2;
    const bool afterMiddle = m_header->isRightToLeft() ? x < middle : x >= middle;
    if (afterMiddle)
        ++visual;
    return visual;
}

// ---------------------------------------------------------------- window events

void FieldChooserWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptsDropOf(event->mimeData()))
        acceptMove(event);
    else
        event->ignore();
}

void FieldChooserWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsDropOf(event->mimeData()))
        acceptMove(event);
    else
        event->ignore();
}

void FieldChooserWindow::dropEvent(QDropEvent *event)
{
    if (acceptsDropOf(event->mimeData()) && hideField(fieldFromMimeData(event->mimeData())))
        acceptMove(event);
    else
        event->ignore();
}

void FieldChooserWindow::setVisible(bool visible)
{
    // Each showing places the window where it was last closed.
    if (visible && !isVisible()) {
        restorePosition();
        refresh();
    }
    QWidget::setVisible(visible);
}

void FieldChooserWindow::closeEvent(QCloseEvent *event)
{
    savePosition();
    QWidget::closeEvent(event);
}

void FieldChooserWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    wndFieldChooser->setGeometry(kListInset, 0, qMax(0, width() - 2 * kListInset), height());
}

void FieldChooserWindow::restorePosition()
{
    const QString prefix = QStringLiteral("FieldChooser");
    if (HasWindowPlacement(m_state.userStore(), prefix))
        setGeometry(ReadWindowPlacement(m_state.userStore(), prefix, QRect(1000, 1000, 2300, 5500), 60));
    else
        setGeometry(defaultPlace());
}

QRect FieldChooserWindow::defaultPlace() const
{
    // 2300 by 5500 twips, wide enough for the title. Beside the list and
    // clear of its header, where a section dragged across the chooser
    // would be hidden: right of the main window when the screen has room,
    // else inside the list's right edge, the title bar below the header.
    constexpr int kGap = 8;
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + kGap;
    const int titleRoom = fontMetrics().horizontalAdvance(windowTitle()) + 4 * titleBar;
    QRect r(0, 0, qMax(153, titleRoom), 367);
    const QWidget *viewport = m_list->viewport();
    const QRect list(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    const QRect owner = m_list->window()->frameGeometry();
    const QScreen *screen = m_list->window()->screen();
    const QRect avail = screen ? screen->availableGeometry() : QRect();
    if (owner.right() + kGap + r.width() <= avail.right()) {
        r.moveTopLeft(QPoint(owner.right() + kGap, list.top()));
    } else {
        r.moveTopLeft(QPoint(list.right() - kGap - r.width(), list.top() + titleBar));
        r.setHeight(qBound(60, list.height() - titleBar - kGap, r.height()));
    }
    return r;
}

void FieldChooserWindow::savePosition()
{
    if (isMinimized())
        return;
    WriteWindowPlacement(m_state.userStore(), QStringLiteral("FieldChooser"), geometry());
}

} // namespace korvo
