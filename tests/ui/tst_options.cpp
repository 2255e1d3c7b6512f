// The options and restore dialogs driven through their real controls, on
// their own and from the main window's Setting menu.

#include "UiTestSupport.h"
#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/FileUtil.h"
#include "core/IniFile.h"
#include "core/SettingsBackup.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "i18n/Language.h"
#include "ui/Commands.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/RestoreSettingDialog.h"
#include "ui/StoreTreePane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace korvo;
using namespace korvo::test;

namespace {

QString IniPath(const TestDataRoot &root) { return root.path() + QStringLiteral("Korvo2005.INI"); }

QString Key(const TestDataRoot &root, const char *section, const char *key)
{
    return ReadIniString(QLatin1String(section), QLatin1String(key), IniPath(root));
}

// Acts on a modal dialog of the given type once it shows; a dialog the
// action left open is cancelled so the test cannot hang.
template <typename Dialog>
void WhenShown(QWidget *owner, std::function<void(Dialog *)> act, int triesLeft = 200)
{
    QTimer::singleShot(10, owner, [owner, act, triesLeft] {
        auto *d = owner->findChild<Dialog *>();
        if (!d || !d->isVisible()) {
            if (triesLeft > 0)
                WhenShown<Dialog>(owner, act, triesLeft - 1);
            return;
        }
        act(d);
        if (d->isVisible())
            d->reject();
    });
}

struct PluStamp {
    QString data, date, time;
};

QMap<qint32, PluStamp> PluStamps(AppState &state)
{
    QMap<qint32, PluStamp> out;
    auto q = QueryKorvoDB(state, QStringLiteral("select PLU_No, ZentBinData, PLU_UPDate, PLU_UPTime from PLU"));
    while (q && q->next())
        out.insert(q->value(0).toInt(), {q->value(1).toString(), q->value(2).toString(), q->value(3).toString()});
    return out;
}

// Check boxes and option buttons take clicks on their mark and caption only.
void ClickMark(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestOptionsDialogs : public QObject {
    Q_OBJECT
private slots:
    void optionsShowCurrentValues();
    void optionsCancelChangesNothing();
    void optionsOkWritesAndTakesEffect();
    void codepageChangeReencodesEveryPlu();
    void restoreFromBackupFolder();
    void restoreFromSettingMenu();
    void everyLanguageHasTheDialogTexts();
};

void TestOptionsDialogs::optionsShowCurrentValues()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    QVERIFY(state->fonts.size() >= 2);
    state->settings.UseMainGroup = false;
    state->settings.DefaultFont = state->fonts.at(1).Font_Code;
    state->settings.DoLog = true;
    state->settings.SetLanguageCodepage = 1;
    state->settings.LangeCodepageToConvert = 2;
    state->settings.PLUPageSize = 37;
    state->settings.PriceDecimalPlace = 2;
    state->settings.WeightDecimalPlace = 3;
    state->settings.SetImportType = 2;

    {
        OptionsDialog d(*state);
        QCOMPARE(d.windowTitle(), GetLangString(*state, QStringLiteral("frmOption"), QStringLiteral("Caption")));
        QCOMPARE(d.cmdOK->text(), GetLangString(*state, QStringLiteral("frmOption"), QStringLiteral("cmdOK")));
        QCOMPARE(d.fraCodepage->title(),
                 GetLangString(*state, QStringLiteral("frmOption"), QStringLiteral("fraCodepage")));
        QVERIFY(!d.chkUseMainGroup->isChecked());
        QCOMPARE(d.cboDefaultFontSize->count(), state->fonts.size());
        const ScaleFont &font = state->fonts.at(1);
        QCOMPARE(d.cboDefaultFontSize->currentText(),
                 QString::number(font.Font_Code) + QStringLiteral(" : ") + font.Font_Name);
        QCOMPARE(d.cboZentDoLog->count(), 2);
        QCOMPARE(d.cboZentDoLog->currentText(), QStringLiteral("TRUE"));
        QVERIFY(d.optConvertCodepage->isChecked());
        QVERIFY(!d.optDependOnSysCode->isChecked());
        QCOMPARE(d.combCodepageSelect->count(),
                 SplitItemList(GetLangString(*state, QStringLiteral("frmOption"),
                                             QStringLiteral("combCodepageSelect")))
                     .size());
        QCOMPARE(d.combCodepageSelect->count(), 3);
        QCOMPARE(d.combCodepageSelect->currentIndex(), 2);
        QVERIFY(d.combCodepageSelect->isEnabled());
        QCOMPARE(d.txtPLUPageSize->text(), QStringLiteral("37"));
        QCOMPARE(d.txtPriceDecimalPlace->text(), QStringLiteral("2"));
        QCOMPARE(d.txtWeightDecimalPlace->text(), QStringLiteral("3"));
        QVERIFY(d.optUpdateAll->isChecked());
        QVERIFY(!d.optDelAllUpdate->isChecked());

        // The code-page list is usable only while converting.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        ClickMark(d.optDependOnSysCode);
        QVERIFY(d.optDependOnSysCode->isChecked());
        QVERIFY(!d.combCodepageSelect->isEnabled());
        ClickMark(d.optConvertCodepage);
        QVERIFY(d.combCodepageSelect->isEnabled());
    }

    // The other way round; an import type out of range and a font that is
    // not in the list.
    state->settings.UseMainGroup = true;
    state->settings.DefaultFont = -7;
    state->settings.DoLog = false;
    state->settings.SetLanguageCodepage = 0;
    state->settings.LangeCodepageToConvert = 1;
    state->settings.SetImportType = 5;
    OptionsDialog d(*state);
    QVERIFY(d.chkUseMainGroup->isChecked());
    QCOMPARE(d.cboDefaultFontSize->currentIndex(), -1);
    QCOMPARE(d.cboZentDoLog->currentText(), QStringLiteral("FALSE"));
    QVERIFY(d.optDependOnSysCode->isChecked());
    QVERIFY(!d.combCodepageSelect->isEnabled());
    QCOMPARE(d.combCodepageSelect->currentIndex(), 1);
    QVERIFY(d.optDelAllUpdate->isChecked());
    QVERIFY(d.cancelled());
    QVERIFY(state->missingTexts.isEmpty());
    QVERIFY(state->reportedErrors.isEmpty());
}

void TestOptionsDialogs::optionsCancelChangesNothing()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const QByteArray iniBefore = FileBytes(IniPath(root));
    const Settings before = state->settings;
    OptionsDialog d(*state);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    ClickMark(d.chkUseMainGroup);
    d.txtPLUPageSize->setText(QStringLiteral("3"));
    ClickMark(d.optConvertCodepage);
    ClickMark(d.optUpdateAll);
    QVERIFY(d.optUpdateAll->isChecked());
    QVERIFY(d.optConvertCodepage->isChecked());
    QCOMPARE(d.chkUseMainGroup->isChecked(), !before.UseMainGroup);
    QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QVERIFY(d.cancelled());
    QVERIFY(!d.reencoded());
    QCOMPARE(FileBytes(IniPath(root)), iniBefore);
    QCOMPARE(state->settings.PLUPageSize, before.PLUPageSize);
    QCOMPARE(state->settings.UseMainGroup, before.UseMainGroup);
    QCOMPARE(state->settings.SetLanguageCodepage, before.SetLanguageCodepage);
    QCOMPARE(state->settings.SetImportType, before.SetImportType);
}

