// The store tree and the store, department and main-group property dialogs,
// driven through their real widgets over the demo shop's database. What the
// dialogs decide is the model's (manage tests); here: what the widgets show,
// where the focus goes and how the tree follows.

#include "UiTestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "i18n/Language.h"
#include "ui/Commands.h"
#include "ui/DeptPropertyDialog.h"
#include "ui/MainGroupPropertyDialog.h"
#include "ui/StorePropertyDialog.h"

#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

const QString kInjection = QStringLiteral("x'); delete from PLU; --");

bool ShowActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

void Ok(PropertyDialog *dlg) { QTest::mouseClick(dlg->cmdOK, Qt::LeftButton); }

// Types a number and a name into the dialog the next command opens, then OK.
void AnswerDialog(const QString &number, const QString &name)
{
    OnModal<PropertyDialog>([number, name](PropertyDialog *dlg) {
        if (!number.isNull())
            TypeInto(dlg->txtNo, number);
        TypeInto(dlg->txtName, name);
        Ok(dlg);
    });
}

// "parent>key#tag:text[child keys]" of a node, "-" when there is none.
QString Describe(StoreTreePane *tree, const QString &key)
{
    const QTreeWidgetItem *n = tree->findNode(key);
    return n ? StoreTreePane::keyOf(n->parent()) + ">" + StoreTreePane::keyOf(n) + "#" + StoreTreePane::tagOf(n) + ":"
                   + n->text(0) + "[" + ChildKeys(n).join(',') + "]"
             : QStringLiteral("-");
}

// A mouse move with the left button held.
void DragMove(StoreTreePane *tree, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, tree->viewport()->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
}

// Press on the node, move in steps to the point, release there; returns the
// node highlighted just before the release.
QTreeWidgetItem *DragNode(StoreTreePane *tree, QTreeWidgetItem *node, const QPoint &to)
{
    const QPoint from = CenterOf(tree, node);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= 4; ++i)
        DragMove(tree, from + (to - from) * i / 4);
    QTreeWidgetItem *lit = tree->dropHighlight();
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, to);
    return lit;
}

} // namespace

