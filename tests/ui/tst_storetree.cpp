// The store tree and the store, department and main-group property dialogs,
// driven through their real widgets over the demo shop's database.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "i18n/Language.h"
#include "UiTestSupport.h"
#include "core/IniFile.h"
#include "ui/Commands.h"
#include "ui/DeptPropertyDialog.h"
#include "ui/MainGroupPropertyDialog.h"
#include "ui/MainWindow.h"
#include "ui/StorePropertyDialog.h"
#include "ui/StoreTreePane.h"

#include <QComboBox>
#include <QDockWidget>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QString scalar(AppState &state, const QString &sql)
{
    auto q = QueryKorvoDB(state, sql);
    if (!q || !q->next())
        return QStringLiteral("<none>");
    return q->value(0).isNull() ? QStringLiteral("<null>") : q->value(0).toString();
}

int count(AppState &state, const QString &sql)
{
    return scalar(state, QStringLiteral("select count(*) from ") + sql).toInt();
}

int formatIndex(const AppState &state, int code, const QString &type)
{
    const auto &list = state.enc.barcodeList;
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].BAR_Code == code && list[i].BAR_Type == type)
            return i;
    }
    return -1;
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

bool showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

// One data root, one signed-in state and its main window, shown.
struct Session {
    explicit Session(TestDataRoot &root)
    {
        state = root.loadedState();
        if (!state)
            return;
        window = std::make_unique<MainWindow>(*state, &signIn);
        window->setProgramEnder([] {});
        window->show();
        shown = QTest::qWaitForWindowExposed(window.get());
    }
    bool ok() const { return state && window && shown; }
    StoreTreePane *tree() const { return window->storeTree(); }

    QueuedSignIn signIn;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
    bool shown = false;
};

// Runs action on the property dialog that the next command opens modally.
// The action must close the dialog through its buttons.
void onDialog(std::function<void(PropertyDialog *)> action)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action, tries] {
        auto *dlg = qobject_cast<PropertyDialog *>(QApplication::activeModalWidget());
        if ((!dlg || !dlg->isVisible()) && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (dlg)
            action(dlg);
    });
    timer->start();
}

QStringList childKeys(const QTreeWidgetItem *node)
{
    QStringList keys;
    for (int i = 0; i < node->childCount(); ++i)
        keys << StoreTreePane::keyOf(node->child(i));
    return keys;
}

QPoint centerOf(StoreTreePane *tree, QTreeWidgetItem *node)
{
    tree->scrollToItem(node);
    return tree->visualItemRect(node).center();
}

void clickNode(StoreTreePane *tree, QTreeWidgetItem *node)
{
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centerOf(tree, node));
}

// A mouse move with the left button held.
void dragMove(StoreTreePane *tree, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, tree->viewport()->mapToGlobal(pos), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
}

// Press on the node, move in steps to the point, release there.
void dragNode(StoreTreePane *tree, QTreeWidgetItem *node, const QPoint &to, QTreeWidgetItem **highlight = nullptr)
{
    const QPoint from = centerOf(tree, node);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= 4; ++i)
        dragMove(tree, from + (to - from) * i / 4);
    if (highlight)
        *highlight = tree->dropHighlight();
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, to);
}

} // namespace

class TestStoreTree : public QObject {
    Q_OBJECT

private slots:
    void departmentDialogAdd();
    void departmentDialogValidation();
    void departmentDialogEdit();
    void mainGroupAndStoreDialogs();
    void dialogTextsInEveryLanguage();
    void treeFollowsTables();
    void treeWithoutMainGroups();
    void addAndEditThroughCommands();
    void deleteThroughCommands();
    void renameInPlace();
    void dragMainGroup();
    void newPluMainGroup();
};

