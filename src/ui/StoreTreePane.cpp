#include "ui/StoreTreePane.h"

#include "core/AppState.h"
#include "core/Database.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

namespace korvo {

StoreTreePane::StoreTreePane(AppState &state, QWidget *parent) : QTreeWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("treStore"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(true);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &StoreTreePane::nodeSelectionChanged);
}

QTreeWidgetItem *StoreTreePane::addNode(QTreeWidgetItem *parent, NodeKind kind, const QString &key,
                                        const QString &text, const QString &tag)
{
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
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
    clear();
    auto store = QueryKorvoDB(m_state, QStringLiteral("select ST_No, ST_Name from STORE"));
    if (!store)
        return false;
    if (!store->next())
        return true;
    const qint64 storeNo = store->value(0).toLongLong();
    QTreeWidgetItem *root = addNode(nullptr, NodeKind::Store, QStringLiteral("Root"),
                                    store->value(1).toString(), QString::number(storeNo));
    store->finish();

    bool ok = true;
    auto depts = QueryKorvoDB(m_state, QStringLiteral("select DP_No, DP_Name from DEPT where ST_No=")
                                           + QString::number(storeNo));
    if (!depts)
        ok = false;
    QVector<QTreeWidgetItem *> deptNodes;
    while (depts && depts->next()) {
        const QString no = depts->value(0).toString();
        deptNodes << addNode(root, NodeKind::Department, QStringLiteral("Dept") + no,
                             depts->value(1).toString(), no);
    }
    if (m_state.settings.UseMainGroup) {
        for (QTreeWidgetItem *dept : std::as_const(deptNodes)) {
            auto groups = QueryKorvoDB(m_state, QStringLiteral("select MG_No,MG_Name from MG where DP_No=")
                                                    + tagOf(dept));
            if (!groups) {
                ok = false;
                continue;
            }
            while (groups->next()) {
                const QString no = groups->value(0).toString();
                addNode(dept, NodeKind::MainGroup, QStringLiteral("MG") + no,
                        groups->value(1).toString(), no);
            }
        }
    }
    for (QTreeWidgetItem *dept : std::as_const(deptNodes))
        dept->setExpanded(true);
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

void StoreTreePane::mousePressEvent(QMouseEvent *event)
{
    // A right press must not move the selection: the popup acts on the
    // selected node.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void StoreTreePane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit popupRequested(event->globalPosition().toPoint());
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

} // namespace korvo