void TestOptionsDialogs::optionsOkWritesAndTakesEffect()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    // A page size below 1 is stored as 10, whatever its sign.
    for (const QString &pageSize : {QStringLiteral("0"), QStringLiteral("-5")}) {
        auto state = root.loadedState();
        QVERIFY(state);
        QueuedSignIn signIn;
        MainWindow w(*state, &signIn);
        w.setProgramEnder([] {});
        const QMap<qint32, PluStamp> stampsBefore = PluStamps(*state);
        QVERIFY(!stampsBefore.isEmpty());
        const ScaleFont font = state->fonts.last();
        bool acted = false;
        WhenShown<OptionsDialog>(&w, [&](OptionsDialog *d) {
            acted = true;
            ClickMark(d->chkUseMainGroup); // delivered on -> off
            d->cboDefaultFontSize->setCurrentIndex(d->cboDefaultFontSize->count() - 1);
            d->cboZentDoLog->setCurrentIndex(0); // TRUE
            d->txtPLUPageSize->setText(pageSize);
            d->txtPriceDecimalPlace->setText(QStringLiteral("2"));
            d->txtWeightDecimalPlace->setText(QStringLiteral("3"));
            ClickMark(d->optUpdateNoExist);
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        });
        w.dispatch(cmd::Options);
        QVERIFY(acted);

        // In force at once ...
        QCOMPARE(state->settings.UseMainGroup, false);
        QCOMPARE(state->settings.PLUPageSize, 10);
        QCOMPARE(state->settings.DefaultFont, font.Font_Code);
        QCOMPARE(state->settings.DoLog, true);
        QCOMPARE(state->settings.SetImportType, qint16(1));
        QCOMPARE(state->settings.SetLanguageCodepage, qint16(0));
        // ... and in the settings file, every key of the dialog.
        QCOMPARE(Key(root, "Setting", "UseMainGroup"), QStringLiteral("False"));
        QCOMPARE(Key(root, "Setting", "PLUPageSize"), QStringLiteral("10"));
        QCOMPARE(Key(root, "Setting", "WeightDecimalPlace"), QStringLiteral("3"));
        QCOMPARE(Key(root, "Setting", "PriceDecimalPlace"), QStringLiteral("2"));
        QCOMPARE(Key(root, "Setting", "DefaultFont"), QString::number(font.Font_Code));
        QCOMPARE(Key(root, "ZentTCP", "DoLog"), QStringLiteral("True"));
        QCOMPARE(Key(root, "Setting", "SetLanguageCodepage"), QStringLiteral("0"));
        QCOMPARE(Key(root, "Setting", "LangeCodepageToConvert"), QStringLiteral("0"));
        QCOMPARE(Key(root, "Setting", "SetImportType"), QStringLiteral("1"));
        // Nothing the records hold changed: no PLU was encoded again.
        const QMap<qint32, PluStamp> stampsAfter = PluStamps(*state);
        QCOMPARE(stampsAfter.size(), stampsBefore.size());
        for (auto it = stampsBefore.cbegin(); it != stampsBefore.cend(); ++it) {
            QCOMPARE(stampsAfter.value(it.key()).data, it->data);
            QCOMPARE(stampsAfter.value(it.key()).date, it->date);
        }
        QVERIFY(root.ui.messages.isEmpty());
        // The tree was rebuilt at once, now without main groups.
        int groups = 0, departments = 0;
        for (QTreeWidgetItemIterator it(w.storeTree()); *it; ++it) {
            groups += StoreTreePane::kindOf(*it) == NodeKind::MainGroup ? 1 : 0;
            departments += StoreTreePane::kindOf(*it) == NodeKind::Department ? 1 : 0;
        }
        QVERIFY(departments > 0);
        QCOMPARE(groups, 0);
        QVERIFY(state->reportedErrors.isEmpty());

        // Put the delivered values back for the second round.
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("UseMainGroup"), QStringLiteral("True"),
                               IniPath(root)));
        w.close();
    }
}

