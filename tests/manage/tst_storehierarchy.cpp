// The store hierarchy: tree building, renaming, deleting, moving, the main
// group of a new PLU and the logic of the three property dialogs, on the
// demo shop's database.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "manage/StoreHierarchy.h"
#include "i18n/Language.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>

using namespace korvo;
using namespace korvo::test;

namespace {

const QString kInjection = QStringLiteral("x'); delete from PLU; --");

QString scalar(AppState &state, const QString &sql)
{
    auto q = QueryKorvoDB(state, sql);
    if (!q || !q->next())
        return QStringLiteral("<none>");
    const QVariant v = q->value(0);
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

int count(AppState &state, const QString &sql)
{
    return scalar(state, QStringLiteral("select count(*) from ") + sql).toInt();
}

QStringList column(AppState &state, const QString &sql)
{
    QStringList out;
    auto q = QueryKorvoDB(state, sql);
    while (q && q->next())
        out << q->value(0).toString();
    return out;
}

bool run(AppState &state, const QString &sql)
{
    return QueryKorvoDB(state, sql).has_value();
}

// Setup statements the program's own path refuses (a trigger body holds
// several statements).
bool runRaw(AppState &state, const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(state.connMain));
    return q.exec(sql);
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

QStringList keys(const StoreNode &node)
{
    QStringList out;
    for (const StoreNode &c : node.children)
        out << c.key;
    return out;
}

} // namespace

class TestStoreHierarchy : public QObject {
    Q_OBJECT

private slots:
    void nodeKeys();
    void buildTree();
    void buildTreeCreatesDefaultDepartment();
    void renameKeepsTextAsTyped();
    void deleteDepartment();
    void deleteMainGroup();
    void deleteRollsBackOnFailure();
    void dropTargetRules();
    void moveMainGroup();
    void mainGroupForNewPlu();
    void dialogLoad();
    void flagVisibility();
    void validationOrderAndKeys();
    void existenceTest();
    void saveDepartment();
    void saveMainGroupAndStore();
    void numberChangeCarriesChildren();
    void numberChangeRollsBackOnFailure();
};

void TestStoreHierarchy::nodeKeys()
{
    QCOMPARE(StoreNodeKey(StoreNode::Store, 1), QStringLiteral("Root"));
    QCOMPARE(StoreNodeKey(StoreNode::Department, 12), QStringLiteral("Dept12"));
    QCOMPARE(StoreNodeKey(StoreNode::MainGroup, 103), QStringLiteral("MG103"));
    QCOMPARE(StoreNodeKindOfKey(QStringLiteral("root")), StoreNode::Store);
    QCOMPARE(StoreNodeKindOfKey(QStringLiteral("DEPT4")), StoreNode::Department);
    QCOMPARE(StoreNodeKindOfKey(QStringLiteral("mg997")), StoreNode::MainGroup);
    QCOMPARE(StoreNodeKindOfKey(QStringLiteral("Dep")), StoreNode::None);
    QCOMPARE(StoreNodeKindOfKey(QString()), StoreNode::None);
}

void TestStoreHierarchy::buildTree()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);

    state->settings.UseMainGroup = true;
    StoreNode tree;
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(tree.kind, StoreNode::Store);
    QCOMPARE(tree.key, QStringLiteral("Root"));
    QCOMPARE(tree.number, 1);
    QCOMPARE(tree.text, QStringLiteral("Greenfield Market"));
    QCOMPARE(keys(tree), QStringList({"Dept1", "Dept2", "Dept3", "Dept4", "Dept97"}));
    const StoreNode &fruit = tree.children.at(0);
    QCOMPARE(fruit.kind, StoreNode::Department);
    QCOMPARE(fruit.number, 1);
    QCOMPARE(fruit.text, QStringLiteral("Fruit and Vegetables"));
    QCOMPARE(keys(fruit), QStringList({"MG101", "MG102", "MG103"}));
    QCOMPARE(fruit.children.at(2).kind, StoreNode::MainGroup);
    QCOMPARE(fruit.children.at(2).number, 103);
    QCOMPARE(fruit.children.at(2).text, QStringLiteral("Herbs and Salads"));
    QCOMPARE(keys(tree.children.at(4)), QStringList({"MG997"}));

    // A null name shows as "", departments of another store are not shown.
    QVERIFY(run(*state, "update MG set MG_Name=null where MG_No=101"));
    QVERIFY(run(*state, "update DEPT set ST_No=2 where DP_No=3"));
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(keys(tree), QStringList({"Dept1", "Dept2", "Dept4", "Dept97"}));
    QCOMPARE(tree.children.at(0).children.at(0).text, QString());

    // Without main groups the tree stops at the departments.
    state->settings.UseMainGroup = false;
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(tree.children.size(), 4);
    for (const StoreNode &d : tree.children)
        QVERIFY2(d.children.isEmpty(), qPrintable(d.key));

    // No store row: nothing to show.
    QVERIFY(run(*state, "delete from STORE"));
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(tree.kind, StoreNode::None);
    QVERIFY(tree.children.isEmpty());
    QVERIFY(root.ui.messages.isEmpty());
}

