// The text editor's lines without the dialog: the exchange text in and out,
// the 20-line limit, and the per-line limits of the fonts counted in
// characters and in bytes of the scale code page. Demo fonts: code 1 holds
// 40 characters, 2 holds 32, 3 (the default font) 26, 6 holds 16.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "manage/TextEditModel.h"

#include <QTest>

using namespace korvo;
using namespace korvo::test;

class TestTextEditModel : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root;
    std::unique_ptr<AppState> m_state;

    static int fontIndex(const TextEditModel &m, int code)
    {
        for (int i = 0; i < m.fonts().size(); ++i)
            if (m.fonts()[i].Font_Code == code)
                return i;
        return -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
    }

    void exchangeText_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("answer");  // OK without a change
        QTest::addColumn<int>("firstFont");   // font code of row 0
        QTest::newRow("two lines") << "APPLE\rRED\r\n1,3" << "APPLE\rRED\r\n1,3" << 1;
        QTest::newRow("more fonts than lines") << "A\rB\r\n2,6,1" << "A\rB\r\n2,6" << 2;
        QTest::newRow("more lines than fonts") << "A\rB\r\n6" << "A\r\n6" << 6;
        QTest::newRow("unknown font is the first") << "A\r\n99" << "A\r\n1" << 1;
        QTest::newRow("no fonts part") << "just text" << "" << 3;
        QTest::newRow("empty") << "" << "" << 3;
    }
    void exchangeText()
    {
        QFETCH(QString, given);
        QFETCH(QString, answer);
        QFETCH(int, firstFont);
        TextEditModel m(*m_state);
        m.load(given);
        QCOMPARE(m.exchangeText(), answer);
        QCOMPARE(m.fonts()[m.fontIndex(0)].Font_Code, firstFont);
        // One empty row to type a new line into, after the lines.
        QCOMPARE(m.rowCount(), m.lineCount() + 1);
        QVERIFY(m.text(m.rowCount() - 1).isEmpty());
    }

    void twentyLines()
    {
        TextEditModel m(*m_state);
        for (int i = 0; i < 25 && i < m.rowCount(); ++i)
            m.setText(i, QStringLiteral("line %1").arg(i + 1));
        // The 20th line takes text, but no 21st row is offered.
        QCOMPARE(m.rowCount(), TextEditModel::kMaxLines);
        QCOMPARE(m.lineCount(), 20);
        QCOMPARE(m.exchangeText().count('\r'), 19 + 1);
        QVERIFY(m.exchangeText().contains("line 20\r\n"));
        // Emptying lines at the end leaves one empty row; one in the middle stays.
        m.setText(19, "");
        m.setText(18, "");
        m.setText(5, "");
        QCOMPARE(m.rowCount(), 19);
        QCOMPARE(m.lineCount(), 18);
        QVERIFY(m.exchangeText().startsWith("line 1\rline 2\rline 3\rline 4\rline 5\r\rline 7\r"));
    }

    void fontLimits()
    {
        TextEditModel m(*m_state);
        m.load(QStringLiteral("%1\r\n1").arg(QString(40, 'x')));
        QCOMPARE(m.limit(0), 40);
        QCOMPARE(m.text(0).size(), 40);
        // A smaller font cuts the line at once; typing stops at its limit.
        m.setFont(0, fontIndex(m, 6));
        QCOMPARE(m.text(0), QString(16, 'x'));
        QCOMPARE(m.setText(0, QString(20, 'y')), QString(16, 'y'));
        // A row added for a new line takes the font of the row before it.
        m.setFont(1, fontIndex(m, 2));
        m.setText(1, "z");
        QCOMPARE(m.fontIndex(2), fontIndex(m, 2));
        QCOMPARE(m.exchangeText(), QString(16, 'y') + "\rz\r\n6,2");
    }

    void doubleByteCodePage_data()
    {
        QTest::addColumn<QString>("codepage");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString han = QString::fromUtf8("苹果香蕉橙子葡萄西瓜草莓");
        QTest::newRow("GBK: 16 bytes are 8 characters") << "GBK" << han << han.left(8);
        QTest::newRow("GBK: mixed") << "GBK" << "AB" + han << "AB" + han.left(7);
        QTest::newRow("GBK: ASCII") << "GBK" << QString(20, 'z') << QString(16, 'z');
        QTest::newRow("windows-1252: one byte each") << "windows-1252" << QString(20, QChar(0xE9))
                                                     << QString(16, QChar(0xE9));
    }
    void doubleByteCodePage()
    {
        QFETCH(QString, codepage);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        m_state->settings.Codepage = codepage;
        TextEditModel m(*m_state);
        m.load("\r\n6");
        QCOMPARE(m.setText(0, typed), kept);
        QCOMPARE(m.text(0), kept);
    }
};

QTEST_MAIN(TestTextEditModel)
#include "tst_texteditmodel.moc"
