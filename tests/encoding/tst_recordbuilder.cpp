// Whole scale records built from a small descriptor set: status blocks,
// conditional fields, texts with fonts, inherited label and barcode formats,
// barcode data and the discount block; the runs of modes SINGLE and ALL and
// their error handling; the settings resolved through main group, department
// and store, and the barcode list.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "encoding/DescriptorFiles.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <algorithm>

using namespace korvo;
using namespace korvo::test;

namespace {

// 88 flags; the named ones sit at these 1-based positions, the others are
// reserved (source 0). Flag 2 is suppressed, flag 4 has source 0.
QByteArray statusFile()
{
    const QMap<int, QByteArray> named{
        {1, "Stat1_Unit,1,PLU_QTY,0"},       {2, "Stat1_PBPreUnit,1,,1"},
        {3, "Stat1_SBDate,1,,0"},            {4, "Stat1_SBTime,0,PLU_SBTime,0"},
        {9, "Stat1_Commodity,1,PLU_Commodity,0"}, {10, "Stat1_LabelFormat,1,PLU_LBFormat1,0"},
        {11, "Stat1_Barcode,1,PLU_BarFormat,0"}, {17, "Stat1_PriceChange,1,,0"},
        {25, "Stat2_Discount,1,,0"},         {26, "Stat2_PLUStatB2B,1,,0"},
        {49, "Stat2_NoSale,1,,0"},           {88, "Stat2_Frozen,1,,0"},
    };
    QByteArray out = "; status flags of the test record\r\n";
    for (int k = 1; k <= 88; ++k)
        out += named.value(k, "Reserved_" + QByteArray::number(k) + ",0,,0") + "\r\n";
    return out;
}

const QByteArray kPluDesc =
    "PLU_No,4,BCD,0,,PLU_No,NUM\r\n"
    "PLU_STATUS,2,HEX,0,,Stat1_Unit,NUM\r\n"
    "PLU_UPrice,3,BCD_PRICE,0,,PLU_UPrice,NUM\r\n"
    "PLU_STATUSB,4,HEX,1,Stat2_PLUStatB2B,Stat2_PLUStatB2B,NUM\r\n"
    "PLU_STATUS2,3,HEX,0,,Stat2_PLUStatB2B,NUM\r\n"
    "PLU_STATUS2B,8,HEX,-1,Stat2_PLUStatB2B,Stat2_PLUStatB2B,NUM\r\n"
    "PLU_LBFORMAT1,1,HEX,1,Stat1_LabelFormat,PLU_LBFormat1,NUM\r\n"
    "PLU_BARFORMAT,1,HEX,1,Stat1_Barcode,PLU_BarFormat,NUM\r\n"
    "PLU_EANFLAGS,1,BIN,1,Stat1_Barcode,PLU_BarFormat,NUM\r\n"
    "PLU_EANDATA,6,BCD,1,Stat1_Barcode,PLU_EANData,TXT\r\n"
    "PLU_QTY,2,BCD,1,Stat1_Unit,PLU_QTY,NUM\r\n"
    "PLU_SBTime,2,BCD_TIME,1,Stat1_SBTime,PLU_SBTime,DATE\r\n"
    "PLU_CommFonts,0,HEX,0,,PLU_CommFonts,TXT\r\n"
    "PLU_Commodity,1,ASCII_TXT,1,Stat1_Commodity,PLU_Commodity,TXT\r\n"
    "PLU_CPLUPreset,4,ASCII,0,,PLU_CPLUPreset,TXT\r\n"
    "PLU_Nutrition,1,ASCII_NOFONT,1,Stat1_Commodity,PLU_Nutrition,TXT\r\n"
    "PLU_DISOUNT,30,OTHER,1,Stat2_Discount,PLU_Disount,TXT\r\n"
    "PLU_UPDate,3,BCD_DATE,0,,PLU_UPDate,DATE\r\n";

const QByteArray kDiscountDesc =
    "Dis_SDate,3,BCD_DATE,0,,Dis_SDate,DATE\r\n"
    "Dis_STime,2,BCD_TIME,0,,Dis_STime,DATE\r\n"
    "Dis_EDate,3,BCD_DATE,0,,Dis_EDate,DATE\r\n"
    "Dis_ETime,2,BCD_TIME,0,,Dis_ETime,DATE\r\n"
    "Dis_FirstLIM,4,BCD_WEIGHT,0,,Dis_FirstLIM,NUM\r\n"
    "Dis_Within1stLIM,4,BCD_PRICE,0,,Dis_Within1stLIM,NUM\r\n"
    "Dis_SecondLIM,4,BCD_WEIGHT,0,,Dis_SecondLIM,NUM\r\n"
    "Dis_Within2ndLIM,4,BCD_PRICE,0,,Dis_Within2ndLIM,NUM\r\n"
    "Dis_Type,2,HEX,0,,Dis_Type,NUM\r\n"
    "Dis_MarkDown,2,HEX,0,,Dis_MarkDown,NUM\r\n";

const QString kDiscountBlock = QStringLiteral("070307" "0830" "310307" "2000" "00000500" "00000299"
                                              "00001250" "00000250" "0001" "0002");

bool insertPlu(AppState &state, const QVariantMap &row)
{
    QStringList marks(row.size(), QStringLiteral("?"));
    return SqlExec(state,
                QStringLiteral("insert into PLU (%1) values (%2)")
                    .arg(row.keys().join(u','), marks.join(u',')),
                row.values());
}

QVariant column(AppState &state, qint32 pluNo, const QString &name)
{
    QSqlQuery q(QSqlDatabase::database(state.connMain));
    q.prepare(QStringLiteral("select %1 from PLU where PLU_No=?").arg(name));
    q.addBindValue(pluNo);
    if (!q.exec() || !q.next())
        return QStringLiteral("<no row>");
    return q.value(0);
}

QString record(AppState &state, qint32 pluNo)
{
    return column(state, pluNo, QStringLiteral("ZentBinData")).toString();
}

bool exec(AppState &state, const QStringList &statements)
{
    return std::all_of(statements.begin(), statements.end(), [&](const QString &s) { return SqlExec(state, s); });
}

// "Flag1 Flag2 BarFlag BarFormat Bar_Type LabFormat" of a main group.
QString settingsOf(const AppState &state, int no)
{
    const int i = state.enc.mgIndex.value(no, -1);
    if (i < 0)
        return QStringLiteral("none");
    const MGSettings &m = state.enc.mgSettings.at(i);
    return QStringLiteral("%1 %2 %3 %4 %5 %6").arg(m.Flag1).arg(m.Flag2).arg(m.BarFlag).arg(m.BarFormat).arg(m.Bar_Type).arg(m.LabFormat);
}

// A data root with the test descriptors, a small hierarchy and barcode list.
struct RecordFixture {
    RecordFixture()
    {
        if (!root.ok())
            return;
        const QString desc = root.path() + QStringLiteral("Desc/");
        if (!WriteFile(desc + QStringLiteral("PLU_STATUS.dsc"), statusFile())
            || !WriteFile(desc + QStringLiteral("PLU.dsc"), kPluDesc)
            || !WriteFile(desc + QStringLiteral("DISCOUNT.dsc"), kDiscountDesc))
            return;
        state = root.loadedState();
        if (!state)
            return;
        state->now = [] { return QDateTime(QDate(2010, 11, 25), QTime(10, 30, 15)); };
        const QStringList setup{
            "delete from STORE", "delete from DEPT", "delete from MG", "delete from PLU",
            "delete from DISCOUNT", "delete from BARCODE_LIST",
            "insert into STORE values (1,'Shop',1,1,0,1,'EAN',1)",
            "insert into DEPT values (1,'Dept',1,21,0,1,3,'EAN',4)",
            "insert into MG values (10,1,'Inherits',0,0,0,-1,'EAN',0)",
            "insert into MG values (11,1,'Unknown format',5,5,0,7,'EAN',6)",
            "insert into MG values (12,1,'ITF',8,0,2,1,'itf',6)",
            "insert into BARCODE_LIST values (3,'EAN',5,'19',13,'','flag, item',1)",
            "insert into BARCODE_LIST values (1,'ITF',4,'10',14,'','itf',1)",
            "insert into BARCODE_LIST values (7,'EAN',5,'11',13,'','unused',0)",
            "insert into DISCOUNT values (2,'2007-03-07','08:30','2007-03-31','20:00',0.5,2.99,1.25,2.5,1,2)",
        };
        if (!exec(*state, setup))
            return;
        LoadMGSettings(*state);
        if (!LoadScaleBarcodeList(*state))
            return;
        ready = true;
    }