void TestStoreTree::departmentDialogAdd()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    state->settings.UseMainGroup = true;

    DeptPropertyDialog dlg(*state);
    dlg.setAddMode(true);
    dlg.setParentNumber(1);
    QVERIFY(showActive(&dlg));
    QCOMPARE(dlg.objectName(), QStringLiteral("frmDeptProperty"));
    QCOMPARE(dlg.windowTitle(), GetLangString(*state, "frmDeptProperty", "Caption"));
    QCOMPARE(dlg.lblNo->objectName(), QStringLiteral("lblDeptNo"));
    QCOMPARE(dlg.lblNo->text(), GetLangString(*state, "frmDeptProperty", "lblDeptNo"));
    QCOMPARE(dlg.txtNo->objectName(), QStringLiteral("txtDeptNo"));
    QCOMPARE(dlg.txtName->objectName(), QStringLiteral("txtDeptName"));
    QCOMPARE(dlg.cmdOK->text(), GetLangString(*state, "frmDeptProperty", "cmdOK"));
    QCOMPARE(dlg.fraBarcode->title(), GetLangString(*state, "frmDeptProperty", "fraBarcode"));
    QCOMPARE(dlg.txtNo->text(), QStringLiteral("5"));
    QVERIFY(dlg.txtNo->isEnabled());
    QCOMPARE(dlg.txtName->text(), GetLangString(*state, "frmMain", "DefaultDept"));
    QCOMPARE(dlg.txtFlag1->text(), QStringLiteral("0"));
    QCOMPARE(dlg.txtFlag2->text(), QStringLiteral("0"));
    QCOMPARE(dlg.cboBarcodeFlag->currentIndex(), 0);
    QCOMPARE(dlg.cboBarcodeFormat->currentIndex(), 0);
    QCOMPARE(dlg.cboLabelFormat->currentIndex(), 0);
    QCOMPARE(dlg.cboBarcodeFlag->count(), 10);
    QVERIFY(state->missingTexts.isEmpty());

    // The first format is -1: no flag boxes, no barcode flag.
    QVERIFY(!dlg.txtFlag1->isVisible() && !dlg.txtFlag2->isVisible());
    QVERIFY(!dlg.lblFlag->isVisible() && !dlg.cboBarcodeFlag->isVisible() && !dlg.lblBarcodeFlag->isVisible());
    // A format with both flag figures shows both; 3 EAN (FlagStat 10) flag 1 only.
    dlg.cboBarcodeFormat->setCurrentIndex(formatIndex(*state, 1, "EAN"));
    QVERIFY(dlg.txtFlag1->isVisible() && dlg.txtFlag2->isVisible() && dlg.lblFlag1->isVisible());
    QVERIFY(dlg.lblFlag->isVisible() && dlg.cboBarcodeFlag->isVisible() && dlg.lblBarcodeFlag->isVisible());
    dlg.cboBarcodeFormat->setCurrentIndex(formatIndex(*state, 3, "EAN"));
    QVERIFY(dlg.txtFlag1->isVisible() && !dlg.txtFlag2->isVisible() && !dlg.lblFlag2->isVisible());

    typeInto(dlg.txtName, "O'Neil's Deli");
    typeInto(dlg.txtFlag1, "4");
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.cancelled());
    QCOMPARE(dlg.number(), 5);
    QCOMPARE(scalar(*state, "select DP_Name||'/'||Flag1||'/'||BarFormat||'/'||ST_No from DEPT where DP_No=5"),
             QStringLiteral("O'Neil's Deli/4/3/1"));
    QCOMPARE(count(*state, "MG where DP_No=5"), 0);
    QVERIFY(root.ui.messages.isEmpty());

    // Cancel: nothing written, cancelled stays.
    DeptPropertyDialog again(*state);
    again.setAddMode(true);
    again.setParentNumber(1);
    QVERIFY(showActive(&again));
    QCOMPARE(again.txtNo->text(), QStringLiteral("6"));
    QTest::mouseClick(again.cmdCancel, Qt::LeftButton);
    QVERIFY(again.cancelled());
    QCOMPARE(again.result(), int(QDialog::Rejected));
    QCOMPARE(count(*state, "DEPT where DP_No=6"), 0);
}

