// The field chooser driven as a person would: header sections dragged into
// the chooser and entries dragged back, the arrangement and the chooser's
// place kept across a restart over the same data root.

#include "UiTestSupport.h"
#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/IniFile.h"
#include "ui/Commands.h"
#include "ui/FieldChooserWindow.h"
#include "ui/MainWindow.h"
#include "ui/PluListWidget.h"
#include "ui/SelectPane.h"

#include <QAction>
#include <QDrag>
#include <QHeaderView>
#include <QMimeData>
#include <QSettings>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

struct Session {
    explicit Session(TestDataRoot &root)
    {
        state = root.loadedState();
        if (!state)
            return;
        window = std::make_unique<MainWindow>(*state, &signIn);
        window->setProgramEnder([] {});
    }
    bool ok() const { return state && window; }
    bool show()
    {
        window->setGeometry(20, 20, 760, 520);
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    QHeaderView *header() const { return window->pluList()->horizontalHeader(); }
    // Opens the chooser from the View menu, away from the list's header.
    void openChooser()
    {
        window->dispatch(cmd::FieldChooser);
        window->fieldChooser()->setGeometry(600, 380, 150, 150);
    }
    FieldChooserWindow *chooser() const { return window->fieldChooser(); }

    QueuedSignIn signIn;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
};

QString IniPath(const TestDataRoot &root) { return root.path() + QStringLiteral("Korvo2005.INI"); }

void ClearUserStore(AppState &state)
{
    state.userStore().remove(QString());
    state.userStore().sync();
}

// Offscreen has no drag-and-drop platform: the drag's data is delivered to
// the drop site with the events a platform would send.
struct DropInto {
    QWidget *target = nullptr;
    QPoint at;
    int drags = 0;
    int lastField = -1;

    Qt::DropAction operator()(QDrag *drag)
    {
        ++drags;
        lastField = FieldChooserWindow::fieldFromMimeData(drag->mimeData());
        if (!target)
            return Qt::IgnoreAction;
        QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDragMoveEvent move(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(at), Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
};

// The logical index of the shown section at a visual position counted
// among shown sections only.
int ShownSectionAt(const QHeaderView *h, int shownPosition)
{
    for (int v = 0, seen = 0; v < h->count(); ++v) {
        const int logical = h->logicalIndex(v);
        if (h->isSectionHidden(logical))
            continue;
        if (seen++ == shownPosition)
            return logical;
    }
    return -1;
}

QPoint SectionCenter(const QHeaderView *h, int logical)
{
    return QPoint(h->sectionViewportPosition(logical) + h->sectionSize(logical) / 2,
                  h->viewport()->height() / 2);
}

// Presses on a section, pulls it down out of the header and lets go.
void DragSectionDown(QHeaderView *h, int logical)
{
    const QPoint start = SectionCenter(h, logical);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(h->viewport(), start + QPoint(0, 4));
    QTest::mouseMove(h->viewport(), start + QPoint(3, h->viewport()->height() + 40));
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, start + QPoint(3, h->viewport()->height() + 40));
}

// Presses on a chooser entry and pulls it away until the drag starts.
void DragEntry(FieldChooserWindow *chooser, int field)
{
    QListWidget *list = chooser->wndFieldChooser;
    QListWidgetItem *entry = nullptr;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toInt() == field)
            entry = list->item(i);
    QVERIFY(entry);
    list->scrollToItem(entry);
    const QPoint start = list->visualItemRect(entry).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(list->viewport(), start + QPoint(2, 2));
    QTest::mouseMove(list->viewport(), start + QPoint(30, 30));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, start + QPoint(30, 30));
}

QList<int> ChooserFields(const FieldChooserWindow *chooser)
{
    QList<int> fields;
    for (int i = 0; i < chooser->wndFieldChooser->count(); ++i)
        fields << chooser->wndFieldChooser->item(i)->data(Qt::UserRole).toInt();
    return fields;
}

QList<int> ShownOrder(const QHeaderView *h)
{
    QList<int> order;
    for (int v = 0; v < h->count(); ++v)
        if (!h->isSectionHidden(h->logicalIndex(v)))
            order << h->logicalIndex(v);
    return order;
}

} // namespace

class TestFieldChooser : public QObject {
    Q_OBJECT
private slots:
    void withoutStoredLayoutTheShowKeyDecides();
    void dragHidesAndShowsColumns();
    void headerStillMovesSectionsSideways();
    void arrangementSurvivesRestart();
    void chooserPlaceAndVisibilityPersist();
};

