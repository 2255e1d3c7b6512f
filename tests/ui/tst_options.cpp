// The options and restore dialogs driven through their real controls, on
// their own and from the main window's Setting menu.

#include "UiTestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/FileUtil.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/SettingsBackup.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "i18n/Language.h"
#include "ui/Commands.h"
#include "ui/OptionsDialog.h"
#include "ui/RestoreSettingDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

// Every PLU's record and the stamp of its last encoding.
QMap<qint32, QStringList> PluStamps(AppState &state)
{
    QMap<qint32, QStringList> out;
    auto q = QueryKorvoDB(state, QStringLiteral("select PLU_No, ZentBinData, PLU_UPDate, PLU_UPTime from PLU"));
    while (q && q->next())
        out.insert(q->value(0).toInt(), {q->value(1).toString(), q->value(2).toString(), q->value(3).toString()});
    return out;
}

QString BackupFile(AppState &state, QDate day)
{
    return JoinPath(JoinPath(SettingsBackupRoot(state), day.toString(QStringLiteral("yyyy-MM-dd"))),
                    QStringLiteral("Korvo2005.INI"));
}

} // namespace

class TestOptionsDialogs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    std::unique_ptr<AppState> m_state;
    ScriptedUi &ui() { return m_root->ui; }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
        m_state = m_root->loadedState(); // the start made today's backup
        QVERIFY(m_state);
    }
    void cleanup()
    {
        m_state.reset();
        m_root.reset();
    }

    void optionsCancelChangesNothing()
    {
        const QByteArray iniBefore = FileBytes(m_root->iniPath());
        const QStringList before = OptionValues(m_state->settings);
        OptionsDialog d(*m_state);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        ClickMark(d.chkUseMainGroup);
        d.txtPLUPageSize->setText("3");
        ClickMark(d.optConvertCodepage);
        ClickMark(d.optUpdateAll);
        QVERIFY(d.optUpdateAll->isChecked() && d.optConvertCodepage->isChecked());
        // OK refuses what is no whole number, says why and stays open.
        for (QLineEdit *field : {d.txtPLUPageSize, d.txtPriceDecimalPlace}) {
            const QString kept = field->text();
            field->setText("abc");
            QTest::mouseClick(d.cmdOK, Qt::LeftButton);
            QVERIFY(d.isVisible() && d.cancelled());
            QCOMPARE(ui().messages.last().icon, MsgIcon::Critical);
            QCOMPARE(field->selectedText(), QStringLiteral("abc"));
            field->setText(kept);
        }
        QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QVERIFY(d.cancelled());
        QVERIFY(!d.reencoded());
        QCOMPARE(FileBytes(m_root->iniPath()), iniBefore);
        QCOMPARE(OptionValues(m_state->settings), before);
    }

    void optionsOkWritesAndTakesEffect()
    {
        Session s(*m_root);
        QVERIFY(s.ok());
        const QMap<qint32, QStringList> stampsBefore = PluStamps(*s.state);
        QVERIFY(!stampsBefore.isEmpty());
        const int font = s.state->fonts.last().Font_Code;
        bool acted = false;
        OnModal<OptionsDialog>([&](OptionsDialog *d) {
            acted = true;
            ClickMark(d->chkUseMainGroup); // delivered on -> off
            d->cboDefaultFontSize->setCurrentIndex(d->cboDefaultFontSize->count() - 1);
            d->cboZentDoLog->setCurrentIndex(0); // TRUE
            d->txtPLUPageSize->setText("-5");    // below 1: 10
            d->txtPriceDecimalPlace->setText("2");
            d->txtWeightDecimalPlace->setText("3");
            ClickMark(d->optUpdateNoExist);
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        });
        s.window->dispatch(cmd::Options);
        QVERIFY(acted);

        // In force at once, and in the settings file for the next start.
        const QStringList expected = {"UseMainGroup=0", "PLUPageSize=10", "WeightDecimalPlace=3",
                                      "PriceDecimalPlace=2", QString("DefaultFont=%1").arg(font), "DoLog=1",
                                      "SetLanguageCodepage=0", "LangeCodepageToConvert=0", "SetImportType=1"};
        QCOMPARE(OptionValues(s.state->settings), expected);
        auto next = m_root->newState();
        QVERIFY(ReadSettingsFile(*next));
        QCOMPARE(OptionValues(next->settings), expected);
        // Nothing the records hold changed: no PLU was encoded again.
        QCOMPARE(PluStamps(*s.state), stampsBefore);
        QVERIFY(ui().messages.isEmpty());
        // The tree was rebuilt at once, now without main groups.
        QVERIFY(FirstNodeOfKind(s.tree(), NodeKind::Department));
        QVERIFY(!FirstNodeOfKind(s.tree(), NodeKind::MainGroup));
        QVERIFY(s.state->reportedErrors.isEmpty());
    }

    void codepageChangeReencodesEveryPlu()
    {
        AppState &state = *m_state;
        LoadMGSettings(state);
        QVERIFY(LoadScaleBarcodeList(state));
        const qint32 accented = SqlScalar(state, "select min(PLU_No) from PLU").toInt();
        QVERIFY(QueryKorvoDB(state, "update PLU set PLU_Commodity='Caf" + QString(QChar(0xE9))
                                        + " noir' where PLU_No=" + QString::number(accented)));
        // Records built on the system code page first; an OK that changes
        // nothing the records hold encodes nothing.
        state.now = [] { return QDateTime(QDate(2030, 5, 6), QTime(7, 8, 9)); };
        {
            OptionsDialog d(state);
            d.show();
            QTest::mouseClick(d.cmdOK, Qt::LeftButton);
            QVERIFY(!d.cancelled());
            QVERIFY(!d.reencoded());
            qint32 last = 0;
            CreatePLUData(state, "ALL", last);
        }
        const QMap<qint32, QStringList> before = PluStamps(state);
        QVERIFY(before.size() > 100);

        // Converting to DOS 852 encodes every PLU again, with progress.
        state.now = [] { return QDateTime(QDate(2031, 2, 3), QTime(10, 20, 30)); };
        ui().progressSteps = 0;
        OptionsDialog d(state);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        ClickMark(d.optConvertCodepage);
        d.combCodepageSelect->setCurrentIndex(0);
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QVERIFY(d.reencoded());
        QVERIFY(!d.isVisible());
        QCOMPARE(ReadIniString("Setting", "SetLanguageCodepage", m_root->iniPath()), QStringLiteral("1"));
        QVERIFY(ui().progressSteps > 0);
        const QMap<qint32, QStringList> after = PluStamps(state);
        QCOMPARE(after.size(), before.size());
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            QCOMPARE(before.value(it.key()).value(1), QStringLiteral("2030-05-06"));
            QCOMPARE(it->mid(1), QStringList({"2031-02-03", "10:20:30"}));
            QVERIFY(!it->first().isEmpty());
        }
        // The accented letter now goes out in the DOS code page.
        QVERIFY(before.value(accented).first().contains("E9"));
        QVERIFY(after.value(accented).first() != before.value(accented).first());
    }

    void restoreFromBackupFolder()
    {
        Session s(*m_root); // a start prunes old backups: the folders come after it
        QVERIFY(s.ok());
        const QDate today = m_state->now().date();
        const QDate yesterday = today.addDays(-1), older = today.addDays(-3);
        const QByteArray restored = "[Setting]\r\nLanguage=Other\r\nPLUPageSize=44\r\n[ZentTCP]\r\nDoLog=True\r\n";
        QVERIFY(WriteFile(BackupFile(*m_state, yesterday), restored));
        QVERIFY(WriteFile(BackupFile(*m_state, older), "[Setting]\r\nPLUPageSize=3\r\n"));
        // Names that fail the test, and one whose month and day carry over.
        for (const char *name : {"2007-1-1", "2007-01-1x", "backup-old", "20070101ab", "2007-13-45"})
            QVERIFY(QDir().mkpath(JoinPath(SettingsBackupRoot(*m_state), name)));
        const QByteArray iniBefore = FileBytes(m_root->iniPath());

        // Newest first, as dates; nothing chosen: nothing happens; Cancel: no message.
        OnModal<RestoreSettingDialog>([&](RestoreSettingDialog *d) {
            QStringList shown;
            for (int i = 0; i < d->lstSelectDate->count(); ++i)
                shown << d->lstSelectDate->item(i)->text();
            QStringList expected;
            for (QDate day : {today, yesterday, older, QDate(2008, 2, 14)})
                expected << QLocale().toString(day, QLocale::LongFormat);
            QCOMPARE(shown, expected);
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        s.window->dispatch(cmd::RestoreSettings);
        QVERIFY(ui().messages.isEmpty());

        // A day chosen, then No: the question, nothing copied, the dialog stays.
        ui().answers = {MsgResult::No};
        OnModal<RestoreSettingDialog>([&](RestoreSettingDialog *d) {
            d->lstSelectDate->setCurrentRow(1);
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
            QVERIFY(d->isVisible() && d->cancelled());
        });
        s.window->dispatch(cmd::RestoreSettings);
        QCOMPARE(ui().messages.size(), 1);
        QCOMPARE(ui().messages.first().text, GetLangString(*m_state, "frmRestoreSetting", "msgRestoreSetting"));
        QCOMPARE(ui().messages.first().defaultButton, MsgResult::No);
        QCOMPARE(FileBytes(m_root->iniPath()), iniBefore);

        // A double-click on the day and Yes: that day's settings file is back,
        // the running settings stay, a note tells of the next start.
        ui().messages.clear();
        ui().answers = {MsgResult::Yes};
        OnModal<RestoreSettingDialog>([](RestoreSettingDialog *d) {
            const QPoint at = d->lstSelectDate->visualItemRect(d->lstSelectDate->item(1)).center();
            QTest::mouseClick(d->lstSelectDate->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(d->lstSelectDate->viewport(), Qt::LeftButton, {}, at);
        });
        s.window->dispatch(cmd::RestoreSettings);
        QCOMPARE(ui().messages.size(), 2);
        QCOMPARE(ui().messages.at(1).text, GetLangString(*s.state, "frmMain", "msgSettingsAvailableNextStart"));
        QCOMPARE(FileBytes(m_root->iniPath()), restored);
        QCOMPARE(s.state->settings.Language, QStringLiteral("English"));
        QVERIFY(s.state->reportedErrors.isEmpty());
    }

};

QTEST_MAIN(TestOptionsDialogs)
#include "tst_options.moc"
