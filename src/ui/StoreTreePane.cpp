#include "ui/StoreTreePane.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "manage/StoreHierarchy.h"
#include "ui/Commands.h"
#include "ui/DeptPropertyDialog.h"
#include "ui/MainGroupPropertyDialog.h"
#include "ui/StorePropertyDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

namespace korvo {

namespace {

// The name as the database has it, to tell an edit from our own changes.
constexpr int kNameRole = Qt::UserRole + 16;

StoreNode::Kind coreKind(NodeKind k)
{
    return static_cast<StoreNode::Kind>(int(k));
}

// Programmatic changes of nodes are no renames.
class FillGuard {
public:
    explicit FillGuard(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FillGuard() { m_flag = m_old; }

private:
    bool &m_flag;
    bool m_old;
};

} // namespace

StoreTreePane::StoreTreePane(AppState &state, QWidget *parent) : QTreeWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("treStore"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(true);
    // A click on the selected node renames it after a pause (renameTimer);
    // F2 at once.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_renameTimer.setSingleShot(true);
    connect(&m_renameTimer, &QTimer::timeout, this, [this] {
        if (m_renameIndex.isValid() && m_renameIndex == currentIndex()
            && selectionModel()->isSelected(m_renameIndex))
            edit(m_renameIndex);
    });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        m_selectedSince.start();
        m_renameTimer.stop();
    });
    connect(this, &QTreeWidget::itemSelectionChanged, this, &StoreTreePane::nodeSelectionChanged);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *node, int column) {
        if (column == 0 && !m_filling)
            renamed(node);
    });
}

QTreeWidgetItem *StoreTreePane::addNode(QTreeWidgetItem *parent, NodeKind kind, const QString &key,
                                        const QString &text, const QString &tag)
{
    FillGuard guard(m_filling);
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    node->setData(0, kNameRole, text);
    node->setText(0, text);
    node->setData(0, KindRole, int(kind));
    node->setData(0, KeyRole, key);
    node->setData(0, TagRole, tag);
    QStyle::StandardPixmap icon = QStyle::SP_DriveHDIcon;
    if (kind == NodeKind::Department)
        icon = QStyle::SP_DirIcon;
    else if (kind == NodeKind::MainGroup)
        icon = QStyle::SP_FileIcon;
    node->setIcon(0, style()->standardIcon(icon));
    return node;
}

void StoreTreePane::setNode(QTreeWidgetItem *node, NodeKind kind, qint32 number, const QString &text)
{
    FillGuard guard(m_filling);
    node->setData(0, kNameRole, text);
    node->setText(0, text);
    node->setData(0, KeyRole, StoreNodeKey(coreKind(kind), number));
    node->setData(0, TagRole, QString::number(number));
}

bool StoreTreePane::rebuild()
{
    // One selection report for the whole rebuild, after the store node is
    // selected again.
    blockSignals(true);
    const bool ok = fill();
    blockSignals(false);
    emit nodeSelectionChanged();
    return ok;
}

bool StoreTreePane::fill()
{
    endDrag();
    m_renameTimer.stop();
    StoreNode tree;
    const bool ok = BuildStoreTree(m_state, tree);
    FillGuard guard(m_filling);
    clear();
    if (tree.kind != StoreNode::Store)
        return ok;
    QTreeWidgetItem *root =
        addNode(nullptr, NodeKind::Store, tree.key, tree.text, QString::number(tree.number));
    for (const StoreNode &d : std::as_const(tree.children)) {
        QTreeWidgetItem *dept =
            addNode(root, NodeKind::Department, d.key, d.text, QString::number(d.number));
        for (const StoreNode &g : d.children)
            addNode(dept, NodeKind::MainGroup, g.key, g.text, QString::number(g.number));
        dept->setExpanded(true);
    }
    root->setExpanded(true);
    setCurrentItem(root);
    root->setSelected(true);
    return ok;
}

QTreeWidgetItem *StoreTreePane::selectedNode() const
{
    const QList<QTreeWidgetItem *> sel = selectedItems();
    return sel.isEmpty() ? nullptr : sel.first();
}

NodeKind StoreTreePane::selectedKind() const
{
    return kindOf(selectedNode());
}

NodeKind StoreTreePane::kindOf(const QTreeWidgetItem *node)
{
    if (!node)
        return NodeKind::None;
    switch (node->data(0, KindRole).toInt()) {
    case 1: return NodeKind::Store;
    case 2: return NodeKind::Department;
    case 3: return NodeKind::MainGroup;
    default: return NodeKind::None;
    }
}