    // Every flag of the test status file and the fields they switch on,
    // with changes.
    static QVariantMap fullPlu(qint32 no, const QVariantMap &changes = {})
    {
        QVariantMap row{{"PLU_No", no}, {"PLU_UPrice", 12.34}, {"PLU_MG", 10}, {"PLU_LBFormat1", -1},
                        {"PLU_BarFormat", -1}, {"PLU_ItemCode", "123"}, {"PLU_EANData", "99999999999999"},
                        {"PLU_QTY", 7}, {"PLU_SBTime", "14:05"}, {"PLU_CommFonts", "3,5"},
                        {"PLU_Commodity", QStringLiteral("AB\rC")}, {"PLU_Nutrition", "Fat 2g"}};
        for (const char *flag : {"Stat1_Unit", "Stat1_PBPreUnit", "Stat1_SBDate", "Stat1_SBTime", "Stat1_Commodity",
                                 "Stat1_LabelFormat", "Stat1_Barcode", "Stat1_PriceChange", "Stat2_Discount",
                                 "Stat2_PLUStatB2B", "Stat2_NoSale", "Stat2_Frozen"})
            row.insert(QLatin1String(flag), 1);
        row.insert(changes);
        return row;
    }

    TestDataRoot root{false};
    std::unique_ptr<AppState> state;
    bool ready = false;
};

// Record of the plain PLU 1: flags off, UPDate given.
QString plainRecord()
{
    return QStringLiteral("00000001") + QStringLiteral("0015") // 19 bytes of fields + 2
        + QStringLiteral("0000")                                // PLU_STATUS
        + QStringLiteral("000350")                              // 3.50
        + QStringLiteral("000000")                              // PLU_STATUS2
        + QStringLiteral("41420000")                            // "AB" in 4 bytes
        + QStringLiteral("070307");                             // 7 March 2007
}

// Record of the full PLU 2 (see fullPlu) with the given last update date.
QString fullRecord(qint32 no, const QString &updateDate)
{
    const QString data = QStringLiteral("0507")        // flags 1, 3 (2 suppressed); 9, 10, 11
        + QStringLiteral("001234")                      // 12.34
        + QStringLiteral("01000000")                    // PLU_STATUSB: flag 17
        + QStringLiteral("030000")                      // PLU_STATUS2: flags 25, 26
        + QStringLiteral("0100000080000000")            // PLU_STATUS2B: flags 49, 88
        + QStringLiteral("04")                          // label format of department 1
        + QStringLiteral("03")                          // barcode format of department 1
        + QStringLiteral("21001230000001")              // flag 21, item 00123, fill, EAN, BarFlag 1
        + QStringLiteral("0007")                        // quantity
        + QStringLiteral("030241420D0501430C")          // commodity in fonts 3 and 5
        + QStringLiteral("30000000")                    // null preset reads "0"
        + QStringLiteral("06466174203267")              // "Fat 2g" without font
        + kDiscountBlock + updateDate;
    const QString head = QString::number(no).rightJustified(8, u'0');
    const QString length = QString::number((head.size() + data.size()) / 2 + 2, 16).toUpper().rightJustified(4, u'0');
    return head + length + data;
}

} // namespace

