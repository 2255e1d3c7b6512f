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
    explicit DescFixture(const QString &folder = QStringLiteral("Desc"))
        : state(&ui), folder(folder)
    {
        state.setPaths(QString(), dir.path());
        QDir(dir.path()).mkpath(folder);
    }
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.path() + u'/' + folder + u'/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        f.write(content);
        return path;
    }
    // The field table as "Name|Length|Type|Conditional|FlagColumn|Column|ImportKind".
    QStringList fields() const
    {
        QStringList rows;
        for (const FieldDescriptor &d : state.enc.fieldDescs)
            rows << QStringList{d.Name, QString::number(d.Length), d.Type, QString::number(d.Conditional),
                                d.FlagColumn, d.Column, d.ImportKind}.join(u'|');
        return rows;
    }
    QString flagOf(const char *column)
    {
        return state.pluFields.at(state.pluFields.indexOf(QLatin1String(column))).StatusFlag;
    }
    QTemporaryDir dir;
    ScriptedUi ui;
    AppState state;
    QString folder;
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
    void pluDescriptorErrors();
    void missingFiles();
    void flagSourceAndStatusValues();
    void statusFlagsLenient();
    void statusLinks();
    void folderNameWithoutCase();
};

void TestDescriptors::lineFormat()
{
    DescFixture f;
    // Blanks trimmed, surplus columns ignored; whole numbers rounded half to even.
    const QString path = f.write(QStringLiteral("PLU.dsc"),
                                 "; comment\r\n"
                                 "   ; indented comment\r\n"
                                 "      \r\n"
                                 "\r\n"
                                 "  PLU_No ,  4 , BCD , 0 ,   ,  PLU_No  , NUM  \r\n"
                                 "Price,4,BCD_PRICE,1,Stat1_Unit,PLU_UPrice,NUM,extra,columns\n"
                                 "Text,0,ASCII_TXT,-1,,PLU_Commodity,TXT\r\n"
                                 "A,4.5,BCD,0,,A,NUM\r\n"
                                 "B,5.5,BCD,2.5,,B,NUM\r\n"
                                 "C,-0.4,BCD,1e1,,C,NUM");
    QVERIFY(ReadZentPLUDescFile(f.state, path));
    QCOMPARE(f.fields(), QStringList({"PLU_No|4|BCD|0||PLU_No|NUM", "Price|4|BCD_PRICE|1|Stat1_Unit|PLU_UPrice|NUM",
                                      "Text|0|ASCII_TXT|-1||PLU_Commodity|TXT", "A|4|BCD|0||A|NUM",
                                      "B|6|BCD|2||B|NUM", "C|0|BCD|10||C|NUM"}));
    // Keyed upper-cased, by position.
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("PLU_NO"), -1), 0);
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("TEXT"), -1), 2);
    QCOMPARE(f.state.enc.fieldDescIndex.size(), 6);
    QVERIFY(f.state.reportedErrors.isEmpty());

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
    QCOMPARE(f.state.reportedErrors.at(0).source, QStringLiteral("ReadZentPLUDescFile(") + path + u')');
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages.at(0).title, f.state.reportedErrors.at(0).source);

    // A repeated name, whatever its case.
    path = f.write(QStringLiteral("PLU.dsc"),
                   "A,1,BCD,0,,A,NUM\r\n"
                   "B,1,BCD,0,,B,NUM\r\n"
                   "b,2,HEX,0,,B,NUM\r\n"
                   "C,1,BCD,0,,C,NUM\r\n");
    QVERIFY(!ReadZentPLUDescFile(f.state, path));
    QCOMPARE(f.fields(), QStringList({"A|1|BCD|0||A|NUM", "B|1|BCD|0||B|NUM"}));
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("B")), 1);
    QVERIFY(f.state.reportedErrors.last().description.contains(QStringLiteral("line 3"), Qt::CaseInsensitive));

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
    QCOMPARE(f.state.reportedErrors.at(2).source, QStringLiteral("ReadZentFixedDescFile(") + path + u')');
    QCOMPARE(ReadFile(f.state, path), QString());
}