void TestStoreHierarchy::buildTreeCreatesDefaultDepartment()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const QString deptName = GetLangString(*state, "frmMain", "DefaultDept");
    const QString mgName = GetLangString(*state, "frmMain", "DefaultMainGroup");
    QVERIFY(!deptName.isEmpty() && !mgName.isEmpty());

    // Empty store: department 1 with main group 1.
    QVERIFY(run(*state, "delete from DEPT"));
    QVERIFY(run(*state, "delete from MG"));
    StoreNode tree;
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(keys(tree), QStringList({"Dept1"}));
    QCOMPARE(tree.children.at(0).text, deptName);
    QCOMPARE(keys(tree.children.at(0)), QStringList({"MG1"}));
    QCOMPARE(tree.children.at(0).children.at(0).text, mgName);
    QCOMPARE(scalar(*state, "select ST_No from DEPT where DP_No=1"), QStringLiteral("1"));
    QCOMPARE(scalar(*state, "select DP_No from MG where MG_No=1"), QStringLiteral("1"));
    // They pass their label and barcode settings up instead of deciding
    // with empty ones.
    QCOMPARE(scalar(*state, "select BarFormat from MG where MG_No=1"), QStringLiteral("-1"));
    QCOMPARE(scalar(*state, "select BarFormat from DEPT where DP_No=1"), QStringLiteral("-1"));
    // A second build finds the department and creates nothing more.
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(count(*state, "DEPT"), 1);
    QCOMPARE(count(*state, "MG"), 1);

    // Numbers taken by another store's rows: the first free ones.
    QVERIFY(run(*state, "update DEPT set ST_No=2"));
    QVERIFY(run(*state, "insert into DEPT(DP_No,DP_Name,ST_No) values(2,'Other',2)"));
    QVERIFY(run(*state, "insert into MG(MG_No,DP_No,MG_Name) values(2,2,'Other')"));
    QVERIFY(BuildStoreTree(*state, tree));
    QCOMPARE(keys(tree), QStringList({"Dept3"}));
    QCOMPARE(keys(tree.children.at(0)), QStringList({"MG3"}));
    QVERIFY(root.ui.messages.isEmpty());
}

void TestStoreHierarchy::renameKeepsTextAsTyped()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");
    QVERIFY(plus > 0);

    QVERIFY(RenameStoreNode(*state, StoreNode::Store, 1, "O'Neil's Market"));
    QVERIFY(RenameStoreNode(*state, StoreNode::Department, 2, kInjection));
    QVERIFY(RenameStoreNode(*state, StoreNode::MainGroup, 301, "#2024-01-01# True; 'x'"));
    QCOMPARE(scalar(*state, "select ST_Name from STORE where ST_No=1"), QStringLiteral("O'Neil's Market"));
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=2"), kInjection);
    QCOMPARE(scalar(*state, "select MG_Name from MG where MG_No=301"), QStringLiteral("#2024-01-01# True; 'x'"));
    QCOMPARE(count(*state, "PLU"), plus);
    // Only the named row changed.
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=3"), QStringLiteral("Cheese and Deli"));
    QVERIFY(!RenameStoreNode(*state, StoreNode::None, 1, "x"));
    QVERIFY(root.ui.messages.isEmpty());
}