class TestRecordBuilder : public QObject {
    Q_OBJECT

private slots:
    void wholeRecords();
    void singleEqualsAll();
    void failuresLeaveOtherPlusAlone();
    void unreadableDescriptorsStopTheRun();
    void statusAndDiscountSteps();
    void decimalPlaceSettings();
    void mainGroupSettings();
    void scaleBarcodeList();
};

void TestRecordBuilder::wholeRecords()
{
    RecordFixture f;
    QVERIFY(f.ready);
    AppState &s = *f.state;
    QVERIFY(insertPlu(s, {{"PLU_No", 1}, {"PLU_UPrice", 3.5}, {"PLU_MG", 10}, {"PLU_LBFormat1", 2},
                          {"PLU_BarFormat", 3}, {"PLU_QTY", 5}, {"PLU_CPLUPreset", "AB"},
                          {"PLU_UPDate", "2007-03-07"}, {"PLU_Commodity", "unused"}}));
    // The full PLU comes last: its status blocks stay in the tables.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(9)));
    QVERIFY(SqlExec(s, "update DISCOUNT set PLU_No=9"));
    // Own label and barcode: the EAN data take Length + 1 bytes.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(3, {{"PLU_LBFormat1", 2}, {"PLU_BarFormat", 1},
                                                    {"PLU_EANData", "12345678901234"}, {"Stat2_Discount", 0}})));
    // ITF main group: flag figures "8" and "0", item of 4 figures, type 9.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(5, {{"PLU_MG", 12}, {"PLU_ItemCode", "42"}, {"Stat2_Discount", 0}})));

    qint32 last = 0;
    const EncodeRunResult r = CreatePLUData(s, QStringLiteral("all"), last);
    QVERIFY2(s.reportedErrors.isEmpty(), qPrintable(s.reportedErrors.value(0).source));
    QVERIFY(r.selected == 4 && r.encoded == 4 && r.completed && last == 9);
    QCOMPARE(record(s, 1), plainRecord());
    // A null update date is the zero date.
    QCOMPARE(record(s, 9), fullRecord(9, QStringLiteral("301299")));
    QCOMPARE(column(s, 9, QStringLiteral("PLU_UPDate")).toString(), QStringLiteral("2010-11-25"));
    QCOMPARE(column(s, 9, QStringLiteral("PLU_UPTime")).toString(), QStringLiteral("10:30:15"));
    // No summary without errors; progress was shown.
    QVERIFY(f.root.ui.messages.isEmpty());
    QVERIFY(f.root.ui.progressSteps > 0);

    // The tables keep the PLU descriptors and the last PLU's status blocks.
    QCOMPARE(s.enc.fieldDescs.size(), 18);
    QCOMPARE(s.enc.statusBlock, QStringLiteral("0507"));
    QCOMPARE(s.enc.status2BlockB, QStringLiteral("0100000080000000"));
    // The record builder alone gives the same record for the same state.
    QCOMPARE(CreateZentPLUData(s, 9), fullRecord(9, QStringLiteral("251110")));

    QCOMPARE(record(s, 3).mid(12 + 40, 4 + 14), QStringLiteral("0201") + QStringLiteral("12345678901234"));
    QCOMPARE(record(s, 5).mid(12 + 40, 4 + 14), QStringLiteral("0601") + QStringLiteral("80004200000092"));
    // Without the discount flag the block is left out: 30 bytes shorter.
    QCOMPARE(record(s, 3).size(), fullRecord(3, QStringLiteral("301299")).size() - 60);
    // The barcode step alone, with the flag layouts of the edge cases.
    QCOMPARE(CreateEANData(s, 10, QStringLiteral("123")), QStringLiteral("21001230000001"));
    QVERIFY(SqlExec(s, "update BARCODE_LIST set FlagStat='10' where BAR_Code=3"));
    QVERIFY(LoadScaleBarcodeList(s));
    QCOMPARE(CreateEANData(s, 10, QStringLiteral("123")), QStringLiteral("21000123000001"));
    // A longer item code is not cut; one that cannot fit is an error.
    QCOMPARE(CreateEANData(s, 10, QStringLiteral("1234567")), QStringLiteral("21012345670001"));
    QVERIFY(s.reportedErrors.isEmpty());
    QCOMPARE(CreateEANData(s, 10, QStringLiteral("123456789012")), QString());
    QCOMPARE(CreateEANData(s, 10, QStringLiteral("12a")), QString());
    QCOMPARE(CreateEANData(s, 11, QStringLiteral("1")), QString()); // format 7 is not used
    QCOMPARE(CreateEANData(s, 99, QStringLiteral("1")), QString()); // no such main group
    QCOMPARE(s.reportedErrors.size(), 4);
    for (const ReportedError &e : s.reportedErrors)
        QCOMPARE(e.source, QStringLiteral("CreateEANData()"));
}