void TestFieldChooser::withoutStoredLayoutTheShowKeyDecides()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    QVERIFY(WriteIniString(QStringLiteral("PLU"), QStringLiteral("Show"), QStringLiteral("10,0,2,75,3"),
                           IniPath(root)));
    Session s(root);
    QVERIFY(s.ok());
    QHeaderView *h = s.header();
    QHeaderView *sel = s.window->selectPane()->wndSelectedPLU->horizontalHeader();
    QCOMPARE(h->count(), kPluFieldCount);
    // Exactly the listed columns, in field-table order whatever the key's order.
    QCOMPARE(ShownOrder(h), QList<int>({0, 2, 3, 10, 75}));
    QCOMPARE(ShownOrder(sel), QList<int>({0, 2, 3, 10, 75}));
    for (int i = 0; i < kPluFieldCount; ++i) {
        QCOMPARE(h->visualIndex(i), i);
        QCOMPARE(h->sectionSize(i) == 0 ? 100 : h->sectionSize(i), 100);
        QCOMPARE(s.state->pluFields.at(i).Visible, i == 0 || i == 2 || i == 3 || i == 10 || i == 75);
        QCOMPARE(s.window->pluList()->horizontalHeaderItem(i)->text(), s.state->pluFields.at(i).Caption);
    }
    QVERIFY(s.window->pluList()->sortColumns().isEmpty());
    // The chooser, closed by the delivered settings, offers the other 71.
    QVERIFY(!s.chooser()->isVisible());
    s.window->dispatch(cmd::FieldChooser);
    QVERIFY(s.chooser()->isVisible());
    QCOMPARE(s.chooser()->wndFieldChooser->count(), kPluFieldCount - 5);
}

void TestFieldChooser::dragHidesAndShowsColumns()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(s.show());
    s.openChooser();
    FieldChooserWindow *chooser = s.chooser();
    QVERIFY(QTest::qWaitForWindowExposed(chooser));
    QHeaderView *h = s.header();
    QHeaderView *sel = s.window->selectPane()->wndSelectedPLU->horizontalHeader();
    DropInto drop;
    chooser->setDragRunner(std::ref(drop));

    // Pulled out of the header and dropped on the chooser: hidden, offered.
    const int field = ShownSectionAt(h, 2);
    QVERIFY(field > 0);
    const QList<int> before = ShownOrder(h);
    drop.target = chooser->wndFieldChooser->viewport();
    drop.at = QPoint(10, 10);
    DragSectionDown(h, field);
    QCOMPARE(drop.drags, 1);
    QCOMPARE(drop.lastField, field);
    QVERIFY(h->isSectionHidden(field));
    QVERIFY(ChooserFields(chooser).contains(field));
    QVERIFY(!s.state->pluFields.at(field).Visible);
    QList<int> expected = before;
    expected.removeOne(field);
    QCOMPARE(ShownOrder(h), expected); // nothing else moved
    QTRY_VERIFY(sel->isSectionHidden(field));

    // Pulled out but dropped on nothing that takes it: nothing changes.
    const int other = ShownSectionAt(h, 0);
    drop.target = nullptr;
    DragSectionDown(h, other);
    QCOMPARE(drop.drags, 2);
    QVERIFY(!h->isSectionHidden(other));
    QCOMPARE(ShownOrder(h), expected);

    // A press and release inside the header starts no drag.
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, SectionCenter(h, other));
    QCOMPARE(drop.drags, 2);

    // Dragged from the chooser onto the left half of the first shown
    // section: shown again, in front of it.
    const int first = ShownSectionAt(h, 0);
    drop.target = h->viewport();
    drop.at = QPoint(h->sectionViewportPosition(first) + 5, h->viewport()->height() / 2);
    DragEntry(chooser, field);
    QCOMPARE(drop.drags, 3);
    QCOMPARE(drop.lastField, field);
    QVERIFY(!h->isSectionHidden(field));
    QCOMPARE(ShownSectionAt(h, 0), field);
    QCOMPARE(ShownSectionAt(h, 1), first);
    QVERIFY(!ChooserFields(chooser).contains(field));
    QVERIFY(s.state->pluFields.at(field).Visible);
    QTRY_VERIFY(!sel->isSectionHidden(field));
    QTRY_COMPARE(ShownOrder(sel), ShownOrder(h));

    // A hidden column dropped on the right half of a section lands after it.
    const int price = s.state->pluFields.indexOf(QStringLiteral("PLU_UPrice"));
    QVERIFY(chooser->hideField(price));
    const int target = ShownSectionAt(h, 1);
    drop.at = QPoint(h->sectionViewportPosition(target) + h->sectionSize(target) - 5,
                     h->viewport()->height() / 2);
    DragEntry(chooser, price);
    QCOMPARE(ShownSectionAt(h, 2), price);
    QCOMPARE(ShownSectionAt(h, 1), target);

    // The header takes only fields; the chooser only shown ones; the last
    // shown column stays.
    const QList<int> now = ShownOrder(h);
    QMimeData text;
    text.setText(QStringLiteral("PLU_UPrice"));
    QDropEvent foreign(QPointF(drop.at), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h->viewport(), &foreign);
    QVERIFY(!foreign.isAccepted());
    QCOMPARE(ShownOrder(h), now);
    const int hiddenOne = ChooserFields(chooser).first();
    std::unique_ptr<QMimeData> again(FieldChooserWindow::fieldMimeData(hiddenOne));
    QDropEvent twice(QPointF(10, 10), Qt::MoveAction, again.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(chooser->wndFieldChooser->viewport(), &twice);
    QVERIFY(!twice.isAccepted());
    QVERIFY(h->isSectionHidden(hiddenOne));
    for (int f : now.mid(1))
        QVERIFY(chooser->hideField(f));
    QVERIFY(!chooser->hideField(now.first()));
    QCOMPARE(ShownOrder(h), QList<int>({now.first()}));
    QVERIFY(!chooser->showField(kPluFieldCount));
    QVERIFY(!chooser->hideField(-1));
    QVERIFY(s.state->reportedErrors.isEmpty());
}

