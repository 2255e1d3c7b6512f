#pragma once
// frmFieldChooser: a small floating window whose list wndFieldChooser holds
// the hidden columns of the PLU list. A header section dragged out of the
// list's header onto the chooser is hidden; an entry dragged from the
// chooser onto the header is shown where it is dropped. Double-clicking an
// entry (or Enter) shows its column too. Both drags carry the field index
// under kFieldMimeType, so any drop site can tell what it gets.

#include <QListWidget>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <functional>

class QDrag;
class QHeaderView;
class QMimeData;

namespace korvo {

class AppState;
class FieldChooserWindow;
class PluListWidget;

// The chooser's list: a drag source of hidden fields, a drop site for
// header sections.
class FieldChooserList : public QListWidget {
    Q_OBJECT
public:
    explicit FieldChooserList(FieldChooserWindow *window);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    FieldChooserWindow *m_window;
};

class FieldChooserWindow : public QWidget {
    Q_OBJECT
public:
    static const QString kFieldMimeType;
    // Runs a drag started here; returns the action the drop site took.
    using DragRunner = std::function<Qt::DropAction(QDrag *)>;

    FieldChooserWindow(AppState &state, PluListWidget *list, QWidget *owner);

    // Lists the hidden columns of the list again.
    void refresh();

    // Hides a shown column. Refused (false) for an unknown index, a hidden
    // column, and the last shown one: a list without any shown column has
    // no header left to drop on.
    bool hideField(int field);
    // Shows a column; with visualPosition >= 0 it is moved there (the
    // position counts the header's sections before the move, hidden ones
    // included). False for an unknown index.
    bool showField(int field, int visualPosition = -1);

    // The drag payload of a field; -1 when data carries none.
    static QMimeData *fieldMimeData(int field);
    static int fieldFromMimeData(const QMimeData *data);

    // Replaces how drags run (QDrag::exec by default); offscreen tests have
    // no drag-and-drop platform and deliver the drop themselves.
    void setDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }
    // Starts the drag of a field from the given widget.
    Qt::DropAction startFieldDrag(int field, QWidget *source, const QPixmap &pixmap, const QPoint &hotSpot);

    FieldChooserList *wndFieldChooser = nullptr;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class FieldChooserList;
    bool acceptsDropOf(const QMimeData *data) const;
    bool headerEvent(QEvent *event);
    void cancelHeaderGesture();
    int headerDropPosition(int x) const;
    void syncVisibleFlags();
    void restorePosition();
    QRect defaultPlace() const;
    void savePosition();

    AppState &m_state;
    PluListWidget *m_list;
    QHeaderView *m_header;
    QPointer<QWidget> m_headerViewport; // watched; compared, never dereferenced late
    DragRunner m_dragRunner;
    int m_pressedField = -1;
    QPoint m_pressPos;
    bool m_replaying = false;
};

} // namespace korvo