void TestRecordBuilder::singleEqualsAll()
{
    RecordFixture f;
    QVERIFY(f.ready);
    AppState &s = *f.state;
    QVector<qint32> plus{3, 2, 4};
    for (int no : plus)
        QVERIFY(insertPlu(s, RecordFixture::fullPlu(no)));
    QVERIFY(SqlExec(s, "insert into DISCOUNT values (3,'2008-01-02','00:00','2008-12-31','23:59',1,1,2,2,3,4)"));
    QVERIFY(SqlExec(s, "insert into DISCOUNT values (4,'2007-03-07','08:30','2007-03-31','20:00',0.5,2.99,1.25,2.5,1,2)"));
    // Mode ALL lets SQLite test the status flags, mode SINGLE tests them
    // itself: odd stored values must come out the same. Flag 3 (status
    // byte 0), flag 49 (status byte 6) and a flag that switches a field on.
    const QVariantList odd{QVariant(), 0, 1, -1, 2, 0.5, 0.0, "True", "false", " 1", "0.0", "1abc",
                           "abc", "-0", "1e-3", "  +2.5x"};
    for (int i = 0; i < odd.size(); ++i) {
        QVERIFY(insertPlu(s, RecordFixture::fullPlu(100 + i, {{"Stat2_Discount", 0}})));
        QVERIFY(SqlExec(s, "update PLU set Stat1_SBDate=?, Stat2_NoSale=?, Stat1_Unit=? where PLU_No=?",
                        {odd.at(i), odd.at(i), odd.at(i), 100 + i}));
        plus << 100 + i;
    }

    qint32 last = 0;
    CreatePLUData(s, QStringLiteral("ALL"), last);
    // The second run encodes the update date the first one stored.
    CreatePLUData(s, QStringLiteral("ALL"), last);
    QVERIFY(s.reportedErrors.isEmpty());
    QHash<qint32, QString> all;
    for (int no : plus)
        all[no] = record(s, no);
    QCOMPARE(all[2], fullRecord(2, QStringLiteral("251110")));
    QCOMPARE(all[4], fullRecord(4, QStringLiteral("251110")));
    QVERIFY(all[3] != fullRecord(3, QStringLiteral("251110"))); // its own discount
    // 1 and -1 switch flags 1 and 3 on, 0 and null do not; SQLite reads a
    // text by its leading number ("True" 0, "1abc" 1).
    QString byte0;
    for (int i : {1, 2, 3, 0, 7, 11})
        byte0 += all[100 + i].mid(12, 2);
    QCOMPARE(byte0, QStringLiteral("000505000005"));

    QVERIFY(SqlExec(s, "update PLU set ZentBinData=null"));
    for (int no : plus) {
        qint32 plu = no;
        const EncodeRunResult r = CreatePLUData(s, QStringLiteral("Single"), plu);
        QVERIFY(r.selected == 1 && r.encoded == 1 && plu == no);
        QVERIFY2(record(s, no) == all[no], qPrintable(QString::number(no)));
        if (no <= 4) { // only the PLU's own discount row was encoded
            QCOMPARE(s.enc.discountData.size(), 1);
            QCOMPARE(s.enc.discountData.at(0).PLU_No, no);
        }
    }
    QVERIFY(s.reportedErrors.isEmpty());

    // A number that is not a PLU selects nothing and changes nothing.
    qint32 none = 77;
    const EncodeRunResult r = CreatePLUData(s, QStringLiteral("SINGLE"), none);
    QCOMPARE(r.selected, 0);
    QCOMPARE(none, 77);
}