void TestFieldChooser::headerStillMovesSectionsSideways()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(s.show());
    s.openChooser();
    DropInto drop;
    s.chooser()->setDragRunner(std::ref(drop));
    QHeaderView *h = s.header();
    const int a = ShownSectionAt(h, 0);
    const int b = ShownSectionAt(h, 1);
    const int c = ShownSectionAt(h, 2);
    // Drag the first section sideways past the middle of the third.
    const QPoint start = SectionCenter(h, a);
    const QPoint end = SectionCenter(h, c) + QPoint(h->sectionSize(c) / 4, 0);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, start);
    for (int x = start.x(); x <= end.x(); x += 20)
        QTest::mouseMove(h->viewport(), QPoint(x, start.y()));
    QTest::mouseMove(h->viewport(), end);
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, end);
    QCOMPARE(drop.drags, 0);
    QCOMPARE(ShownSectionAt(h, 0), b);
    QVERIFY(ShownOrder(h).indexOf(a) > ShownOrder(h).indexOf(b));
    QVERIFY(!h->isSectionHidden(a));

    // After a sideways start, pulling down still ends in the chooser and
    // leaves the other sections where they were.
    const QList<int> order = ShownOrder(h);
    const int moving = ShownSectionAt(h, 1);
    const int movingAt = h->visualIndex(moving);
    drop.target = s.chooser()->wndFieldChooser->viewport();
    drop.at = QPoint(5, 5);
    const QPoint from = SectionCenter(h, moving);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, from);
    // Past the middle of the next section: the header is about to move it.
    const int past = h->sectionSize(moving) / 2 + h->sectionSize(ShownSectionAt(h, 2)) * 3 / 4;
    QTest::mouseMove(h->viewport(), from + QPoint(40, 0));
    QTest::mouseMove(h->viewport(), from + QPoint(past, 0));
    QTest::mouseMove(h->viewport(), from + QPoint(past, h->viewport()->height() + 50));
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, from + QPoint(past, h->viewport()->height() + 50));
    QCOMPARE(drop.drags, 1);
    QVERIFY(h->isSectionHidden(moving));
    QCOMPARE(h->visualIndex(moving), movingAt); // hidden where it stood
    QList<int> expected = order;
    expected.removeOne(moving);
    QCOMPARE(ShownOrder(h), expected);

    // A chooser lying over the header's end takes a section pulled sideways
    // onto it.
    const QPoint headerTop = h->viewport()->mapToGlobal(QPoint(0, 0));
    s.chooser()->setGeometry(headerTop.x() + 420, headerTop.y() - 10, 150, 150);
    const int third = ShownSectionAt(h, 0);
    const QPoint at = SectionCenter(h, third);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, at);
    for (int x = at.x(); x < 480; x += 25)
        QTest::mouseMove(h->viewport(), QPoint(x, at.y()));
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, QPoint(480, at.y()));
    QCOMPARE(drop.drags, 2);
    QVERIFY(h->isSectionHidden(third));
}