QString StoreTreePane::tagOf(const QTreeWidgetItem *node)
{
    return node ? node->data(0, TagRole).toString() : QString();
}

QString StoreTreePane::keyOf(const QTreeWidgetItem *node)
{
    return node ? node->data(0, KeyRole).toString() : QString();
}

QTreeWidgetItem *StoreTreePane::findNode(const QString &key) const
{
    QTreeWidgetItemIterator it(const_cast<StoreTreePane *>(this));
    for (; *it; ++it) {
        if (keyOf(*it).compare(key, Qt::CaseInsensitive) == 0)
            return *it;
    }
    return nullptr;
}

// ---------------------------------------------------------------- rename

bool StoreTreePane::allowed(NodeKind kind) const
{
    int id = 0;
    switch (kind) {
    case NodeKind::Store: id = cmd::StoreProperty; break;
    case NodeKind::Department: id = cmd::DeptProperty; break;
    case NodeKind::MainGroup: id = cmd::MainGroupProperty; break;
    case NodeKind::None: return false;
    }
    return !m_gate || m_gate(id);
}

void StoreTreePane::renamed(QTreeWidgetItem *node)
{
    const QString text = node->text(0);
    const QString saved = node->data(0, kNameRole).toString();
    if (text == saved)
        return;
    FillGuard guard(m_filling);
    if (allowed(kindOf(node))
        && RenameStoreNode(m_state, StoreNodeKindOfKey(keyOf(node)), tagOf(node).toInt(), text))
        node->setData(0, kNameRole, text);
    else
        node->setText(0, saved); // the database keeps the old name: so does the tree
}

// ---------------------------------------------------------------- commands

std::optional<QString> StoreTreePane::readName(const QString &sql, const QString &column)
{
    auto q = QueryKorvoDB(m_state, sql);
    if (!q || !q->next())
        return std::nullopt;
    const QVariant v = q->value(column);
    q->finish();
    return v.isNull() ? QString() : v.toString();
}

bool StoreTreePane::runDialog(PropertyDialog &dialog)
{
    endDrag();
    dialog.exec();
    return !dialog.cancelled();
}

void StoreTreePane::editStore()
{
    QTreeWidgetItem *store = storeNode();
    if (!store)
        return;
    StorePropertyDialog dialog(m_state, window());
    if (!runDialog(dialog))
        return;
    auto q = QueryKorvoDB(m_state, QStringLiteral("Select * from Store"));
    if (q && q->next()) {
        const QVariant name = q->value(QStringLiteral("ST_Name"));
        q->finish();
        FillGuard guard(m_filling);
        store->setData(0, kNameRole, name.toString());
        store->setText(0, name.toString());
    }
}

void StoreTreePane::addDepartment()
{
    QTreeWidgetItem *store = storeNode();
    if (!store)
        return;
    DeptPropertyDialog dialog(m_state, window());
    dialog.setAddMode(true);
    dialog.setParentNumber(tagOf(store).toInt());
    if (!runDialog(dialog))
        return;
    const qint32 no = dialog.number();
    const auto name = readName(QStringLiteral("select * from dept where dp_no=") + QString::number(no),
                               QStringLiteral("DP_Name"));
    if (!name)
        return;
    QTreeWidgetItem *dept = addNode(store, NodeKind::Department,
                                    StoreNodeKey(StoreNode::Department, no), *name, QString::number(no));
    dept->setExpanded(true);
    store->setExpanded(true);
}

void StoreTreePane::editDepartment()
{
    QTreeWidgetItem *node = selectedNode();
    if (kindOf(node) != NodeKind::Department)
        return;
    const qint32 old = tagOf(node).toInt();
    DeptPropertyDialog dialog(m_state, window());
    dialog.setNumber(old);
    if (!runDialog(dialog))
        return;
    const qint32 no = dialog.number();
    const auto name = readName(QStringLiteral("Select * from dept where dp_no=") + QString::number(no),
                               QStringLiteral("DP_Name"));
    if (!name)
        return;
    setNode(node, NodeKind::Department, no, *name);
    // The list asked for the old number; ask again.
    if (no != old && selectedNode() == node)
        emit nodeSelectionChanged();
}