void TestRecordBuilder::failuresLeaveOtherPlusAlone()
{
    RecordFixture f;
    QVERIFY(f.ready);
    AppState &s = *f.state;
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(2)));
    // 4: discount flag without a DISCOUNT row.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(4)));
    // 5: inherits from a main group that does not exist.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(5, {{"PLU_MG", 99}, {"Stat2_Discount", 0}})));
    // 6: its main group's barcode format is not in the used list.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(6, {{"PLU_MG", 11}, {"Stat2_Discount", 0}})));
    // 7: a text longer than its field.
    QVERIFY(insertPlu(s, {{"PLU_No", 7}, {"PLU_CPLUPreset", "ABCDE"}, {"ZentBinData", "00"}}));
    // 8: a flagged time field without a time.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(8, {{"Stat2_Discount", 0}})));
    QVERIFY(SqlExec(s, "update PLU set PLU_SBTime=null, Stat1_SBTime=1 where PLU_No=8"));
    // 9: an empty text in a flagged text field is one NUL line.
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(9, {{"PLU_Commodity", ""}, {"PLU_CommFonts", QVariant()},
                                                    {"Stat2_Discount", 0}})));
    // 10: a price whose figures before the point do not fit its field.
    QVERIFY(insertPlu(s, {{"PLU_No", 10}, {"PLU_UPrice", 12345.67}}));
    // Numbers the record cannot hold: the schema refuses them, an older
    // database may have them. Each gets an empty record in its own row.
    QVERIFY(!SqlExec(s, "insert into PLU (PLU_No) values (1000000)"));
    QVERIFY(SqlExec(s, "PRAGMA ignore_check_constraints=ON"));
    const QVector<qint64> wide{2147483647LL, 2147483648LL, 9223372036854775807LL};
    for (qint64 no : wide)
        QVERIFY(SqlExec(s, "insert into PLU (PLU_No, ZentBinData) values (?, 'OLD')", {no}));

    qint32 last = 0;
    const EncodeRunResult r = CreatePLUData(s, QStringLiteral("ALL"), last);
    QCOMPARE(r.selected, 11);
    QCOMPARE(r.encoded, 3);
    QCOMPARE(r.failedPlus, (QVector<qint64>{4, 5, 6, 7, 10} + wide));
    QVERIFY(r.completed);
    QCOMPARE(SqlCount(s, "PLU where PLU_No>999999 and ZentBinData=''"), 3);
    QCOMPARE(record(s, 2), fullRecord(2, QStringLiteral("301299")));
    for (int no : {4, 5, 6, 7, 10}) {
        // Stored empty (not null), with the new date and time.
        QCOMPARE(column(s, no, QStringLiteral("ZentBinData")).isNull(), false);
        QCOMPARE(record(s, no), QString());
        QCOMPARE(column(s, no, QStringLiteral("PLU_UPDate")).toString(), QStringLiteral("2010-11-25"));
    }
    // The time field of PLU 8 is switched off by its flag's source 0.
    QVERIFY(!record(s, 8).isEmpty());
    QVERIFY(record(s, 9).contains(QStringLiteral("00070001000C30000000")));

    QCOMPARE(s.reportedErrors.size(), 8);
    QCOMPARE(s.reportedErrors.at(0).source, QStringLiteral("CreateZentPLUData()"));
    QVERIFY(s.reportedErrors.at(0).description.contains(QStringLiteral("DISCOUNT")));
    QCOMPARE(s.reportedErrors.at(1).source, QStringLiteral("CreateZentPLUData()"));
    QCOMPARE(s.reportedErrors.at(2).source, QStringLiteral("CreateEANData()"));
    QCOMPARE(s.reportedErrors.at(3).source, QStringLiteral("CVSFieldCode (ABCDE,4,ASCII,0)"));
    // One message for the whole run.
    QCOMPARE(f.root.ui.messages.size(), 1);
    QCOMPARE(f.root.ui.messages.at(0).title, QStringLiteral("Korvo 2005"));
    QCOMPARE(f.root.ui.messages.at(0).text,
             QStringLiteral("8 of 11 PLUs could not be encoded. First error (CreateZentPLUData()): ")
                 + s.reportedErrors.at(0).description
                 + QStringLiteral("\nPLUs without a scale record: 4, 5, 6, 7, 10, 2147483647, 2147483648, "
                                  "9223372036854775807"));

    // Mode SINGLE reports its error at once and touches no other PLU.
    QVERIFY(SqlExec(s, "update PLU set ZentBinData=null, PLU_UPDate=null where PLU_No in (2, 4)"));
    f.root.ui.messages.clear();
    qint32 plu = 4;
    QCOMPARE(CreatePLUData(s, QStringLiteral("SINGLE"), plu).failedPlus, QVector<qint64>{4});
    QCOMPARE(f.root.ui.messages.size(), 1);
    QCOMPARE(f.root.ui.messages.at(0).title, QStringLiteral("CreateZentPLUData()"));
    QCOMPARE(record(s, 4), QString());
    QVERIFY(column(s, 2, QStringLiteral("ZentBinData")).isNull() && column(s, 2, QStringLiteral("PLU_UPDate")).isNull());
    // An unknown mode does nothing but say so.
    qint32 any = 2;
    QCOMPARE(CreatePLUData(s, QStringLiteral("SOME"), any).selected, 0);
    QCOMPARE(s.reportedErrors.last().source, QStringLiteral("CreatePLUData (2)"));
    QVERIFY(column(s, 2, QStringLiteral("ZentBinData")).isNull());
}

