// Code-page tables, the system code page and the Iran System conversion.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "i18n/Codepages.h"
#include "i18n/IranSystem.h"

#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

quint8 entry(const CodepageTable &t, int sourceByte) { return t[size_t(sourceByte - 128)]; }

} // namespace

class TestCodepages : public QObject {
    Q_OBJECT

private slots:
    void codepageTables();
    void systemCodepage();
    void iranSystemLetterForms();
    void iranSystemDigitsAndDirection();
};

void TestCodepages::codepageTables()
{
    AppState state;
    LoadCodepageTables(state);
    QVERIFY(state.codepagesLoaded);
    QVERIFY(state.reportedErrors.isEmpty());
    const CodepageTable &t = state.cpCentralEuropean;

    // The fixed departures from DOS 852.
    QCOMPARE(entry(t, 190), quint8(149));
    for (int b : {160, 172, 173, 188})
        QCOMPARE(entry(t, b), quint8(32));

    // Published DOS 852 positions of Windows 1250 letters: Š š Č č Ą ą Ř ř é.
    const int letters[][2] = {{0x8A, 0xE6}, {0x9A, 0xE7}, {0xC8, 0xAC}, {0xE8, 0x9F}, {0xA5, 0xA4},
                              {0xB9, 0xA5}, {0xD8, 0xFC}, {0xF8, 0xFD}, {0xE9, 0x82}};
    for (const auto &l : letters)
        QCOMPARE(int(entry(t, l[0])), l[1]);

    // No counterpart: an undefined Windows byte, and the low double quote
    // (DOS 852 has none; a best-fit '"' would be wrong).
    QCOMPARE(entry(t, 0x81), quint8(32));
    QCOMPARE(entry(t, 0x84), quint8(32));

    // Windows 1251 has А..я at 0xC0..0xFF; DOS 866 has А..п at 0x80..0xAF
    // and р..я at 0xE0..0xEF.
    const CodepageTable &c = state.cpCyrillic;
    for (int b = 0xC0; b <= 0xFF; ++b)
        QCOMPARE(int(entry(c, b)), b < 0xF0 ? 0x80 + (b - 0xC0) : 0xE0 + (b - 0xF0));
    QCOMPARE(entry(c, 0xA8), quint8(0xF0)); // Ё
    QCOMPARE(entry(c, 0xB8), quint8(0xF1)); // ё
    QCOMPARE(entry(c, 0xB9), quint8(0xFC)); // №
    QCOMPARE(entry(c, 160), quint8(32));    // no-break space: a blank by rule
    QCOMPARE(entry(c, 0x88), quint8(32));   // € has no place in DOS 866
}

void TestCodepages::systemCodepage()
{
    ScriptedUi ui;
    AppState state(&ui);

    // Default: Windows 1252.
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("Café €2")), bytes({'C', 'a', 'f', 0xE9, ' ', 0x80, '2'}));

    // GBK: two bytes per Chinese character, lead byte first, ASCII unchanged.
    state.settings.Codepage = QStringLiteral("GBK");
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("a中国b")),
             bytes({'a', 0xD6, 0xD0, 0xB9, 0xFA, 'b'}));

    state.settings.Codepage = QStringLiteral("windows-1251");
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("Сыр")), bytes({0xD1, 0xFB, 0xF0}));
    QVERIFY(state.reportedErrors.isEmpty());

    // An unmappable character is reported once per run.
    state.settings.Codepage = QStringLiteral("windows-1252");
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("Жar Ж")), QByteArray("?ar ?"));
    QCOMPARE(state.reportedErrors.size(), 1);
    QCOMPARE(state.reportedErrors.at(0).source, QStringLiteral("AsciiToHex (Жar Ж)"));
    QVERIFY(state.reportedErrors.at(0).description.contains(QStringLiteral("Ж")));
    QCOMPARE(ui.messages.size(), 1);

    // The same character later in the run: replaced, not reported again.
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("é Ж")), bytes({0xE9, ' ', '?'}));
    QCOMPARE(state.reportedErrors.size(), 1);

    // Another character is news; a character outside the BMP is one "?".
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("ф😀")), QByteArray("??"));
    QCOMPARE(state.reportedErrors.size(), 3);
    QVERIFY(state.reportedErrors.at(1).description.contains(QStringLiteral("ф")));
    QVERIFY(state.reportedErrors.at(2).description.contains(QStringLiteral("U+1F600")));

    // GBK holds Chinese but not Hebrew; the encoder's own "?" must still be reported.
    state.settings.Codepage = QStringLiteral("GBK");
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("中א")), bytes({0xD6, 0xD0, '?'}));
    QCOMPARE(state.reportedErrors.size(), 4);
    QVERIFY(state.reportedErrors.at(3).description.contains(QStringLiteral("GBK")));

    // A literal "?" in the text is a character like any other.
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("中?")), bytes({0xD6, 0xD0, '?'}));
    QCOMPARE(state.reportedErrors.size(), 4);

    // A code page the converter does not know: told once, Windows 1252 used.
    state.settings.Codepage = QStringLiteral("no-such-codepage");
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("é")), bytes({0xE9}));
    QCOMPARE(ToSystemCodepage(state, QStringLiteral("è")), bytes({0xE8}));
    QCOMPARE(state.reportedErrors.size(), 5);
}