void TestOptionsDialogs::codepageChangeReencodesEveryPlu()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    LoadMGSettings(*state);
    QVERIFY(LoadScaleBarcodeList(*state));
    auto q = QueryKorvoDB(*state, QStringLiteral("select min(PLU_No) from PLU"));
    QVERIFY(q && q->next());
    const qint32 accented = q->value(0).toInt();
    q.reset();
    QVERIFY(QueryKorvoDB(*state, QStringLiteral("update PLU set PLU_Commodity='Caf") + QChar(0xE9)
                                     + QStringLiteral(" noir' where PLU_No=") + QString::number(accented)));

    // Records built on the system code page first.
    state->now = [] { return QDateTime(QDate(2030, 5, 6), QTime(7, 8, 9)); };
    {
        OptionsDialog d(*state);
        d.show();
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QVERIFY(!d.cancelled());
        QVERIFY(!d.reencoded()); // nothing the records hold changed
        qint32 last = 0;
        CreatePLUData(*state, QStringLiteral("ALL"), last);
    }
    const QMap<qint32, PluStamp> before = PluStamps(*state);
    QVERIFY(before.size() > 100);
    for (const PluStamp &s : before) {
        QCOMPARE(s.date, QStringLiteral("2030-05-06"));
        QVERIFY(!s.data.isEmpty());
    }

    // Converting to DOS 852 encodes every PLU again, with progress.
    state->now = [] { return QDateTime(QDate(2031, 2, 3), QTime(10, 20, 30)); };
    root.ui.progressSteps = 0;
    OptionsDialog d(*state);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    ClickMark(d.optConvertCodepage);
    d.combCodepageSelect->setCurrentIndex(0);
    QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    QVERIFY(!d.cancelled());
    QVERIFY(d.reencoded());
    QVERIFY(!d.isVisible());
    QCOMPARE(state->settings.SetLanguageCodepage, qint16(1));
    QCOMPARE(Key(root, "Setting", "SetLanguageCodepage"), QStringLiteral("1"));
    QVERIFY(root.ui.progressSteps > 0);
    const QMap<qint32, PluStamp> after = PluStamps(*state);
    QCOMPARE(after.size(), before.size());
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        QCOMPARE(it->date, QStringLiteral("2031-02-03"));
        QCOMPARE(it->time, QStringLiteral("10:20:30"));
        QVERIFY(!it->data.isEmpty());
    }
    // The accented letter now goes out in the DOS code page.
    QVERIFY(after.value(accented).data != before.value(accented).data);
    QVERIFY(before.value(accented).data.contains(QStringLiteral("E9")));
}

