// Label, barcode and flag settings resolved through main group, department
// and store, and the two views of the barcode list.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Log.h"
#include "encoding/Hierarchy.h"

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

bool exec(AppState &state, const QStringList &statements)
{
    return std::all_of(statements.begin(), statements.end(), [&](const QString &s) { return SqlExec(state, s); });
}

const MGSettings *mg(const AppState &state, int no)
{
    const int i = state.enc.mgIndex.value(no, -1);
    return i < 0 ? nullptr : &state.enc.mgSettings.at(i);
}

} // namespace

class TestHierarchy : public QObject {
    Q_OBJECT

private slots:
    void mainGroupSettings();
    void scaleBarcodeList();
};

void TestHierarchy::mainGroupSettings()
{
    TestDataRoot root(false);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    QVERIFY(exec(*state, {
        "delete from STORE", "delete from DEPT", "delete from MG",
        "insert into STORE values (1,'Shop',11,12,1,-1,'ITF',13)",
        "insert into DEPT values (1,'Own',1,21,22,0,3,'EAN',23)",
        "insert into DEPT values (2,'Up',1,31,32,1,-1,'EAN',33)",
        "insert into DEPT values (3,'NoStore',9,41,42,0,-1,'EAN',43)",
        // MG_No, DP_No, name, Flag1, Flag2, BarFlag, BarFormat, Bar_Type, LabFormat
        "insert into MG values (5,2,'Own values',51,52,1,5,'EAN',2)",
        "insert into MG values (6,1,'From dept',61,62,0,-1,'ITF',63)",
        "insert into MG values (7,2,'From store',71,72,0,-1,'EAN',73)",
        "insert into MG values (4,7,'Dept missing',81,82,0,-1,'EAN',83)",
        "insert into MG values (8,3,'Store missing',0,0,0,-1,'EAN',0)",
        "insert into MG values (9,1,'Nulls',null,2,null,4,null,null)",
    }));

    QVERIFY(QDir().mkpath(state->appPath + QStringLiteral("log")));
    LoadMGSettings(*state);
    const QVector<MGSettings> &t = state->enc.mgSettings;
    QCOMPARE(t.size(), 6);
    // Ascending main-group numbers, indexed by number.
    for (int i = 0; i < t.size(); ++i) {
        QCOMPARE(t[i].MG_No, qint16(4 + i));
        QCOMPARE(state->enc.mgIndex.value(4 + i), i);
    }

    const MGSettings *own = mg(*state, 5);
    QCOMPARE(own->Flag1, qint16(51));
    QCOMPARE(own->Flag2, qint16(52));
    QCOMPARE(own->BarFlag, qint16(1));
    QCOMPARE(own->BarFormat, qint16(5));
    QCOMPARE(own->Bar_Type, QStringLiteral("EAN"));
    QCOMPARE(own->LabFormat, qint16(2));

    // All six from the department, its label format too.
    const MGSettings *dept = mg(*state, 6);
    QCOMPARE(dept->Flag1, qint16(21));
    QCOMPARE(dept->Flag2, qint16(22));
    QCOMPARE(dept->BarFlag, qint16(0));
    QCOMPARE(dept->BarFormat, qint16(3));
    QCOMPARE(dept->Bar_Type, QStringLiteral("EAN"));
    QCOMPARE(dept->LabFormat, qint16(23));

    // Main group and department pass up: the store's values, even -1.
    const MGSettings *store = mg(*state, 7);
    QCOMPARE(store->Flag1, qint16(11));
    QCOMPARE(store->Flag2, qint16(12));
    QCOMPARE(store->BarFlag, qint16(1));
    QCOMPARE(store->BarFormat, qint16(-1));
    QCOMPARE(store->Bar_Type, QStringLiteral("ITF"));
    QCOMPARE(store->LabFormat, qint16(13));

    // Unreadable levels leave the settings at 0; the main group still exists.
    for (int no : {4, 8}) {
        const MGSettings *s = mg(*state, no);
        QVERIFY(s);
        QCOMPARE(s->Flag1, qint16(0));
        QCOMPARE(s->BarFormat, qint16(0));
        QCOMPARE(s->LabFormat, qint16(0));
        QCOMPARE(s->Bar_Type, QStringLiteral("0"));
    }
    QVERIFY(state->reportedErrors.isEmpty());
    QFile log(LogFilePath(*state, state->now().date()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString logText = QString::fromUtf16(reinterpret_cast<const char16_t *>(log.readAll().constData()),
                                               log.size() / 2);
    QVERIFY(logText.contains(QStringLiteral("main group 4 inherits from department 7")));

    // Null numbers read 0, a null Bar_Type "0".
    const MGSettings *nulls = mg(*state, 9);
    QCOMPARE(nulls->Flag1, qint16(0));
    QCOMPARE(nulls->Flag2, qint16(2));
    QCOMPARE(nulls->BarFormat, qint16(4));
    QCOMPARE(nulls->Bar_Type, QStringLiteral("0"));

    // A reload reflects a changed department.
    QVERIFY(exec(*state, {"update DEPT set LabFormat=99 where DP_No=1"}));
    LoadMGSettings(*state);
    QCOMPARE(mg(*state, 6)->LabFormat, qint16(99));
    QCOMPARE(state->enc.mgSettings.size(), 6);
}

void TestHierarchy::scaleBarcodeList()
{
    TestDataRoot root(false);
    QVERIFY(root.ok());
    auto state = root.loadedState();
    QVERIFY(state);
    QVERIFY(exec(*state, {
        "delete from BARCODE_LIST",
        // BAR_Code, BAR_Type, ItemNum, FlagStat, DigitalNum, EAN_Data, Descriptions, IsUsed
        "insert into BARCODE_LIST values (-1,'EAN',5,'99',13,'','none',1)",
        "insert into BARCODE_LIST values (3,'EAN',5,'10',13,'F0IIIIIPPPPPC','three',1)",
        "insert into BARCODE_LIST values (1,'ITF',6,'19',14,'','itf',1)",
        "insert into BARCODE_LIST values (1,'EAN',5,'11',13,'','one',1)",
        "insert into BARCODE_LIST values (2,'EAN',4,'01',13,'','unused',0)",
    }));
    QVERIFY(LoadScaleBarcodeList(*state));
    const QVector<ScaleBarcode> &b = state->enc.scaleBarcodes;
    QCOMPARE(b.size(), 3);
    // By type, then code; -1 and unused rows are left out.
    QCOMPARE(b[0].BAR_Code, qint16(1));
    QCOMPARE(b[0].BAR_Type, QStringLiteral("EAN"));
    QCOMPARE(b[1].BAR_Code, qint16(3));
    QCOMPARE(b[1].FlagStat, QStringLiteral("10"));
    QCOMPARE(b[1].ItemNum, qint16(5));
    QCOMPARE(b[1].DigitalNum, qint16(13));
    QCOMPARE(b[2].BAR_Type, QStringLiteral("ITF"));
    QCOMPARE(b[2].ItemNum, qint16(6));
    QCOMPARE(state->enc.scaleBarcodeIndex.value(QStringLiteral("3_EAN"), -1), 1);
    QCOMPARE(state->enc.scaleBarcodeIndex.value(QStringLiteral("1_ITF"), -1), 2);
    QVERIFY(!state->enc.scaleBarcodeIndex.contains(QStringLiteral("2_EAN")));
    QVERIFY(!state->enc.scaleBarcodeIndex.contains(QStringLiteral("-1_EAN")));

    // A failing statement is reported.
    QVERIFY(exec(*state, {"drop table BARCODE_LIST"}));
    QVERIFY(!LoadScaleBarcodeList(*state));
    QVERIFY(state->enc.scaleBarcodes.isEmpty());
    QCOMPARE(state->reportedErrors.size(), 1);
    QVERIFY(!LoadBarcodeList(*state));
    QCOMPARE(state->reportedErrors.size(), 2);
}

QTEST_GUILESS_MAIN(TestHierarchy)
#include "tst_hierarchy.moc"
