// The descriptor files: line format, number readings, error reports and the
// status links of the PLU field table.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "encoding/DescriptorFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

struct DescFixture {
    DescFixture()
        : state(&ui)
    {
        state.setPaths(QString(), dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("Desc"));
    }
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.path() + QStringLiteral("/Desc/") + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        f.write(content);
        return path;
    }
    QTemporaryDir dir;
    ScriptedUi ui;
    AppState state;
};

const QByteArray kStatus = "; flags\r\n"
                           "Stat1_Unit,1,PLU_QTY,0\r\n"
                           "Stat1_Text, 1.0 ,PLU_Commodity,0\r\n"
                           "Reserved,0,,1\r\n"
                           "Stat1_Label,1,PLU_LBFormat1 | plu_lbformat2 |,0\r\n";

} // namespace

class TestDescriptors : public QObject {
    Q_OBJECT

private slots:
    void lineFormat();
    void numberReadings();
    void pluDescriptorErrors();
    void missingFiles();
    void flagSourceAndStatusValues();
    void fixedDescriptorsReplacePluDescriptors();
    void statusFlagsLenient();
    void statusLinks();
    void folderNameWithoutCase();
};

void TestDescriptors::lineFormat()
{
    DescFixture f;
    const QString path = f.write(QStringLiteral("PLU.dsc"),
                                 "; comment\r\n"
                                 "   ; indented comment\r\n"
                                 "      \r\n"
                                 "\r\n"
                                 "  PLU_No ,  4 , BCD , 0 ,   ,  PLU_No  , NUM  \r\n"
                                 "Price,4,BCD_PRICE,1,Stat1_Unit,PLU_UPrice,NUM,extra,columns\n"
                                 "Text,0,ASCII_TXT,-1,,PLU_Commodity,TXT");
    QVERIFY(ReadZentPLUDescFile(f.state, path));
    QStringList rows;
    for (const FieldDescriptor &d : std::as_const(f.state.enc.fieldDescs))
        rows << QStringList{d.Name, QString::number(d.Length), d.Type, QString::number(d.Conditional),
                            d.FlagColumn, d.Column, d.ImportKind}.join(u'|');
    QCOMPARE(rows, QStringList({"PLU_No|4|BCD|0||PLU_No|NUM", "Price|4|BCD_PRICE|1|Stat1_Unit|PLU_UPrice|NUM",
                                "Text|0|ASCII_TXT|-1||PLU_Commodity|TXT"}));
    // Keyed upper-cased, by position.
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("PLU_NO"), -1), 0);
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("TEXT"), -1), 2);
    QCOMPARE(f.state.enc.fieldDescIndex.size(), 3);
    QVERIFY(f.state.reportedErrors.isEmpty());
}

void TestDescriptors::numberReadings()
{
    DescFixture f;
    // Whole numbers rounded half to even.
    const QString path = f.write(QStringLiteral("PLU.dsc"),
                                 "A,4.5,BCD,0,,A,NUM\r\n"
                                 "B,5.5,BCD,2.5,,B,NUM\r\n"
                                 "C,-0.4,BCD,1e1,,C,NUM\r\n");
    QVERIFY(ReadZentPLUDescFile(f.state, path));
    const QVector<FieldDescriptor> &d = f.state.enc.fieldDescs;
    QCOMPARE(d.size(), 3);
    QCOMPARE(d[0].Length, qint16(4));
    QCOMPARE(d[1].Length, qint16(6));
    QCOMPARE(d[1].Conditional, qint16(2));
    QCOMPARE(d[2].Length, qint16(0));
    QCOMPARE(d[2].Conditional, qint16(10));

    // Beyond 16 bits is a read error, as is a number followed by text.
    for (const QByteArray &bad : {QByteArray("X,40000,BCD,0,,X,NUM"), QByteArray("X,4,BCD,0x,,X,NUM"),
                                  QByteArray("X,,BCD,0,,X,NUM"), QByteArray("X,4 bytes,BCD,0,,X,NUM")}) {
        const qsizetype before = f.state.reportedErrors.size();
        const QString p = f.write(QStringLiteral("bad.dsc"), "A,1,BCD,0,,A,NUM\r\n" + bad + "\r\n");
        QVERIFY2(!ReadZentPLUDescFile(f.state, p), bad.constData());
        QCOMPARE(f.state.reportedErrors.size(), before + 1);
        QCOMPARE(f.state.enc.fieldDescs.size(), 1);
    }
}