void TestDescriptors::flagSourceAndStatusValues()
{
    DescFixture f;
    QVERIFY(ReadZentStatFile(f.state, f.write(QStringLiteral("PLU_STATUS.dsc"), kStatus)));
    // Case-sensitive, and absent names give 0.
    QString values;
    for (const char *name : {"Stat1_Unit", "Stat1_Text", "Reserved", "STAT1_UNIT", "Nothing"})
        values += QString::number(GetZentStatusValue(f.state, QLatin1String(name)));
    QCOMPARE(values, QStringLiteral("11000"));

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

    // Fixed descriptors replace the field table, their flags always on; the
    // index still describes PLU.dsc.
    QVERIFY(ReadZentFixedDescFile(f.state, f.write(QStringLiteral("DISCOUNT.dsc"),
                                                   "Dis_Type,2,HEX,0,Reserved,Dis_Type,NUM\r\n")));
    QCOMPARE(f.fields(), QStringList{"Dis_Type|2|HEX|0|Reserved|Dis_Type|NUM"});
    QCOMPARE(f.state.enc.fieldDescs[0].FlagSource, QStringLiteral("1"));
    QCOMPARE(f.state.enc.fieldDescIndex.size(), 5);
    QCOMPARE(f.state.enc.fieldDescIndex.value(QStringLiteral("QTY2")), 1);
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
    QStringList flags; // name, source, suppress, value
    for (const StatusFlag &s : std::as_const(f.state.enc.statusFlags))
        flags << QStringLiteral("%1 %2 %3 %4").arg(s.Name).arg(s.Source).arg(s.Suppress).arg(s.Value);
    QCOMPARE(flags, QStringList({"A 1 0 0", "B 1 1 0", "C 0 0 0", "D 2 1 0"}));
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
    QStringList links;
    for (const char *column : {"PLU_LBFormat1", "PLU_LBFormat2", "PLU_2NDPrice", "PLU_Tare", "PLU_Commodity",
                               "PLU_Image1", "PLU_Image2"})
        links << f.flagOf(column);
    QCOMPARE(links, QStringList({"Stat1_Label", "Stat1_Label", "Stat2_Price", "Stat2_Other", "", "", ""}));
    QVERIFY(f.state.reportedErrors.isEmpty());

    QCOMPARE(ReadFile(f.state, DescriptorPath(f.state, QStringLiteral("PLU_STATUS.dsc"))).left(36),
             QStringLiteral("Stat1_Text, 1.0 ,PLU_Commodity,0\r\nSt"));

    // A missing file links nothing and says why, once.
    QVERIFY(QFile::remove(DescriptorPath(f.state, QStringLiteral("PLU_STATUS.dsc"))));
    LinkStatusFlagsToFields(f.state);
    QCOMPARE(f.flagOf("PLU_LBFormat1"), QString());
    QCOMPARE(f.state.reportedErrors.size(), 1);
    QCOMPARE(f.state.reportedErrors.at(0).source, QStringLiteral("LinkStatusFlagsToFields"));
}

void TestDescriptors::folderNameWithoutCase()
{
    DescFixture f(QStringLiteral("desc"));
    const QString path = f.write(QStringLiteral("plu_status.DSC"), "Stat1_Unit,1,PLU_QTY,0\r\n");
    QCOMPARE(DescriptorPath(f.state, QStringLiteral("PLU_STATUS.dsc")), path);
    // A path spelt with another case than the folder's is found as well.
    QVERIFY(ReadZentStatFile(f.state, f.state.dataPath + QStringLiteral("Desc/PLU_STATUS.dsc")));
    QCOMPARE(f.state.enc.statusFlags.size(), 1);
    f.state.pluFields.reset();
    LinkStatusFlagsToFields(f.state);
    QCOMPARE(f.flagOf("PLU_QTY"), QStringLiteral("Stat1_Unit"));
}

QTEST_GUILESS_MAIN(TestDescriptors)
#include "tst_descriptors.moc"