void TestStoreTree::departmentDialogValidation()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int depts = count(*state, "DEPT");

    DeptPropertyDialog dlg(*state);
    dlg.setAddMode(true);
    dlg.setParentNumber(1);
    QVERIFY(showActive(&dlg));
    dlg.cboBarcodeFormat->setCurrentIndex(formatIndex(*state, 1, "EAN"));

    struct Case {
        QLineEdit *box;
        const char *text;
        const char *key;
    };
    const QList<Case> cases = {
        {dlg.txtFlag1, "10", "msgFlagCodeError"}, {dlg.txtFlag1, "", "msgFlagCodeError"},
        {dlg.txtFlag1, "a", "msgFlagCodeError"},  {dlg.txtFlag2, "-", "msgFlagCodeError"},
        {dlg.txtName, "", "msgDeptNameError"},    {dlg.txtNo, "0", "msgDeptCodeError"},
        {dlg.txtNo, "abc", "msgDeptCodeError"},   {dlg.txtNo, "2", "msgDeptExist"},
    };
    for (const Case &c : cases) {
        const QString good = c.box->text();
        typeInto(c.box, QString::fromLatin1(c.text));
        root.ui.messages.clear();
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        QVERIFY2(dlg.isVisible(), c.text);
        QCOMPARE(root.ui.messages.size(), 1);
        QCOMPARE(root.ui.messages.at(0).text, GetLangString(*state, "frmDeptProperty", QLatin1String(c.key)));
        QCOMPARE(root.ui.messages.at(0).icon, MsgIcon::Critical);
        QCOMPARE(QApplication::focusWidget(), c.box);
        QCOMPARE(count(*state, "DEPT"), depts);
        typeInto(c.box, good);
    }
    QVERIFY(dlg.cancelled());

    // A hidden flag box is not tested.
    typeInto(dlg.txtFlag2, "xx");
    dlg.cboBarcodeFormat->setCurrentIndex(formatIndex(*state, 4, "EAN"));
    QVERIFY(!dlg.txtFlag2->isVisible());
    typeInto(dlg.txtName, "x'); delete from PLU; --");
    const int plus = count(*state, "PLU");
    root.ui.messages.clear();
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QVERIFY(root.ui.messages.isEmpty());
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=5"), QStringLiteral("x'); delete from PLU; --"));
    QCOMPARE(count(*state, "PLU"), plus);
}

void TestStoreTree::departmentDialogEdit()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);

    DeptPropertyDialog dlg(*state);
    dlg.setNumber(2);
    QVERIFY(showActive(&dlg));
    QCOMPARE(dlg.txtNo->text(), QStringLiteral("2"));
    QCOMPARE(dlg.txtName->text(), QStringLiteral("Butchery"));
    QCOMPARE(dlg.cboBarcodeFormat->currentIndex(), formatIndex(*state, 2, "EAN"));
    QVERIFY(dlg.cboLabelFormat->currentText().startsWith("3: "));
    QVERIFY(dlg.cboBarcodeFlag->currentText().startsWith("1:"));
    // Same number: no existence test; a new number carries the main groups.
    typeInto(dlg.txtNo, "22");
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.number(), 22);
    QCOMPARE(count(*state, "MG where DP_No=22"), 4);
    QCOMPARE(count(*state, "DEPT_SECT where DEPT_No=22"), 2);

    // 97 keeps its number, its name can change.
    DeptPropertyDialog d97(*state);
    d97.setNumber(97);
    QVERIFY(showActive(&d97));
    QVERIFY(!d97.txtNo->isEnabled());
    QCOMPARE(QApplication::focusWidget(), d97.txtName);
    typeInto(d97.txtName, "Service");
    QTest::mouseClick(d97.cmdOK, Qt::LeftButton);
    QVERIFY(!d97.isVisible());
    QCOMPARE(d97.number(), 97);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=97"), QStringLiteral("Service"));
}

