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

    void roundingIsHalfEven()
    {
        QCOMPARE(RoundHalfEven(2.5), 2.0);
        QCOMPARE(RoundHalfEven(3.5), 4.0);
        QCOMPARE(RoundHalfEven(0.5), 0.0);
        QCOMPARE(RoundHalfEven(1.5), 2.0);
        QCOMPARE(RoundHalfEven(-2.5), -2.0);
        QCOMPARE(RoundHalfEven(2.4), 2.0);
        QCOMPARE(RoundHalfEven(2.6), 3.0);

        QCOMPARE(PrefixToInt32("2.5"), 2);
        QCOMPARE(PrefixToInt32("3.5 places"), 4);
        QCOMPARE(PrefixToInt32("x"), 0);
        QCOMPARE(PrefixToInt32("99999999999"), std::numeric_limits<qint32>::max());
        QCOMPARE(PrefixToInt32("-99999999999"), std::numeric_limits<qint32>::min());
        QCOMPARE(PrefixToInt16("40000"), qint16(32767));
        QCOMPARE(PrefixToInt16("-40000"), qint16(-32768));
        QCOMPARE(PrefixToInt16("2"), qint16(2));
    }

    void strictReadings()
    {
        QCOMPARE(StrictNumber(" 12 "), std::optional<double>(12));
        QCOMPARE(StrictNumber("1,5"), std::optional<double>(1.5));
        QCOMPARE(StrictNumber("-0.25"), std::optional<double>(-0.25));
        QCOMPARE(StrictNumber("&H10"), std::optional<double>(16));
        QCOMPARE(StrictNumber("1e2"), std::optional<double>(100));
        QVERIFY(!StrictNumber(""));
        QVERIFY(!StrictNumber("   "));
        QVERIFY(!StrictNumber("12abc"));
        QVERIFY(!StrictNumber("1 2"));
        QVERIFY(!StrictNumber("1,5,0"));
        QVERIFY(!StrictNumber("&H"));
        QVERIFY(!StrictNumber("1e999"));

        QCOMPARE(StrictInt32("10"), std::optional<qint32>(10));
        QCOMPARE(StrictInt32("10.5"), std::optional<qint32>(10));
        QCOMPARE(StrictInt32("11.5"), std::optional<qint32>(12));
        QCOMPARE(StrictInt32("-2147483648"), std::optional<qint32>(std::numeric_limits<qint32>::min()));
        QVERIFY(!StrictInt32("2147483648"));
        QVERIFY(!StrictInt32("abc"));
        QVERIFY(!StrictInt32(""));

        QCOMPARE(StrictBool("True"), std::optional<bool>(true));
        QCOMPARE(StrictBool("fALSE"), std::optional<bool>(false));
        QCOMPARE(StrictBool(" TRUE "), std::optional<bool>(true));
        QCOMPARE(StrictBool("0"), std::optional<bool>(false));
        QCOMPARE(StrictBool("-1"), std::optional<bool>(true));
        QVERIFY(!StrictBool("yes"));
        QVERIFY(!StrictBool(""));
    }

    void numberText()
    {
        QCOMPARE(NumberText(12), QString("12"));
        QCOMPARE(NumberText(2.5), QString("2.5"));
        QCOMPARE(NumberText(-3), QString("-3"));
        QCOMPARE(NumberText(0.1), QString("0.1"));
        QCOMPARE(NumberText(0.1 + 0.2), QString("0.30000000000000004"));
        QCOMPARE(NumberText(1e20), QString("100000000000000000000"));
        QCOMPARE(NumberText(1e-7), QString("0.0000001"));
        QCOMPARE(NumberText(-0.0), QString("0"));
        QCOMPARE(NumberText(123456.78), QString("123456.78"));
    }

    void readDate()
    {
        QCOMPARE(ReadDate("2007-05-01"), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("2007-5-1 12:30"), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("2007-05-01 12:30:15"), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("01.05.2007"), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("01/05/2007"), std::optional<QDate>(QDate(2007, 5, 1)));
        // Day numbers count from 30 December 1899 (39203 is 1 May 2007).
        QCOMPARE(ReadDate("39203"), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("39203.75"), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("0"), std::optional<QDate>(QDate(1899, 12, 30)));
        QCOMPARE(ReadDate("1"), std::optional<QDate>(QDate(1899, 12, 31)));
        QCOMPARE(ZeroDate(), QDate(1899, 12, 30));
        QVERIFY(!ReadDate("2007-02-30"));
        QVERIFY(!ReadDate("01.05.2007x"));
        QVERIFY(!ReadDate("2007-05-01 25:00"));
        QVERIFY(!ReadDate("abc"));
        QVERIFY(!ReadDate(""));
        // The stored form is read without the patterns: the same edges hold.
        QCOMPARE(ReadDate(" 2007-05-01 "), std::optional<QDate>(QDate(2007, 5, 1)));
        QCOMPARE(ReadDate("2008-02-29"), std::optional<QDate>(QDate(2008, 2, 29)));
        QVERIFY(!ReadDate("2007-02-29"));
        QVERIFY(!ReadDate("2007-13-01"));
        QVERIFY(!ReadDate("0000-01-01"));
        QVERIFY(!ReadDate(QString::fromUtf16(u"\uFF12007-05-01"))); // full-width figure
    }

    void readTime()
    {
        QCOMPARE(ReadTime("9:05"), std::optional<QTime>(QTime(9, 5)));
        QCOMPARE(ReadTime("23:59:59"), std::optional<QTime>(QTime(23, 59, 59)));
        QCOMPARE(ReadTime("0.5"), std::optional<QTime>(QTime(12, 0)));
        QCOMPARE(ReadTime("0.75"), std::optional<QTime>(QTime(18, 0)));
        QCOMPARE(ReadTime("39203.25"), std::optional<QTime>(QTime(6, 0)));
        QCOMPARE(ReadTime("0"), std::optional<QTime>(QTime(0, 0)));
        QCOMPARE(ReadTime("2007-05-01 13:45:10"), std::optional<QTime>(QTime(13, 45, 10)));
        QCOMPARE(ReadTime("2007-05-01"), std::optional<QTime>(QTime(0, 0)));
        QVERIFY(!ReadTime("25:00"));
        QVERIFY(!ReadTime("12:60"));
        QVERIFY(!ReadTime("noon"));
        QVERIFY(!ReadTime(""));
        QCOMPARE(ReadTime("00:00:00"), std::optional<QTime>(QTime(0, 0)));
        QCOMPARE(ReadTime(" 09:05 "), std::optional<QTime>(QTime(9, 5)));
        QCOMPARE(ReadTime("09:05"), std::optional<QTime>(QTime(9, 5)));
        QVERIFY(!ReadTime("24:00:00"));
        QVERIFY(!ReadTime("23:59:60"));
        QVERIFY(!ReadTime("12:30:4"));
        QVERIFY(!ReadTime(QString::fromUtf16(u"\uFF11\uFF12:30:00")));
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