void TestRecordBuilder::unreadableDescriptorsStopTheRun()
{
    RecordFixture f;
    QVERIFY(f.ready);
    AppState &s = *f.state;
    QVERIFY(insertPlu(s, RecordFixture::fullPlu(2)));
    QVERIFY(SqlExec(s, "update PLU set ZentBinData='OLD'"));
    const QString desc = f.root.path() + QStringLiteral("Desc/");
    QByteArray shortStatus;
    for (const QByteArray &line : statusFile().split('\n').mid(0, 81))
        shortStatus += line + '\n';
    // Each fault stops the run before anything is written, naming the file,
    // the line and the reason.
    const struct {
        const char *file;
        QByteArray content;
        QString reason;
    } cases[] = {
        {"PLU.dsc", kPluDesc + "Broken,x,BCD,0,,PLU_No,NUM\r\n", "Line 19: Length \"x\""},
        {"PLU.dsc", kPluDesc + "Extra,2,BCD,0,,PLU_Nope,NUM\r\n", "Line 19: PLU has no column \"PLU_Nope\""},
        {"PLU.dsc", QByteArray(kPluDesc).replace("2,BCD,1,Stat1_Unit", "2,BDC,1,Stat1_Unit"),
         "Line 11: unknown type"},
        {"PLU.dsc", QByteArray(kPluDesc).replace("Stat1_Unit,PLU_QTY", ",PLU_QTY"),
         "Line 11: the conditional field PLU_QTY names no flag"},
        {"PLU.dsc", "; no fields\r\n", "describes no field"},
        {"PLU.dsc", "\xEF\xBB\xBF" + kPluDesc, "UTF-8 with a byte-order mark"},
        {"PLU.dsc", QByteArray(), "is a folder"},
        {"PLU_STATUS.dsc", shortStatus, "defines 80 status flags"},
        {"PLU_STATUS.dsc", statusFile().replace("Reserved_5,0,,0", "Stat9_Missing,1,,0"),
         "Line 6: the flag Stat9_Missing"},
        {"DISCOUNT.dsc", "; empty\r\n", "describes no field"},
        {"DISCOUNT.dsc", QByteArray(kDiscountDesc).replace("Dis_MarkDown,2", "Dis_MarkDown,1"),
         "block of 29 bytes"},
    };
    const QHash<QString, QByteArray> good{
        {"PLU.dsc", kPluDesc}, {"PLU_STATUS.dsc", statusFile()}, {"DISCOUNT.dsc", kDiscountDesc}};
    for (const auto &c : cases) {
        const QString path = desc + QLatin1String(c.file);
        QFile::remove(path);
        QVERIFY(c.content.isNull() ? QDir().mkdir(path) : WriteFile(path, c.content));
        f.root.ui.messages.clear();
        const qsizetype before = s.reportedErrors.size();
        qint32 last = 0;
        const EncodeRunResult r = CreatePLUData(s, QStringLiteral("ALL"), last);
        QVERIFY2(!r.completed && r.encoded == 0, c.file);
        QCOMPARE(record(s, 2), QStringLiteral("OLD"));
        QCOMPARE(s.reportedErrors.size(), before + 1);
        const ReportedError &e = s.reportedErrors.last();
        QVERIFY2(e.source.endsWith(QLatin1String(c.file) + u')') && e.description.contains(c.reason),
                 qPrintable(e.source + QStringLiteral(": ") + e.description));
        // One true summary.
        QCOMPARE(f.root.ui.messages.size(), 1);
        QCOMPARE(f.root.ui.messages.at(0).text,
                 QStringLiteral("No scale record was changed. (%1): %2").arg(e.source, e.description));
        QDir(path).removeRecursively();
        QVERIFY(WriteFile(path, good.value(QLatin1String(c.file))));
    }

    // Faults of the database end the run at once and change no record: a
    // full disk (the records outgrow the pages the file may have) and a
    // refused commit, the latter a deferred foreign key that only the
    // commit checks.
    for (int no = 10; no < 60; ++no)
        QVERIFY(insertPlu(s, RecordFixture::fullPlu(no, {{"Stat2_Discount", 0}})));
    QVERIFY(SqlExec(s, "update PLU set ZentBinData='OLD'"));
    for (const RowAccess access : {RowAccess::Native, RowAccess::QtSql}) {
        QVERIFY(SqlExec(s, QStringLiteral("PRAGMA max_page_count=") + SqlScalar(s, QStringLiteral("PRAGMA page_count"))));
        f.root.ui.messages.clear();
        qint32 last = 0;
        const EncodeRunResult r = CreatePLUData(s, QStringLiteral("ALL"), last, access);
        QVERIFY(SqlExec(s, "PRAGMA max_page_count=1073741823"));
        QVERIFY(!r.completed);
        QVERIFY2(s.reportedErrors.last().description.startsWith(QStringLiteral("The disk is full")),
                 qPrintable(s.reportedErrors.last().description));
        QCOMPARE(f.root.ui.messages.size(), 1);
        QVERIFY(!f.root.ui.messages.at(0).text.contains(QStringLiteral("rollback")));
        QCOMPARE(SqlColumn(s, "select distinct ZentBinData from PLU"), QStringList{"OLD"});
        QVERIFY(!InTransaction(s));
    }
    QVERIFY(SqlExec(s, "PRAGMA foreign_keys=ON"));
    QVERIFY(SqlExec(s, "create table Orphan (Ref integer references Nobody(Id) deferrable initially deferred)"));
    QVERIFY(SqlExec(s, "create table Nobody (Id integer primary key)"));
    QVERIFY(SqlExec(s, "create trigger plu_touched after update on PLU begin insert into Orphan values (1); end"));
    const qsizetype before = s.reportedErrors.size();
    qint32 last = 0;
    const EncodeRunResult r = CreatePLUData(s, QStringLiteral("ALL"), last);
    QCOMPARE(r.encoded, 0);
    QVERIFY(!r.completed);
    QCOMPARE(s.reportedErrors.size(), before + 1);
    QVERIFY(s.reportedErrors.last().description.startsWith(QStringLiteral("The encoded records could not be saved")));
    QCOMPARE(record(s, 2), QStringLiteral("OLD"));
}