void TestStoreTree::mainGroupAndStoreDialogs()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);

    MainGroupPropertyDialog mg(*state);
    mg.setAddMode(true);
    mg.setParentNumber(4);
    QVERIFY(showActive(&mg));
    QCOMPARE(mg.objectName(), QStringLiteral("frmMainGroupProperty"));
    QCOMPARE(mg.txtNo->objectName(), QStringLiteral("txtMGNo"));
    QCOMPARE(mg.lblName->text(), GetLangString(*state, "frmMainGroupProperty", "lblMGName"));
    QCOMPARE(mg.txtName->text(), GetLangString(*state, "frmMain", "DefaultMainGroup"));
    typeInto(mg.txtName, "");
    QTest::mouseClick(mg.cmdOK, Qt::LeftButton);
    QCOMPARE(root.ui.messages.last().text, GetLangString(*state, "frmMainGroupProperty", "msgMGNameError"));
    QCOMPARE(QApplication::focusWidget(), mg.txtName);
    typeInto(mg.txtName, "Rolls");
    typeInto(mg.txtNo, "401");
    QTest::mouseClick(mg.cmdOK, Qt::LeftButton);
    QCOMPARE(root.ui.messages.last().text, GetLangString(*state, "frmMainGroupProperty", "msgMGExist"));
    QCOMPARE(QApplication::focusWidget(), mg.txtNo);
    typeInto(mg.txtNo, "0");
    QTest::mouseClick(mg.cmdOK, Qt::LeftButton);
    QCOMPARE(root.ui.messages.last().text, GetLangString(*state, "frmMainGroupProperty", "msgMGCodeError"));
    typeInto(mg.txtNo, "403");
    QTest::mouseClick(mg.cmdOK, Qt::LeftButton);
    QVERIFY(!mg.isVisible());
    QCOMPARE(mg.number(), 403);
    QCOMPARE(scalar(*state, "select DP_No||'/'||MG_Name from MG where MG_No=403"), QStringLiteral("4/Rolls"));
    QVERIFY(state->enc.mgIndex.contains(403));

    MainGroupPropertyDialog mg997(*state);
    mg997.setNumber(997);
    QVERIFY(showActive(&mg997));
    QVERIFY(!mg997.txtNo->isEnabled());
    QTest::mouseClick(mg997.cmdCancel, Qt::LeftButton);
    QVERIFY(mg997.cancelled());

    StorePropertyDialog store(*state);
    QVERIFY(showActive(&store));
    QCOMPARE(store.objectName(), QStringLiteral("frmStoreProperty"));
    QVERIFY(!store.txtNo);
    QCOMPARE(store.txtName->objectName(), QStringLiteral("txtStoreName"));
    QCOMPARE(store.txtName->text(), QStringLiteral("Greenfield Market"));
    typeInto(store.txtName, "");
    QTest::mouseClick(store.cmdOK, Qt::LeftButton);
    QCOMPARE(root.ui.messages.last().text, GetLangString(*state, "frmStoreProperty", "msgStoreNameError"));
    QVERIFY(store.isVisible());
    typeInto(store.txtName, "O'Neil's Market");
    QTest::mouseClick(store.cmdOK, Qt::LeftButton);
    QVERIFY(!store.isVisible());
    QVERIFY(!store.cancelled());
    QCOMPARE(scalar(*state, "select ST_Name from STORE"), QStringLiteral("O'Neil's Market"));
    QVERIFY(state->missingTexts.isEmpty());
}

void TestStoreTree::dialogTextsInEveryLanguage()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    for (const char *language : {"English", "Chinese", "Other"}) {
        state->settings.Language = QLatin1String(language);
        state->language = LanguageCache();
        DeptPropertyDialog dept(*state);
        dept.setNumber(2);
        MainGroupPropertyDialog mg(*state);
        mg.setAddMode(true);
        mg.setParentNumber(1);
        StorePropertyDialog store(*state);
        for (PropertyDialog *dlg : {static_cast<PropertyDialog *>(&dept), static_cast<PropertyDialog *>(&mg),
                                    static_cast<PropertyDialog *>(&store)}) {
            QVERIFY(showActive(dlg));
            QVERIFY(!dlg->windowTitle().isEmpty());
            QVERIFY(!dlg->lblBarcodeFormat->text().isEmpty());
            QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton);
        }
        QCOMPARE(mg.txtName->text(), GetLangString(*state, "frmMain", "DefaultMainGroup"));
        QVERIFY2(state->missingTexts.isEmpty(), qPrintable(QStringList(state->missingTexts.values()).join(", ")));
    }
    QVERIFY(root.ui.messages.isEmpty());
}