void TestStoreHierarchy::deleteDepartment()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");
    const int butchery = count(*state, "PLU where PLU_MG in (201,202,203,204)");
    QVERIFY(butchery > 0);

    // Cancel (the preselected answer) keeps everything.
    QCOMPARE(DeleteDepartment(*state, 2), DeleteOutcome::Cancelled);
    QCOMPARE(root.ui.messages.size(), 1);
    const ShownMessage ask = root.ui.messages.at(0);
    QCOMPARE(ask.text, GetLangString(*state, "frmMain", "msgDelDeptWarning"));
    QCOMPARE(ask.icon, MsgIcon::Question);
    QCOMPARE(ask.buttons, MsgButtons::OkCancel);
    QCOMPARE(ask.defaultButton, MsgResult::Cancel);
    QCOMPARE(count(*state, "DEPT where DP_No=2"), 1);
    QCOMPARE(count(*state, "PLU"), plus);

    const int discounts = count(*state, "DISCOUNT");
    const int butcheryDiscounts =
        count(*state, "DISCOUNT where PLU_No in (select PLU_No from PLU where PLU_MG in (201,202,203,204))");
    QVERIFY(count(*state, "DEPT_SECT where DEPT_No=2") > 0);

    // OK deletes the department, its main groups, their PLUs with their
    // discount rules, and its section links only.
    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteDepartment(*state, 2), DeleteOutcome::Deleted);
    QCOMPARE(root.ui.progressSteps, 5); // one step per statement
    QCOMPARE(count(*state, "DISCOUNT"), discounts - butcheryDiscounts);
    QCOMPARE(count(*state, "DEPT_SECT where DEPT_No=2"), 0);
    QCOMPARE(count(*state, "DEPT where DP_No=2"), 0);
    QCOMPARE(count(*state, "MG where DP_No=2"), 0);
    QCOMPARE(count(*state, "PLU"), plus - butchery);
    QCOMPARE(count(*state, "MG"), 9);
    QCOMPARE(count(*state, "DEPT"), 4);

    // The protected department: a warning, no question, nothing deleted.
    root.ui.messages.clear();
    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteDepartment(*state, 97), DeleteOutcome::Protected);
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.at(0).text, GetLangString(*state, "frmMain", "msgDelDFUDeptWarning"));
    QCOMPARE(root.ui.messages.at(0).title, AppState::appTitle());
    QCOMPARE(root.ui.messages.at(0).icon, MsgIcon::Exclamation);
    QCOMPARE(count(*state, "DEPT where DP_No=97"), 1);
    QCOMPARE(count(*state, "MG where MG_No=997"), 1);
}

void TestStoreHierarchy::deleteMainGroup()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");
    const int cheese = count(*state, "PLU where PLU_MG=301");
    QVERIFY(cheese > 0);

    QVERIFY(count(*state, "DISCOUNT where PLU_No in (select PLU_No from PLU where PLU_MG=301)") > 0);
    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteMainGroup(*state, 301), DeleteOutcome::Deleted);
    QCOMPARE(count(*state, "DISCOUNT where PLU_No not in (select PLU_No from PLU)"), 0);
    QCOMPARE(root.ui.messages.at(0).text, GetLangString(*state, "frmMain", "msgDelMGWarning"));
    QCOMPARE(root.ui.messages.at(0).defaultButton, MsgResult::Cancel);
    QCOMPARE(count(*state, "MG where MG_No=301"), 0);
    QCOMPARE(count(*state, "PLU where PLU_MG=301"), 0);
    QCOMPARE(count(*state, "PLU"), plus - cheese);
    QCOMPARE(count(*state, "DEPT where DP_No=3"), 1);

    root.ui.messages.clear();
    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteMainGroup(*state, 997), DeleteOutcome::Protected);
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.at(0).text, GetLangString(*state, "frmMain", "msgDelDFUMGWarning"));
    QCOMPARE(root.ui.messages.at(0).icon, MsgIcon::Exclamation);
    QCOMPARE(count(*state, "PLU where PLU_MG=997"), 8);
}

void TestStoreHierarchy::deleteRollsBackOnFailure()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");
    // The last statement of each delete fails: the earlier ones must not stay.
    QVERIFY(runRaw(*state, "create trigger keep_dept before delete on DEPT begin select raise(abort, 'kept'); end"));
    QVERIFY(runRaw(*state, "create trigger keep_mg before delete on MG when old.MG_No=302 "
                        "begin select raise(abort, 'kept'); end"));

    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteDepartment(*state, 1), DeleteOutcome::Failed);
    QCOMPARE(count(*state, "PLU"), plus);
    QCOMPARE(count(*state, "MG where DP_No=1"), 3);
    QCOMPARE(count(*state, "DEPT where DP_No=1"), 1);

    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteMainGroup(*state, 302), DeleteOutcome::Failed);
    QCOMPARE(count(*state, "PLU"), plus);
    QCOMPARE(count(*state, "MG where MG_No=302"), 1);
    QVERIFY(!state->reportedErrors.isEmpty());
    QVERIFY(state->reportedErrors.last().description.contains("kept"));

    // The connection is usable afterwards: no transaction left open.
    root.ui.answers.push_back(MsgResult::Ok);
    QCOMPARE(DeleteMainGroup(*state, 303), DeleteOutcome::Deleted);
    QCOMPARE(count(*state, "MG where MG_No=303"), 0);
}