void TestRecordBuilder::statusAndDiscountSteps()
{
    RecordFixture f;
    QVERIFY(f.ready);
    AppState &s = *f.state;
    QVERIFY(ReadZentStatFile(s, DescriptorPath(s, QStringLiteral("PLU_STATUS.dsc"))));
    QVector<StatusFlag> &flags = s.enc.statusFlags;
    flags[0].Value = flags[1].Value = flags[2].Value = 1; // flag 2 is suppressed
    QCOMPARE(CreateZentStatus(s, 0, 1), QStringLiteral("05"));
    QCOMPARE(flags[1].Value, qint16(0));
    QCOMPARE(CreateZentStatus(s, 0, 2), QStringLiteral("0005"));
    flags[87].Value = 1;
    QVERIFY(CreateZentPLUStatus(s));
    QCOMPARE(QStringList({s.enc.statusBlock, s.enc.statusBlockB, s.enc.status2Block, s.enc.status2BlockB}),
             QStringList({"0500", "00000000", "000000", "0000000080000000"}));
    // Fewer than 88 flags: byte 10 cannot be built.
    flags.resize(84);
    QVERIFY(!CreateZentPLUStatus(s));
    QCOMPARE(s.reportedErrors.last().source, QStringLiteral("CreateZentStatus (80)"));
    QCOMPARE(CreateZentStatus(s, 80, 1), QString());

    // The discount blocks of all rows; a second row of a PLU is kept but not
    // indexed (a table without the key allows it).
    QVERIFY(SqlExec(s, "create table DISCOUNT2 as select * from DISCOUNT"));
    QVERIFY(SqlExec(s, "drop table DISCOUNT"));
    QVERIFY(SqlExec(s, "alter table DISCOUNT2 rename to DISCOUNT"));
    QVERIFY(SqlExec(s, "insert into DISCOUNT values (2,'2009-01-01','00:00','2009-01-02','00:00',0,0,0,0,0,0)"));
    QVERIFY(SqlExec(s, "insert into DISCOUNT values (1,'2009-01-01','00:00','2009-01-02','00:00',0,0,0,0,0,0)"));
    QVERIFY(GetDefualtSettingValues(s));
    QVERIFY(LoadDiscountData(s, DescriptorPath(s, QStringLiteral("DISCOUNT.dsc"))));
    QCOMPARE(s.enc.discountData.size(), 3);
    QCOMPARE(s.enc.discountData.at(0).PLU_No, 1);
    QCOMPARE(s.enc.discountData.at(1).Block, kDiscountBlock);
    QCOMPARE(s.enc.discountData.at(2).PLU_No, 2);
    QCOMPARE(s.enc.discountIndex.value(2, -1), 1);
    QVERIFY(SqlExec(s, "delete from DISCOUNT where PLU_No<>2 or Dis_SDate<>'2007-03-07'"));

    // The fixed-data step on a row of its own, with and without length.
    QSqlQuery q(QSqlDatabase::database(s.connMain));
    QVERIFY(q.exec(QStringLiteral("select * from DISCOUNT")) && q.next());
    const QSqlRecord row = q.record();
    QCOMPARE(CreateZentFixedData(s, row, false), kDiscountBlock);
    QCOMPARE(CreateZentFixedData(s, row, true),
             kDiscountBlock.left(8) + QStringLiteral("0020") + kDiscountBlock.mid(8));
    QCOMPARE(CreateZentFixedData(s, QSqlRecord(), true), QString());

}