void TestDescriptors::pluDescriptorErrors()
{
    DescFixture f;
    // Too few columns: the entries before stay, the rest is missing.
    QString path = f.write(QStringLiteral("PLU.dsc"),
                           "A,1,BCD,0,,A,NUM\r\n"
                           "B,1,BCD,0,,B\r\n"
                           "C,1,BCD,0,,C,NUM\r\n");
    QVERIFY(!ReadZentPLUDescFile(f.state, path));
    QCOMPARE(f.state.enc.fieldDescs.size(), 1);
    QCOMPARE(f.state.enc.fieldDescIndex.size(), 1);
    QCOMPARE(f.state.reportedErrors.size(), 1);
    QCOMPARE(f.state.reportedErrors.at(0).source,
             QStringLiteral("ReadZentPLUDescFile(") + path + QStringLiteral(")"));
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages.at(0).title, f.state.reportedErrors.at(0).source);

    // A repeated name, whatever its case.
    path = f.write(QStringLiteral("PLU.dsc"),
                   "A,1,BCD,0,,A,NUM\r\n"
                   "B,1,BCD,0,,B,NUM\r\n"
                   "b,2,HEX,0,,B,NUM\r\n"
                   "C,1,BCD,0,,C,NUM\r\n");
    QVERIFY(!ReadZentPLUDescFile(f.state, path));
    QCOMPARE(f.state.enc.fieldDescs.size(), 2);
    QCOMPARE(f.state.enc.fieldDescs.last().Name, QStringLiteral("B"));
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("B")), 1);
    QVERIFY(f.state.reportedErrors.last().description.contains(QStringLiteral("line 3"),
                                                               Qt::CaseInsensitive));

    // A good file read after a bad one starts afresh.
    path = f.write(QStringLiteral("PLU.dsc"), "Z,1,BCD,0,,Z,NUM\r\n");
    QVERIFY(ReadZentPLUDescFile(f.state, path));
    QCOMPARE(f.state.enc.fieldDescs.size(), 1);
    QCOMPARE(f.state.enc.fieldDescIndex.keys(), QList<QString>{QStringLiteral("Z")});
}

void TestDescriptors::missingFiles()
{
    DescFixture f;
    const QString path = f.dir.path() + QStringLiteral("/Desc/none.dsc");
    f.state.enc.fieldDescs.push_back(FieldDescriptor{});
    f.state.enc.statusFlags.push_back(StatusFlag{});
    QVERIFY(!ReadZentPLUDescFile(f.state, path));
    QVERIFY(f.state.enc.fieldDescs.isEmpty());
    QVERIFY(!ReadZentStatFile(f.state, path));
    QVERIFY(f.state.enc.statusFlags.isEmpty());
    QVERIFY(!ReadZentFixedDescFile(f.state, path));
    QCOMPARE(f.state.reportedErrors.size(), 3);
    QCOMPARE(f.state.reportedErrors.at(1).source, QStringLiteral("ReadZentStatFile(") + path + u')');
    QCOMPARE(f.state.reportedErrors.at(2).source,
             QStringLiteral("ReadZentFixedDescFile(") + path + u')');
    QCOMPARE(ReadFile(f.state, path), QString());
}

void TestDescriptors::flagSourceAndStatusValues()
{
    DescFixture f;
    QVERIFY(ReadZentStatFile(f.state, f.write(QStringLiteral("PLU_STATUS.dsc"), kStatus)));
    QCOMPARE(GetZentStatusValue(f.state, QStringLiteral("Stat1_Unit")), qint16(1));
    QCOMPARE(GetZentStatusValue(f.state, QStringLiteral("Stat1_Text")), qint16(1));
    QCOMPARE(GetZentStatusValue(f.state, QStringLiteral("Reserved")), qint16(0));
    // Case-sensitive, and absent names give 0.
    QCOMPARE(GetZentStatusValue(f.state, QStringLiteral("STAT1_UNIT")), qint16(0));
    QCOMPARE(GetZentStatusValue(f.state, QStringLiteral("Nothing")), qint16(0));

    const QString path = f.write(QStringLiteral("PLU.dsc"),
                                 "Qty,2,BCD,1,Stat1_Unit,PLU_QTY,NUM\r\n"
                                 "Qty2,2,BCD,1,stat1_unit,PLU_QTY,NUM\r\n"
                                 "Res,2,BCD,1,Reserved,PLU_QTY,NUM\r\n"
                                 "Gone,2,BCD,1,Stat9,PLU_QTY,NUM\r\n"
                                 "Always,2,BCD,0,,PLU_QTY,NUM\r\n");
    QVERIFY(ReadZentPLUDescFile(f.state, path));
    QStringList sources;
    for (const FieldDescriptor &d : std::as_const(f.state.enc.fieldDescs))
        sources << d.FlagSource;
    QCOMPARE(sources, QStringList({"1", "0", "0", "0", "0"}));
}

void TestDescriptors::fixedDescriptorsReplacePluDescriptors()
{
    DescFixture f;
    ReadZentStatFile(f.state, f.write(QStringLiteral("PLU_STATUS.dsc"), kStatus));
    QVERIFY(ReadZentPLUDescFile(f.state, f.write(QStringLiteral("PLU.dsc"),
                                                 "PLU_No,4,BCD,0,,PLU_No,NUM\r\n"
                                                 "Qty,2,BCD,1,Reserved,PLU_QTY,NUM\r\n")));
    QVERIFY(ReadZentFixedDescFile(f.state, f.write(QStringLiteral("DISCOUNT.dsc"),
                                                   "Dis_Type,2,HEX,0,Reserved,Dis_Type,NUM\r\n")));
    QCOMPARE(f.state.enc.fieldDescs.size(), 1);
    QCOMPARE(f.state.enc.fieldDescs[0].Name, QStringLiteral("Dis_Type"));
    QCOMPARE(f.state.enc.fieldDescs[0].FlagSource, QStringLiteral("1"));
    // The index still describes PLU.dsc.
    QCOMPARE(f.state.enc.fieldDescIndex.size(), 2);
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("QTY")), 1);
}