void TestStoreTree::treeFollowsTables()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    StoreTreePane *tree = s.tree();
    QTreeWidgetItem *store = tree->storeNode();
    QVERIFY(store);
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(store->text(0), QStringLiteral("Greenfield Market"));
    QCOMPARE(StoreTreePane::kindOf(store), NodeKind::Store);
    QCOMPARE(StoreTreePane::tagOf(store), QStringLiteral("1"));
    QCOMPARE(childKeys(store), QStringList({"Dept1", "Dept2", "Dept3", "Dept4", "Dept97"}));
    QTreeWidgetItem *fruit = tree->findNode("Dept1");
    QCOMPARE(fruit->text(0), QStringLiteral("Fruit and Vegetables"));
    QCOMPARE(StoreTreePane::kindOf(fruit), NodeKind::Department);
    QVERIFY(fruit->isExpanded() && store->isExpanded());
    QCOMPARE(childKeys(fruit), QStringList({"MG101", "MG102", "MG103"}));
    QCOMPARE(StoreTreePane::kindOf(fruit->child(0)), NodeKind::MainGroup);
    QCOMPARE(tree->selectedNode(), store);

    // Edit > Refresh reads the tables again and selects the store.
    clickNode(tree, fruit);
    QCOMPARE(tree->selectedNode(), fruit);
    QVERIFY(QueryKorvoDB(*s.state, "insert into DEPT(DP_No,DP_Name,ST_No) values(6,'Fish',1)"));
    QVERIFY(QueryKorvoDB(*s.state, "insert into MG(MG_No,DP_No,MG_Name) values(601,6,'Fresh fish')"));
    QVERIFY(QueryKorvoDB(*s.state, "update MG set MG_Name='Stone fruit' where MG_No=101"));
    s.window->dispatch(cmd::Refresh);
    QCOMPARE(childKeys(tree->storeNode()), QStringList({"Dept1", "Dept2", "Dept3", "Dept4", "Dept6", "Dept97"}));
    QCOMPARE(childKeys(tree->findNode("Dept6")), QStringList({"MG601"}));
    QCOMPARE(tree->findNode("MG101")->text(0), QStringLiteral("Stone fruit"));
    QCOMPARE(tree->selectedKind(), NodeKind::Store);

    // A store without departments gets its default department at once.
    QVERIFY(QueryKorvoDB(*s.state, "delete from DEPT"));
    s.window->dispatch(cmd::Refresh);
    QCOMPARE(childKeys(tree->storeNode()), QStringList({"Dept1"}));
    QCOMPARE(tree->findNode("Dept1")->text(0), GetLangString(*s.state, "frmMain", "DefaultDept"));
    QVERIFY(s.state->reportedErrors.isEmpty());
}