void TestOptionsDialogs::restoreFromBackupFolder()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState(); // the start made today's backup
    QVERIFY(state);
    const QString backups = SettingsBackupRoot(*state);
    const QDate today = state->now().date();
    const QDate older = today.addDays(-3);
    const QDate yesterday = today.addDays(-1);
    const QByteArray restored = "[Setting]\r\nLanguage=Other\r\nPLUPageSize=44\r\n[ZentTCP]\r\nDoLog=True\r\n";
    QVERIFY(WriteFile(JoinPath(JoinPath(backups, yesterday.toString(QStringLiteral("yyyy-MM-dd"))),
                               QStringLiteral("Korvo2005.INI")),
                      restored));
    QVERIFY(WriteFile(JoinPath(JoinPath(backups, older.toString(QStringLiteral("yyyy-MM-dd"))),
                               QStringLiteral("Korvo2005.INI")),
                      "[Setting]\r\nPLUPageSize=3\r\n"));
    // Names that fail the test, and one whose month and day carry over.
    for (const char *name : {"2007-1-1", "2007-01-1x", "backup-old", "20070101ab"})
        QVERIFY(QDir().mkpath(JoinPath(backups, QLatin1String(name))));
    QVERIFY(QDir().mkpath(JoinPath(backups, QStringLiteral("2007-13-45"))));

    const QByteArray iniBefore = FileBytes(IniPath(root));
    RestoreSettingDialog d(*state);
    QCOMPARE(d.windowTitle(),
             GetLangString(*state, QStringLiteral("frmRestoreSetting"), QStringLiteral("Caption")));
    QCOMPARE(d.lblSelectDate->text(),
             GetLangString(*state, QStringLiteral("frmRestoreSetting"), QStringLiteral("lblSelectDate")));
    const QLocale locale;
    QStringList shown;
    for (int i = 0; i < d.lstSelectDate->count(); ++i)
        shown << d.lstSelectDate->item(i)->text();
    QCOMPARE(shown, QStringList({locale.toString(today, QLocale::LongFormat),
                                 locale.toString(yesterday, QLocale::LongFormat),
                                 locale.toString(older, QLocale::LongFormat),
                                 locale.toString(QDate(2008, 2, 14), QLocale::LongFormat)}));
    QCOMPARE(QDir(RestoreSettingDialog::folderOf(d.lstSelectDate->item(1))).dirName(),
             yesterday.toString(QStringLiteral("yyyy-MM-dd")));

    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    // No entry chosen: nothing happens.
    QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    QVERIFY(root.ui.messages.isEmpty());
    QVERIFY(d.isVisible());
    QVERIFY(d.cancelled());

    // Chosen, then No: nothing copied.
    QListWidgetItem *entry = d.lstSelectDate->item(1);
    QTest::mouseClick(d.lstSelectDate->viewport(), Qt::LeftButton, {},
                      d.lstSelectDate->visualItemRect(entry).center());
    QVERIFY(entry->isSelected());
    root.ui.answers = {MsgResult::No};
    QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    QCOMPARE(root.ui.messages.size(), 1);
    const ShownMessage &ask = root.ui.messages.first();
    QCOMPARE(ask.text, GetLangString(*state, QStringLiteral("frmRestoreSetting"), QStringLiteral("msgRestoreSetting")));
    QCOMPARE(ask.icon, MsgIcon::Question);
    QCOMPARE(ask.buttons, MsgButtons::YesNo);
    QCOMPARE(ask.defaultButton, MsgResult::No);
    QCOMPARE(FileBytes(IniPath(root)), iniBefore);
    QVERIFY(d.isVisible());
    QVERIFY(d.cancelled());

    // Yes: that day's settings file is back; the running settings stay.
    root.ui.answers = {MsgResult::Yes};
    QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    QCOMPARE(root.ui.messages.size(), 2);
    QCOMPARE(FileBytes(IniPath(root)), restored);
    QVERIFY(!d.cancelled());
    QVERIFY(!d.isVisible());
    QCOMPARE(state->settings.Language, QStringLiteral("English"));
    QVERIFY(state->reportedErrors.isEmpty());
}