void TestDescriptors::statusFlagsLenient()
{
    DescFixture f;
    const QString path = f.write(QStringLiteral("PLU_STATUS.dsc"),
                                 "A,1.0,,0\r\n"
                                 "B, 1abc ,x|y, 1 \r\n"
                                 "C,yes,,no\r\n"
                                 "D,2,,0.6\r\n"
                                 "E,1,\r\n"
                                 "F,1,,0\r\n");
    QVERIFY(!ReadZentStatFile(f.state, path));
    const QVector<StatusFlag> &s = f.state.enc.statusFlags;
    QCOMPARE(s.size(), 4);
    QCOMPARE(s[0].Source, qint16(1));
    QCOMPARE(s[1].Source, qint16(1));
    QCOMPARE(s[1].Suppress, qint16(1));
    QCOMPARE(s[2].Source, qint16(0));
    QCOMPARE(s[2].Suppress, qint16(0));
    QCOMPARE(s[3].Source, qint16(2));
    QCOMPARE(s[3].Suppress, qint16(1));
    for (const StatusFlag &flag : s)
        QCOMPARE(flag.Value, qint16(0));
    QCOMPARE(f.state.reportedErrors.size(), 1);
}

void TestDescriptors::statusLinks()
{
    DescFixture f;
    f.write(QStringLiteral("PLU_STATUS.dsc"),
            "; comment\r\n"
            "Stat1_Text, 1.0 ,PLU_Commodity,0\r\n"     // "1.0" does not link
            "Stat1_Label , 1 , PLU_LBFormat1 | plu_lbformat2 |,0\r\n"
            "Stat2_Price,1,PLU_2NDPrice\r\n"           // three columns are enough
            "Stat2_Other,1,PLU_2NDPrice|PLU_Tare,0\r\n" // first line keeps a field
            "Stat2_Off,0,PLU_Image1,0\r\n"
            "Short,1\r\n");
    f.state.pluFields.reset();
    f.state.pluFields.at(f.state.pluFields.indexOf(QStringLiteral("PLU_Image2"))).StatusFlag =
        QStringLiteral("stale");
    LinkStatusFlagsToFields(f.state);
    auto flagOf = [&](const char *name) {
        return f.state.pluFields.at(f.state.pluFields.indexOf(QLatin1String(name))).StatusFlag;
    };
    QCOMPARE(flagOf("PLU_LBFormat1"), QStringLiteral("Stat1_Label"));
    QCOMPARE(flagOf("PLU_LBFormat2"), QStringLiteral("Stat1_Label"));
    QCOMPARE(flagOf("PLU_2NDPrice"), QStringLiteral("Stat2_Price"));
    QCOMPARE(flagOf("PLU_Tare"), QStringLiteral("Stat2_Other"));
    QCOMPARE(flagOf("PLU_Commodity"), QString());
    QCOMPARE(flagOf("PLU_Image1"), QString());
    QCOMPARE(flagOf("PLU_Image2"), QString());
    QVERIFY(f.state.reportedErrors.isEmpty());

    QCOMPARE(ReadFile(f.state, DescriptorPath(f.state, QStringLiteral("PLU_STATUS.dsc"))).left(36),
             QStringLiteral("Stat1_Text, 1.0 ,PLU_Commodity,0\r\nSt"));

    // A missing file links nothing and says why, once.
    QVERIFY(QFile::remove(DescriptorPath(f.state, QStringLiteral("PLU_STATUS.dsc"))));
    LinkStatusFlagsToFields(f.state);
    QCOMPARE(flagOf("PLU_LBFormat1"), QString());
    QCOMPARE(f.state.reportedErrors.size(), 1);
    QCOMPARE(f.state.reportedErrors.at(0).source, QStringLiteral("LinkStatusFlagsToFields"));
}

void TestDescriptors::folderNameWithoutCase()
{
    QTemporaryDir dir;
    ScriptedUi ui;
    AppState state(&ui);
    state.setPaths(QString(), dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("desc"));
    QFile file(dir.path() + QStringLiteral("/desc/plu_status.DSC"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Stat1_Unit,1,PLU_QTY,0\r\n");
    file.close();
    QCOMPARE(DescriptorPath(state, QStringLiteral("PLU_STATUS.dsc")), file.fileName());
    // A path spelt with another case than the folder's is found as well.
    QVERIFY(ReadZentStatFile(state, state.dataPath + QStringLiteral("Desc/PLU_STATUS.dsc")));
    QCOMPARE(state.enc.statusFlags.size(), 1);
    state.pluFields.reset();
    LinkStatusFlagsToFields(state);
    QCOMPARE(state.pluFields.at(state.pluFields.indexOf(QStringLiteral("PLU_QTY"))).StatusFlag,
             QStringLiteral("Stat1_Unit"));
}

QTEST_GUILESS_MAIN(TestDescriptors)
#include "tst_descriptors.moc"
