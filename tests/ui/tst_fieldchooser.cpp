// The field chooser driven as a person would: header sections dragged into
// the chooser and entries dragged back, the arrangement and the chooser's
// place kept across a restart over the same data root.

#include "UiTestSupport.h"
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

QHeaderView *Header(const Session &s) { return s.window->pluList()->horizontalHeader(); }
QHeaderView *SelectionHeader(const Session &s) { return s.window->selectPane()->wndSelectedPLU->horizontalHeader(); }

// Shows the window and opens the chooser from the View menu, away from the list's header.
bool ShowWithChooser(Session &s)
{
    s.window->setGeometry(20, 20, 760, 520);
    if (!s.show())
        return false;
    s.window->dispatch(cmd::FieldChooser);
    s.window->fieldChooser()->setGeometry(600, 380, 150, 150);
    return QTest::qWaitForWindowExposed(s.window->fieldChooser());
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

// The logical indexes of the shown sections in visual order.
QList<int> ShownOrder(const QHeaderView *h)
{
    QList<int> order;
    for (int v = 0; v < h->count(); ++v)
        if (!h->isSectionHidden(h->logicalIndex(v)))
            order << h->logicalIndex(v);
    return order;
}

int ShownSectionAt(const QHeaderView *h, int shownPosition) { return ShownOrder(h).value(shownPosition, -1); }

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

QList<int> ChooserFields(const FieldChooserWindow *chooser)
{
    QList<int> fields;
    for (int i = 0; i < chooser->wndFieldChooser->count(); ++i)
        fields << chooser->wndFieldChooser->item(i)->data(Qt::UserRole).toInt();
    return fields;
}

// Presses on a chooser entry and pulls it away until the drag starts.
void DragEntry(FieldChooserWindow *chooser, int field)
{
    QListWidget *list = chooser->wndFieldChooser;
    QListWidgetItem *entry = list->item(ChooserFields(chooser).indexOf(field));
    QVERIFY(entry);
    list->scrollToItem(entry);
    const QPoint start = list->visualItemRect(entry).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(list->viewport(), start + QPoint(2, 2));
    QTest::mouseMove(list->viewport(), start + QPoint(30, 30));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, start + QPoint(30, 30));
}

} // namespace