void StoreTreePane::addMainGroup()
{
    QTreeWidgetItem *node = selectedNode();
    QTreeWidgetItem *dept = kindOf(node) == NodeKind::Department ? node
        : kindOf(node) == NodeKind::MainGroup                    ? node->parent()
                                                                 : nullptr;
    if (!dept)
        return;
    MainGroupPropertyDialog dialog(m_state, window());
    dialog.setAddMode(true);
    dialog.setParentNumber(tagOf(dept).toInt());
    if (!runDialog(dialog))
        return;
    const qint32 no = dialog.number();
    const auto name = readName(QStringLiteral("select * from mg where mg_no=") + QString::number(no),
                               QStringLiteral("MG_Name"));
    // A tree built without main groups stays without them.
    if (!name || !m_state.settings.UseMainGroup)
        return;
    addNode(dept, NodeKind::MainGroup, StoreNodeKey(StoreNode::MainGroup, no), *name, QString::number(no));
    dept->setExpanded(true);
}

void StoreTreePane::editMainGroup()
{
    QTreeWidgetItem *node = selectedNode();
    if (kindOf(node) != NodeKind::MainGroup)
        return;
    const qint32 old = tagOf(node).toInt();
    MainGroupPropertyDialog dialog(m_state, window());
    dialog.setNumber(old);
    if (!runDialog(dialog))
        return;
    const qint32 no = dialog.number();
    const auto name = readName(QStringLiteral("Select * from mg where mg_no=") + QString::number(no),
                               QStringLiteral("MG_Name"));
    if (!name)
        return;
    setNode(node, NodeKind::MainGroup, no, *name);
    if (no != old && selectedNode() == node)
        emit nodeSelectionChanged();
}

void StoreTreePane::removeSelected(QTreeWidgetItem *node)
{
    endDrag();
    QTreeWidgetItem *parent = node->parent();
    const int index = parent ? parent->indexOfChild(node) : indexOfTopLevelItem(node);
    QTreeWidgetItem *next = index > 0 ? (parent ? parent->child(index - 1) : topLevelItem(index - 1)) : parent;
    {
        const QSignalBlocker block(this);
        if (next) {
            setCurrentItem(next);
            next->setSelected(true);
        }
        delete node;
    }
    emit nodeSelectionChanged();
}

void StoreTreePane::deleteDepartment()
{
    QTreeWidgetItem *node = selectedNode();
    if (kindOf(node) != NodeKind::Department)
        return;
    if (DeleteDepartment(m_state, tagOf(node).toInt()) != DeleteOutcome::Deleted)
        return;
    // Main group 997 outlives any department: the delete sent it home.
    QTreeWidgetItem *kept = findNode(StoreNodeKey(StoreNode::MainGroup, kProtectedMainGroup));
    QTreeWidgetItem *home = findNode(StoreNodeKey(StoreNode::Department, kProtectedDepartment));
    if (kept && home && kept->parent() == node) {
        FillGuard guard(m_filling);
        node->removeChild(kept);
        home->addChild(kept);
    }
    removeSelected(node);
}

void StoreTreePane::deleteMainGroup()
{
    QTreeWidgetItem *node = selectedNode();
    if (kindOf(node) != NodeKind::MainGroup)
        return;
    if (DeleteMainGroup(m_state, tagOf(node).toInt()) == DeleteOutcome::Deleted)
        removeSelected(node);
}

std::optional<qint32> StoreTreePane::mainGroupForNewPlu()
{
    QTreeWidgetItem *node = selectedNode();
    const NodeKind kind = kindOf(node);
    const auto mg = MainGroupForNewPlu(m_state, coreKind(kind), tagOf(node).toInt());
    // A main group created for the department shows up in the tree.
    if (mg && kind == NodeKind::Department && m_state.settings.UseMainGroup
        && !findNode(StoreNodeKey(StoreNode::MainGroup, *mg))) {
        const auto name = readName(QStringLiteral("select * from mg where mg_no=") + QString::number(*mg),
                                   QStringLiteral("MG_Name"));
        addNode(node, NodeKind::MainGroup, StoreNodeKey(StoreNode::MainGroup, *mg), name.value_or(QString()),
                QString::number(*mg));
        node->setExpanded(true);
    }
    return mg;
}

// ---------------------------------------------------------------- mouse