void TestCodepages::iranSystemLetterForms()
{
    // Expected bytes from the Iran System chart, written in visual order
    // (the last letter of the word first).
    // shir: sheen initial, yeh medial, reh final.
    QCOMPARE(Uni2IrSys(QStringLiteral("شیر")), bytes({0xA4, 0xFE, 0xAA}));
    // nan: noon initial, alef final, noon isolated.
    QCOMPARE(Uni2IrSys(QStringLiteral("نان")), bytes({0xF6, 0x91, 0xF7}));
    // mahi: alef does not join forward, so heh starts again (initial) and
    // yeh ends joined (final).
    QCOMPARE(Uni2IrSys(QStringLiteral("ماهی")), bytes({0xFC, 0xFB, 0x91, 0xF5}));
    // chai: yeh after alef stands alone.
    QCOMPARE(Uni2IrSys(QStringLiteral("چای")), bytes({0xFD, 0x91, 0x9D}));
    // mehr: heh between two joining letters is medial.
    QCOMPARE(Uni2IrSys(QStringLiteral("مهر")), bytes({0xA4, 0xFA, 0xF5}));
    // Ain in all four forms.
    QCOMPARE(Uni2IrSys(QStringLiteral("عسل")), bytes({0xF1, 0xA8, 0xE4}));      // initial
    QCOMPARE(Uni2IrSys(QStringLiteral("بعد")), bytes({0xA2, 0xE3, 0x93}));      // medial
    QCOMPARE(Uni2IrSys(QStringLiteral("شمع")), bytes({0xE2, 0xF5, 0xAA}));      // final
    QCOMPARE(Uni2IrSys(QStringLiteral("شروع")), bytes({0xE1, 0xF8, 0xA4, 0xAA})); // isolated
    // Alef madda standing alone.
    QCOMPARE(Uni2IrSys(QStringLiteral("\u0622")), bytes({0x8D}));
    // Lam-alef is one byte; the letter before it joins it.
    QCOMPARE(Uni2IrSys(QStringLiteral("سلام")), bytes({0xF4, 0xF2, 0xA8}));
    QCOMPARE(Uni2IrSys(QStringLiteral("کلاس")), bytes({0xA7, 0xF2, 0xEE}));
    // Arabic kaf and yeh come out as their Farsi forms; vowel marks vanish.
    QCOMPARE(Uni2IrSys(QStringLiteral("كلاس")), Uni2IrSys(QStringLiteral("کلاس")));
    QCOMPARE(Uni2IrSys(QStringLiteral("سَلام")), bytes({0xF4, 0xF2, 0xA8}));
    // The zero-width non-joiner breaks the joining and prints nothing.
    QCOMPARE(Uni2IrSys(QStringLiteral("می\u200Cخواهم")),
             bytes({0xF4, 0xFB, 0x90, 0xF8, 0xA1, 0xFC, 0xF5}));
}

void TestCodepages::iranSystemDigitsAndDirection()
{
    // Farsi and Latin digits both become Iran System digits, in reading order.
    QCOMPARE(Uni2IrSys(QStringLiteral("۱۲۳")), bytes({0x81, 0x82, 0x83}));
    QCOMPARE(Uni2IrSys(QStringLiteral("1250")), bytes({0x81, 0x82, 0x85, 0x80}));
    // Latin text passes unchanged.
    QCOMPARE(Uni2IrSys(QStringLiteral("Milk 3.5%")), bytes({'M', 'i', 'l', 'k', ' ', 0x83, '.', 0x85, '%'}));

    // A Farsi line is reversed as a whole, numbers inside keep their order.
    QCOMPARE(Uni2IrSys(QStringLiteral("شیر ۱۲")), bytes({0x81, 0x82, ' ', 0xA4, 0xFE, 0xAA}));
    QCOMPARE(Uni2IrSys(QStringLiteral("شیر 2 لیتر")),
             bytes({0xA4, 0x97, 0xFE, 0xF3, ' ', 0x82, ' ', 0xA4, 0xFE, 0xAA}));
    // A Latin line keeps its order; the Farsi run inside is reversed.
    QCOMPARE(Uni2IrSys(QStringLiteral("Milk شیر")), bytes({'M', 'i', 'l', 'k', ' ', 0xA4, 0xFE, 0xAA}));
    // Brackets in right-to-left text are mirrored.
    QCOMPARE(Uni2IrSys(QStringLiteral("(شیر)")), bytes({'(', 0xA4, 0xFE, 0xAA, ')'}));
    // Farsi punctuation, and an unknown character as "?" in its place.
    QCOMPARE(Uni2IrSys(QStringLiteral("شیر؟")), bytes({0x8C, 0xA4, 0xFE, 0xAA}));
    QCOMPARE(Uni2IrSys(QStringLiteral("شیر€")), bytes({'?', 0xA4, 0xFE, 0xAA}));
    QCOMPARE(Uni2IrSys(QString()), QByteArray());
}

QTEST_GUILESS_MAIN(TestCodepages)
#include "tst_codepages.moc"
