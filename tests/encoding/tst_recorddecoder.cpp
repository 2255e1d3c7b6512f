// The record decoder against the record builder: every field type read back
// and written again to the same bytes, and every demo PLU's record decoded,
// stored and encoded again to the same record.

#include "common/TestSupport.h"
#include "core/Database.h"
#include "encoding/FieldCodec.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "encoding/RecordDecoder.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestRecordDecoder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fieldRoundTrip_data();
    void fieldRoundTrip();
    void malformedField_data();
    void malformedField();
    void recordRoundTrip();

private:
    std::unique_ptr<TestDataRoot> m_root; // for the field cases
    std::unique_ptr<AppState> m_state;
};

void TestRecordDecoder::initTestCase()
{
    m_root = std::make_unique<TestDataRoot>(false);
    m_state = m_root->loadedState();
    QVERIFY(m_state);
}

void TestRecordDecoder::fieldRoundTrip_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("hex"); // what the builder writes
    QTest::addColumn<QString>("decoded");

    QTest::newRow("BCD") << "BCD" << 2 << "12,50" << "0" << "1250" << "1250";
    QTest::newRow("BCD cut") << "BCD" << 2 << "123456" << "0" << "1234" << "1234";
    QTest::newRow("BCD zero") << "BCD" << 3 << "" << "0" << "000000" << "0";
    QTest::newRow("HEX") << "HEX" << 2 << "300" << "0" << "012C" << "300";
    QTest::newRow("HEX negative") << "HEX" << 4 << "-1" << "0" << "FFFFFFFF" << "-1";
    QTest::newRow("BIN wide") << "BIN" << 6 << "65" << "0" << "000000000041" << "65";
    QTest::newRow("ASCII") << "ASCII" << 4 << "AB" << "0" << "41420000" << "AB";
    QTest::newRow("ASCII code page") << "ASCII" << 3 << "K\u00e4s" << "0" << "4BE473" << "K\u00e4s";
    QTest::newRow("ASCII_TXT") << "ASCII_TXT" << 1 << "AB\rC" << "3,5" << "030241420D0501430C" << "AB\rC";
    QTest::newRow("ASCII_TXT missing font") << "ASCII_TXT" << 1 << "A\rB" << "7" << "0701410D0001420C" << "A\rB";
    QTest::newRow("ASCII_TXT empty") << "ASCII_TXT" << 1 << "" << "2" << "0201000C" << "";
    QTest::newRow("ASCII_NOFONT") << "ASCII_NOFONT" << 1 << "AB" << "0" << "024142" << "AB";
    QTest::newRow("BCD_TIME") << "BCD_TIME" << 3 << "14:05" << "0" << "001405" << "14:05:00";
    QTest::newRow("BCD_DATE") << "BCD_DATE" << 3 << "2007-03-07" << "0" << "070307" << "2007-03-07";
    QTest::newRow("BCD_DATE zero date") << "BCD_DATE" << 3 << "0" << "0" << "301299" << "1999-12-30";
    QTest::newRow("BCD_PRICE") << "BCD_PRICE" << 3 << "3.5" << "0" << "000350" << "3.5";
    QTest::newRow("BCD_PRICE cents") << "BCD_PRICE" << 4 << "12.34" << "0" << "00001234" << "12.34";
    QTest::newRow("BCD_WEIGHT") << "BCD_WEIGHT" << 2 << "0.125" << "0" << "0125" << "0.125";
    QTest::newRow("OTHER") << "OTHER" << 2 << "0a0B" << "0" << "0a0B" << "0A0B";
}