class TestStoreTree : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    std::unique_ptr<AppState> m_state;

    AppState &state() { return *m_state; }
    ScriptedUi &ui() { return m_root->ui; }
    QString scalar(const QString &sql) { return SqlScalar(*m_state, sql); }
    int count(const QString &from) { return SqlCount(*m_state, from); }
    int format(int code, const QString &type) { return BarcodeFormatIndex(*m_state, code, type); }
    QString text(const char *owner, const char *key) { return GetLangString(*m_state, owner, key); }

    // A shown main window over the data root (its own state).
    std::unique_ptr<Session> shownSession()
    {
        auto s = std::make_unique<Session>(*m_root);
        return s->ok() && s->show() ? std::move(s) : nullptr;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
        m_state = m_root->loadedState();
        QVERIFY(m_state);
    }
    void cleanup()
    {
        m_state.reset();
        m_root.reset();
    }

    void departmentDialog()
    {
        // Adding: the model's proposals shown; the flag boxes follow the
        // format (-1: none; 1 EAN: both; 3 EAN, FlagStat 10: flag 1 only).
        state().settings.UseMainGroup = true;
        const int depts = count("DEPT");
        DeptPropertyDialog dlg(state());
        dlg.setAddMode(true);
        dlg.setParentNumber(1);
        QVERIFY(ShowActive(&dlg));
        QCOMPARE(dlg.txtNo->objectName(), QStringLiteral("txtDeptNo"));
        QCOMPARE(dlg.lblNo->text(), text("frmDeptProperty", "lblDeptNo"));
        QCOMPARE(dlg.txtNo->text() + "/" + dlg.txtName->text(), "5/" + text("frmMain", "DefaultDept"));
        QVERIFY(!dlg.txtFlag1->isVisible() && !dlg.txtFlag2->isVisible() && !dlg.cboBarcodeFlag->isVisible());
        dlg.cboBarcodeFormat->setCurrentIndex(format(1, "EAN"));
        QVERIFY(dlg.txtFlag1->isVisible() && dlg.txtFlag2->isVisible() && dlg.cboBarcodeFlag->isVisible());
        dlg.cboBarcodeFormat->setCurrentIndex(format(3, "EAN"));
        QVERIFY(dlg.txtFlag1->isVisible() && !dlg.txtFlag2->isVisible() && !dlg.lblFlag2->isVisible());

        // The box at fault gets the focus and its message; nothing is written.
        dlg.cboBarcodeFormat->setCurrentIndex(format(1, "EAN"));
        const struct {
            QLineEdit *box;
            const char *text, *key;
        } cases[] = {{dlg.txtFlag2, "-", "msgFlagCodeError"}, {dlg.txtNo, "2", "msgDeptExist"}};
        for (const auto &c : cases) {
            const QString good = c.box->text();
            TypeInto(c.box, c.text);
            ui().messages.clear();
            Ok(&dlg);
            QVERIFY2(dlg.isVisible(), c.text);
            QCOMPARE(ui().messages.value(0).text, text("frmDeptProperty", c.key));
            QCOMPARE(QApplication::focusWidget(), c.box);
            TypeInto(c.box, good);
        }
        QCOMPARE(count("DEPT"), depts);

        // A hidden flag box is not tested; what is typed is stored as typed.
        TypeInto(dlg.txtFlag2, "xx");
        dlg.cboBarcodeFormat->setCurrentIndex(format(3, "EAN"));
        TypeInto(dlg.txtFlag1, "4");
        TypeInto(dlg.txtName, kInjection);
        ui().messages.clear();
        Ok(&dlg);
        QVERIFY(!dlg.isVisible() && !dlg.cancelled());
        QVERIFY(ui().messages.isEmpty());
        QCOMPARE(dlg.number(), 5);
        QCOMPARE(scalar("select Flag1||'/'||BarFormat||'/'||ST_No from DEPT where DP_No=5"), QStringLiteral("4/3/1"));
        QCOMPARE(scalar("select DP_Name from DEPT where DP_No=5"), kInjection);

        // Editing shows the row; Cancel writes nothing.
        DeptPropertyDialog edit(state());
        edit.setNumber(2);
        QVERIFY(ShowActive(&edit));
        QCOMPARE(edit.txtNo->text() + "/" + edit.txtName->text(), QStringLiteral("2/Butchery"));
        QCOMPARE(edit.txtFlag1->text() + edit.txtFlag2->text(), QStringLiteral("23"));
        QCOMPARE(edit.cboBarcodeFormat->currentIndex(), format(2, "EAN"));
        QVERIFY(edit.cboLabelFormat->currentText().startsWith("3: "));
        QVERIFY(edit.cboBarcodeFlag->currentText().startsWith("1:"));
        TypeInto(edit.txtName, "Meat");
        QTest::mouseClick(edit.cmdCancel, Qt::LeftButton);
        QVERIFY(edit.cancelled());
        QCOMPARE(scalar("select DP_Name from DEPT where DP_No=2"), QStringLiteral("Butchery"));

        // 97 keeps its number; the focus starts on the name.
        DeptPropertyDialog d97(state());
        d97.setNumber(97);
        QVERIFY(ShowActive(&d97));
        QVERIFY(!d97.txtNo->isEnabled());
        QCOMPARE(QApplication::focusWidget(), d97.txtName);
    }

    void treeFollowsTables()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(Describe(tree, "Root"), QStringLiteral(">Root#1:Greenfield Market[Dept1,Dept2,Dept3,Dept4,Dept97]"));
        QCOMPARE(Describe(tree, "Dept1"), QStringLiteral("Root>Dept1#1:Fruit and Vegetables[MG101,MG102,MG103]"));
        QCOMPARE(StoreTreePane::kindOf(tree->findNode("MG101")), NodeKind::MainGroup);
        QVERIFY(tree->findNode("Dept1")->isExpanded() && tree->storeNode()->isExpanded());
        QCOMPARE(tree->selectedNode(), tree->storeNode());

        // Edit > Refresh reads the tables again and selects the store.
        ClickNode(tree, tree->findNode("Dept1"));
        QVERIFY(QueryKorvoDB(state(), "insert into DEPT(DP_No,DP_Name,ST_No) values(6,'Fish',1)"));
        QVERIFY(QueryKorvoDB(state(), "insert into MG(MG_No,DP_No,MG_Name) values(601,6,'Fresh fish')"));
        QVERIFY(QueryKorvoDB(state(), "update MG set MG_Name='Stone fruit' where MG_No=101"));
        s->window->dispatch(cmd::Refresh);
        QCOMPARE(Describe(tree, "Dept6"), QStringLiteral("Root>Dept6#6:Fish[MG601]"));
        QCOMPARE(Describe(tree, "MG101"), QStringLiteral("Dept1>MG101#101:Stone fruit[]"));
        QCOMPARE(tree->selectedKind(), NodeKind::Store);

        // A store without departments gets its default department at once.
        QVERIFY(QueryKorvoDB(state(), "delete from DEPT"));
        s->window->dispatch(cmd::Refresh);
        QCOMPARE(ChildKeys(tree->storeNode()), QStringList({"Dept1"}));
        QCOMPARE(tree->findNode("Dept1")->text(0), text("frmMain", "DefaultDept"));
    }

    void addAndEditThroughCommands()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        MainWindow &w = *s->window;
        // A department; with main groups on it gets none. Cancel adds nothing.
        ClickNode(tree, tree->storeNode());
        AnswerDialog("12", "O'Neil's Deli");
        w.command(cmd::AddDept)->trigger();
        QCOMPARE(Describe(tree, "Dept12"), QStringLiteral("Root>Dept12#12:O'Neil's Deli[]"));
        OnModal<PropertyDialog>([](PropertyDialog *dlg) { QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton); });
        w.dispatch(cmd::AddDept);
        QCOMPARE(tree->storeNode()->childCount(), 6);

        // Main groups go into the selected department, or the department of
        // the selected main group.
        ClickNode(tree, tree->findNode("Dept12"));
        AnswerDialog("1201", "Olives");
        w.dispatch(cmd::AddMainGroup);
        ClickNode(tree, tree->findNode("MG1201"));
        AnswerDialog("1202", "Antipasti");
        w.dispatch(cmd::AddMainGroup);
        QCOMPARE(Describe(tree, "Dept12"), QStringLiteral("Root>Dept12#12:O'Neil's Deli[MG1201,MG1202]"));

        // Properties: a new number moves the node and carries the children.
        QTreeWidgetItem *butchery = tree->findNode("Dept2");
        ClickNode(tree, butchery);
        AnswerDialog("20", "Meat");
        w.command(cmd::DeptProperty)->trigger();
        QCOMPARE(tree->findNode("Dept20"), butchery);
        QCOMPARE(Describe(tree, "Dept20"), QStringLiteral("Root>Dept20#20:Meat[MG201,MG202,MG203,MG204]"));
        ClickNode(tree, tree->findNode("MG201"));
        AnswerDialog("250", "Beef");
        w.command(cmd::MainGroupProperty)->trigger();
        QCOMPARE(Describe(tree, "MG250"), QStringLiteral("Dept20>MG250#250:Beef[]"));
        QCOMPARE(Describe(tree, "MG201"), QStringLiteral("-"));
        AnswerDialog({}, "Greenfield's");
        w.dispatch(cmd::StoreProperty);
        QCOMPARE(tree->storeNode()->text(0), QStringLiteral("Greenfield's"));
    }

    void deleteThroughCommands()
    {
        // Main group 997 where it never belongs: it survives its department.
        QVERIFY(QueryKorvoDB(state(), "update MG set DP_No=1 where MG_No=997"));
        const int kept = count("PLU where PLU_MG=997");
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        MainWindow &w = *s->window;
        const int plus = count("PLU");
        auto deleteWith = [&](const char *key, int command, MsgResult answer) {
            ClickNode(tree, tree->findNode(key));
            ui().messages.clear();
            ui().answers = {answer};
            w.dispatch(command);
        };
        // Cancel keeps the department.
        deleteWith("Dept3", cmd::DeleteDept, MsgResult::Cancel);
        QVERIFY(tree->findNode("Dept3"));
        QCOMPARE(count("PLU"), plus);
        // A later department: the one above it is selected; the first: the store.
        const int cheese = count("PLU where PLU_MG in (301,302,303)");
        deleteWith("Dept3", cmd::DeleteDept, MsgResult::Ok);
        QCOMPARE(tree->findNode("Dept3"), nullptr);
        QCOMPARE(tree->findNode("MG301"), nullptr);
        QCOMPARE(tree->selectedNode(), tree->findNode("Dept2"));
        QCOMPARE(count("PLU"), plus - cheese);
        deleteWith("Dept1", cmd::DeleteDept, MsgResult::Ok);
        QCOMPARE(tree->findNode("Dept1"), nullptr);
        QCOMPARE(tree->findNode("MG997")->parent(), tree->findNode("Dept97"));
        QCOMPARE(scalar("select DP_No from MG where MG_No=997"), QStringLiteral("97"));
        QCOMPARE(count("PLU where PLU_MG=997"), kept);
        QCOMPARE(tree->selectedNode(), tree->storeNode());
        deleteWith("Dept97", cmd::DeleteDept, MsgResult::Ok); // protected
        QVERIFY(tree->findNode("Dept97"));

        // Main groups: the one above, or the department for the first; 997 stays.
        deleteWith("MG203", cmd::DeleteMainGroup, MsgResult::Ok);
        QCOMPARE(tree->findNode("MG203"), nullptr);
        QCOMPARE(tree->selectedNode(), tree->findNode("MG202"));
        deleteWith("MG201", cmd::DeleteMainGroup, MsgResult::Ok);
        QCOMPARE(tree->selectedNode(), tree->findNode("Dept2"));
        QCOMPARE(ChildKeys(tree->findNode("Dept2")), QStringList({"MG202", "MG204"}));
        QCOMPARE(count("PLU where PLU_MG in (201,203)"), 0);
        deleteWith("MG997", cmd::DeleteMainGroup, MsgResult::Ok);
        QVERIFY(tree->findNode("MG997"));

        // A department command on a main group does nothing.
        deleteWith("MG997", cmd::DeleteDept, MsgResult::Ok);
        QVERIFY(ui().messages.isEmpty());
        QVERIFY(tree->findNode("Dept97"));
    }

    void renameInPlace()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        const int plus = count("PLU");
        // F2, a name with SQL in it, Return: stored as typed. Blanks are
        // refused as the dialog refuses them.
        QTreeWidgetItem *node = tree->findNode("MG102");
        ClickNode(tree, node);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_F2);
        auto *editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClicks(editor, kInjection);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(node->text(0), kInjection);
        QCOMPARE(scalar("select MG_Name from MG where MG_No=102"), kInjection);
        QCOMPARE(count("PLU"), plus);

        ui().messages.clear();
        tree->editItem(node);
        editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "   ");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(ui().messages.size(), 1);
        QCOMPARE(ui().messages[0].text, text("frmMainGroupProperty", "msgMGNameError"));
        QCOMPARE(node->text(0), kInjection);
    }

    void dragMainGroup()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        tree->window()->resize(1000, 900);
        QTreeWidgetItem *veg = tree->findNode("MG102");
        QTreeWidgetItem *fruit = tree->findNode("Dept1");
        QTreeWidgetItem *cheese = tree->findNode("Dept3");
        ClickNode(tree, veg);

        // Onto its own department, the store node, a sibling or empty space:
        // the highlight stays on the own department and nothing changes.
        for (const char *key : {"Dept2", "Dept3", "Dept4", "Dept97"})
            tree->findNode(key)->setExpanded(false);
        const QPoint empty(5, tree->visualItemRect(tree->findNode("Dept97")).bottom() + 6);
        QVERIFY(!tree->itemAt(empty));
        for (const QPoint &to : {CenterOf(tree, fruit), CenterOf(tree, tree->storeNode()),
                                 CenterOf(tree, tree->findNode("MG101")), empty}) {
            QCOMPARE(DragNode(tree, veg, to), fruit);
            QCOMPARE(veg->parent(), fruit);
            QCOMPARE(scalar("select DP_No from MG where MG_No=102"), QStringLiteral("1"));
            QCOMPARE(tree->dropHighlight(), nullptr);
        }
        // Onto another department, or a main group of another department.
        const int plus = count("PLU where PLU_MG=102");
        QCOMPARE(DragNode(tree, veg, CenterOf(tree, cheese)), cheese);
        QCOMPARE(veg->parent(), cheese);
        QCOMPARE(tree->selectedNode(), veg);
        QCOMPARE(scalar("select DP_No from MG where MG_No=102"), QStringLiteral("3"));
        QCOMPARE(count("PLU where PLU_MG=102"), plus);
        QCOMPARE(DragNode(tree, veg, CenterOf(tree, tree->findNode("MG401"))), tree->findNode("Dept4"));
        QCOMPARE(veg->parent(), tree->findNode("Dept4"));
        QCOMPARE(scalar("select DP_No from MG where MG_No=102"), QStringLiteral("4"));

        // Escape ends a drag without a move.
        QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, CenterOf(tree, veg));
        DragMove(tree, CenterOf(tree, fruit));
        QCOMPARE(tree->dragKey(), QStringLiteral("MG102"));
        QTest::keyClick(tree, Qt::Key_Escape);
        QCOMPARE(tree->dropHighlight(), nullptr);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, CenterOf(tree, fruit));
        QCOMPARE(veg->parent(), tree->findNode("Dept4"));

        // Departments are not dragged.
        ClickNode(tree, cheese);
        QCOMPARE(DragNode(tree, cheese, CenterOf(tree, fruit)), nullptr);
        QCOMPARE(cheese->parent(), tree->storeNode());

        // Main group 997 stays in department 97.
        tree->findNode("Dept97")->setExpanded(true);
        QTreeWidgetItem *misc = tree->findNode("MG997");
        ClickNode(tree, misc);
        ui().messages.clear();
        DragNode(tree, misc, CenterOf(tree, fruit));
        QCOMPARE(misc->parent(), tree->findNode("Dept97"));
        QCOMPARE(scalar("select DP_No from MG where MG_No=997"), QStringLiteral("97"));
        QCOMPARE(ui().messages.value(0).text, text("frmMain", "msgMoveDFUMGWarning"));
    }

};

QTEST_MAIN(TestStoreTree)
#include "tst_storetree.moc"
