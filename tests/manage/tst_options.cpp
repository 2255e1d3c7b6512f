// What the options dialog's OK makes of the operator's entries, and what it
// writes to the settings file.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/IniFile.h"
#include "encoding/Hierarchy.h"
#include "manage/Options.h"
#include "core/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

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
    void entriesBecomeSettings();
    void reencodingFollowsRecordValues();
    void acceptKeepsSettingsAndRecordsInStep();
};

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
    in.pageSizeText = QStringLiteral(" 25 ");
    in.priceDecimalText = QStringLiteral("2");
    in.weightDecimalText = QStringLiteral(" 3 ");
    in.fontText = QStringLiteral("12 : Large");
    in.doLogText = QStringLiteral("FALSE");
    in.dependOnSysCode = false;
    in.codepageIndex = 2;
    in.importType = 2;
    Settings s = SettingsFromOptions(current, in);
    QCOMPARE(OptionValues(s), QStringList({"UseMainGroup=0", "PLUPageSize=25", "WeightDecimalPlace=3",
                                           "PriceDecimalPlace=2", "DefaultFont=12", "DoLog=0",
                                           "SetLanguageCodepage=1", "LangeCodepageToConvert=2", "SetImportType=2"}));
    // What the dialog does not own stays.
    QCOMPARE(s.Language, QStringLiteral("Chinese"));
    QCOMPARE(s.ShowFieldChooser, false);
    QCOMPARE(s.Codepage, QStringLiteral("windows-1251"));

    // A page size below 1 becomes 10.
    in.pageSizeText = QStringLiteral("0");
    QVERIFY(!ValidateOptions(in));
    QCOMPARE(SettingsFromOptions(current, in).PLUPageSize, 10);

    // What OK refuses, field by field, and says why.
    const struct {
        QString page, price, weight;
        OptionsField field;
    } refused[] = {{"12abc", "2", "3", OptionsField::PageSize},
                   {"10", "2.5", "3", OptionsField::PriceDecimals},
                   {"10", "2", "", OptionsField::WeightDecimals}};
    for (const auto &r : refused) {
        OptionsInput bad = in;
        bad.pageSizeText = r.page;
        bad.priceDecimalText = r.price;
        bad.weightDecimalText = r.weight;
        const auto problem = ValidateOptions(bad);
        QVERIFY2(problem && problem->field == r.field, qPrintable(r.page + "/" + r.price + "/" + r.weight));
        QCOMPARE(problem->key, r.field == OptionsField::PageSize ? QStringLiteral("msgPageSizeError")
                                                                 : QStringLiteral("msgDecimalPlaceError"));
    }

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
    in.doLogText = QStringLiteral("false"); // any case
    QCOMPARE(SettingsFromOptions(current, in).DoLog, false);
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
    QVERIFY(RecordsNeedReencoding(after, c) && RecordsNeedReencoding(c, after));
    Settings d = c;
    d.LangeCodepageToConvert = 0;
    QVERIFY(RecordsNeedReencoding(c, d));
    Settings e = before;
    e.PriceDecimalPlace = 3;
    QVERIFY(RecordsNeedReencoding(before, e));
    e = before;
    e.WeightDecimalPlace = 2;
    QVERIFY(RecordsNeedReencoding(before, e));
}

void TestOptions::acceptKeepsSettingsAndRecordsInStep()
{
    TestDataRoot root(true);
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    LoadMGSettings(*state);
    QVERIFY(LoadScaleBarcodeList(*state));
    const QString plu = root.path() + QStringLiteral("Desc/PLU.dsc");
    const QByteArray layout = FileBytes(plu);
    auto stored = [&] { return ReadIniString("Setting", "PriceDecimalPlace", state->iniFile); };
    OptionsInput in = EntriesOf(state->settings);

    // A re-encode that stops (no record changed) is no success: the old
    // settings are back in force and in the file, the run said why.
    in.priceDecimalText = QStringLiteral("3");
    QVERIFY(WriteFile(plu, "; no fields\r\n"));
    OptionsOutcome o = AcceptOptions(*state, in);
    QCOMPARE(o.status, OptionsOutcome::Failed);
    QCOMPARE(state->settings.PriceDecimalPlace, 2);
    QCOMPARE(stored(), QStringLiteral("2"));
    QCOMPARE(root.ui.messages.size(), 1);

    QVERIFY(WriteFile(plu, layout));
    o = AcceptOptions(*state, in);
    QCOMPARE(o.status, OptionsOutcome::Saved);
    QVERIFY(o.reencoded);
    QCOMPARE(stored(), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
