// CSV export and import, ReBuildMG, the take-over and Update to PLU over a
// real data root, and korvoctl import/export.

#include "common/TestSupport.h"
#include "core/Database.h"
#include "exchange/PluExchange.h"
#include "exchange/ReceivedPlus.h"

#include <QLocale>
#include <QStringEncoder>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

const QString kScale = QStringLiteral("127.0.0.11");

class DummyView : public PluListView {
public:
    QVector<SortColumn> sortColumns() const override { return {}; }
    void clearRows() override {}
    void addRow(const QStringList &, int) override {}
    void repaintList() override {}
};

bool exec(AppState &state, const QString &sql) { return QueryKorvoDB(state, sql).has_value(); }

// Every CSV column of every PLU, one text per PLU.
QStringList pluRows(AppState &state)
{
    return SqlColumn(state, QStringLiteral("select ") + CsvColumnList(state).join(QStringLiteral("||'|'||"))
                                + QStringLiteral(" from PLU order by PLU_No"));
}

QString file(const TestDataRoot &root, const QByteArray &content)
{
    static int n = 0;
    const QString path = root.path() + QStringLiteral("in%1.csv").arg(++n);
    WriteFile(path, content);
    return path;
}

} // namespace

class TestPluExchange : public QObject {
    Q_OBJECT

private slots:
    void init();
    void roundTripWhateverTheLocale();
    void modes_data();
    void modes();
    void badFileChangesNothing_data();
    void badFileChangesNothing();
    void olderFilesAndCodePages();
    void takeOverAndUpdateToPlu();
    void korvoctl();

private:
    std::unique_ptr<TestDataRoot> m_root;
    std::unique_ptr<AppState> m_state;
    AppState &state() { return *m_state; }
};

void TestPluExchange::init()
{
    m_state.reset();
    m_root = std::make_unique<TestDataRoot>(true);
    QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
    m_state = m_root->loadedState();
    QVERIFY(m_state);
    state().now = [] { return QDateTime(QDate(2007, 3, 15), QTime(14, 30, 5)); };
}

// Received rows with hostile texts go to a file and come back as the same
// rows in a locale that writes decimal commas; the discount flags stay.
void TestPluExchange::roundTripWhateverTheLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(exec(state(), "update PLU set PLU_Commodity='O''Neil, Bob'||char(13)||'x''); delete from PLU; --', "
                          "PLU_CPLUPreset='a,b', PLU_UPrice=1234.5678, PLU_EANData='' where PLU_No=1"));
    QVERIFY(exec(state(), "update PLU set PLU_CPLUPreset='0', PLU_Ingredient='''' where PLU_No=2"));
    QVERIFY(ReceiveFromPlu(state(), kScale));
    const QStringList rows = pluRows(state());
    const QString discounts = SqlScalar(state(), "select sum(Stat2_Discount) from PLU");
    QVERIFY(discounts.toInt() > 0);

    const QString path = m_root->path() + "out.csv";
    const ExportResult out = ExportReceivedPLUs(state(), kScale, path);
    QVERIFY(out.ok);
    QCOMPARE(out.rows, rows.size());
    const QByteArray bytes = FileBytes(path);
    QVERIFY(bytes.startsWith(CsvColumnList(state()).join(u',').toLatin1() + "\r\n"));
    QVERIFY(bytes.endsWith("\r\n") && !bytes.endsWith("\r\n\r\n"));
    QVERIFY(bytes.contains("'O''Neil, Bob\rx''); delete from PLU; --'"));
    QVERIFY(bytes.contains(",1234.5678,"));

    QVERIFY(exec(state(), "delete from PLU where PLU_No>3"));
    const ImportResult in = ImportPLUFromCSV(state(), path, 0);
    QLocale::setDefault(before);
    QVERIFY2(in.ok, qPrintable(in.error));
    QCOMPARE(in.inserted, rows.size());
    QCOMPARE(pluRows(state()), rows);
    QCOMPARE(SqlScalar(state(), "select sum(Stat2_Discount) from PLU"), discounts);
    QCOMPARE(in.encoding.encoded, rows.size());
    QCOMPARE(SqlCount(state(), "PLU where ZentBinData is null or ZentBinData=''"), 0);
    QCOMPARE(SqlScalar(state(), "select PLU_CPLUPreset||'/'||PLU_Ingredient from PLU where PLU_No=2"), "0/'");

    QCOMPARE(ExportReceivedPLUs(state(), "127.0.0.99", m_root->path() + "none.csv").rows, 0);
    QVERIFY(!QFile::exists(m_root->path() + "none.csv"));
}

