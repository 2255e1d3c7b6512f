// The CSV text reader: this program's quoting, older files' quoting, line
// ends, and what it refuses.

#include "exchange/CsvText.h"

#include <QTest>

using namespace korvo;

namespace {

// Records as "value|value" with quoted values in [], one entry per record.
QStringList readAll(const QString &text, QString &error)
{
    CsvReader reader(text);
    CsvRecord rec;
    QStringList out;
    while (reader.next(rec)) {
        QStringList values;
        for (const CsvField &f : rec.fields)
            values << (f.quoted ? u'[' + f.text.toString() + u']' : f.text.toString());
        out << QString::number(rec.line) + u':' + values.join(u'|');
    }
    error = reader.error();
    return out;
}

} // namespace

class TestCsvText : public QObject {
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void quotedRoundTrip();
};

void TestCsvText::reading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("error");

    QTest::newRow("plain, blanks trimmed, CR LF") << "1, 2.5 ,x\r\n2,,y\r\n" << QStringList{"1:1|2.5|x", "2:2||y"} << "";
    QTest::newRow("LF only and no final line end") << "1,a\n2,b" << QStringList{"1:1|a", "2:2|b"} << "";
    QTest::newRow("blank line kept as one empty value") << "1\r\n\r\n2\r\n" << QStringList{"1:1", "2:", "3:2"} << "";
    QTest::newRow("comma inside quotes") << "1,'a, b',2\r\n" << QStringList{"1:1|[a, b]|2"} << "";
    QTest::newRow("doubled apostrophe") << "'O''Neil',''''\r\n" << QStringList{"1:[O'Neil]|[']"} << "";
    QTest::newRow("older file: apostrophe not doubled") << "'O'Neil','x'\r\n" << QStringList{"1:[O'Neil]|[x]"} << "";
    QTest::newRow("older file: quote before comma ends the text") << "'a', b'\r\n" << QStringList{"1:[a]|b'"} << "";
    QTest::newRow("blanks around quotes") << " 'a' ,'b'  \r\n" << QStringList{"1:[a]|[b]"} << "";
    QTest::newRow("empty quoted text is not null") << "'',0\r\n" << QStringList{"1:[]|0"} << "";
    QTest::newRow("line ends inside quotes are text") << "'a\rb','c\r\nd'\r\n2\r\n" << QStringList{"1:[a\rb]|[c\r\nd]", "3:2"} << "";
    QTest::newRow("apostrophe inside an unquoted value") << "O'Neil,1\r\n" << QStringList{"1:O'Neil|1"} << "";
    QTest::newRow("hostile text") << "1,'x''); delete from PLU; --'\r\n"
                                   << QStringList{"1:1|[x'); delete from PLU; --]"} << "";
    QTest::newRow("unclosed quote names its line") << "1,'a\r\n2,'b\r\n" << QStringList{}
                                                   << "Line 1, value 2: the text quoted with \"'\" does not end";
    QTest::newRow("unclosed quote after good lines") << "1\r\n2,'b c\r\n" << QStringList{"1:1"}
                                                      << "Line 2, value 2: the text quoted with \"'\" does not end";
}

void TestCsvText::reading()
{
    QFETCH(QString, text);
    QFETCH(QStringList, records);
    QFETCH(QString, error);
    QString got;
    QCOMPARE(readAll(text, got), records);
    QCOMPARE(got, error);
}

// Whatever a text holds, quoting it and reading it back gives it again.
void TestCsvText::quotedRoundTrip()
{
    const QStringList texts{"", "'", "''", "a'", "'a", "x',", "a', 'b", "x' ", " lead", "trail ",
                            "line\r\nbreak", "cr\ronly", "O'Neil, Bob", "',',',"};
    QStringList line;
    for (const QString &t : texts)
        line << CsvQuote(t);
    const QString text = line.join(u',') + QStringLiteral("\r\n"); // the reader only views it
    CsvReader reader(text);
    CsvRecord rec;
    QVERIFY(reader.next(rec));
    QCOMPARE(rec.fields.size(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QVERIFY(rec.fields.at(i).quoted);
        QCOMPARE(rec.fields.at(i).text.toString(), texts.at(i));
    }
    QVERIFY(!reader.next(rec));
    QVERIFY(reader.error().isEmpty());
}

QTEST_APPLESS_MAIN(TestCsvText)
#include "tst_csvtext.moc"