void TestStoreTree::treeWithoutMainGroups()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    QVERIFY(WriteIniString("Setting", "UseMainGroup", "False", root.path() + "Korvo2005.INI"));
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(!s.state->settings.UseMainGroup);
    StoreTreePane *tree = s.tree();
    QCOMPARE(childKeys(tree->storeNode()), QStringList({"Dept1", "Dept2", "Dept3", "Dept4", "Dept97"}));
    for (int i = 0; i < tree->storeNode()->childCount(); ++i)
        QCOMPARE(tree->storeNode()->child(i)->childCount(), 0);

    // A department added now gets its main group in the table, not in the tree.
    bool seen = false;
    onDialog([&](PropertyDialog *dlg) {
        seen = dlg->objectName() == QLatin1String("frmDeptProperty") && dlg->txtNo->text() == QLatin1String("5");
        typeInto(dlg->txtName, "Fish");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    s.window->dispatch(cmd::AddDept);
    QVERIFY(seen);
    QTreeWidgetItem *fish = tree->findNode("Dept5");
    QVERIFY(fish);
    QCOMPARE(fish->text(0), QStringLiteral("Fish"));
    QCOMPARE(fish->childCount(), 0);
    QCOMPARE(count(*s.state, "MG where DP_No=5"), 1);
}

void TestStoreTree::addAndEditThroughCommands()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    StoreTreePane *tree = s.tree();
    MainWindow &w = *s.window;

    // Add a department from the store popup.
    clickNode(tree, tree->storeNode());
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, tree->storeNode()));
    QMenu *storePopup = w.menu(cmd::PopupStore);
    QTRY_VERIFY(storePopup->isVisible());
    storePopup->close();
    onDialog([&](PropertyDialog *dlg) {
        typeInto(dlg->txtNo, "12");
        typeInto(dlg->txtName, "O'Neil's Deli");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    w.command(cmd::AddDept)->trigger();
    QTreeWidgetItem *deli = tree->findNode("Dept12");
    QVERIFY(deli);
    QCOMPARE(deli->parent(), tree->storeNode());
    QCOMPARE(deli->text(0), QStringLiteral("O'Neil's Deli"));
    QCOMPARE(StoreTreePane::tagOf(deli), QStringLiteral("12"));
    QCOMPARE(deli->childCount(), 0); // with main groups on it gets none

    // Cancel adds nothing.
    onDialog([](PropertyDialog *dlg) { QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton); });
    w.dispatch(cmd::AddDept);
    QCOMPARE(tree->storeNode()->childCount(), 6);

    // A main group in the new department, with a refused number first.
    clickNode(tree, deli);
    QStringList shown;
    onDialog([&](PropertyDialog *dlg) {
        typeInto(dlg->txtNo, "101");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
        shown << root.ui.messages.last().text;
        typeInto(dlg->txtNo, "1201");
        typeInto(dlg->txtName, "Olives");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    w.dispatch(cmd::AddMainGroup);
    QCOMPARE(shown, QStringList({GetLangString(*s.state, "frmMainGroupProperty", "msgMGExist")}));
    QCOMPARE(childKeys(deli), QStringList({"MG1201"}));
    QCOMPARE(tree->findNode("MG1201")->text(0), QStringLiteral("Olives"));
    QCOMPARE(scalar(*s.state, "select DP_No from MG where MG_No=1201"), QStringLiteral("12"));

    // With a main group selected the new one goes into its department.
    clickNode(tree, tree->findNode("MG1201"));
    onDialog([&](PropertyDialog *dlg) {
        typeInto(dlg->txtNo, "1202");
        typeInto(dlg->txtName, "Antipasti");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    w.dispatch(cmd::AddMainGroup);
    QCOMPARE(childKeys(deli), QStringList({"MG1201", "MG1202"}));

    // Department properties from the department popup: a new number
    // carries the main groups, the node follows.
    QTreeWidgetItem *butchery = tree->findNode("Dept2");
    clickNode(tree, butchery);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, butchery));
    QMenu *deptPopup = w.menu(cmd::PopupDept);
    QTRY_VERIFY(deptPopup->isVisible());
    QAction *props = w.command(cmd::DeptProperty);
    QVERIFY(deptPopup->actions().contains(props));
    deptPopup->close();
    onDialog([&](PropertyDialog *dlg) {
        typeInto(dlg->txtNo, "20");
        typeInto(dlg->txtName, "Meat");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    props->trigger();
    QCOMPARE(tree->findNode("Dept2"), nullptr);
    QCOMPARE(tree->findNode("Dept20"), butchery);
    QCOMPARE(butchery->text(0), QStringLiteral("Meat"));
    QCOMPARE(StoreTreePane::tagOf(butchery), QStringLiteral("20"));
    QCOMPARE(childKeys(butchery), QStringList({"MG201", "MG202", "MG203", "MG204"}));
    QCOMPARE(count(*s.state, "MG where DP_No=20"), 4);

    // Main-group properties from the main-group popup.
    QTreeWidgetItem *beef = tree->findNode("MG201");
    clickNode(tree, beef);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, beef));
    QMenu *mgPopup = w.menu(cmd::PopupMainGroup);
    QTRY_VERIFY(mgPopup->isVisible());
    mgPopup->close();
    const int beefPlus = count(*s.state, "PLU where PLU_MG=201");
    onDialog([&](PropertyDialog *dlg) {
        typeInto(dlg->txtNo, "250");
        typeInto(dlg->txtName, "x'); delete from PLU; --");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    w.command(cmd::MainGroupProperty)->trigger();
    QCOMPARE(tree->findNode("MG250"), beef);
    QCOMPARE(beef->text(0), QStringLiteral("x'); delete from PLU; --"));
    QCOMPARE(count(*s.state, "PLU where PLU_MG=250"), beefPlus);

    // Store properties.
    onDialog([&](PropertyDialog *dlg) {
        typeInto(dlg->txtName, "Greenfield's");
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    w.dispatch(cmd::StoreProperty);
    QCOMPARE(tree->storeNode()->text(0), QStringLiteral("Greenfield's"));
}

void TestStoreTree::deleteThroughCommands()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    StoreTreePane *tree = s.tree();
    MainWindow &w = *s.window;
    const int plus = count(*s.state, "PLU");

    // Cancel keeps the department.
    clickNode(tree, tree->findNode("Dept3"));
    w.dispatch(cmd::DeleteDept);
    QCOMPARE(root.ui.messages.last().defaultButton, MsgResult::Cancel);
    QVERIFY(tree->findNode("Dept3"));
    QCOMPARE(count(*s.state, "PLU"), plus);

    // A later department: the one above it is selected.
    const int cheese = count(*s.state, "PLU where PLU_MG in (301,302,303)");
    root.ui.answers.push_back(MsgResult::Ok);
    w.dispatch(cmd::DeleteDept);
    QCOMPARE(tree->findNode("Dept3"), nullptr);
    QCOMPARE(tree->findNode("MG301"), nullptr);
    QCOMPARE(tree->selectedNode(), tree->findNode("Dept2"));
    QCOMPARE(count(*s.state, "PLU"), plus - cheese);

    // The first department: the store is selected.
    clickNode(tree, tree->findNode("Dept1"));
    root.ui.answers.push_back(MsgResult::Ok);
    w.dispatch(cmd::DeleteDept);
    QCOMPARE(tree->findNode("Dept1"), nullptr);
    QCOMPARE(tree->selectedNode(), tree->storeNode());

    // 97 stays, with the warning.
    clickNode(tree, tree->findNode("Dept97"));
    root.ui.messages.clear();
    root.ui.answers.push_back(MsgResult::Ok);
    w.dispatch(cmd::DeleteDept);
    QVERIFY(tree->findNode("Dept97"));
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.at(0).icon, MsgIcon::Exclamation);
    QCOMPARE(root.ui.messages.at(0).text, GetLangString(*s.state, "frmMain", "msgDelDFUDeptWarning"));
    root.ui.answers.clear();

    // Main groups: the one above, or the department for the first.
    clickNode(tree, tree->findNode("MG203"));
    root.ui.answers.push_back(MsgResult::Ok);
    w.dispatch(cmd::DeleteMainGroup);
    QCOMPARE(tree->findNode("MG203"), nullptr);
    QCOMPARE(tree->selectedNode(), tree->findNode("MG202"));
    clickNode(tree, tree->findNode("MG201"));
    root.ui.answers.push_back(MsgResult::Ok);
    w.dispatch(cmd::DeleteMainGroup);
    QCOMPARE(tree->selectedNode(), tree->findNode("Dept2"));
    QCOMPARE(childKeys(tree->findNode("Dept2")), QStringList({"MG202", "MG204"}));
    QCOMPARE(count(*s.state, "PLU where PLU_MG in (201,203)"), 0);

    clickNode(tree, tree->findNode("MG997"));
    root.ui.answers.push_back(MsgResult::Ok);
    w.dispatch(cmd::DeleteMainGroup);
    QVERIFY(tree->findNode("MG997"));
    QCOMPARE(root.ui.messages.last().text, GetLangString(*s.state, "frmMain", "msgDelDFUMGWarning"));

    // A department command on a main group does nothing.
    root.ui.messages.clear();
    w.dispatch(cmd::DeleteDept);
    QVERIFY(root.ui.messages.isEmpty());
    QVERIFY(tree->findNode("Dept97"));
}

void TestStoreTree::renameInPlace()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    StoreTreePane *tree = s.tree();
    const int plus = count(*s.state, "PLU");

    struct Case {
        const char *key;
        const char *sql;
        const char *text;
    };
    const QList<Case> cases = {
        {"Dept3", "select DP_Name from DEPT where DP_No=3", "O'Neil's Deli"},
        {"MG102", "select MG_Name from MG where MG_No=102", "x'); delete from PLU; --"},
        {"Root", "select ST_Name from STORE", "Greenfield's"},
    };
    for (const Case &c : cases) {
        QTreeWidgetItem *node = tree->findNode(QLatin1String(c.key));
        clickNode(tree, node);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_F2);
        auto *editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY2(editor, c.key);
        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromUtf8(c.text));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(node->text(0), QString::fromUtf8(c.text));
        QCOMPARE(scalar(*s.state, QLatin1String(c.sql)), QString::fromUtf8(c.text));
    }
    QCOMPARE(count(*s.state, "PLU"), plus);

    // A rename the database refuses leaves the old name in the tree.
    QVERIFY(QueryKorvoDB(*s.state, "alter table MG rename to MG_OLD"));
    QTreeWidgetItem *node = tree->findNode("MG101");
    node->setText(0, "Stone fruit");
    QCOMPARE(node->text(0), QStringLiteral("Fruit"));
    QVERIFY(!s.state->reportedErrors.isEmpty());
}

void TestStoreTree::dragMainGroup()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    StoreTreePane *tree = s.tree();
    tree->window()->resize(1000, 900);
    QTreeWidgetItem *veg = tree->findNode("MG102");
    QTreeWidgetItem *fruit = tree->findNode("Dept1");
    QTreeWidgetItem *cheese = tree->findNode("Dept3");
    clickNode(tree, veg);

    // Onto its own department, the store node, a sibling or empty space:
    // the highlight stays on the own department and nothing changes.
    QTreeWidgetItem *lit = nullptr;
    for (const char *key : {"Dept2", "Dept3", "Dept4", "Dept97"})
        tree->findNode(QLatin1String(key))->setExpanded(false);
    const QPoint empty(5, tree->visualItemRect(tree->findNode("Dept97")).bottom() + 6);
    QVERIFY(tree->viewport()->rect().contains(empty));
    QVERIFY(!tree->itemAt(empty));
    for (const QPoint &to : {centerOf(tree, fruit), centerOf(tree, tree->storeNode()),
                             centerOf(tree, tree->findNode("MG101")), empty}) {
        dragNode(tree, veg, to, &lit);
        QCOMPARE(lit, fruit);
        QCOMPARE(veg->parent(), fruit);
        QCOMPARE(scalar(*s.state, "select DP_No from MG where MG_No=102"), QStringLiteral("1"));
        QCOMPARE(tree->dropHighlight(), nullptr);
        QCOMPARE(tree->dragKey(), QString());
    }

    // Onto another department.
    const int plus = count(*s.state, "PLU where PLU_MG=102");
    dragNode(tree, veg, centerOf(tree, cheese), &lit);
    QCOMPARE(lit, cheese);
    QCOMPARE(veg->parent(), cheese);
    QCOMPARE(tree->selectedNode(), veg);
    QCOMPARE(scalar(*s.state, "select DP_No from MG where MG_No=102"), QStringLiteral("3"));
    QCOMPARE(count(*s.state, "PLU where PLU_MG=102"), plus);
    QCOMPARE(tree->dropHighlight(), nullptr);

    // Onto a main group of another department: into that department.
    dragNode(tree, veg, centerOf(tree, tree->findNode("MG401")), &lit);
    QCOMPARE(lit, tree->findNode("Dept4"));
    QCOMPARE(veg->parent(), tree->findNode("Dept4"));
    QCOMPARE(scalar(*s.state, "select DP_No from MG where MG_No=102"), QStringLiteral("4"));

    // Escape ends a drag without a move.
    const QPoint from = centerOf(tree, veg);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
    dragMove(tree, centerOf(tree, fruit));
    QCOMPARE(tree->dragKey(), QStringLiteral("MG102"));
    QCOMPARE(tree->dropHighlight(), fruit);
    QTest::keyClick(tree, Qt::Key_Escape);
    QCOMPARE(tree->dropHighlight(), nullptr);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, centerOf(tree, fruit));
    QCOMPARE(veg->parent(), tree->findNode("Dept4"));

    // Departments are not dragged.
    clickNode(tree, cheese);
    dragNode(tree, cheese, centerOf(tree, fruit), &lit);
    QCOMPARE(lit, nullptr);
    QCOMPARE(cheese->parent(), tree->storeNode());
    QCOMPARE(scalar(*s.state, "select ST_No from DEPT where DP_No=3"), QStringLiteral("1"));
}

