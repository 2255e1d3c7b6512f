#include "core/Values.h"

#include <QTest>

#include <limits>

using namespace korvo;

class TestValues : public QObject {
    Q_OBJECT

private slots:
    void numericPrefix_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("found");
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("leading blanks") << "  \t12abc" << 12.0 << true;
        QTest::newRow("blank inside") << "1 2" << 12.0 << true;
        QTest::newRow("blank after sign") << "- 5" << -5.0 << true;
        QTest::newRow("decimal") << "-3.5x" << -3.5 << true;
        QTest::newRow("second point ends") << "1.2.3" << 1.2 << true;
        QTest::newRow("comma ends") << "1,5" << 1.0 << true;
        QTest::newRow("negative exponent") << "2E-2kg" << 0.02 << true;
        QTest::newRow("D exponent") << "1d2" << 100.0 << true;
        QTest::newRow("exponent without figures") << "1e" << 1.0 << true;
        QTest::newRow("sign only") << "-" << 0.0 << false;
        QTest::newRow("hex 16-bit is signed") << "&HFFFF" << -1.0 << true;
        QTest::newRow("hex beyond 16 bits") << "&h10000" << 65536.0 << true;
        QTest::newRow("hex 32-bit is signed") << "&HFFFFFFFF" << -1.0 << true;
        QTest::newRow("octal") << "&O17" << 15.0 << true;
        QTest::newRow("arabic-indic digits are no figures") << QString::fromUtf8("٣") << 0.0 << false;
    }
    void numericPrefix()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, found);
        bool f = !found;
        QCOMPARE(NumericPrefix(text, &f), value);
        QCOMPARE(f, found);
    }

    void roundingAndPrefixes()
    {
        const double halves[][2] = {{2.5, 2}, {3.5, 4}, {0.5, 0}, {1.5, 2}, {-2.5, -2}, {2.4, 2}, {2.6, 3}};
        for (const auto &h : halves)
            QCOMPARE(RoundHalfEven(h[0]), h[1]);
        const struct {
            const char *text;
            qint32 int32;
            qint16 int16;
        } prefixes[] = {{"2.5", 2, 2}, {"3.5 places", 4, 4}, {"x", 0, 0}, {"40000", 40000, 32767},
                        {"-40000", -40000, -32768}, {"99999999999", std::numeric_limits<qint32>::max(), 32767},
                        {"-99999999999", std::numeric_limits<qint32>::min(), -32768}};
        for (const auto &p : prefixes) {
            QCOMPARE(PrefixToInt32(p.text), p.int32);
            QCOMPARE(PrefixToInt16(p.text), p.int16);
        }
    }

    void strictReadings()
    {
        const std::pair<const char *, std::optional<double>> numbers[] = {
            {" 12 ", 12}, {"1,5", 1.5}, {"-0.25", -0.25}, {"&H10", 16}, {"1e2", 100}, {"", {}}, {"   ", {}},
            {"12abc", {}}, {"1 2", {}}, {"1,5,0", {}}, {"&H", {}}, {"1e999", {}}};
        for (const auto &[text, v] : numbers)
            QVERIFY2(StrictNumber(text) == v, text);
        const std::pair<const char *, std::optional<qint32>> ints[] = {
            {"10", 10}, {"10.5", 10}, {"11.5", 12}, {"-2147483648", std::numeric_limits<qint32>::min()},
            {"2147483648", {}}, {"abc", {}}, {"", {}}};
        for (const auto &[text, v] : ints)
            QVERIFY2(StrictInt32(text) == v, text);
        const std::pair<const char *, std::optional<bool>> bools[] = {
            {"True", true}, {"fALSE", false}, {" TRUE ", true}, {"0", false}, {"-1", true}, {"yes", {}}, {"", {}}};
        for (const auto &[text, v] : bools)
            QVERIFY2(StrictBool(text) == v, text);
    }

    void numberText()
    {
        const std::pair<double, const char *> texts[] = {
            {12, "12"}, {2.5, "2.5"}, {-3, "-3"}, {0.1, "0.1"}, {0.1 + 0.2, "0.30000000000000004"},
            {1e20, "100000000000000000000"}, {1e-7, "0.0000001"}, {-0.0, "0"}, {123456.78, "123456.78"}};
        for (const auto &[v, text] : texts)
            QCOMPARE(NumberText(v), QString(text));
    }

    void readDateAndTime()
    {
        // Day numbers count from 30 December 1899 (39203 is 1 May 2007). The
        // stored form is read without the patterns: the same edges hold.
        const QDate may1(2007, 5, 1);
        const std::pair<QStringView, std::optional<QDate>> dates[] = {
            {u"2007-05-01", may1}, {u"2007-5-1 12:30", may1}, {u"2007-05-01 12:30:15", may1},
            {u"01.05.2007", may1}, {u"01/05/2007", may1}, {u"39203", may1}, {u"39203.75", may1},
            {u"0", ZeroDate()}, {u"1", QDate(1899, 12, 31)}, {u" 2007-05-01 ", may1}, {u"2008-02-29", QDate(2008, 2, 29)},
            {u"2007-02-30", {}}, {u"01.05.2007x", {}}, {u"2007-05-01 25:00", {}}, {u"abc", {}}, {u"", {}},
            {u"2007-02-29", {}}, {u"2007-13-01", {}}, {u"0000-01-01", {}}, {u"\uFF12007-05-01", {}}};
        for (const auto &[text, v] : dates)
            QVERIFY2(ReadDate(text.toString()) == v, qPrintable(text.toString()));
        QCOMPARE(ZeroDate(), QDate(1899, 12, 30));

        const std::pair<QStringView, std::optional<QTime>> times[] = {
            {u"9:05", QTime(9, 5)}, {u"23:59:59", QTime(23, 59, 59)}, {u"0.5", QTime(12, 0)},
            {u"0.75", QTime(18, 0)}, {u"39203.25", QTime(6, 0)}, {u"0", QTime(0, 0)},
            {u"2007-05-01 13:45:10", QTime(13, 45, 10)}, {u"2007-05-01", QTime(0, 0)}, {u"00:00:00", QTime(0, 0)},
            {u" 09:05 ", QTime(9, 5)}, {u"09:05", QTime(9, 5)}, {u"25:00", {}}, {u"12:60", {}}, {u"noon", {}},
            {u"", {}}, {u"24:00:00", {}}, {u"23:59:60", {}}, {u"12:30:4", {}}, {u"\uFF11\uFF12:30:00", {}}};
        for (const auto &[text, v] : times)
            QVERIFY2(ReadTime(text.toString()) == v, qPrintable(text.toString()));
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