void TestStoreHierarchy::dropTargetRules()
{
    using K = StoreNode;
    // Own department 1.
    DropTarget t = ResolveDropTarget(1, {K::Department, 2, 0});
    QCOMPARE(t.departmentNo, 2);
    QVERIFY(t.changes);
    t = ResolveDropTarget(1, {K::Department, 1, 0});
    QCOMPARE(t.departmentNo, 1);
    QVERIFY(!t.changes);
    // A main group stands for its department.
    t = ResolveDropTarget(1, {K::MainGroup, 301, 3});
    QCOMPARE(t.departmentNo, 3);
    QVERIFY(t.changes);
    t = ResolveDropTarget(1, {K::MainGroup, 102, 1});
    QCOMPARE(t.departmentNo, 1);
    QVERIFY(!t.changes);
    // Store node and empty space: back to the own department.
    t = ResolveDropTarget(1, {K::Store, 1, 0});
    QCOMPARE(t.departmentNo, 1);
    QVERIFY(!t.changes);
    t = ResolveDropTarget(4, {});
    QCOMPARE(t.departmentNo, 4);
    QVERIFY(!t.changes);
}

void TestStoreHierarchy::moveMainGroup()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU where PLU_MG=102");
    QVERIFY(MoveMainGroup(*state, 102, 3));
    QCOMPARE(scalar(*state, "select DP_No from MG where MG_No=102"), QStringLiteral("3"));
    QCOMPARE(count(*state, "PLU where PLU_MG=102"), plus);
    QCOMPARE(scalar(*state, "select DP_No from MG where MG_No=101"), QStringLiteral("1"));
}

void TestStoreHierarchy::mainGroupForNewPlu()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);

    QCOMPARE(MainGroupForNewPlu(*state, StoreNode::MainGroup, 302), std::optional<qint32>(302));
    QCOMPARE(MainGroupForNewPlu(*state, StoreNode::Department, 2), std::optional<qint32>(201));
    QVERIFY(!MainGroupForNewPlu(*state, StoreNode::Store, 1));
    QVERIFY(!MainGroupForNewPlu(*state, StoreNode::None, 0));
    const int groups = count(*state, "MG");

    // A department without main groups gets one with the default name and
    // the first free number, once.
    QVERIFY(run(*state, "insert into DEPT(DP_No,DP_Name,ST_No) values(5,'Fish',1)"));
    const auto mg = MainGroupForNewPlu(*state, StoreNode::Department, 5);
    QCOMPARE(mg, std::optional<qint32>(1));
    QCOMPARE(scalar(*state, "select DP_No from MG where MG_No=1"), QStringLiteral("5"));
    QCOMPARE(scalar(*state, "select MG_Name from MG where MG_No=1"),
             GetLangString(*state, "frmMain", "DefaultMainGroup"));
    QCOMPARE(scalar(*state, "select BarFormat from MG where MG_No=1"), QStringLiteral("-1"));
    QCOMPARE(MainGroupForNewPlu(*state, StoreNode::Department, 5), std::optional<qint32>(1));
    QCOMPARE(count(*state, "MG"), groups + 1);
}