void TestOptionsDialogs::restoreFromSettingMenu()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    const QDate day = state->now().date().addDays(-2);
    const QByteArray restored = "[Setting]\r\nPLUPageSize=21\r\n[ZentTCP]\r\nDoLog=False\r\n";
    QVERIFY(WriteFile(JoinPath(JoinPath(SettingsBackupRoot(*state), day.toString(QStringLiteral("yyyy-MM-dd"))),
                               QStringLiteral("Korvo2005.INI")),
                      restored));
    QueuedSignIn signIn;
    MainWindow w(*state, &signIn);
    w.setProgramEnder([] {});

    // Cancelled: no message at all.
    root.ui.messages.clear();
    WhenShown<RestoreSettingDialog>(&w, [](RestoreSettingDialog *d) { QTest::mouseClick(d->cmdCancel, Qt::LeftButton); });
    w.dispatch(cmd::RestoreSettings);
    QVERIFY(root.ui.messages.isEmpty());

    // A double-click on the day, Yes, then the note about the next start.
    root.ui.answers = {MsgResult::Yes};
    WhenShown<RestoreSettingDialog>(&w, [](RestoreSettingDialog *d) {
        QListWidgetItem *entry = d->lstSelectDate->item(1);
        const QPoint at = d->lstSelectDate->visualItemRect(entry).center();
        QTest::mouseClick(d->lstSelectDate->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(d->lstSelectDate->viewport(), Qt::LeftButton, {}, at);
    });
    w.dispatch(cmd::RestoreSettings);
    QCOMPARE(root.ui.messages.size(), 2);
    QCOMPARE(root.ui.messages.at(0).icon, MsgIcon::Question);
    QCOMPARE(root.ui.messages.at(1).text,
             GetLangString(*state, QStringLiteral("frmMain"), QStringLiteral("msgSettingsAvailableNextStart")));
    QCOMPARE(root.ui.messages.at(1).icon, MsgIcon::Information);
    QCOMPARE(FileBytes(IniPath(root)), restored);
    QVERIFY(state->reportedErrors.isEmpty());
}

void TestOptionsDialogs::everyLanguageHasTheDialogTexts()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    for (const QString &language : {QStringLiteral("English"), QStringLiteral("Chinese"), QStringLiteral("Other")}) {
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), language, IniPath(root)));
        auto state = root.loadedState();
        QVERIFY(state);
        OptionsDialog options(*state);
        QCOMPARE(options.combCodepageSelect->count(), 3);
        for (QAbstractButton *b : options.findChildren<QAbstractButton *>())
            QVERIFY2(!b->text().isEmpty(), qPrintable(language + QLatin1Char(' ') + b->objectName()));
        RestoreSettingDialog restore(*state);
        QVERIFY(!restore.lblSelectDate->text().isEmpty());
        root.ui.answers = {MsgResult::No};
        restore.lstSelectDate->setCurrentRow(0);
        QTest::mouseClick(restore.cmdOK, Qt::LeftButton);
        QVERIFY2(state->missingTexts.isEmpty(),
                 qPrintable(language + QStringLiteral(": ") + state->missingTexts.values().join(u' ')));
        QVERIFY(state->reportedErrors.isEmpty());
        QCOMPARE(state->language.column, language);
    }
}

QTEST_MAIN(TestOptionsDialogs)
#include "tst_options.moc"
