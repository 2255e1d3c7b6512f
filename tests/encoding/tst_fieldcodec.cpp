// Field encodings of the scale record: every type, texts with fonts, the
// record length and the code-page conversions of scale texts.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "encoding/FieldCodec.h"
#include "i18n/Codepages.h"

#include <cmath>

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

// A state with log folder in a temporary directory and the code-page tables.
struct CodecFixture {
    CodecFixture()
        : state(&ui)
    {
        state.setPaths(QString(), dir.path());
        LoadCodepageTables(state);
    }
    QTemporaryDir dir;
    ScriptedUi ui;
    AppState state;

    // Encodes and checks whether a failure was reported.
    QString code(const QString &value, int length, const QString &type, bool *failed = nullptr,
                 const QString &font = QStringLiteral("0"))
    {
        const qsizetype before = state.reportedErrors.size();
        bool ok = true;
        const QString out = CVSFieldCode(state, value, qint16(length), type, font, &ok);
        if (failed)
            *failed = !ok;
        // A failure is always reported, success never is.
        if (ok != (state.reportedErrors.size() == before))
            ++reportMismatches;
        return out;
    }
    int reportMismatches = 0;
};

} // namespace

class TestFieldCodec : public QObject {
    Q_OBJECT

private slots:
    void fieldEncodings();
    void failureSourcesAndReports();
    void multiLineTexts();
    void recordLength();
    void codePages_data();
    void codePages();
    void storedValuesAndTextsAgree();
};

