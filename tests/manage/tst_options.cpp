// What the options dialog's OK makes of the operator's entries, and what it
// writes to the settings file.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/IniFile.h"
#include "manage/Options.h"
#include "core/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using korvo::test::ScriptedUi;

namespace {

OptionsInput EntriesOf(const Settings &s)
{
    OptionsInput in;
    in.useMainGroup = s.UseMainGroup;
    in.pageSizeText = QString::number(s.PLUPageSize);
    in.priceDecimalText = QString::number(s.PriceDecimalPlace);
    in.weightDecimalText = QString::number(s.WeightDecimalPlace);
    in.fontText = QString::number(s.DefaultFont) + QStringLiteral(" : Font");
    in.doLogText = s.DoLog ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    in.dependOnSysCode = s.SetLanguageCodepage == 0;
    in.codepageIndex = s.LangeCodepageToConvert;
    in.importType = s.SetImportType;
    return in;
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void comboItemsAndChoices();
    void entriesBecomeSettings();
    void reencodingFollowsRecordValues();
    void applyWritesEveryKeyAndReadsBack();
};

void TestOptions::comboItemsAndChoices()
{
    QVector<ScaleFont> fonts(3);
    fonts[0].Font_Code = 1;
    fonts[0].Font_Name = QStringLiteral("Small");
    fonts[1].Font_Code = 12;
    fonts[1].Font_Name = QStringLiteral("Large");
    fonts[2].Font_Code = 2;
    fonts[2].Font_Name = QStringLiteral("Bold 2");
    const QStringList items = FontComboItems(fonts);
    QCOMPARE(items, QStringList({QStringLiteral("1 : Small"), QStringLiteral("12 : Large"),
                                 QStringLiteral("2 : Bold 2")}));
    // By the number in front, not by text: 1 is not 12, 2 is not "Bold 2"'s 2.
    QCOMPARE(ItemIndexByValue(items, 12), 1);
    QCOMPARE(ItemIndexByValue(items, 1), 0);
    QCOMPARE(ItemIndexByValue(items, 2), 2);
    QCOMPARE(ItemIndexByValue(items, 7), -1);
    const QStringList codepages = {QStringLiteral("0:Windows 1250"), QStringLiteral("1:Windows 1251"),
                                   QStringLiteral("2:Farsi")};
    QCOMPARE(ItemIndexByValue(codepages, 2), 2);
    QCOMPARE(ItemIndexByValue({}, 0), -1);

    const QStringList words = {QStringLiteral("TRUE"), QStringLiteral("FALSE")};
    QCOMPARE(BoolItemIndex(words, true), 0);
    QCOMPARE(BoolItemIndex(words, false), 1);
    QCOMPARE(BoolItemIndex({QStringLiteral("yes")}, true), -1);

    QCOMPARE(ImportTypeOption(0), 0);
    QCOMPARE(ImportTypeOption(1), 1);
    QCOMPARE(ImportTypeOption(2), 2);
    QCOMPARE(ImportTypeOption(3), 0);
    QCOMPARE(ImportTypeOption(-1), 0);
}

void TestOptions::entriesBecomeSettings()
{
    Settings current;
    current.Language = QStringLiteral("Chinese");
    current.ShowFieldChooser = false;
    current.PLUPageSize = 50;
    current.DoLog = true;
    current.LangeCodepageToConvert = 1;
    current.Codepage = QStringLiteral("windows-1251");

    OptionsInput in;
    in.useMainGroup = false;
    in.pageSizeText = QStringLiteral("25 rows");
    in.priceDecimalText = QStringLiteral("2.5");  // rounds half to even
    in.weightDecimalText = QStringLiteral(" 3x");
    in.fontText = QStringLiteral("12 : Large");
    in.doLogText = QStringLiteral("FALSE");
    in.dependOnSysCode = false;
    in.codepageIndex = 2;
    in.importType = 2;
    Settings s = SettingsFromOptions(current, in);
    QCOMPARE(s.UseMainGroup, false);
    QCOMPARE(s.PLUPageSize, 25);
    QCOMPARE(s.PriceDecimalPlace, 2);
    QCOMPARE(s.WeightDecimalPlace, 3);
    QCOMPARE(s.DefaultFont, 12);
    QCOMPARE(s.DoLog, false);
    QCOMPARE(s.SetLanguageCodepage, qint16(1));
    QCOMPARE(s.LangeCodepageToConvert, qint16(2));
    QCOMPARE(s.SetImportType, qint16(2));
    // What the dialog does not own stays.
    QCOMPARE(s.Language, QStringLiteral("Chinese"));
    QCOMPARE(s.ShowFieldChooser, false);
    QCOMPARE(s.Codepage, QStringLiteral("windows-1251"));

    // A page size below 1, or no number at all, becomes 10.
    for (const QString &text : {QStringLiteral("0"), QStringLiteral("-5"), QStringLiteral("abc"),
                                QStringLiteral(""), QStringLiteral("0.4")}) {
        in.pageSizeText = text;
        QCOMPARE(SettingsFromOptions(current, in).PLUPageSize, 10);
    }
    in.pageSizeText = QStringLiteral("1");
    QCOMPARE(SettingsFromOptions(current, in).PLUPageSize, 1);

    // The system code page; no font chosen; no code page chosen; a log text
    // that is no boolean keeps what is set.
    in.dependOnSysCode = true;
    in.fontText.clear();
    in.codepageIndex = -1;
    in.doLogText = QStringLiteral("maybe");
    in.importType = 0;
    s = SettingsFromOptions(current, in);
    QCOMPARE(s.SetLanguageCodepage, qint16(0));
    QCOMPARE(s.DefaultFont, 0);
    QCOMPARE(s.LangeCodepageToConvert, qint16(1));
    QCOMPARE(s.DoLog, true);
    QCOMPARE(s.SetImportType, qint16(0));
    in.doLogText = QStringLiteral("true");
    in.importType = 1;
    s = SettingsFromOptions(current, in);
    QCOMPARE(s.DoLog, true);
    QCOMPARE(s.SetImportType, qint16(1));
}

void TestOptions::reencodingFollowsRecordValues()
{
    Settings before;
    before.PriceDecimalPlace = 2;
    before.WeightDecimalPlace = 3;
    Settings after = before;
    QVERIFY(!RecordsNeedReencoding(before, after));

    // Values the records do not hold.
    after.PLUPageSize = 77;
    after.UseMainGroup = false;
    after.DoLog = !before.DoLog;
    after.SetImportType = 2;
    after.DefaultFont = 9;
    QVERIFY(!RecordsNeedReencoding(before, after));
    // The conversion target counts only while converting.
    after.LangeCodepageToConvert = 1;
    QVERIFY(!RecordsNeedReencoding(before, after));

    Settings c = after;
    c.SetLanguageCodepage = 1;
    QVERIFY(RecordsNeedReencoding(after, c));
    QVERIFY(RecordsNeedReencoding(c, after));
    Settings d = c;
    d.LangeCodepageToConvert = 0;
    QVERIFY(RecordsNeedReencoding(c, d));
    Settings e = before;
    e.PriceDecimalPlace = 3;
    QVERIFY(RecordsNeedReencoding(before, e));
    Settings f = before;
    f.WeightDecimalPlace = 2;
    QVERIFY(RecordsNeedReencoding(before, f));
}

void TestOptions::applyWritesEveryKeyAndReadsBack()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ScriptedUi ui;
    AppState state(&ui);
    state.setPaths(QString(), dir.path());
    {
        QFile f(state.iniFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Setting]\r\nLanguage=Other\r\nPLUPageSize=100\r\nVersionType=Standard\r\n"
                "[ZentTCP]\r\nDoLog=False\r\n");
    }
    QVERIFY(ReadSettingsFile(state));

    OptionsInput in = EntriesOf(state.settings);
    in.useMainGroup = false;
    in.pageSizeText = QStringLiteral("-5");
    in.priceDecimalText = QStringLiteral("2");
    in.weightDecimalText = QStringLiteral("3");
    in.fontText = QStringLiteral("4 : Medium");
    in.doLogText = QStringLiteral("TRUE");
    in.dependOnSysCode = false;
    in.codepageIndex = 1;
    in.importType = 1;
    const Settings before = ApplyOptions(state, in);
    QCOMPARE(before.PLUPageSize, 100);
    // In force at once.
    QCOMPARE(state.settings.PLUPageSize, 10);
    QCOMPARE(state.settings.UseMainGroup, false);
    QCOMPARE(state.settings.DoLog, true);

    auto key = [&](const char *section, const char *name) {
        return ReadIniString(QLatin1String(section), QLatin1String(name), state.iniFile);
    };
    QCOMPARE(key("Setting", "UseMainGroup"), QStringLiteral("False"));
    QCOMPARE(key("Setting", "PLUPageSize"), QStringLiteral("10"));
    QCOMPARE(key("Setting", "PriceDecimalPlace"), QStringLiteral("2"));
    QCOMPARE(key("Setting", "WeightDecimalPlace"), QStringLiteral("3"));
    QCOMPARE(key("Setting", "DefaultFont"), QStringLiteral("4"));
    QCOMPARE(key("ZentTCP", "DoLog"), QStringLiteral("True"));
    QCOMPARE(key("Setting", "SetLanguageCodepage"), QStringLiteral("1"));
    QCOMPARE(key("Setting", "LangeCodepageToConvert"), QStringLiteral("1"));
    QCOMPARE(key("Setting", "SetImportType"), QStringLiteral("1"));
    // Keys the dialog does not own are left as they were.
    QCOMPARE(key("Setting", "Language"), QStringLiteral("Other"));
    QCOMPARE(key("Setting", "VersionType"), QStringLiteral("Standard"));

    // The next start reads the same values back.
    AppState next(&ui);
    next.setPaths(QString(), dir.path());
    QVERIFY(ReadSettingsFile(next));
    const Settings &a = state.settings;
    const Settings &b = next.settings;
    QCOMPARE(b.UseMainGroup, a.UseMainGroup);
    QCOMPARE(b.PLUPageSize, a.PLUPageSize);
    QCOMPARE(b.PriceDecimalPlace, a.PriceDecimalPlace);
    QCOMPARE(b.WeightDecimalPlace, a.WeightDecimalPlace);
    QCOMPARE(b.DefaultFont, a.DefaultFont);
    QCOMPARE(b.DoLog, a.DoLog);
    QCOMPARE(b.SetLanguageCodepage, a.SetLanguageCodepage);
    QCOMPARE(b.LangeCodepageToConvert, a.LangeCodepageToConvert);
    QCOMPARE(b.SetImportType, a.SetImportType);
    QCOMPARE(b.Language, QStringLiteral("Other"));
    QVERIFY(ui.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