// Builder -> decoder -> builder gives the same bytes, and the decoder reads
// the value that was meant.
void TestRecordDecoder::fieldRoundTrip()
{
    QFETCH(QString, type);
    QFETCH(int, length);
    QFETCH(QString, value);
    QFETCH(QString, font);
    QFETCH(QString, hex);
    QFETCH(QString, decoded);
    AppState *state = m_state.get();
    state->enc.priceDecimals = 2;
    state->enc.weightDecimals = 3;
    const qint16 decimals = type == QLatin1String("BCD_PRICE") ? 2 : 3;

    QCOMPARE(CVSFieldCode(*state, value, qint16(length), type, font), hex);
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    const TextDecoder text(*state);
    QVariant v;
    QString fonts, error;
    qsizetype pos = 0;
    QVERIFY2(DecodeFieldValue(text, ParseFieldType(type), qint16(length), decimals, bytes, pos, v, &fonts, &error),
             qPrintable(error));
    QCOMPARE(pos, bytes.size());
    QCOMPARE(StoredValueText(v), decoded);
    const QString again = CVSFieldCode(*state, StoredValueText(v), qint16(length), type,
                                       type == QLatin1String("ASCII_TXT") ? fonts : font);
    QCOMPARE(again.toUpper(), hex.toUpper());
}

void TestRecordDecoder::malformedField_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("hex");

    QTest::newRow("BCD half byte above 9") << "BCD" << 2 << "12A4";
    QTest::newRow("field past the end") << "HEX" << 4 << "0102";
    QTest::newRow("HEX beyond 32 bits") << "HEX" << 5 << "0100000000";
    QTest::newRow("time 24:00") << "BCD_TIME" << 2 << "2400";
    QTest::newRow("31 February") << "BCD_DATE" << 3 << "310207";
    QTest::newRow("text line without end") << "ASCII_TXT" << 1 << "03024142";
    QTest::newRow("text line bad end") << "ASCII_TXT" << 1 << "0302414201";
    QTest::newRow("NOFONT count one past the end") << "ASCII_NOFONT" << 1 << "034142";
}