void TestFieldChooser::arrangementSurvivesRestart()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    int hidden = -1, moved = -1, resized = -1;
    QList<int> order;
    {
        Session s(root);
        QVERIFY(s.ok());
        QVERIFY(s.show());
        s.openChooser();
        DropInto drop;
        s.chooser()->setDragRunner(std::ref(drop));
        QHeaderView *h = s.header();
        hidden = ShownSectionAt(h, 1);
        drop.target = s.chooser()->wndFieldChooser->viewport();
        drop.at = QPoint(8, 8);
        DragSectionDown(h, hidden);
        QVERIFY(h->isSectionHidden(hidden));
        moved = ShownSectionAt(h, 3);
        h->moveSection(h->visualIndex(moved), h->visualIndex(ShownSectionAt(h, 0)));
        resized = ShownSectionAt(h, 2);
        h->resizeSection(resized, 163);
        order = ShownOrder(h);
        QCOMPARE(order.first(), moved);
        s.window->close();
    }

    Session s(root);
    QVERIFY(s.ok());
    QHeaderView *h = s.header();
    QVERIFY(h->isSectionHidden(hidden));
    QVERIFY(!s.state->pluFields.at(hidden).Visible);
    QCOMPARE(ShownOrder(h), order);
    QCOMPARE(h->sectionSize(resized), 163);
    for (int i = 0; i < kPluFieldCount; ++i)
        QCOMPARE(s.state->pluFields.at(i).Visible, !h->isSectionHidden(i));
    QVERIFY(s.window->pluList()->sortColumns().isEmpty());
    // The selection list takes the same arrangement.
    QHeaderView *sel = s.window->selectPane()->wndSelectedPLU->horizontalHeader();
    QCOMPARE(ShownOrder(sel), order);
    QCOMPARE(sel->sectionSize(resized), 163);
    // The chooser was open at the end, so it is open again and offers it.
    QVERIFY(s.chooser()->isVisible());
    QVERIFY(ChooserFields(s.chooser()).contains(hidden));
    QVERIFY(s.state->reportedErrors.isEmpty());
}

void TestFieldChooser::chooserPlaceAndVisibilityPersist()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        Session s(root);
        QVERIFY(s.ok());
        ClearUserStore(*s.state);
        QVERIFY(s.show());
        // Delivered closed; the View menu opens it at the default place.
        QVERIFY(!s.chooser()->isVisible());
        s.window->dispatch(cmd::FieldChooser);
        FieldChooserWindow *c = s.chooser();
        QVERIFY(c->isVisible());
        QVERIFY(s.window->command(cmd::FieldChooser)->isChecked());
        QCOMPARE(c->geometry(), QRect(67, 67, 153, 367));
        // The list fills the window, 4 from the left, 8 narrower.
        c->resize(220, 330);
        QTRY_COMPARE(c->wndFieldChooser->geometry(), QRect(4, 0, 212, 330));
        // Closing it from the View menu keeps its place.
        c->setGeometry(100, 120, 180, 300);
        s.window->dispatch(cmd::FieldChooser);
        QVERIFY(!c->isVisible());
        QVERIFY(!s.window->command(cmd::FieldChooser)->isChecked());
        QCOMPARE(s.state->userStore().value(QStringLiteral("FieldChooserLeft")).toInt(), 1500);
        c->move(300, 300); // wherever it is now, showing puts it back
        s.window->dispatch(cmd::FieldChooser);
        QCOMPARE(c->geometry(), QRect(100, 120, 180, 300));
        c->setGeometry(110, 130, 190, 310);
        s.window->close();
    }
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("ShowFieldChooser"), IniPath(root)),
             QStringLiteral("True"));
    {
        Session s(root);
        QVERIFY(s.ok());
        QSettings &store = s.state->userStore();
        QCOMPARE(store.value(QStringLiteral("FieldChooserLeft")).toInt(), 110 * 15);
        QCOMPARE(store.value(QStringLiteral("FieldChooserTop")).toInt(), 130 * 15);
        QCOMPARE(store.value(QStringLiteral("FieldChooserWidth")).toInt(), 190 * 15);
        QCOMPARE(store.value(QStringLiteral("FieldChooserHeight")).toInt(), 310 * 15);
        QVERIFY(s.chooser()->isVisible());
        QCOMPARE(s.chooser()->geometry(), QRect(110, 130, 190, 310));
        QVERIFY(s.show());
        // Minimised at the end: the stored place stays.
        s.chooser()->setGeometry(400, 400, 150, 150);
        s.chooser()->showMinimized();
        QTRY_VERIFY(s.chooser()->isMinimized());
        s.window->close();
        QCOMPARE(store.value(QStringLiteral("FieldChooserLeft")).toInt(), 110 * 15);
        QCOMPARE(store.value(QStringLiteral("FieldChooserWidth")).toInt(), 190 * 15);
    }
    // Closed at the end: closed at the next start.
    {
        Session s(root);
        QVERIFY(s.ok());
        QVERIFY(s.chooser()->isVisible()); // minimised still counts as shown
        QVERIFY(s.show());
        s.window->dispatch(cmd::FieldChooser);
        QVERIFY(!s.chooser()->isVisible());
        s.window->close();
    }
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("ShowFieldChooser"), IniPath(root)),
             QStringLiteral("False"));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(!s.chooser()->isVisible());
}

QTEST_MAIN(TestFieldChooser)
#include "tst_fieldchooser.moc"