void TestPluExchange::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("plu1");   // price|SB date flag|tare|name of PLU 1 afterwards
    QTest::addColumn<QString>("plu900"); // the same of the new PLU 900
    QTest::addColumn<int>("others");     // PLUs besides 1, 900 and 901

    // PLU 1 has Stat1_SBDate 1 and tare 5 before; the file brings 0 for both.
    QTest::newRow("0 replaces all") << 0 << "2.5|0|0|New" << "3.0|1|0|Fresh" << 0;
    QTest::newRow("1 adds the new only") << 1 << "1.69|1|5|Bananas" << "3.0|1|0|Fresh" << 294;
    QTest::newRow("2 keeps a 0 out of Conditional -1") << 2 << "2.5|1|0|New" << "3.0|1|0|Fresh" << 294;
}

void TestPluExchange::modes()
{
    QFETCH(int, mode);
    QVERIFY(exec(state(), "update PLU set Stat1_SBDate=1, PLU_Tare=5, PLU_Commodity='Bananas' where PLU_No=1"));
    QVERIFY(exec(state(), "delete from MG where MG_No in (7, 1234)"));
    const QString path = file(*m_root, "PLU_No,PLU_UPrice,PLU_MG,Stat1_SBDate,PLU_Tare,PLU_Commodity\r\n"
                                       "1,2.5,101,0,0,'New'\r\n"
                                       "\r\n"
                                       "900,3,1234,-1,0,'Fresh'\r\n"
                                       "901,4,7,-1,0,'Seven'\r\n");
    const ImportResult r = ImportPLUFromCSV(state(), path, mode);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.lines, 3);
    auto plu = [&](int no) {
        return SqlScalar(state(), QStringLiteral("select PLU_UPrice||'|'||Stat1_SBDate||'|'||PLU_Tare||'|'||"
                                                 "substr(PLU_Commodity,1,7) from PLU where PLU_No=%1").arg(no));
    };
    QTEST(plu(1), "plu1");
    QTEST(plu(900), "plu900");
    QTEST(SqlCount(state(), "PLU where PLU_No not in (1,900,901)"), "others");
    QCOMPARE(r.skipped, mode == 1 ? 1 : 0);

    // Main group 1234 goes into department 12, main group 7 into 7; both
    // departments are new, in the store, and pass the store's settings down.
    QCOMPARE(SqlColumn(state(), "select DP_No||' '||DP_Name||' '||ST_No||' '||BarFormat from DEPT where DP_No in (7,12)"),
             QStringList({"7 Dept7 1 -1", "12 Dept12 1 -1"}));
    QCOMPARE(SqlColumn(state(), "select MG_No||' '||MG_Name||' '||DP_No from MG where MG_No in (7,1234) order by MG_No"),
             QStringList({"7 MG7 7", "1234 MG1234 12"}));
    QCOMPARE(r.departmentsCreated, 2);
    QCOMPARE(SqlCount(state(), "PLU where PLU_No in (900,901) and length(ZentBinData)>20"), 2);
}

void TestPluExchange::badFileChangesNothing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QByteArray>("flags"); // PLU_STATUS.dsc; empty: as delivered

    const QByteArray head = "PLU_No,PLU_UPrice,PLU_MG\r\n1,2,101\r\n";
    QTest::newRow("PLU number no number") << 0 << head + "x,3,101\r\n" << "Line 3, column 1 (PLU_No): \"x\" is not a PLU number" << QByteArray();
    QTest::newRow("PLU number out of range") << 2 << head + "1000000,3,101\r\n" << "Line 3, column 1 (PLU_No)" << QByteArray();
    QTest::newRow("name not in PLU.dsc") << 0 << QByteArray("PLU_No,Nonsense\r\n1,2\r\n") << "Line 1, column 2 (Nonsense): PLU.dsc" << QByteArray();
    QTest::newRow("first column not PLU_No") << 0 << QByteArray("PLU_UPrice,PLU_No\r\n1,2\r\n") << "Line 1, column 1 (PLU_UPrice)" << QByteArray();
    QTest::newRow("too few values") << 0 << head + "2,3\r\n" << "Line 3 has 2 values, the header 3 names" << QByteArray();
    QTest::newRow("decimal comma") << 2 << head + "2,3,5,101\r\n" << "Line 3 has 4 values" << QByteArray();
    QTest::newRow("not a number") << 0 << head + "2,abc,101\r\n" << "Line 3, column 2 (PLU_UPrice): \"abc\" is not a number" << QByteArray();
    QTest::newRow("main group not whole") << 1 << head + "2,3,10.5\r\n" << "Line 3, column 3 (PLU_MG): \"10.5\" is not a whole number" << QByteArray();
    QTest::newRow("repeated PLU") << 0 << head + "1,3,101\r\n" << "Line 3: the database refused PLU 1" << QByteArray();
    QTest::newRow("quote not closed") << 0 << QByteArray("PLU_No,PLU_Commodity\r\n1,'x\r\n") << "Line 2, value 2" << QByteArray();
    QTest::newRow("bad date") << 0 << QByteArray("PLU_No,PLU_PAKTime\r\n1,25:99\r\n") << "\"25:99\" is not a time" << QByteArray();
    QTest::newRow("header only") << 0 << QByteArray("PLU_No,PLU_UPrice\r\n") << "no PLU lines" << QByteArray();
    QTest::newRow("import type") << 3 << head << "The import type 3" << QByteArray();
    // The PLUs go in with their scale records or not at all.
    QTest::newRow("no scale records") << 0 << head + "9,3,101\r\n" << "scale records" << QByteArray("; no flags\r\n");
}

