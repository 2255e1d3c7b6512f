// The store tree, the store, department and main-group property dialogs,
// the options and the restore dialogs, driven through their real widgets
// over the demo shop's database. What the dialogs decide is the model's
// (manage tests); here: what the widgets show, where the focus goes, how the
// tree follows, and that the main window's commands reach them.

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
#include "ui/DeptPropertyDialog.h"
#include "ui/MainGroupPropertyDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/RestoreSettingDialog.h"
#include "ui/StorePropertyDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
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

const QString kInjection = QStringLiteral("x'); delete from PLU; --");

bool ShowActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

void Ok(PropertyDialog *dlg) { QTest::mouseClick(dlg->cmdOK, Qt::LeftButton); }

// Types a number and a name into the dialog the next command opens, then OK.
void AnswerDialog(const QString &number, const QString &name)
{
    OnModal<PropertyDialog>([number, name](PropertyDialog *dlg) {
        if (!number.isNull())
            TypeInto(dlg->txtNo, number);
        TypeInto(dlg->txtName, name);
        Ok(dlg);
    });
}

// "parent>key#tag:text[child keys]" of a node, "-" when there is none.
QString Describe(StoreTreePane *tree, const QString &key)
{
    const QTreeWidgetItem *n = tree->findNode(key);
    return n ? StoreTreePane::keyOf(n->parent()) + ">" + StoreTreePane::keyOf(n) + "#" + StoreTreePane::tagOf(n) + ":"
                   + n->text(0) + "[" + ChildKeys(n).join(',') + "]"
             : QStringLiteral("-");
}

// A mouse move with the left button held.
void DragMove(StoreTreePane *tree, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, tree->viewport()->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
}

// Press on the node, move in steps to the point, release there; returns the
// node highlighted just before the release.
QTreeWidgetItem *DragNode(StoreTreePane *tree, QTreeWidgetItem *node, const QPoint &to)
{
    const QPoint from = CenterOf(tree, node);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= 4; ++i)
        DragMove(tree, from + (to - from) * i / 4);
    QTreeWidgetItem *lit = tree->dropHighlight();
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, to);
    return lit;
}

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