void TestRecordBuilder::decimalPlaceSettings()
{
    RecordFixture f;
    QVERIFY(f.ready);
    AppState &s = *f.state;
    QVERIFY(GetDefualtSettingValues(s));
    QCOMPARE(s.enc.priceDecimals, qint16(2));
    QCOMPARE(s.enc.weightDecimals, qint16(3));
    QVERIFY(insertPlu(s, {{"PLU_No", 1}, {"PLU_UPrice", 1.69}, {"PLU_CPLUPreset", "AB"},
                          {"PLU_UPDate", "2007-03-07"}, {"ZentBinData", "OLD"}}));
    // Read anew at every run, strictly: anything but a whole number 0..6
    // stops the run before a record is written with it.
    for (const char *bad : {"", "abc", "400", "-5", "2.5", "7"}) {
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("WeightDecimalPlace"),
                               QLatin1String(bad), s.iniFile));
        qint32 last = 0;
        QVERIFY2(!CreatePLUData(s, QStringLiteral("ALL"), last).completed, bad);
        QCOMPARE(s.reportedErrors.last().source, QStringLiteral("GetDefualtSettingValues()"));
        QCOMPARE(record(s, 1), QStringLiteral("OLD"));
    }
    QCOMPARE(s.enc.weightDecimals, qint16(3)); // the previous value stays
    QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("WeightDecimalPlace"),
                           QStringLiteral("3"), s.iniFile));
    QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("PriceDecimalPlace"),
                           QStringLiteral("3"), s.iniFile));
    qint32 last = 0;
    QVERIFY(CreatePLUData(s, QStringLiteral("ALL"), last).completed);
    QCOMPARE(record(s, 1), plainRecord().replace(QStringLiteral("000350"), QStringLiteral("001690")));
}

void TestRecordBuilder::mainGroupSettings()
{
    RecordFixture f;
    QVERIFY(f.ready);
    std::unique_ptr<AppState> &state = f.state;
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
    for (int i = 0; i < t.size(); ++i)
        QVERIFY(t[i].MG_No == 4 + i && state->enc.mgIndex.value(4 + i) == i);

    QStringList got;
    for (int no = 4; no <= 9; ++no)
        got << settingsOf(*state, no);
    QCOMPARE(got, QStringList({
                      "0 0 0 0 0 0",       // 4: unreadable department, left at 0
                      "51 52 1 5 EAN 2",   // 5: own values
                      "21 22 0 3 EAN 23",  // 6: all six from the department
                      "11 12 1 -1 ITF 13", // 7: main group and department pass up, even -1
                      "0 0 0 0 0 0",       // 8: unreadable store
                      "0 2 0 4 0 0",       // 9: null numbers 0, a null Bar_Type "0"
                  }));
    QVERIFY(state->reportedErrors.isEmpty());
    QFile log(LogFilePath(*state, state->now().date()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString logText = QString::fromUtf16(reinterpret_cast<const char16_t *>(log.readAll().constData()),
                                               log.size() / 2);
    QVERIFY(logText.contains(QStringLiteral("main group 4 inherits from department 7")));

    // A reload reflects a changed department.
    QVERIFY(exec(*state, {"update DEPT set LabFormat=99 where DP_No=1"}));
    LoadMGSettings(*state);
    QCOMPARE(settingsOf(*state, 6), QStringLiteral("21 22 0 3 EAN 99"));
    QCOMPARE(state->enc.mgSettings.size(), 6);
}

void TestRecordBuilder::scaleBarcodeList()
{
    RecordFixture f;
    QVERIFY(f.ready);
    std::unique_ptr<AppState> &state = f.state;
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
    // By type, then code; -1 and unused rows are left out.
    QStringList got;
    for (const ScaleBarcode &c : std::as_const(state->enc.scaleBarcodes))
        got << QStringLiteral("%1 %2 %3 %4 %5").arg(c.BAR_Code).arg(c.BAR_Type).arg(c.ItemNum).arg(c.FlagStat).arg(c.DigitalNum);
    QCOMPARE(got, QStringList({"1 EAN 5 11 13", "3 EAN 5 10 13", "1 ITF 6 19 14"}));
    QCOMPARE(state->enc.scaleBarcodeIndex, (QHash<QString, int>{{"1_EAN", 0}, {"3_EAN", 1}, {"1_ITF", 2}}));

    // A failing statement is reported.
    QVERIFY(exec(*state, {"drop table BARCODE_LIST"}));
    QVERIFY(!LoadScaleBarcodeList(*state));
    QVERIFY(state->enc.scaleBarcodes.isEmpty());
    QCOMPARE(state->reportedErrors.size(), 1);
    QVERIFY(!LoadBarcodeList(*state));
    QCOMPARE(state->reportedErrors.size(), 2);
}

QTEST_GUILESS_MAIN(TestRecordBuilder)
#include "tst_recordbuilder.moc"