void TestRecordDecoder::malformedField()
{
    QFETCH(QString, type);
    QFETCH(int, length);
    QFETCH(QString, hex);
    const TextDecoder text(*m_state);
    QVariant v;
    QString fonts, error;
    qsizetype pos = 0;
    QVERIFY(!DecodeFieldValue(text, ParseFieldType(type), qint16(length), 2, QByteArray::fromHex(hex.toLatin1()),
                              pos, v, &fonts, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(pos, 0);
}

// Every demo PLU, and one with every flag and optional field on: decode the
// record, store the decoded values in the PLU row, encode again.
void TestRecordDecoder::recordRoundTrip()
{
    TestDataRoot root(true);
    auto state = root.loadedState();
    QVERIFY(state);
    LoadMGSettings(*state);
    LoadScaleBarcodeList(*state);
    const QString full = SqlScalar(*state, QStringLiteral("select min(PLU_No) from DISCOUNT"));
    QStringList flags;
    const QSqlRecord table = QSqlDatabase::database(state->connMain).record(QStringLiteral("PLU"));
    for (int i = 0; i < table.count(); ++i)
        if (table.fieldName(i).startsWith(QLatin1String("Stat")))
            flags << table.fieldName(i) + QStringLiteral("=1");
    QVERIFY(QueryKorvoDB(*state, QStringLiteral(
        "update PLU set %1, PLU_SBTime='14:05:00', PLU_PAKTime='06:30:00', PLU_2NDPrice=1.99, "
        "PLU_2NDQTY=2, PLU_MultiBar1='4001234567890', PLU_Nutrition='fat 3 g', PLU_Commodity='K\u00e4se\rmild', "
        "PLU_CommFonts='4,2', PLU_Ingredient='', PLU_SPMessage='x', PLU_LBFormat1=3, PLU_BarFormat=2, "
        "PLU_EANData='2100123000001' where PLU_No=%2").arg(flags.join(u','), full)));

    qint32 last = 0;
    QCOMPARE(CreatePLUData(*state, QStringLiteral("ALL"), last).failedPlus, QVector<qint64>());
    QHash<qint32, QByteArray> before;
    for (const QString &row : SqlColumn(*state, QStringLiteral("select PLU_No || ' ' || ZentBinData from PLU")))
        before.insert(row.section(u' ', 0, 0).toInt(), QByteArray::fromHex(row.section(u' ', 1).toLatin1()));
    QVERIFY(before.size() > 100);
    // The delivered descriptors use every field type and every special name.
    QSet<QString> used;
    for (const FieldDescriptor &d : std::as_const(state->enc.fieldDescs))
        used << d.Type.toUpper() << d.Name.toUpper();
    for (const char *t : {"BCD", "HEX", "BIN", "ASCII", "ASCII_TXT", "ASCII_NOFONT", "BCD_TIME", "BCD_DATE",
                          "BCD_PRICE", "BCD_WEIGHT", "OTHER", "PLU_STATUS", "PLU_STATUS2", "PLU_STATUSB", "PLU_STATUS2B",
                          "PLU_EANFLAGS", "PLU_LBFORMAT1", "PLU_BARFORMAT", "PLU_EANDATA", "PLU_DISOUNT"})
        QVERIFY2(used.contains(QLatin1String(t)), t);

    RecordLayout layout;
    QVERIFY(LoadRecordLayout(*state, layout));
    const RecordDecoder decoder(*state, layout);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QString error;
        const std::optional<DecodedRecord> r = decoder.decode(it.value(), &error);
        QVERIFY2(r, qPrintable(QStringLiteral("PLU %1: %2").arg(it.key()).arg(error)));
        QCOMPARE(r->value(QStringLiteral("PLU_No")).toInt(), it.key());
        if (QString::number(it.key()) == full) {
            QCOMPARE(r->value(QStringLiteral("PLU_Commodity")).toString(), QStringLiteral("K\u00e4se\rmild"));
            QCOMPARE(r->value(QStringLiteral("PLU_CommFonts")).toString(), QStringLiteral("4,2"));
            QCOMPARE(r->value(QStringLiteral("PLU_SBTime")).toString(), QStringLiteral("14:05:00"));
            QCOMPARE(r->value(QStringLiteral("Stat2_PLUStatB2B")).toInt(), 1);
        }
        QStringList sets;
        QVariantList values;
        for (qsizetype c = 0; c < r->columns.size(); ++c) {
            if (table.indexOf(r->columns.at(c)) < 0 || !r->values.at(c).isValid())
                continue;
            sets << QLatin1Char('[') + r->columns.at(c) + QStringLiteral("]=?");
            values << r->values.at(c);
        }
        QSqlQuery q(QSqlDatabase::database(state->connMain));
        QVERIFY(q.prepare(QStringLiteral("update PLU set %1 where PLU_No=%2").arg(sets.join(u','), QString::number(it.key()))));
        for (const QVariant &v : std::as_const(values))
            q.addBindValue(v);
        QVERIFY(q.exec());

        // A record cut short or with wrong length bytes is refused, not misread.
        QVERIFY(!decoder.decode(it.value().chopped(1), &error));
        QByteArray wrong = it.value();
        wrong[5] = char(wrong[5] ^ 0x01);
        QVERIFY(!decoder.decode(wrong, &error));
    }

    QCOMPARE(CreatePLUData(*state, QStringLiteral("ALL"), last).failedPlus, QVector<qint64>());
    QStringList differ;
    for (const QString &row : SqlColumn(*state, QStringLiteral("select PLU_No || ' ' || ZentBinData from PLU")))
        if (QByteArray::fromHex(row.section(u' ', 1).toLatin1()) != before.value(row.section(u' ', 0, 0).toInt()))
            differ << row.section(u' ', 0, 0);
    QVERIFY2(differ.isEmpty(), qPrintable(differ.join(u' ')));
}

QTEST_GUILESS_MAIN(TestRecordDecoder)
#include "tst_recorddecoder.moc"