class TestFieldChooser : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;

    bool chooserShownInSettings()
    {
        return ReadIniString("Setting", "ShowFieldChooser", m_root->iniPath()) == QLatin1String("True");
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
    }
    void cleanup() { m_root.reset(); }

    void withoutStoredLayoutTheShowKeyDecides()
    {
        QVERIFY(WriteIniString("PLU", "Show", "10,0,2,75,3", m_root->iniPath()));
        Session s(*m_root);
        QVERIFY(s.ok());
        QHeaderView *h = Header(s);
        // Exactly the listed columns, in field-table order whatever the key's
        // order, in the standard width, with their captions.
        QCOMPARE(ShownOrder(h), QList<int>({0, 2, 3, 10, 75}));
        QCOMPARE(ShownOrder(SelectionHeader(s)), QList<int>({0, 2, 3, 10, 75}));
        for (int i = 0; i < kPluFieldCount; ++i) {
            QCOMPARE(h->visualIndex(i), i);
            QVERIFY(h->isSectionHidden(i) || h->sectionSize(i) >= 100);
            QCOMPARE(s.state->pluFields.at(i).Visible, !h->isSectionHidden(i));
            QCOMPARE(s.window->pluList()->horizontalHeaderItem(i)->text(), s.state->pluFields.at(i).Caption);
        }
        // The chooser, closed by the delivered settings, offers the other 71.
        QVERIFY(!s.window->fieldChooser()->isVisible());
        s.window->dispatch(cmd::FieldChooser);
        QCOMPARE(s.window->fieldChooser()->wndFieldChooser->count(), kPluFieldCount - 5);
    }

    void dragHidesAndShowsColumns()
    {
        Session s(*m_root);
        QVERIFY(s.ok() && ShowWithChooser(s));
        FieldChooserWindow *chooser = s.window->fieldChooser();
        QHeaderView *h = Header(s);
        DropInto drop;
        chooser->setDragRunner(std::ref(drop));

        // Pulled out of the header and dropped on the chooser: hidden,
        // offered, nothing else moved, the selection list follows.
        const int field = ShownSectionAt(h, 2);
        QList<int> expected = ShownOrder(h);
        expected.removeOne(field);
        drop.target = chooser->wndFieldChooser->viewport();
        drop.at = QPoint(10, 10);
        const int sorted = ShownSectionAt(h, 0);
        s.window->pluList()->setSortColumns({{sorted, false}});
        DragSectionDown(h, field);
        QCOMPARE(s.window->pluList()->sortColumns().size(), 1); // a drag is no click
        QCOMPARE(s.window->pluList()->sortColumns().first().column, sorted);
        QCOMPARE(drop.drags, 1);
        QCOMPARE(drop.lastField, field);
        QVERIFY(ChooserFields(chooser).contains(field));
        QVERIFY(!s.state->pluFields.at(field).Visible);
        QCOMPARE(ShownOrder(h), expected);
        QTRY_VERIFY(SelectionHeader(s)->isSectionHidden(field));

        // Pulled out but dropped on nothing that takes it: nothing changes. A
        // press and release inside the header starts no drag.
        const int other = ShownSectionAt(h, 0);
        drop.target = nullptr;
        DragSectionDown(h, other);
        QCOMPARE(drop.drags, 2);
        QCOMPARE(ShownOrder(h), expected);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, SectionCenter(h, other));
        QCOMPARE(drop.drags, 2);

        // Dragged from the chooser onto the left half of the first shown
        // section: shown again, in front of it.
        drop.target = h->viewport();
        drop.at = QPoint(h->sectionViewportPosition(other) + 5, h->viewport()->height() / 2);
        DragEntry(chooser, field);
        QCOMPARE(drop.lastField, field);
        QCOMPARE(ShownSectionAt(h, 0), field);
        QCOMPARE(ShownSectionAt(h, 1), other);
        QVERIFY(!ChooserFields(chooser).contains(field));
        QVERIFY(s.state->pluFields.at(field).Visible);
        QTRY_COMPARE(ShownOrder(SelectionHeader(s)), ShownOrder(h));

        // Dropped on the right half of a section it lands after it.
        const int price = s.state->pluFields.indexOf("PLU_UPrice");
        QVERIFY(chooser->hideField(price));
        const int target = ShownSectionAt(h, 1);
        drop.at = QPoint(h->sectionViewportPosition(target) + h->sectionSize(target) - 5, h->viewport()->height() / 2);
        DragEntry(chooser, price);
        QCOMPARE(ShownSectionAt(h, 2), price);
        QCOMPARE(ShownSectionAt(h, 1), target);

        // The header takes only fields; the chooser only shown ones; the last
        // shown column stays.
        const QList<int> now = ShownOrder(h);
        QMimeData text;
        text.setText("PLU_UPrice");
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
        // A sorted column's marker stays in the header.
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, SectionCenter(h, now.at(1)));
        QCOMPARE(s.window->pluList()->sortColumns().size(), 1);
        for (int f : now.mid(1))
            QVERIFY(chooser->hideField(f));
        for (const QListWidgetItem *entry : chooser->wndFieldChooser->findItems("*", Qt::MatchWildcard))
            QCOMPARE(entry->text(), s.state->pluFields.at(entry->data(Qt::UserRole).toInt()).Caption);
        QVERIFY(!chooser->hideField(now.first()));
        QCOMPARE(ShownOrder(h), QList<int>({now.first()}));
        QVERIFY(!chooser->showField(kPluFieldCount));
        QVERIFY(s.state->reportedErrors.isEmpty());
    }

    void arrangementSurvivesRestart()
    {
        int hidden = -1, resized = -1;
        QList<int> order;
        {
            Session s(*m_root);
            QVERIFY(s.ok() && ShowWithChooser(s));
            DropInto drop;
            s.window->fieldChooser()->setDragRunner(std::ref(drop));
            QHeaderView *h = Header(s);
            hidden = ShownSectionAt(h, 1);
            drop.target = s.window->fieldChooser()->wndFieldChooser->viewport();
            drop.at = QPoint(8, 8);
            DragSectionDown(h, hidden);
            QVERIFY(h->isSectionHidden(hidden));
            h->moveSection(h->visualIndex(ShownSectionAt(h, 3)), h->visualIndex(ShownSectionAt(h, 0)));
            resized = ShownSectionAt(h, 2);
            h->resizeSection(resized, 163);
            order = ShownOrder(h);
            s.window->close();
        }
        // Hidden, moved and resized columns come back, in the selection
        // list too; the chooser was open at the end, so it is open again.
        Session s(*m_root);
        QVERIFY(s.ok());
        QHeaderView *h = Header(s);
        QCOMPARE(ShownOrder(h), order);
        QCOMPARE(h->sectionSize(resized), 163);
        for (int i = 0; i < kPluFieldCount; ++i)
            QCOMPARE(s.state->pluFields.at(i).Visible, !h->isSectionHidden(i));
        QVERIFY(s.window->pluList()->sortColumns().isEmpty());
        QCOMPARE(ShownOrder(SelectionHeader(s)), order);
        QCOMPARE(SelectionHeader(s)->sectionSize(resized), 163);
        QVERIFY(s.show());
        QTRY_VERIFY(s.window->fieldChooser()->isVisible());
        QVERIFY(ChooserFields(s.window->fieldChooser()).contains(hidden));
        QVERIFY(s.state->reportedErrors.isEmpty());
    }

    void chooserPlaceAndVisibilityPersist()
    {
        {
            Session s(*m_root);
            QVERIFY(s.ok());
            ClearUserStore(*s.state);
            QVERIFY(s.show());
            // Delivered closed; the View menu opens it off the tree and the header.
            s.window->dispatch(cmd::FieldChooser);
            FieldChooserWindow *c = s.window->fieldChooser();
            QVERIFY(c->isVisible());
            for (QWidget *w : {static_cast<QWidget *>(s.tree()), static_cast<QWidget *>(Header(s))})
                QVERIFY(!c->frameGeometry().intersects(QRect(w->mapToGlobal(QPoint(0, 0)), w->size())));
            // Closing it from the View menu keeps its place (in twips);
            // showing it puts it back there.
            c->setGeometry(100, 120, 180, 300);
            s.window->dispatch(cmd::FieldChooser);
            QVERIFY(!c->isVisible());
            QCOMPARE(s.state->userStore().value("FieldChooserLeft").toInt(), 100 * 15);
            c->move(300, 300);
            s.window->dispatch(cmd::FieldChooser);
            QCOMPARE(c->geometry(), QRect(100, 120, 180, 300));
            c->setGeometry(110, 130, 190, 310);
            s.window->close();
        }
        QVERIFY(chooserShownInSettings());
        {
            Session s(*m_root);
            QVERIFY(s.ok());
            QSettings &store = s.state->userStore();
            // Shown after the main window, so not behind it.
            QVERIFY(!s.window->fieldChooser()->isVisible());
            QVERIFY(s.show());
            QTRY_VERIFY(s.window->fieldChooser()->isVisible());
            QCOMPARE(s.window->fieldChooser()->geometry(), QRect(110, 130, 190, 310));
            // Minimised at the end: the stored place stays, and it counts as shown.
            s.window->fieldChooser()->setGeometry(400, 400, 150, 150);
            s.window->fieldChooser()->showMinimized();
            QTRY_VERIFY(s.window->fieldChooser()->isMinimized());
            s.window->close();
            QCOMPARE(store.value("FieldChooserLeft").toInt(), 110 * 15);
        }
        {
            // Closed at the end: closed at the next start.
            Session s(*m_root);
            QVERIFY(s.ok() && s.show());
            QTRY_VERIFY(s.window->fieldChooser()->isVisible());
            s.window->dispatch(cmd::FieldChooser);
            s.window->close();
        }
        QVERIFY(!chooserShownInSettings());
        Session s(*m_root);
        QVERIFY(s.ok());
        QVERIFY(!s.window->fieldChooser()->isVisible());
    }
};

QTEST_MAIN(TestFieldChooser)
#include "tst_fieldchooser.moc"
