#pragma once
// The store tree treStore: the store, its departments and (with
// UseMainGroup on) their main groups. A node's kind is its image index:
// 1 store, 2 department, 3 main group.

#include <QTreeWidget>

namespace korvo {

class AppState;

enum class NodeKind { None = 0, Store = 1, Department = 2, MainGroup = 3 };

class StoreTreePane : public QTreeWidget {
    Q_OBJECT
public:
    enum Role { KindRole = Qt::UserRole, KeyRole, TagRole };

    explicit StoreTreePane(AppState &state, QWidget *parent = nullptr);

    // Reads store, departments and main groups again; the store node ends
    // up selected. False after a reported database error.
    bool rebuild();

    QTreeWidgetItem *selectedNode() const;
    NodeKind selectedKind() const;
    static NodeKind kindOf(const QTreeWidgetItem *node);
    // The node's tag: ST_No, DP_No or MG_No as text.
    static QString tagOf(const QTreeWidgetItem *node);
    static QString keyOf(const QTreeWidgetItem *node);

    QTreeWidgetItem *storeNode() const { return topLevelItemCount() ? topLevelItem(0) : nullptr; }
    // The node with the given key ("Root", "Dept3", "MG12"), or nullptr.
    QTreeWidgetItem *findNode(const QString &key) const;

    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, NodeKind kind, const QString &key,
                             const QString &text, const QString &tag);

signals:
    // Selection changed (also to no node).
    void nodeSelectionChanged();
    // The right mouse button was released over the tree.
    void popupRequested(const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool fill();
    AppState &m_state;
};

} // namespace korvo