void TestStoreHierarchy::dialogLoad()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);

    PropertyDialogModel add(*state, PropertyTarget::Department);
    add.addMode = true;
    add.parentNo = 1;
    add.cancelled = false;
    add.load();
    QVERIFY(add.cancelled);
    QCOMPARE(add.owner(), QStringLiteral("frmDeptProperty"));
    QCOMPARE(add.values.number, QStringLiteral("5"));
    QCOMPARE(add.values.name, GetLangString(*state, "frmMain", "DefaultDept"));
    QCOMPARE(add.values.flag1, QStringLiteral("0"));
    QCOMPARE(add.values.flag2, QStringLiteral("0"));
    QCOMPARE(add.values.barcodeFlag, 0);
    QCOMPARE(add.values.barcodeFormat, 0);
    QCOMPARE(add.values.labelFormat, 0);
    QVERIFY(add.numberEnabled);
    QCOMPARE(add.barcodeFlagItems().size(), 10);
    QCOMPARE(add.barcodeFormatItems().size(), state->enc.barcodeList.size());
    QVERIFY(add.barcodeFormatItems().at(1).startsWith("1 : EAN : "));
    QCOMPARE(add.labelFormatItems().first(), QStringLiteral("1: Standard 58 x 40 mm"));

    // Edit: department 2 has flags 2 and 3, barcode flag 1, format 2 EAN,
    // label format 3.
    PropertyDialogModel edit(*state, PropertyTarget::Department);
    edit.number = 2;
    edit.load();
    QCOMPARE(edit.values.number, QStringLiteral("2"));
    QCOMPARE(edit.values.name, QStringLiteral("Butchery"));
    QCOMPARE(edit.values.flag1, QStringLiteral("2"));
    QCOMPARE(edit.values.flag2, QStringLiteral("3"));
    QCOMPARE(ComboItemValue(edit.barcodeFlagItems().at(edit.values.barcodeFlag)), 1);
    QCOMPARE(edit.values.barcodeFormat, formatIndex(*state, 2, "EAN"));
    QCOMPARE(ComboItemValue(edit.labelFormatItems().at(edit.values.labelFormat)), 3);
    QVERIFY(edit.numberEnabled);

    // Main group 302 uses the ITF format of the same code as an EAN one.
    PropertyDialogModel itf(*state, PropertyTarget::MainGroup);
    itf.number = 302;
    itf.load();
    QCOMPARE(itf.values.barcodeFormat, formatIndex(*state, 1, "ITF"));
    QCOMPARE(itf.values.name, QStringLiteral("Cold Cuts"));

    // Values that match no item select the first one.
    QVERIFY(run(*state, "update DEPT set BarFlag=null, BarFormat=77, LabFormat=999 where DP_No=4"));
    PropertyDialogModel unknown(*state, PropertyTarget::Department);
    unknown.number = 4;
    unknown.load();
    QCOMPARE(unknown.values.barcodeFlag, 0);
    QCOMPARE(unknown.values.barcodeFormat, 0);
    QCOMPARE(unknown.values.labelFormat, 0);

    // The protected numbers cannot be changed.
    PropertyDialogModel dept97(*state, PropertyTarget::Department);
    dept97.number = 97;
    dept97.load();
    QVERIFY(!dept97.numberEnabled);
    PropertyDialogModel mg997(*state, PropertyTarget::MainGroup);
    mg997.number = 997;
    mg997.load();
    QVERIFY(!mg997.numberEnabled);

    // A missing row leaves the fields empty.
    PropertyDialogModel missing(*state, PropertyTarget::MainGroup);
    missing.number = 555;
    missing.load();
    QVERIFY(!missing.rowFound);
    QCOMPARE(missing.values.name, QString());
    QCOMPARE(missing.values.number, QString());

    // The store dialog reads the one store row.
    PropertyDialogModel store(*state, PropertyTarget::Store);
    store.load();
    QCOMPARE(store.owner(), QStringLiteral("frmStoreProperty"));
    QCOMPARE(store.values.name, QStringLiteral("Greenfield Market"));
    QCOMPARE(store.values.barcodeFormat, formatIndex(*state, 1, "EAN"));
    QVERIFY(!store.numberEnabled);
    QVERIFY(root.ui.messages.isEmpty());
}

void TestStoreHierarchy::flagVisibility()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    PropertyDialogModel m(*state, PropertyTarget::Department);
    m.addMode = true;
    m.load();

    // -1: everything hidden.
    FlagVisibility v = m.flagVisibility(formatIndex(*state, -1, "EAN"));
    QVERIFY(!v.flagLabel && !v.flag1 && !v.flag2 && !v.barcodeFlag);
    // FlagStat 11: both flags.
    v = m.flagVisibility(formatIndex(*state, 1, "EAN"));
    QVERIFY(v.flagLabel && v.flag1 && v.flag2 && v.barcodeFlag);
    // 10 and 19: flag 1 only.
    v = m.flagVisibility(formatIndex(*state, 3, "EAN"));
    QVERIFY(v.flagLabel && v.flag1 && !v.flag2 && v.barcodeFlag);
    v = m.flagVisibility(formatIndex(*state, 4, "EAN"));
    QVERIFY(v.flag1 && !v.flag2);
    // 91: flag 2 only.
    v = m.flagVisibility(formatIndex(*state, 6, "EAN"));
    QVERIFY(!v.flag1 && v.flag2 && v.barcodeFlag);
    // 99 with a real code: the label and the barcode flag, no flag boxes.
    v = m.flagVisibility(formatIndex(*state, 7, "EAN"));
    QVERIFY(v.flagLabel && !v.flag1 && !v.flag2 && v.barcodeFlag);
    // No selection.
    v = m.flagVisibility(-1);
    QVERIFY(!v.flagLabel && !v.flag1 && !v.flag2 && !v.barcodeFlag);
}