void TestFieldCodec::fieldEncodings()
{
    CodecFixture f;
    f.state.enc.priceDecimals = 2;
    f.state.enc.weightDecimals = 3;
    const QString nul(QChar(0)), long255(255, u'x');
    const qint64 days = QDate(1899, 12, 30).daysTo(QDate(2010, 11, 25));
    // expected nullptr: refused and reported.
    const struct {
        QString value;
        int length;
        const char *type, *expected;
    } cases[] = {
        // BCD keeps the leading figures; length 0 is an empty field.
        {"12,50", 2, "BCD", "1250"}, {"12.50", 2, "bcd", "1250"}, {"123456", 2, "BCD", "1234"},
        {"", 2, "BCD", "0000"}, {nul, 3, "BCD", "000000"}, {"7", 4, "BCD", "00000007"}, {"abc", 1, "BCD", "00"},
        {"99", 0, "BCD", ""}, {"1E10", 2, "BCD", nullptr}, {"-5", 2, "BCD", nullptr},
        // HEX and BIN: cut to the field's figures first; negatives are 32-bit
        // two's complement and fill four bytes.
        {"300", 2, "HEX", "012C"}, {"300", 1, "HEX", "1E"}, {"300", 2, "BIN", "012C"}, {"255", 1, "Hex", "19"},
        {"2,55", 2, "HEX", "00FF"}, {"", 1, "BIN", "00"}, {"2147483647", 5, "HEX", "007FFFFFFF"},
        {"-1", 4, "HEX", "FFFFFFFF"}, {"-1", 2, "HEX", nullptr}, {"2147483648", 5, "BIN", nullptr},
        {"2E7", 3, "HEX", nullptr}, {"1E6", 3, "HEX", "0F4240"},
        // Scaled numbers: 15 figures make 1.1 x 100 110; 2.675 x 100 reads
        // 267.5, cut to 4 characters 267, to 6 it rounds to the even 268.
        {"3.5", 3, "BCD_PRICE", "000350"}, {"3,5", 3, "BCD_PRICE", "000350"}, {"0.125", 2, "BCD_WEIGHT", "0125"},
        {"1.1", 2, "BCD_PRICE", "0110"}, {"2.675", 2, "BCD_PRICE", "0267"}, {"2.675", 3, "BCD_PRICE", "000268"},
        {"0.0125", 2, "BCD_PRICE", "0001"}, {"0", 4, "BCD_PRICE", "00000000"},
        // Figures before the point are never cut: a price wider than its
        // field is an error, not a tenth of itself.
        {"123456.78", 4, "BCD_PRICE", "12345678"}, {"123456.7", 2, "BCD_PRICE", nullptr},
        {"1234567.89", 4, "BCD_PRICE", nullptr}, {"1e300", 8, "BCD_PRICE", nullptr},
        {"cheap", 2, "BCD_PRICE", nullptr}, {nul, 2, "BCD_WEIGHT", nullptr}, {"-1", 2, "BCD_PRICE", nullptr},
        // Times and dates; day numbers count from 1899-12-30.
        {"14:05", 2, "BCD_TIME", "1405"}, {"14:05:59", 3, "BCD_TIME", "001405"}, {"0", 2, "BCD_TIME", "0000"},
        {"0.75", 2, "BCD_TIME", "1800"}, {"14:05", 1, "BCD_TIME", nullptr}, {"noon", 2, "BCD_TIME", nullptr},
        {"2007-03-07", 3, "BCD_DATE", "070307"}, {"2007-03-07", 4, "BCD_DATE", "00070307"},
        {"0", 3, "BCD_DATE", "301299"}, {QString::number(days), 3, "BCD_DATE", "251110"},
        {"2007-03-07", 2, "BCD_DATE", nullptr}, {nul, 3, "BCD_DATE", nullptr},
        // Texts: ASCII fills with NUL; ASCII_NOFONT counts its bytes (255 at
        // most); ASCII_TXT takes the font argument ("0") and ignores the length.
        {"AB", 4, "ASCII", "41420000"}, {"ABCD", 4, "ASCII", "41424344"}, {"", 2, "ASCII", "0000"},
        {"ABCDE", 4, "ASCII", nullptr}, {"AB", 1, "ASCII_NOFONT", "024142"}, {"", 9, "ASCII_NOFONT", "00"},
        {long255 + u'x', 1, "ASCII_NOFONT", nullptr}, {"AB", 1, "ASCII_TXT", "000241420C"},
        // OTHER is taken as it stands, whatever the length says.
        {"0A1B2C", 3, "OTHER", "0A1B2C"}, {"0a1b", 30, "OTHER", "0a1b"}, {"0", 1, "OTHER", nullptr},
        {"XY", 1, "OTHER", nullptr}, {"12", 2, "BDC", nullptr},
    };
    for (const auto &c : cases) {
        bool failed = false;
        const QString out = f.code(c.value, c.length, QLatin1String(c.type), &failed);
        const QString what = c.value.left(20) + u'/' + QString::number(c.length) + u'/' + QLatin1String(c.type);
        QVERIFY2(failed == !c.expected, qPrintable(what));
        QVERIFY2(out == QLatin1String(c.expected ? c.expected : ""), qPrintable(what + QStringLiteral(" -> ") + out));
    }
    QCOMPARE(f.code(long255, 1, QStringLiteral("ASCII_NOFONT")).left(4), QStringLiteral("FF78"));
    QVERIFY(f.state.reportedErrors.last().description.contains(QStringLiteral("BDC")));
    QCOMPARE(f.reportMismatches, 0);

    // A stored infinity is no price of 0.
    const TextCodec codec(f.state);
    QByteArray out;
    for (const double inf : {qInf(), -qInf()})
        for (const FieldType type : {FieldType::BCD_PRICE, FieldType::BCD, FieldType::HEX, FieldType::BCD_WEIGHT})
            QVERIFY(!AppendFieldReal(codec, out, inf, 4, type, QStringLiteral("T"), QStringLiteral("0")));
    f.state.enc.priceDecimals = 0;
    QCOMPARE(f.code(QStringLiteral("12.5"), 2, QStringLiteral("BCD_PRICE")), QStringLiteral("0012"));
    QCOMPARE(f.code(QStringLiteral("13.5"), 2, QStringLiteral("BCD_PRICE")), QStringLiteral("0014"));
}

void TestFieldCodec::failureSourcesAndReports()
{
    CodecFixture f;
    bool failed = false;
    f.code(QStringLiteral("ABCDE"), 4, QStringLiteral("ascii"), &failed);
    QVERIFY(failed);
    QCOMPARE(f.state.reportedErrors.size(), 1);
    QCOMPARE(f.state.reportedErrors.at(0).source, QStringLiteral("CVSFieldCode (ABCDE,4,ascii,0)"));
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages.at(0).title, QStringLiteral("CVSFieldCode (ABCDE,4,ascii,0)"));

    const QString longLine(256, u'z');
    bool ok = true;
    QCOMPARE(CVSTxtData(f.state, longLine, QStringLiteral("2"), &ok), QString());
    QVERIFY(!ok);
    QCOMPARE(f.state.reportedErrors.last().source,
             QStringLiteral("CVSTxtData (") + longLine + QStringLiteral(",2)"));
    // The source goes back to the default after each report.
    QCOMPARE(f.state.errorSource, QStringLiteral("Korvo 2005"));

    // A value of any length is echoed cut, with its length, in the log and
    // the box alike.
    f.code(QString(1000000, u'y'), 4, QStringLiteral("BCD_PRICE"), &failed);
    QVERIFY(failed);
    for (const QString &text : {f.state.reportedErrors.last().source, f.state.reportedErrors.last().description,
                                f.ui.messages.last().title, f.ui.messages.last().text}) {
        QVERIFY(text.size() < 1100);
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("y\\.\\.\\. \\(100\\d{4} characters\\)$"))),
                 qPrintable(text.right(40)));
    }
}