void TestPluExchange::badFileChangesNothing()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QFETCH(QByteArray, flags);
    QVERIFY(flags.isEmpty() || WriteFile(m_root->path() + "Desc/PLU_STATUS.dsc", flags));
    const QStringList before = pluRows(state());
    const int groups = SqlCount(state(), "MG");
    const ImportResult r = ImportPLUFromCSV(state(), file(*m_root, content), mode);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QVERIFY(state().reportedErrors.constLast().description.contains(error));
    QCOMPARE(pluRows(state()), before);
    QCOMPARE(SqlCount(state(), "MG"), groups);
}

void TestPluExchange::olderFilesAndCodePages()
{
    // Texts quoted without doubling, -1 for Yes, 0 for an empty text, an
    // empty time (now), a time without seconds.
    const QString old = file(*m_root, "PLU_No,PLU_Commodity,PLU_ItemCode,Stat1_Unit,PLU_SBTime,PLU_PAKTime,PLU_UPrice\r\n"
                                      "5,'O'Neil, fresh',0,-1,,14:05,1.5\r\n");
    ImportResult r = ImportPLUFromCSV(state(), old, 2);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(SqlScalar(state(), "select PLU_Commodity||'|'||ifnull(PLU_ItemCode,'null')||'|'||Stat1_Unit||'|'||"
                                "PLU_SBTime||'|'||PLU_PAKTime from PLU where PLU_No=5"),
             "O'Neil, fresh|null|1|14:30:05|14:05:00");

    // The settings' code page both ways; a character it lacks stops the export.
    state().settings.Codepage = QStringLiteral("windows-1251");
    QVERIFY(exec(state(), "update PLU set PLU_Commodity='Хлеб ржаной' where PLU_No=5"));
    QVERIFY(ReceiveFromPlu(state(), kScale, "PLU_No=5"));
    QVERIFY(exec(state(), "update RC_PLU set PLU_PAKTime='9:05', PLU_UPDate='15.03.2007'"));
    const QString path = m_root->path() + "cp.csv";
    QVERIFY(ExportReceivedPLUs(state(), kScale, path).ok);
    QVERIFY(FileBytes(path).contains(",09:05:00,") && FileBytes(path).contains(",2007-03-15,"));
    QVERIFY(FileBytes(path).contains(QByteArray(QStringEncoder("windows-1251").encode(QStringLiteral("'Хлеб ржаной'")))));
    QVERIFY(exec(state(), "update PLU set PLU_Commodity='x' where PLU_No=5"));
    QVERIFY(ImportPLUFromCSV(state(), path, 2).ok);
    QCOMPARE(SqlScalar(state(), "select PLU_Commodity from PLU where PLU_No=5"), "Хлеб ржаной");

    QVERIFY(exec(state(), "update RC_PLU set PLU_Commodity='Brötchen' where PLU_No=5"));
    QVERIFY(QFile::remove(path));
    const ExportResult bad = ExportReceivedPLUs(state(), kScale, path);
    QVERIFY(!bad.ok);
    QVERIFY2(bad.error.contains("PLU 5, column PLU_Commodity: the character \"ö\" (U+00F6)"), qPrintable(bad.error));
    QVERIFY(!QFile::exists(path));

    state().settings.Codepage = QStringLiteral("UTF-8");
    r = ImportPLUFromCSV(state(), file(*m_root, "PLU_No,PLU_Commodity\r\n5,'a'\r\n6,'\xff\xfe'\r\n"), 2);
    QVERIFY2(r.error.contains("Line 3 holds bytes that are no text in the code page \"UTF-8\""), qPrintable(r.error));
}

