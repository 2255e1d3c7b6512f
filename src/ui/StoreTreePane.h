#pragma once
// The store tree treStore: the store, its departments and (with
// UseMainGroup on) their main groups. A node's kind is its image index:
// 1 store, 2 department, 3 main group.
//
// The tree keeps in step with the tables: its commands (add, edit, delete,
// rename in place, drag a main group to another department) write through
// the store hierarchy logic and change only the nodes concerned.

#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QTimer>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <optional>

namespace korvo {

class AppState;
class PropertyDialog;

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

    // The tree's commands (the dispatcher's IDs in brackets). Each acts on
    // the selected node and does nothing when its kind does not fit.
    void editStore();          // 116 store property dialog
    void addDepartment();      // 117 department dialog, add
    void deleteDepartment();   // 118
    void editDepartment();     // 119 department dialog, edit
    void addMainGroup();       // 120 main-group dialog, add, in the selected department
    void deleteMainGroup();    // 121
    void editMainGroup();      // 122 main-group dialog, edit
    // 113: the main group a new PLU goes into; a selected department without
    // main groups gets one. nullopt when there is none to be had.
    std::optional<qint32> mainGroupForNewPlu();

    // Renaming in place is the property command of the node's kind (116,
    // 119, 122) and dragging a main group is 122: the gate tells whether the
    // user may use a command. Without a gate everything is allowed.
    void setGate(std::function<bool(int commandId)> gate) { m_gate = std::move(gate); }

    // Drag state, for the eye and for tests: the key of the main group being
    // dragged ("" when none) and the department node highlighted as target.
    QString dragKey() const { return m_dragging ? m_dragKey : QString(); }
    QTreeWidgetItem *dropHighlight() const { return m_highlight; }

signals:
    // Selection changed (also to no node), or a node was clicked again:
    // the list shows the selected node's PLUs.
    void nodeSelectionChanged();
    // The right mouse button was released over the tree; a node under the
    // pointer was selected by the press.
    void popupRequested(const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    using QTreeWidget::edit;

private:
    bool fill();
    void renamed(QTreeWidgetItem *node);
    void setNode(QTreeWidgetItem *node, NodeKind kind, qint32 number, const QString &text);
    // Number and name column of the row "select * from <table> where <col>=n".
    std::optional<QString> readName(const QString &sql, const QString &column);
    bool runDialog(PropertyDialog &dialog);
    void removeSelected(QTreeWidgetItem *node);

    // Drag of a main group.
    QTreeWidgetItem *dropTargetAt(const QPoint &pos) const;
    void setHighlight(QTreeWidgetItem *node);
    void endDrag();

    bool allowed(NodeKind kind) const;

    AppState &m_state;
    std::function<bool(int)> m_gate;
    bool m_filling = false;
    QString m_dragKey;    // remembered at the press on the selected main group
    QPoint m_pressPos;
    bool m_dragging = false;
    QTreeWidgetItem *m_highlight = nullptr;
    // Rename by click: the node pressed while selected for a while, and the
    // pause after the release that a double-click cancels.
    QElapsedTimer m_selectedSince;
    QPersistentModelIndex m_renameIndex;
    QTimer m_renameTimer;
};

} // namespace korvo