void TestFieldCodec::multiLineTexts()
{
    CodecFixture f;
    const struct {
        const char *text, *fonts, *hex;
    } cases[] = {
        {"AB\rC", "3,5", "030241420D0501430C"},
        // An empty text is one line holding a NUL byte.
        {"", "7", "0701000C"}, {"", "", "0001000C"},
        // Missing fonts are 0, surplus fonts are ignored, font 123 is cut to 12.
        {"A\rB\rC", "2", "0201410D0001420D0001430C"}, {"A", "4,5,6", "0401410C"}, {"A", "123", "0C01410C"},
        // A line feed is a text byte; only CR separates lines. An empty line
        // between two has no bytes.
        {"A\nB\r\rC", "1,1,1", "0103410A420D01000D0101430C"},
    };
    for (const auto &c : cases)
        QCOMPARE(CVSTxtData(f.state, QLatin1String(c.text), QLatin1String(c.fonts)), QLatin1String(c.hex));
    QVERIFY(f.state.reportedErrors.isEmpty());
}

void TestFieldCodec::recordLength()
{
    CodecFixture f;
    // Ten bytes of data: the record is 12 bytes long with its length field.
    QCOMPARE(LenData(f.state, QString(20, u'0'), 2), QStringLiteral("000C"));
    QCOMPARE(LenData(f.state, QString(), 2), QStringLiteral("0002"));
    // Above 9999 bytes the length still comes out right (0x2712 = 10002).
    QCOMPARE(LenData(f.state, QString(20000, u'A'), 2), QStringLiteral("2712"));
    bool ok = true;
    QCOMPARE(LenData(f.state, QString(2 * 65534, u'A'), 2, &ok), QString());
    QVERIFY(!ok);
    QVERIFY(f.state.reportedErrors.last().source.startsWith(QStringLiteral("LenData (AAAA")));
}

void TestFieldCodec::codePages_data()
{
    QTest::addColumn<QString>("codepage"); // the settings' Codepage; empty: the default
    QTest::addColumn<int>("convert");      // LangeCodepageToConvert; -1: no conversion
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type"); // a record field of length 3; empty: AsciiToHex alone
    QTest::addColumn<QString>("hex");  // empty: refused
    QTest::addColumn<int>("reports");

    const QString lj(QChar(0x013E)), capitalLj(QChar(0x013D)), zhong(QChar(0x4E2D)); // lj 190, Lj 188 in 1250
    const QString word = QStringLiteral("\u041C\u0438\u0440 1"), salam = QStringLiteral("\u0633\u0644\u0627\u0645");
    QTest::newRow("1250 bytes as they are") << "windows-1250" << -1 << lj + capitalLj << "" << "BEBC" << 0;
    QTest::newRow("1250 to DOS 852") << "windows-1250" << 0 << lj << "" << "95" << 0;
    QTest::newRow("852 has no code: blank") << "windows-1250" << 0 << capitalLj << "" << "20" << 0;
    QTest::newRow("852, below 128 unchanged") << "windows-1250" << 0 << "\u010Cas" << "" << "AC6173" << 0;
    QTest::newRow("852 in a record field") << "windows-1250" << 0 << "\u010C" << "ASCII" << "AC0000" << 0;
    QTest::newRow("unknown conversion: unchanged") << "windows-1250" << 7 << lj << "" << "BE" << 0;
    QTest::newRow("1251") << "windows-1251" << -1 << word << "" << "CCE8F02031" << 0;
    // The conversion reads texts in its own source page, not in Codepage.
    QTest::newRow("1251 to DOS 866") << "windows-1252" << 1 << word << "" << "8CA8E02031" << 0;
    QTest::newRow("866 in a text field") << "windows-1252" << 1 << word << "ASCII_TXT" << "00058CA8E020310C" << 0;
    QTest::newRow("866 no-break space blank") << "windows-1252" << 1 << "\u00A0" << "" << "20" << 0;
    QTest::newRow("GBK lead byte first") << "GBK" << -1 << "A" + zhong << "" << "41D6D0" << 0;
    QTest::newRow("GBK text count in bytes") << "GBK" << -1 << zhong + zhong << "ASCII_NOFONT" << "04D6D0D6D0" << 0;
    QTest::newRow("GBK too long") << "GBK" << -1 << zhong + zhong << "ASCII" << "" << 1;
    // 1250 has no 中, and its euro sign 0x80 has no DOS 852 code.
    QTest::newRow("table's source page, not GBK") << "GBK" << 0 << "\u20AC" + zhong + "B" << "" << "203F42" << 1;
    // Initial form A8, lam-alef ligature F2, isolated meem F4, in the
    // device's left-to-right order; Latin letters stay ASCII.
    QTest::newRow("Iran System") << "" << 2 << salam << "" << "F4F2A8" << 0;
    QTest::newRow("Iran System Latin") << "" << 2 << "AB" << "" << "4142" << 0;
    QTest::newRow("Farsi without conversion") << "" << -1 << salam << "" << "3F3F3F3F" << 4;
    // Reported once per character and run, not dropped silently; a "?"
    // keeps the field's width.
    QTest::newRow("unmappable") << "windows-1252" << -1 << "a" + zhong + "b" + zhong << "" << "613F623F" << 1;
    QTest::newRow("unmappable in a field") << "windows-1252" << -1 << zhong + zhong << "ASCII" << "3F3F00" << 1;
}