void TestPluExchange::takeOverAndUpdateToPlu()
{
    QCOMPARE(ReceivedPluBrowser::receiveRequest({"10.0.0.5", "10.0.0.17"}), "10.0.0.5,2005\r\n10.0.0.17,2017\r\n");

    QVERIFY(ReceiveFromPlu(state(), kScale, "PLU_No<=4"));
    QVERIFY(ReceiveFromPlu(state(), "127.0.0.12", "PLU_No in (3,4)"));
    QVERIFY(exec(state(), "update RC_PLU set PLU_Compare=1, PLU_UPrice=PLU_No+0.5, PLU_UBDate=7, ZentBinData='ABCD' "
                          "where SC_IP='127.0.0.11' and PLU_No in (1,2,3)"));
    QVERIFY(exec(state(), "update RC_PLU set PLU_Compare=1 where SC_IP='127.0.0.12' and PLU_No=3"));
    DummyView view;
    ReceivedPluBrowser browser(state(), view);
    const QStringList before = pluRows(state());
    TakeOverResult t = browser.takeOver();
    QVERIFY(!t.ok);
    QCOMPARE(t.repeated, QStringList{"PLU 3: 127.0.0.11, 127.0.0.12"});
    QCOMPARE(pluRows(state()), before);
    QCOMPARE(SqlCount(state(), "RC_PLU where PLU_Compare=1"), 4);

    QVERIFY(exec(state(), "update RC_PLU set PLU_Compare=0 where SC_IP='127.0.0.12'"));
    t = browser.takeOver();
    QVERIFY(t.ok);
    QCOMPARE(t.taken, 3);
    QCOMPARE(SqlColumn(state(), "select PLU_UPrice||' '||PLU_UBDate||' '||ZentBinData||' '||PLU_UPDate||' '||PLU_UPTime "
                                "from PLU where PLU_No<=3"),
             QStringList({"1.5 7 ABCD 2007-03-15 14:30:05", "2.5 7 ABCD 2007-03-15 14:30:05",
                          "3.5 7 ABCD 2007-03-15 14:30:05"}));
    QCOMPARE(SqlCount(state(), "RC_PLU where PLU_Compare=1"), 0);

    // Update to PLU, merging: a received flag switches a PLU's flag on, never off.
    QVERIFY(exec(state(), "update PLU set Stat1_SBDate=1 where PLU_No=3"));
    QVERIFY(exec(state(), "update RC_PLU set Stat1_SBDate=0, PLU_UPrice=9, PLU_Compare=1 where PLU_No=3"));
    QVERIFY(exec(state(), "update RC_PLU set Stat1_SBDate=1, PLU_Compare=1 where PLU_No=4"));
    const ImportResult u = UpdateReceivedPLUsToPLU(state(), "127.0.0.12", 2);
    QVERIFY2(u.ok, qPrintable(u.error));
    QCOMPARE(u.updated, 2);
    QCOMPARE(SqlColumn(state(), "select PLU_UPrice||' '||Stat1_SBDate from PLU where PLU_No in (3,4)"),
             QStringList({"9.0 1", "2.39 1"}));
    QCOMPARE(SqlColumn(state(), "select SC_IP from RC_PLU where PLU_Compare=1"), QStringList({kScale, kScale}));
}

void TestPluExchange::korvoctl()
{
    auto run = [&](const QStringList &args, QString *err) {
        const ProgramRun r = RunKorvoctl(QStringList{"--data-root", m_root->path()} + args);
        *err = r.err;
        return r.exitCode;
    };
    QString err;
    QCOMPARE(run({"import", file(*m_root, "PLU_No,PLU_UPrice\r\n1,7\r\n999,8\r\n"), "--mode", "1"}, &err), 0);
    QVERIFY2(err.contains("2 lines (mode 1): 1 new, 0 updated, 1 skipped"), qPrintable(err));
    QCOMPARE(run({"import", file(*m_root, "PLU_No,PLU_UPrice\r\n1,x\r\n")}, &err), 1);
    QVERIFY2(err.contains("Line 2, column 2 (PLU_UPrice)"), qPrintable(err));
    QCOMPARE(run({"import", "x.csv", "--mode", "5"}, &err), 2);

    QVERIFY(ReceiveFromPlu(state(), kScale, "PLU_No<10"));
    const QString out = m_root->path() + "ctl.csv";
    QCOMPARE(run({"export", "--scale", kScale, out}, &err), 0);
    QCOMPARE(FileBytes(out).count("\r\n"), 10);
    QCOMPARE(run({"export", "--scale", "127.0.0.99", out}, &err), 1);
    QVERIFY(err.contains("no PLUs have been received from 127.0.0.99"));
}

QTEST_GUILESS_MAIN(TestPluExchange)
#include "tst_pluexchange.moc"