void TestStoreTree::newPluMainGroup()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    Session s(root);
    QVERIFY(s.ok());
    StoreTreePane *tree = s.tree();
    MainWindow &w = *s.window;
    QVERIFY(QueryKorvoDB(*s.state, "insert into DEPT(DP_No,DP_Name,ST_No) values(6,'Fish',1)"));
    w.dispatch(cmd::Refresh);
    QTreeWidgetItem *fish = tree->findNode("Dept6");
    QVERIFY(fish);
    QCOMPARE(fish->childCount(), 0);
    w.pane(MainWindow::EditorPaneId)->hide();

    clickNode(tree, fish);
    w.dispatch(cmd::NewPlu);
    QCOMPARE(childKeys(fish), QStringList({"MG1"}));
    QCOMPARE(fish->child(0)->text(0), GetLangString(*s.state, "frmMain", "DefaultMainGroup"));
    QCOMPARE(scalar(*s.state, "select DP_No from MG where MG_No=1"), QStringLiteral("6"));
    QVERIFY(w.pane(MainWindow::EditorPaneId)->isVisible());
    // Once is enough.
    w.dispatch(cmd::NewPlu);
    QCOMPARE(fish->childCount(), 1);
    QCOMPARE(count(*s.state, "MG where DP_No=6"), 1);
}

QTEST_MAIN(TestStoreTree)
#include "tst_storetree.moc"