void TestFieldCodec::codePages()
{
    QFETCH(QString, codepage);
    QFETCH(int, convert);
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(int, reports);
    CodecFixture f;
    if (!codepage.isEmpty())
        f.state.settings.Codepage = codepage;
    f.state.settings.SetLanguageCodepage = convert >= 0;
    f.state.settings.LangeCodepageToConvert = qint16(std::max(convert, 0));
    const QString hex = type.isEmpty() ? AsciiToHex(f.state, text) : f.code(text, 3, type);
    QTEST(hex, "hex");
    QCOMPARE(f.state.reportedErrors.size(), reports);
    if (type.isEmpty()) {
        QCOMPARE(AsciiToHex(f.state, text), hex);
        QCOMPARE(f.state.reportedErrors.size(), reports); // not again in the same run
        if (reports)
            QVERIFY(f.state.reportedErrors.at(0).source.startsWith(QStringLiteral("AsciiToHex (")));
    }
}

void TestFieldCodec::storedValuesAndTextsAgree()
{
    // Numbers take a shortcut that must give what the general reading of
    // their text gives; a trailing blank forces the general reading.
    CodecFixture f;
    f.state.enc.priceDecimals = 2;
    f.state.enc.weightDecimals = 3;
    const TextCodec codec(f.state);
    QRandomGenerator rng(42);
    QVector<QVariant> values{0, 7, 99, 300, 65535, 2147483647, -1, -300, 0.1 + 0.2, 2.675, 1.005,
                             3.5, 0.125, 12.345678, 1e15, 1e20, 123456789.125, -2.5, 1e-7};
    for (int i = 0; i < 300; ++i) {
        values << QVariant(qint64(rng.bounded(100000000)));
        values << QVariant(rng.bounded(100000) / 1000.0);
        values << QVariant(rng.generateDouble() * std::pow(10.0, rng.bounded(12)));
    }
    const QStringList types{"BCD", "HEX", "BIN", "BCD_PRICE", "BCD_WEIGHT"};
    int compared = 0;
    for (const QVariant &v : std::as_const(values)) {
        const QString text = StoredValueText(v);
        for (const QString &type : types) {
            for (int length = 1; length <= 6; ++length) {
                QByteArray viaValue;
                const bool okValue = AppendFieldValue(codec, viaValue, v, QStringLiteral("0"), qint16(length),
                                                      ParseFieldType(type), type, QStringLiteral("0"));
                bool okText = true;
                const QString viaText = CVSFieldCode(f.state, text + u' ', qint16(length), type,
                                                     QStringLiteral("0"), &okText);
                QCOMPARE(okValue, okText);
                if (okValue)
                    QCOMPARE(QString::fromLatin1(viaValue), viaText);
                bool okPlain = true;
                const QString plain = CVSFieldCode(f.state, text, qint16(length), type, QStringLiteral("0"), &okPlain);
                QCOMPARE(okPlain, okText);
                QCOMPARE(plain, viaText);
                ++compared;
            }
        }
    }
    QVERIFY(compared > 5000);
    // The stored-value text of a double has at most 15 figures.
    QCOMPARE(StoredValueText(QVariant(0.1 + 0.2)), QStringLiteral("0.3"));
    QCOMPARE(StoredValueText(QVariant(1e20)), QStringLiteral("100000000000000000000"));
    QCOMPARE(StoredValueText(QVariant(qint64(-42))), QStringLiteral("-42"));
}

QTEST_GUILESS_MAIN(TestFieldCodec)
#include "tst_fieldcodec.moc"