void TestStoreHierarchy::validationOrderAndKeys()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    PropertyDialogModel m(*state, PropertyTarget::Department);
    m.number = 2;
    m.load();
    const PropertyValues good = m.values;
    QVERIFY(!m.validate(good));

    auto failure = [&](const PropertyValues &v) {
        const auto f = m.validate(v);
        return f ? QStringLiteral("%1:%2").arg(int(f->field)).arg(f->key) : QStringLiteral("ok");
    };
    const QString flag1Error = QStringLiteral("%1:msgFlagCodeError").arg(int(PropertyField::Flag1));
    const QString flag2Error = QStringLiteral("%1:msgFlagCodeError").arg(int(PropertyField::Flag2));
    const QString nameError = QStringLiteral("%1:msgDeptNameError").arg(int(PropertyField::Name));
    const QString codeError = QStringLiteral("%1:msgDeptCodeError").arg(int(PropertyField::Number));

    for (const char *bad : {"10", "", "a", "-", " 1", "\xd9\xa3"}) {
        PropertyValues v = good;
        v.flag1 = QString::fromUtf8(bad);
        QCOMPARE(failure(v), flag1Error);
        v = good;
        v.flag2 = QString::fromUtf8(bad);
        QCOMPARE(failure(v), flag2Error);
    }
    for (char c = '0'; c <= '9'; ++c) {
        PropertyValues v = good;
        v.flag1 = QString(QChar::fromLatin1(c));
        v.flag2 = v.flag1;
        QCOMPARE(failure(v), QStringLiteral("ok"));
    }
    // A hidden flag box is not tested: format 4 EAN has no flag 2, -1 none.
    {
        PropertyValues v = good;
        v.barcodeFormat = formatIndex(*state, 4, "EAN");
        v.flag2 = "xx";
        QCOMPARE(failure(v), QStringLiteral("ok"));
        v.flag1 = "xx";
        QCOMPARE(failure(v), flag1Error);
        v.barcodeFormat = formatIndex(*state, -1, "EAN");
        QCOMPARE(failure(v), QStringLiteral("ok"));
    }
    for (const char *bad : {"", "  "}) {
        PropertyValues v = good;
        v.name = bad;
        QCOMPARE(failure(v), nameError);
    }
    for (const char *bad : {"0", "abc", "", "-3", "1.5", "12abc", "99999999999"}) {
        PropertyValues v = good;
        v.number = bad;
        QCOMPARE(failure(v), codeError);
    }
    // The order: flag 1, flag 2, name, number.
    PropertyValues all = good;
    all.flag1 = "a";
    all.flag2 = "b";
    all.name = "";
    all.number = "0";
    QCOMPARE(failure(all), flag1Error);
    all.flag1 = "1";
    QCOMPARE(failure(all), flag2Error);
    all.flag2 = "1";
    QCOMPARE(failure(all), nameError);
    all.name = "N";
    QCOMPARE(failure(all), codeError);

    // accept() shows the critical box of the failure and keeps the row.
    root.ui.messages.clear();
    PropertyOutcome o = m.accept(all);
    QCOMPARE(o.status, PropertyOutcome::Invalid);
    QCOMPARE(o.field, PropertyField::Number);
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.at(0).text, GetLangString(*state, "frmDeptProperty", "msgDeptCodeError"));
    QCOMPARE(root.ui.messages.at(0).icon, MsgIcon::Critical);
    QVERIFY(m.cancelled);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=2"), QStringLiteral("Butchery"));

    // Main groups and the store have their own keys; a new main group must
    // fit the record's 16-bit field.
    PropertyDialogModel mg(*state, PropertyTarget::MainGroup);
    mg.addMode = true;
    mg.parentNo = 1;
    mg.load();
    PropertyValues v = mg.values;
    v.number = "abc";
    QCOMPARE(mg.validate(v)->key, QStringLiteral("msgMGCodeError"));
    v.number = "40000";
    QCOMPARE(mg.validate(v)->key, QStringLiteral("msgMGCodeError"));
    v.number = "32767";
    QVERIFY(!mg.validate(v));
    v.name.clear();
    QCOMPARE(mg.validate(v)->key, QStringLiteral("msgMGNameError"));

    PropertyDialogModel store(*state, PropertyTarget::Store);
    store.load();
    v = store.values;
    v.number = "abc"; // the store has no number box
    QVERIFY(!store.validate(v));
    v.name.clear();
    QCOMPARE(store.validate(v)->key, QStringLiteral("msgStoreNameError"));

    // The protected department keeps its number whatever the box says.
    PropertyDialogModel dept97(*state, PropertyTarget::Department);
    dept97.number = 97;
    dept97.load();
    v = dept97.values;
    v.number = "98";
    v.name = "Service";
    QCOMPARE(dept97.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(dept97.number, 97);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=97"), QStringLiteral("Service"));
    QCOMPARE(count(*state, "DEPT where DP_No=98"), 0);
}

