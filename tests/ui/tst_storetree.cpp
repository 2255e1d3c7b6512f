// The store tree and the store, department and main-group property dialogs,
// driven through their real widgets over the demo shop's database.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "i18n/Language.h"
#include "ui/DeptPropertyDialog.h"
#include "ui/MainGroupPropertyDialog.h"
#include "ui/StorePropertyDialog.h"

#include <QComboBox>
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

} // namespace

class TestStoreTree : public QObject {
    Q_OBJECT

private slots:
    void departmentDialogAdd();
    void departmentDialogValidation();
    void departmentDialogEdit();
    void mainGroupAndStoreDialogs();
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

QTEST_MAIN(TestStoreTree)
#include "tst_storetree.moc"