void StoreTreePane::mousePressEvent(QMouseEvent *event)
{
    m_renameTimer.stop();
    m_renameIndex = QPersistentModelIndex();
    // A right press selects the node under the pointer, whose popup the
    // release then shows, as desktop trees do.
    if (event->button() == Qt::RightButton) {
        endDrag();
        QTreeWidgetItem *node = itemAt(event->position().toPoint());
        if (node && node != selectedNode()) {
            setCurrentItem(node);
            node->setSelected(true);
        }
        event->accept();
        return;
    }
    endDrag();
    QTreeWidgetItem *before = selectedNode();
    // Renaming needs a node that was selected a while ago: the second of two
    // quick clicks is no rename.
    const bool settled = m_selectedSince.isValid()
        && m_selectedSince.elapsed() >= QApplication::doubleClickInterval();
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem *node = itemAt(pos);
    if (!node || node != selectedNode())
        return;
    // Only the selected main group can be dragged.
    if (kindOf(node) == NodeKind::MainGroup && event->modifiers() == Qt::NoModifier
        && allowed(NodeKind::MainGroup)) {
        m_dragKey = keyOf(node);
        m_pressPos = pos;
    }
    // A click on the selected node lists its PLUs again.
    if (node == before && event->modifiers() == Qt::NoModifier) {
        if (settled)
            m_renameIndex = indexFromItem(node);
        emit nodeSelectionChanged();
    }
}

void StoreTreePane::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_renameTimer.stop();
    m_renameIndex = QPersistentModelIndex();
    QTreeWidget::mouseDoubleClickEvent(event);
}

void StoreTreePane::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragKey.isEmpty() || !(event->buttons() & Qt::LeftButton)) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (!m_dragging) {
        if ((pos - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
            event->accept();
            return;
        }
        m_dragging = true;
        viewport()->setCursor(Qt::DragMoveCursor);
    }
    setHighlight(dropTargetAt(pos));
    event->accept();
}

void StoreTreePane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        // Only over a node, the one the press selected: a popup for some
        // other node would act on a node the operator did not point at.
        QTreeWidgetItem *node = itemAt(event->position().toPoint());
        if (node && node == selectedNode())
            emit popupRequested(event->globalPosition().toPoint());
        return;
    }
    if (!m_dragging || event->button() != Qt::LeftButton) {
        m_dragKey.clear();
        // Released where it was pressed: the rename waits out a double-click.
        if (m_renameIndex.isValid() && event->button() == Qt::LeftButton
            && indexAt(event->position().toPoint()) == m_renameIndex)
            m_renameTimer.start(QApplication::doubleClickInterval());
        QTreeWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    QTreeWidgetItem *group = findNode(m_dragKey);
    QTreeWidgetItem *target = dropTargetAt(event->position().toPoint());
    endDrag();
    setState(NoState);
    if (!group || !target || target == group->parent())
        return;
    if (!MoveMainGroup(m_state, tagOf(group).toInt(), tagOf(target).toInt()))
        return;
    {
        const QSignalBlocker block(this);
        group->parent()->removeChild(group);
        target->addChild(group);
        target->setExpanded(true);
        setCurrentItem(group);
        group->setSelected(true);
    }
    emit nodeSelectionChanged();
}

void StoreTreePane::keyPressEvent(QKeyEvent *event)
{
    m_renameTimer.stop();
    if (m_dragging && event->key() == Qt::Key_Escape) {
        endDrag();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

bool StoreTreePane::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // Renaming is the node's property command: without it, no editor.
    if (index.isValid() && trigger != NoEditTriggers && !allowed(kindOf(itemFromIndex(index))))
        return false;
    return QTreeWidget::edit(index, trigger, event);
}

QTreeWidgetItem *StoreTreePane::dropTargetAt(const QPoint &pos) const
{
    const QTreeWidgetItem *group = findNode(m_dragKey);
    if (!group || !group->parent())
        return nullptr;
    const QTreeWidgetItem *hover = itemAt(pos);
    DropHover h;
    h.kind = coreKind(kindOf(hover));
    h.number = tagOf(hover).toInt();
    if (h.kind == StoreNode::MainGroup)
        h.departmentNo = tagOf(hover->parent()).toInt();
    const DropTarget t = ResolveDropTarget(tagOf(group->parent()).toInt(), h);
    if (!t.changes)
        return group->parent();
    return findNode(StoreNodeKey(StoreNode::Department, t.departmentNo));
}

void StoreTreePane::setHighlight(QTreeWidgetItem *node)
{
    if (node == m_highlight)
        return;
    FillGuard guard(m_filling);
    if (m_highlight)
        m_highlight->setBackground(0, QBrush());
    m_highlight = node;
    if (m_highlight) {
        QColor c = palette().color(QPalette::Highlight);
        c.setAlpha(90);
        m_highlight->setBackground(0, c);
    }
}

void StoreTreePane::endDrag()
{
    setHighlight(nullptr);
    if (m_dragging)
        viewport()->unsetCursor();
    m_dragging = false;
    m_dragKey.clear();
}

} // namespace korvo