void TestStoreHierarchy::existenceTest()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int depts = count(*state, "DEPT");

    PropertyDialogModel add(*state, PropertyTarget::Department);
    add.addMode = true;
    add.parentNo = 1;
    add.load();
    PropertyValues v = add.values;
    v.number = "2";
    PropertyOutcome o = add.accept(v);
    QCOMPARE(o.status, PropertyOutcome::Invalid);
    QCOMPARE(o.key, QStringLiteral("msgDeptExist"));
    QCOMPARE(o.field, PropertyField::Number);
    QCOMPARE(root.ui.messages.last().text, GetLangString(*state, "frmDeptProperty", "msgDeptExist"));
    QCOMPARE(count(*state, "DEPT"), depts);
    QVERIFY(add.cancelled);

    // Editing without changing the number does not test it.
    PropertyDialogModel edit(*state, PropertyTarget::Department);
    edit.number = 2;
    edit.load();
    v = edit.values;
    v.name = "Meat";
    QCOMPARE(edit.accept(v).status, PropertyOutcome::Saved);
    // Changing it to a taken number does.
    PropertyDialogModel renumber(*state, PropertyTarget::Department);
    renumber.number = 2;
    renumber.load();
    v = renumber.values;
    v.number = "3";
    QCOMPARE(renumber.accept(v).key, QStringLiteral("msgDeptExist"));
    QCOMPARE(count(*state, "DEPT where DP_No=2"), 1);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=3"), QStringLiteral("Cheese and Deli"));

    // A main-group number exists in any department.
    PropertyDialogModel mg(*state, PropertyTarget::MainGroup);
    mg.addMode = true;
    mg.parentNo = 1;
    mg.load();
    v = mg.values;
    v.number = "401";
    QCOMPARE(mg.accept(v).key, QStringLiteral("msgMGExist"));
    QCOMPARE(scalar(*state, "select DP_No from MG where MG_No=401"), QStringLiteral("4"));
}