class TestStoreTree : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;
    std::unique_ptr<AppState> m_state;

    AppState &state() { return *m_state; }
    ScriptedUi &ui() { return m_root->ui; }
    QString scalar(const QString &sql) { return SqlScalar(*m_state, sql); }
    int count(const QString &from) { return SqlCount(*m_state, from); }
    int format(int code, const QString &type) { return BarcodeFormatIndex(*m_state, code, type); }
    QString text(const char *owner, const char *key) { return GetLangString(*m_state, owner, key); }

    // A shown main window over the data root (its own state).
    std::unique_ptr<Session> shownSession()
    {
        auto s = std::make_unique<Session>(*m_root);
        return s->ok() && s->show() ? std::move(s) : nullptr;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
        m_state = m_root->loadedState();
        QVERIFY(m_state);
    }
    void cleanup()
    {
        m_state.reset();
        m_root.reset();
    }

    void departmentDialog()
    {
        // Adding: the model's proposals shown; the flag boxes follow the
        // format; the box at fault gets the focus; what is typed is stored.
        state().settings.UseMainGroup = true;
        DeptPropertyDialog dlg(state());
        dlg.setAddMode(true);
        dlg.setParentNumber(1);
        QVERIFY(ShowActive(&dlg));
        QCOMPARE(dlg.txtNo->text() + "/" + dlg.txtName->text(), "5/" + text("frmMain", "DefaultDept"));
        QVERIFY(!dlg.txtFlag1->isVisible() && !dlg.txtFlag2->isVisible() && !dlg.cboBarcodeFlag->isVisible());
        dlg.cboBarcodeFormat->setCurrentIndex(format(1, "EAN"));
        QVERIFY(dlg.txtFlag1->isVisible() && dlg.txtFlag2->isVisible() && dlg.cboBarcodeFlag->isVisible());
        TypeInto(dlg.txtFlag2, "-");
        Ok(&dlg);
        QVERIFY(dlg.isVisible());
        QCOMPARE(ui().messages.value(0).text, text("frmDeptProperty", "msgFlagCodeError"));
        QCOMPARE(QApplication::focusWidget(), dlg.txtFlag2);
        dlg.cboBarcodeFormat->setCurrentIndex(format(3, "EAN"));
        QVERIFY(dlg.txtFlag1->isVisible() && !dlg.txtFlag2->isVisible() && !dlg.lblFlag2->isVisible());
        TypeInto(dlg.txtFlag1, "4");
        TypeInto(dlg.txtName, kInjection);
        Ok(&dlg);
        QVERIFY(!dlg.isVisible() && !dlg.cancelled());
        QCOMPARE(dlg.number(), 5);
        QCOMPARE(scalar("select Flag1||'/'||BarFormat||'/'||ST_No||DP_Name from DEPT where DP_No=5"), "4/3/1" + kInjection);

        // Editing shows the row; Cancel writes nothing.
        DeptPropertyDialog edit(state());
        edit.setNumber(2);
        QVERIFY(ShowActive(&edit));
        QCOMPARE(edit.txtNo->text() + "/" + edit.txtName->text() + edit.txtFlag1->text() + edit.txtFlag2->text(),
                 QStringLiteral("2/Butchery23"));
        QCOMPARE(edit.cboBarcodeFormat->currentIndex(), format(2, "EAN"));
        QVERIFY(edit.cboLabelFormat->currentText().startsWith("3: "));
        TypeInto(edit.txtName, "Meat");
        QTest::mouseClick(edit.cmdCancel, Qt::LeftButton);
        QVERIFY(edit.cancelled());
        QCOMPARE(scalar("select DP_Name from DEPT where DP_No=2"), QStringLiteral("Butchery"));

        // 97 keeps its number; the focus starts on the name.
        DeptPropertyDialog d97(state());
        d97.setNumber(97);
        QVERIFY(ShowActive(&d97));
        QVERIFY(!d97.txtNo->isEnabled());
        QCOMPARE(QApplication::focusWidget(), d97.txtName);
    }

    void treeFollowsTablesAndCommands()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        MainWindow &w = *s->window;
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(Describe(tree, "Root"), QStringLiteral(">Root#1:Greenfield Market[Dept1,Dept2,Dept3,Dept4,Dept97]"));
        QCOMPARE(StoreTreePane::kindOf(tree->findNode("MG101")), NodeKind::MainGroup);
        QVERIFY(tree->findNode("Dept1")->isExpanded() && tree->storeNode()->isExpanded());
        QCOMPARE(tree->selectedNode(), tree->storeNode());

        // Edit > Refresh reads the tables again and selects the store.
        ClickNode(tree, tree->findNode("Dept1"));
        QVERIFY(QueryKorvoDB(state(), "insert into DEPT(DP_No,DP_Name,ST_No) values(6,'Fish',1)"));
        QVERIFY(QueryKorvoDB(state(), "insert into MG(MG_No,DP_No,MG_Name) values(601,6,'Fresh fish')"));
        QVERIFY(QueryKorvoDB(state(), "update MG set MG_Name='Stone fruit' where MG_No=101"));
        w.dispatch(cmd::Refresh);
        QCOMPARE(Describe(tree, "Dept6"), QStringLiteral("Root>Dept6#6:Fish[MG601]"));
        QCOMPARE(Describe(tree, "MG101"), QStringLiteral("Dept1>MG101#101:Stone fruit[]"));
        QCOMPARE(tree->selectedKind(), NodeKind::Store);

        // A department; with main groups on it gets none. Cancel adds nothing.
        AnswerDialog("12", "O'Neil's Deli");
        w.command(cmd::AddDept)->trigger();
        QCOMPARE(Describe(tree, "Dept12"), QStringLiteral("Root>Dept12#12:O'Neil's Deli[]"));
        OnModal<PropertyDialog>([](PropertyDialog *dlg) { QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton); });
        w.dispatch(cmd::AddDept);
        QCOMPARE(tree->storeNode()->childCount(), 7);

        // Main groups go into the selected department, or the department of
        // the selected main group.
        ClickNode(tree, tree->findNode("Dept12"));
        AnswerDialog("1201", "Olives");
        w.dispatch(cmd::AddMainGroup);
        ClickNode(tree, tree->findNode("MG1201"));
        AnswerDialog("1202", "Antipasti");
        w.dispatch(cmd::AddMainGroup);
        QCOMPARE(Describe(tree, "Dept12"), QStringLiteral("Root>Dept12#12:O'Neil's Deli[MG1201,MG1202]"));

        // Properties: a new number moves the node and carries the children.
        QTreeWidgetItem *butchery = tree->findNode("Dept2");
        ClickNode(tree, butchery);
        AnswerDialog("20", "Meat");
        w.command(cmd::DeptProperty)->trigger();
        QCOMPARE(tree->findNode("Dept20"), butchery);
        QCOMPARE(Describe(tree, "Dept20"), QStringLiteral("Root>Dept20#20:Meat[MG201,MG202,MG203,MG204]"));
        ClickNode(tree, tree->findNode("MG201"));
        AnswerDialog("250", "Beef");
        w.command(cmd::MainGroupProperty)->trigger();
        QCOMPARE(Describe(tree, "MG250"), QStringLiteral("Dept20>MG250#250:Beef[]"));
        QCOMPARE(Describe(tree, "MG201"), QStringLiteral("-"));
        AnswerDialog({}, "Greenfield's");
        w.dispatch(cmd::StoreProperty);
        QCOMPARE(tree->storeNode()->text(0), QStringLiteral("Greenfield's"));
    }

    void deleteThroughCommands()
    {
        // Main group 997 where it never belongs: it survives its department.
        QVERIFY(QueryKorvoDB(state(), "update MG set DP_No=1 where MG_No=997"));
        const int kept = count("PLU where PLU_MG=997");
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        MainWindow &w = *s->window;
        const int plus = count("PLU");
        auto deleteWith = [&](const char *key, int command, MsgResult answer) {
            ClickNode(tree, tree->findNode(key));
            ui().messages.clear();
            ui().answers = {answer};
            w.dispatch(command);
        };
        // A later department: the one above it is selected; the first: the store.
        const int cheese = count("PLU where PLU_MG in (301,302,303)");
        deleteWith("Dept3", cmd::DeleteDept, MsgResult::Ok);
        QCOMPARE(tree->findNode("Dept3"), nullptr);
        QCOMPARE(tree->findNode("MG301"), nullptr);
        QCOMPARE(tree->selectedNode(), tree->findNode("Dept2"));
        QCOMPARE(count("PLU"), plus - cheese);
        deleteWith("Dept1", cmd::DeleteDept, MsgResult::Ok);
        QCOMPARE(tree->findNode("Dept1"), nullptr);
        QCOMPARE(tree->findNode("MG997")->parent(), tree->findNode("Dept97"));
        QCOMPARE(scalar("select DP_No from MG where MG_No=997"), QStringLiteral("97"));
        QCOMPARE(count("PLU where PLU_MG=997"), kept);
        QCOMPARE(tree->selectedNode(), tree->storeNode());

        // Main groups: the one above, or the department for the first.
        deleteWith("MG203", cmd::DeleteMainGroup, MsgResult::Ok);
        QCOMPARE(tree->findNode("MG203"), nullptr);
        QCOMPARE(tree->selectedNode(), tree->findNode("MG202"));
        deleteWith("MG201", cmd::DeleteMainGroup, MsgResult::Ok);
        QCOMPARE(tree->selectedNode(), tree->findNode("Dept2"));
        QCOMPARE(ChildKeys(tree->findNode("Dept2")), QStringList({"MG202", "MG204"}));
        QCOMPARE(count("PLU where PLU_MG in (201,203)"), 0);

        // A department command on a main group does nothing.
        deleteWith("MG997", cmd::DeleteDept, MsgResult::Ok);
        QVERIFY(ui().messages.isEmpty());
        QVERIFY(tree->findNode("Dept97"));
    }

    void renameInPlace()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        const int plus = count("PLU");
        // F2, a name with SQL in it, Return: stored as typed. Blanks are
        // refused as the dialog refuses them.
        QTreeWidgetItem *node = tree->findNode("MG102");
        ClickNode(tree, node);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_F2);
        auto *editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClicks(editor, kInjection);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(node->text(0), kInjection);
        QCOMPARE(scalar("select MG_Name from MG where MG_No=102"), kInjection);
        QCOMPARE(count("PLU"), plus);

        ui().messages.clear();
        tree->editItem(node);
        editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "   ");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(ui().messages.size(), 1);
        QCOMPARE(ui().messages[0].text, text("frmMainGroupProperty", "msgMGNameError"));
        QCOMPARE(node->text(0), kInjection);
    }

    void dragMainGroup()
    {
        auto s = shownSession();
        QVERIFY(s);
        StoreTreePane *tree = s->tree();
        tree->window()->resize(1000, 900);
        QTreeWidgetItem *veg = tree->findNode("MG102");
        QTreeWidgetItem *fruit = tree->findNode("Dept1");
        QTreeWidgetItem *cheese = tree->findNode("Dept3");
        ClickNode(tree, veg);

        // Onto its own department, the store node, a sibling or empty space:
        // the highlight stays on the own department and nothing changes.
        for (const char *key : {"Dept2", "Dept3", "Dept4", "Dept97"})
            tree->findNode(key)->setExpanded(false);
        const QPoint empty(5, tree->visualItemRect(tree->findNode("Dept97")).bottom() + 6);
        QVERIFY(!tree->itemAt(empty));
        for (const QPoint &to : {CenterOf(tree, fruit), CenterOf(tree, tree->storeNode()),
                                 CenterOf(tree, tree->findNode("MG101")), empty}) {
            QCOMPARE(DragNode(tree, veg, to), fruit);
            QCOMPARE(veg->parent(), fruit);
            QCOMPARE(scalar("select DP_No from MG where MG_No=102"), QStringLiteral("1"));
            QCOMPARE(tree->dropHighlight(), nullptr);
        }
        // Onto another department, or a main group of another department.
        const int plus = count("PLU where PLU_MG=102");
        QCOMPARE(DragNode(tree, veg, CenterOf(tree, cheese)), cheese);
        QCOMPARE(veg->parent(), cheese);
        QCOMPARE(tree->selectedNode(), veg);
        QCOMPARE(scalar("select DP_No from MG where MG_No=102"), QStringLiteral("3"));
        QCOMPARE(count("PLU where PLU_MG=102"), plus);
        QCOMPARE(DragNode(tree, veg, CenterOf(tree, tree->findNode("MG401"))), tree->findNode("Dept4"));
        QCOMPARE(veg->parent(), tree->findNode("Dept4"));
        QCOMPARE(scalar("select DP_No from MG where MG_No=102"), QStringLiteral("4"));

        // Escape ends a drag without a move.
        QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, CenterOf(tree, veg));
        DragMove(tree, CenterOf(tree, fruit));
        QCOMPARE(tree->dragKey(), QStringLiteral("MG102"));
        QTest::keyClick(tree, Qt::Key_Escape);
        QCOMPARE(tree->dropHighlight(), nullptr);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, CenterOf(tree, fruit));
        QCOMPARE(veg->parent(), tree->findNode("Dept4"));

        // Departments are not dragged.
        ClickNode(tree, cheese);
        QCOMPARE(DragNode(tree, cheese, CenterOf(tree, fruit)), nullptr);
        QCOMPARE(cheese->parent(), tree->storeNode());

        // Main group 997 stays in department 97.
        tree->findNode("Dept97")->setExpanded(true);
        QTreeWidgetItem *misc = tree->findNode("MG997");
        ClickNode(tree, misc);
        ui().messages.clear();
        DragNode(tree, misc, CenterOf(tree, fruit));
        QCOMPARE(misc->parent(), tree->findNode("Dept97"));
        QCOMPARE(scalar("select DP_No from MG where MG_No=997"), QStringLiteral("97"));
        QCOMPARE(ui().messages.value(0).text, text("frmMain", "msgMoveDFUMGWarning"));
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
        QVERIFY(!d.isVisible() && d.cancelled() && !d.reencoded());
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
        QCOMPARE(ReadIniString("Setting", "PLUPageSize", m_root->iniPath()), QStringLiteral("10"));
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
        // Converting to DOS 852 encodes every PLU again, with progress; the
        // accented letter goes out in the new code page.
        AppState &state = *m_state;
        LoadMGSettings(state);
        QVERIFY(LoadScaleBarcodeList(state));
        const qint32 accented = SqlScalar(state, "select min(PLU_No) from PLU").toInt();
        QVERIFY(QueryKorvoDB(state, "update PLU set PLU_Commodity='Caf" + QString(QChar(0xE9))
                                        + " noir' where PLU_No=" + QString::number(accented)));
        qint32 last = 0;
        CreatePLUData(state, "ALL", last);
        const QMap<qint32, QStringList> before = PluStamps(state);
        state.now = [] { return QDateTime(QDate(2031, 2, 3), QTime(10, 20, 30)); };
        ui().progressSteps = 0;
        OptionsDialog d(state);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        ClickMark(d.optConvertCodepage);
        d.combCodepageSelect->setCurrentIndex(0);
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QVERIFY(d.reencoded() && !d.isVisible());
        QVERIFY(ui().progressSteps > 0);
        const QMap<qint32, QStringList> after = PluStamps(state);
        QCOMPARE(after.size(), before.size());
        for (const QStringList &stamp : after)
            QCOMPARE(stamp.mid(1), QStringList({"2031-02-03", "10:20:30"}));
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
        const QByteArray iniBefore = FileBytes(m_root->iniPath());

        // Newest first, as dates; nothing chosen: nothing happens; Cancel: no message.
        OnModal<RestoreSettingDialog>([&](RestoreSettingDialog *d) {
            QStringList shown;
            for (int i = 0; i < d->lstSelectDate->count(); ++i)
                shown << d->lstSelectDate->item(i)->text();
            QStringList expected;
            for (QDate day : {today, yesterday, older})
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

QTEST_MAIN(TestStoreTree)
#include "tst_storetree.moc"