void TestStoreHierarchy::saveDepartment()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");
    const int groups = count(*state, "MG");

    // With main groups on, a new department gets none.
    state->settings.UseMainGroup = true;
    PropertyDialogModel add(*state, PropertyTarget::Department);
    add.addMode = true;
    add.parentNo = 1;
    add.load();
    PropertyValues v = add.values;
    v.name = kInjection;
    v.number = " 12 ";
    v.barcodeFormat = formatIndex(*state, 1, "ITF");
    v.flag1 = "7";
    v.flag2 = "8";
    v.barcodeFlag = 5;
    v.labelFormat = 2;
    PropertyOutcome o = add.accept(v);
    QCOMPARE(o.status, PropertyOutcome::Saved);
    QVERIFY(!add.cancelled);
    QCOMPARE(add.number, 12);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=12"), kInjection);
    QCOMPARE(column(*state, "select ST_No||'/'||Flag1||'/'||Flag2||'/'||BarFlag||'/'||BarFormat||'/'||Bar_Type"
                            "||'/'||LabFormat from DEPT where DP_No=12"),
             QStringList({"1/7/8/5/1/ITF/3"}));
    QCOMPARE(count(*state, "PLU"), plus);
    QCOMPARE(count(*state, "MG"), groups);

    // Without main groups it gets its default main group at once.
    state->settings.UseMainGroup = false;
    PropertyDialogModel add2(*state, PropertyTarget::Department);
    add2.addMode = true;
    add2.parentNo = 1;
    add2.load();
    QCOMPARE(add2.values.number, QStringLiteral("5"));
    v = add2.values;
    v.name = "O'Neil";
    QCOMPARE(add2.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=5"), QStringLiteral("O'Neil"));
    QCOMPARE(column(*state, "select MG_No from MG where DP_No=5"), QStringList({"1"}));
    QCOMPARE(scalar(*state, "select MG_Name from MG where MG_No=1"),
             GetLangString(*state, "frmMain", "DefaultMainGroup"));
    // The resolved settings were rebuilt and know the new main group.
    QVERIFY(state->enc.mgIndex.contains(1));

    // A hidden flag box holding junk is written as null, not into the SQL.
    PropertyDialogModel edit(*state, PropertyTarget::Department);
    edit.number = 5;
    edit.load();
    v = edit.values;
    v.barcodeFormat = formatIndex(*state, 4, "EAN"); // flag 1 only
    v.flag1 = "4";
    v.flag2 = "0, Flag1=9";
    QCOMPARE(edit.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(scalar(*state, "select Flag1 from DEPT where DP_No=5"), QStringLiteral("4"));
    QCOMPARE(scalar(*state, "select Flag2 from DEPT where DP_No=5"), QStringLiteral("<null>"));
    QCOMPARE(count(*state, "PLU"), plus);
}

void TestStoreHierarchy::saveMainGroupAndStore()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");

    PropertyDialogModel add(*state, PropertyTarget::MainGroup);
    add.addMode = true;
    add.parentNo = 3;
    add.load();
    QCOMPARE(add.values.number, QStringLiteral("1"));
    PropertyValues v = add.values;
    v.number = "304";
    v.name = "Olives 'n' Antipasti";
    v.barcodeFormat = formatIndex(*state, 5, "EAN");
    v.flag1 = "2";
    v.flag2 = "6";
    QCOMPARE(add.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(add.number, 304);
    QCOMPARE(column(*state, "select DP_No||'/'||MG_Name||'/'||Flag1||'/'||Flag2||'/'||BarFormat||'/'||Bar_Type "
                            "from MG where MG_No=304"),
             QStringList({"3/Olives 'n' Antipasti/2/6/5/EAN"}));
    // Saved main groups reach the encoder's table at once.
    const int i = state->enc.mgIndex.value(304, -1);
    QVERIFY(i >= 0);
    QCOMPARE(state->enc.mgSettings.at(i).BarFormat, qint16(5));
    QCOMPARE(state->enc.mgSettings.at(i).Flag2, qint16(6));

    PropertyDialogModel edit(*state, PropertyTarget::MainGroup);
    edit.number = 304;
    edit.load();
    v = edit.values;
    v.name = kInjection;
    QCOMPARE(edit.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(scalar(*state, "select MG_Name from MG where MG_No=304"), kInjection);
    QCOMPARE(count(*state, "PLU"), plus);

    PropertyDialogModel store(*state, PropertyTarget::Store);
    store.load();
    v = store.values;
    v.name = "O'Neil's";
    v.barcodeFormat = formatIndex(*state, 2, "ITF"); // flag 1 only
    v.flag1 = "9";
    QCOMPARE(store.accept(v).status, PropertyOutcome::Saved);
    QVERIFY(!store.cancelled);
    QCOMPARE(column(*state, "select ST_Name||'/'||Flag1||'/'||BarFormat||'/'||Bar_Type from STORE"),
             QStringList({"O'Neil's/9/2/ITF"}));
    QCOMPARE(count(*state, "DEPT"), 5);
}

void TestStoreHierarchy::numberChangeCarriesChildren()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const int plus = count(*state, "PLU");

    PropertyDialogModel dept(*state, PropertyTarget::Department);
    dept.number = 2;
    dept.load();
    PropertyValues v = dept.values;
    v.number = "20";
    QCOMPARE(dept.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(dept.number, 20);
    QCOMPARE(count(*state, "DEPT where DP_No=2"), 0);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=20"), QStringLiteral("Butchery"));
    QCOMPARE(column(*state, "select MG_No from MG where DP_No=20 order by MG_No"),
             QStringList({"201", "202", "203", "204"}));
    QCOMPARE(count(*state, "MG where DP_No=2"), 0);
    QCOMPARE(column(*state, "select SECT_No from DEPT_SECT where DEPT_No=20 order by SECT_No"),
             QStringList({"1", "2"}));
    QCOMPARE(count(*state, "DEPT_SECT where DEPT_No=2"), 0);

    const int beef = count(*state, "PLU where PLU_MG=201");
    QVERIFY(beef > 0);
    PropertyDialogModel mg(*state, PropertyTarget::MainGroup);
    mg.number = 201;
    mg.load();
    v = mg.values;
    v.number = "250";
    QCOMPARE(mg.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(count(*state, "PLU where PLU_MG=250"), beef);
    QCOMPARE(count(*state, "PLU where PLU_MG=201"), 0);
    QCOMPARE(count(*state, "PLU"), plus);
    QVERIFY(state->enc.mgIndex.contains(250));
    QVERIFY(!state->enc.mgIndex.contains(201));
}

void TestStoreHierarchy::numberChangeRollsBackOnFailure()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    QVERIFY(runRaw(*state, "create trigger keep_sect before update on DEPT_SECT begin select raise(abort, 'kept'); end"));

    PropertyDialogModel dept(*state, PropertyTarget::Department);
    dept.number = 2;
    dept.load();
    PropertyValues v = dept.values;
    v.number = "20";
    v.name = "Meat";
    QCOMPARE(dept.accept(v).status, PropertyOutcome::Failed);
    QVERIFY(dept.cancelled);
    QCOMPARE(dept.number, 2);
    QCOMPARE(scalar(*state, "select DP_Name from DEPT where DP_No=2"), QStringLiteral("Butchery"));
    QCOMPARE(count(*state, "DEPT where DP_No=20"), 0);
    QCOMPARE(count(*state, "MG where DP_No=2"), 4);
    QVERIFY(!state->reportedErrors.isEmpty());

    // Once the obstacle is gone the same OK goes through.
    QVERIFY(runRaw(*state, "drop trigger keep_sect"));
    QCOMPARE(dept.accept(v).status, PropertyOutcome::Saved);
    QCOMPARE(count(*state, "MG where DP_No=20"), 4);
}

QTEST_GUILESS_MAIN(TestStoreHierarchy)
#include "tst_storehierarchy.moc"
