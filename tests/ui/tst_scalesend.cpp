// Talking to scales from the main window: the selection pane and Upload end
// to end against the simulator, the whole-scale commands' scale lists
// through the recording component, the scale dialogs, the receive window
// and the component's progress window.

#include "common/RecordingScaleComm.h"
#include "common/SimProcess.h"
#include "UiTestSupport.h"
#include "comm/ScaleCommands.h"
#include "comm/ScaleList.h"
#include "core/Log.h"
#include "i18n/Language.h"
#include "encoding/RecordBuilder.h"
#include "ui/Commands.h"
#include "ui/PluEditorPane.h"
#include "ui/PluListWidget.h"
#include "ui/ReceivePluWindow.h"
#include "ui/ScaleCommWindow.h"
#include "ui/ScaleConfigDialog.h"
#include "ui/ScaleSelectDialog.h"
#include "ui/SelectPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

constexpr int kNo = 0, kMg = 7;
const QStringList kAll = {"127.0.0.11", "127.0.0.12", "127.0.0.13", "127.0.0.21", "127.0.0.22", "127.0.0.23"};

void Click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

QString TodaysLog(const AppState &state)
{
    QFile f(LogFilePath(state, QDate::currentDate()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(b.constData()), b.size() / 2);
}

QString Lines(const QStringList &addresses, const QString &items)
{
    QString s;
    for (const QString &a : addresses)
        s += a + "," + QString::number(2000 + a.section('.', 3).toInt()) + items + "\r\n";
    return s;
}

QString Items(AppState &st, const QString &where)
{
    QString s;
    for (const QString &n : SqlColumn(st, "select PLU_No from PLU where " + where + " order by PLU_No"))
        s += "," + n;
    return s;
}

} // namespace

class TestScaleSend : public QObject {
    Q_OBJECT

private slots:
    void paneAndUploadToSimulator();
    void commandLists();
    void selectionDialog();
    void configurationDialog();
    void refusedWhileBusy();
    void receiveWindow();
    void importCommand();
    void progressAndFailures();
    void mainWindowComponent();
};

// The pane's rules on real widgets; what the simulated scales hold after
// each transfer is read back through the real component.
void TestScaleSend::paneAndUploadToSimulator()
{
    TestDataRoot root;
    Session s(root);
    QVERIFY(s.ok());
    AppState &st = *s.state;
    qint32 last = 0;
    QVERIFY(CreatePLUData(st, "ALL", last).failedPlus.isEmpty());
    QTemporaryDir store;
    SimProcess sim;
    QString error;
    QVERIFY2(sim.start({"--from-db", root.path(), "--store", store.path()}, &error), qPrintable(error));
    QVERIFY(UseScalePort(root.iniPath(), sim.port()));
    QVERIFY(QDir().mkpath(st.appPath + "log"));
    QVERIFY(s.show());
    auto held = [&] {
        QStringList out;
        s.window->scaleComm()->RDFPLU(Lines(kAll, {}));
        for (const QString &a : kAll)
            out << a.section('.', 3) + ":" + SqlColumn(st, "select PLU_No from RC_PLU where SC_IP='" + a + "' order by PLU_No").join(',');
        return out.join(' ');
    };

    // Add: overlapping selections and a repeat give each PLU once.
    ClickNode(s.tree(), s.tree()->findNode("MG201"));
    PluListWidget *list = s.window->pluList();
    SelectPane *pane = s.window->selectPane();
    const QStringList shown = {list->rowCells(0).value(0), list->rowCells(1).value(0), list->rowCells(2).value(0)};
    auto pick = [list](int from, int to) {
        list->clearSelection();
        list->setRangeSelected(QTableWidgetSelectionRange(from, 0, to, list->columnCount() - 1), true);
    };
    pick(0, 1);
    Click(pane->cmdSelectAdd);
    pick(1, 2);
    Click(pane->cmdSelectAdd);
    Click(pane->cmdSelectAdd);
    QCOMPARE(pane->wndSelectedPLU->rowCount(), 3);
    QCOMPARE(pane->wndSelectedPLU->rowCells(2), list->rowCells(2));
    pane->wndSelectedPLU->selectRow(0);
    Click(pane->cmdSelectRemove);
    const QString a = shown.at(0), b = shown.at(1), c = shown.at(2);
    QCOMPARE(pane->pluNumbers(), QVector<qint32>({b.toInt(), c.toInt()}));

    // Butchery is served by both sections; 127.0.0.23 is out of use.
    Click(pane->cmdSelectSendByDept);
    const QString bc = b + "," + c;
    QCOMPARE(held(), QString("11:%1 12:%1 13:%1 21:%1 22:%1 23:").arg(bc));
    QVERIFY(TodaysLog(st).contains("g_dllZent.WRFPLU " + Lines(kAll.mid(0, 5), "," + bc)));

    // Delete by scale: No asks nothing more; Yes deletes on the chosen one.
    root.ui.scaleAnswers = {{"127.0.0.11"}};
    root.ui.answers = {MsgResult::No};
    Click(pane->cmdSelectDelByScale);
    QCOMPARE(root.ui.scaleAnswers.size(), 1);
    root.ui.answers = {MsgResult::Yes};
    Click(pane->cmdSelectDelByScale);
    // Send by scale to the spare one; Upload of the editor's PLU to .13.
    root.ui.scaleAnswers = {{"127.0.0.23"}};
    Click(pane->cmdSelectSendByScale);
    s.window->editorPane()->editPlu(a.toInt());
    Click(s.window->editorPane()->cmdSavePLU); // Upload follows a save
    QVERIFY(s.window->editorPane()->cmdUploadPLU->isEnabled());
    root.ui.scaleAnswers = {{"127.0.0.13"}};
    Click(s.window->editorPane()->cmdUploadPLU);
    QCOMPARE(held(), QString("11: 12:%1 13:%2 21:%1 22:%1 23:%1").arg(bc, a + "," + bc));
    // Layout: list above one row of buttons, in sight in the window as it
    // opens; a too small pane keeps it.
    QVERIFY(pane->rect().contains(pane->cmdSelectDelByScale->geometry()));
    pane->resize(420, 200);
    QCOMPARE(pane->cmdSelectAdd->x(), 0);
    QCOMPARE(pane->cmdSelectDelByScale->geometry().right(), 419);
    QCOMPARE(pane->cmdSelectSendByDept->geometry().right() + SelectPane::kGap + 1, pane->cmdSelectDelByScale->x());
    QVERIFY(pane->wndSelectedPLU->geometry().bottom() < pane->cmdSelectAdd->y());
    const QRect kept = pane->cmdSelectDelByScale->geometry();
    pane->resize(150, 200);
    QCOMPARE(pane->cmdSelectDelByScale->geometry(), kept);
    Click(pane->cmdSelectRemoveAll);
    QCOMPARE(pane->wndSelectedPLU->rowCount(), 0);
}

using Action = std::function<QString(AppState &)>;

// Each command's calls of the component ("~" marks a hidden call) and the
// department each scale selection was asked for.
void TestScaleSend::commandLists()
{
    using K = NodeContext::Kind;
    const QStringList sect1 = {"127.0.0.11", "127.0.0.12", "127.0.0.13"}, sect2 = {"127.0.0.21", "127.0.0.22"};
    auto node = [](K k, int dept = 0, int mg = 0) { return NodeContext{k, dept, mg}; };
    auto byDept = [](NodeContext n) { return Action([n](AppState &st) { return SendByDeptCommand(st, n); }); };
    auto byScale = [](NodeContext n) { return Action([n](AppState &st) { return SendByScaleCommand(st, n); }); };
    auto sync = [](NodeContext n) { return Action([n](AppState &st) { return SyncCommand(st, n); }); };
    const auto hier = [](const QString &list, const QString &plu) { return "~WRFDEPT:" + list + "|~WRFMG:" + list + "|" + plu + ":" + list; };
    const QString store = Lines(sect1, ",2,3,4,97") + Lines(sect2, ",1,2,97");
    // A dairy PLU (department 3, section 1) and a fruit PLU (department 1, section 2).
    const Action pane = [](AppState &st) {
        return SendSelectedByDept(st, {{SqlScalar(st, "select min(PLU_No) from PLU where PLU_MG=301").toInt(), 301},
                                       {SqlScalar(st, "select min(PLU_No) from PLU where PLU_MG=101").toInt(), 101}});
    };
    const QString noPlu303 = "delete from PLU where PLU_MG=303";
    const QStringList s11 = {"127.0.0.11"}, s13 = {"127.0.0.13"};
    const struct {
        const char *name;
        QString setup; // SQL run first
        Action action;
        QList<QStringList> scales;
        QList<MsgResult> answers;
        QString expected;
        QVector<int> asked;
    } cases[] = {
        {"139 store: in-use scales, their sections' departments", "", byDept(node(K::Store)), {}, {}, hier(store, "WRFPLUByDept"), {}},
        {"139 store: a section without departments has no line", "delete from DEPT_SECT where SECT_No=2",
         byDept(node(K::Store)), {}, {}, hier(Lines(sect1, ",2,3,4,97"), "WRFPLUByDept"), {}},
        {"139 department", "", byDept(node(K::Department, 1)), {}, {}, hier(Lines(sect2, ",1"), "WRFPLUByDept"), {}},
        {"139 department without in-use scales sends nothing", "update SCALE set SC_Used=0 where SECT_No=2",
         byDept(node(K::Department, 1)), {}, {}, "", {}},
        {"139 main group", "", byDept(node(K::MainGroup, 3, 303)), {}, {}, hier(Lines(sect1, "{303}"), "WRFPLU"), {}},
        {"140 store", "", byScale(node(K::Store)), {{"192.168.1.25"}}, {}, hier("192.168.1.25,2025\r\n", "WRFALLPLU"), {-1}},
        {"140 department: its PLUs alone", "", byScale(node(K::Department, 2)), {{"127.0.0.21"}}, {},
         "WRFPLUByDept:" + Lines({"127.0.0.21"}, ",2"), {2}},
        {"140 empty main group still sends", noPlu303, byScale(node(K::MainGroup, 3, 303)), {s11}, {},
         hier(Lines(s11, ""), "WRFPLU"), {3}},
        {"140 cancelled", "", byScale(node(K::Store)), {}, {}, "", {-1}},
        {"141 No asks for no scale", "", Action(DeleteAllByScaleCommand), {s11}, {MsgResult::No}, "", {}},
        {"141 Yes", "", Action(DeleteAllByScaleCommand), {{"127.0.0.11", "127.0.0.12"}}, {MsgResult::Yes},
         "DELFPLU:" + Lines(sect1.mid(0, 2), ""), {-1}},
        {"631 department items are departments", "", sync(node(K::Department, 4)), {s13}, {}, "SyncDepts:" + Lines(s13, ",4"), {4}},
        {"631 main group", "", sync(node(K::MainGroup, 3, 303)), {s13}, {}, "SyncPlus:" + Lines(s13, "{303}"), {3}},
        {"631 empty main group is no whole-scale sync", noPlu303, sync(node(K::MainGroup, 3, 303)), {s13}, {}, "", {}},
        {"pane by department: each PLU to its sections", "", pane, {}, {},
         "WRFPLU:" + Lines(sect1, "{min301}") + Lines(sect2, "{min101}"), {}},
        {"pane by department without sections", "delete from SCALE_SECT", pane, {}, {}, "", {}},
        {"pane delete answered No", "", [](AppState &st) { return DeleteSelectedByScale(st, {5}); }, {s11}, {MsgResult::No}, "", {}},
        {"upload 0 or blank sends nothing", "", [](AppState &st) { return UploadPlu(st, "0") + UploadPlu(st, " "); },
         {s11, s11}, {}, "", {-1, -1}},
    };
    for (const auto &c : cases) {
        TestDataRoot root;
        std::unique_ptr<AppState> st = root.loadedState();
        QVERIFY(st);
        RecordingScaleComm comm;
        st->scaleComm = &comm;
        QVERIFY(c.setup.isEmpty() || QueryKorvoDB(*st, c.setup));
        QString expected = c.expected;
        expected.replace("{303}", Items(*st, "PLU_MG=303"));
        expected.replace("{min301}", "," + SqlScalar(*st, "select min(PLU_No) from PLU where PLU_MG=301"));
        expected.replace("{min101}", "," + SqlScalar(*st, "select min(PLU_No) from PLU where PLU_MG=101"));
        root.ui.scaleAnswers = c.scales;
        root.ui.answers = {c.answers.begin(), c.answers.end()};
        c.action(*st);
        QStringList got;
        for (const auto &call : comm.calls) {
            QString name = CommMethodName(call.method);
            if (call.method == CommMethod::Sync)
                name = call.items == SyncItems::Plus ? "SyncPlus" : "SyncDepts";
            got << (call.showProgress ? "" : "~") + name + ":" + call.list;
        }
        QVERIFY2(got.join('|') == expected, qPrintable(QString(c.name) + ": " + got.join('|')));
        QVERIFY2(root.ui.scaleDepts == c.asked, c.name);
        for (const ShownMessage &m : std::as_const(root.ui.messages))
            QVERIFY2(m.defaultButton == MsgResult::No, c.name);
    }
}

void TestScaleSend::selectionDialog()
{
    TestDataRoot root;
    std::unique_ptr<AppState> st = root.loadedState();
    QVERIFY(st);
    // Department 1 goes to section 2, whose spare scale is out of use.
    ScaleSelectDialog d(*st, 1, true);
    OnModal<ScaleSelectDialog>([](ScaleSelectDialog *d) {
        QCOMPARE(d->lstScales->topLevelItemCount(), 3);
        QTreeWidgetItem *spare = d->lstScales->topLevelItem(2);
        QCOMPARE(spare->text(ScaleSelectDialog::ColAddress), "127.0.0.23");
        QVERIFY(!(spare->flags() & Qt::ItemIsSelectable));
        Click(d->cmdSelectAll);
        Click(d->cmdOK);
    });
    d.Show();
    QVERIFY(!d.m_bCancel);
    QCOMPARE(d.m_strScales, "127.0.0.21;127.0.0.22");

    OnModal<ScaleSelectDialog>([](ScaleSelectDialog *d) {
        Click(d->cmdSelectAll);
        Click(d->cmdSelectNone);
        Click(d->cmdCancel);
    });
    d.Show();
    QVERIFY(d.m_bCancel && d.m_strScales.isEmpty());
    QVERIFY2(st->missingTexts.isEmpty(), qPrintable(st->missingTexts.values().join(' ')));
}

// Validation keeps the dialog open and the database unchanged; OK stores
// sections, departments and scales at once; test connection greets.
void TestScaleSend::configurationDialog()
{
    TestDataRoot root;
    Session s(root);
    QVERIFY(s.ok());
    AppState &st = *s.state;
    SimProcess sim;
    QString error;
    QVERIFY2(sim.start({"--listen", "127.0.0.41"}, &error), qPrintable(error));
    QVERIFY(UseScalePort(root.iniPath(), sim.port(), 500, 0));
    const QString before = SqlColumn(st, "select SC_IP||SECT_No||SC_Used from SCALE").join(' ');

    ScaleConfigDialog d(st);
    QTableWidget *scales = d.tblScales;
    auto setAddress = [&](int row, const QString &text) { scales->item(row, ScaleConfigDialog::ColAddress)->setText(text); };
    auto lastMessage = [&] { return root.ui.messages.isEmpty() ? QString() : root.ui.messages.last().text; };
    auto text = [&](const char *key) { return GetLangString(st, "frmScaleConfig", key); };
    Click(d.cmdAddScale);
    const int row = scales->rowCount() - 1;
    const struct { const char *address; const char *key; } bad[] = {
        {"10.0.0.256", "msgBadAddress"}, {"127.0.0", "msgBadAddress"}, {"0.0.0.0", "msgBadAddress"},
        {"127.000.0.011", "msgDuplicateAddress"}};
    for (const auto &b : bad) {
        setAddress(row, b.address);
        Click(d.cmdOK);
        QCOMPARE(lastMessage(), text(b.key));
        QCOMPARE(root.ui.messages.last().icon, MsgIcon::Critical);
        QCOMPARE(scales->currentRow(), row);
    }
    QCOMPARE(SqlColumn(st, "select SC_IP||SECT_No||SC_Used from SCALE").join(' '), before);

    // Test connection: the simulated scale answers, a silent one does not.
    setAddress(row, "127.0.0.041");
    scales->setCurrentCell(row, 0);
    Click(d.cmdTestConnection);
    QVERIFY2(d.lblTestResult->text().contains("2041"), qPrintable(d.lblTestResult->text()));
    setAddress(row, "127.0.0.42");
    Click(d.cmdTestConnection);
    QCOMPARE(root.ui.messages.last().icon, MsgIcon::Exclamation);

    // A section with scales cannot go; a new one serving department 4 can take the new scale.
    d.tblSections->setCurrentCell(0, ScaleConfigDialog::ColSectName);
    Click(d.cmdDeleteSection);
    QCOMPARE(lastMessage(), text("msgSectionHasScales"));
    Click(d.cmdAddSection);
    d.tblSections->item(2, ScaleConfigDialog::ColSectName)->setText("Bakery 'new'");
    d.lstDepts->findItems("4: ", Qt::MatchStartsWith).first()->setCheckState(Qt::Checked);
    auto *combo = qobject_cast<QComboBox *>(scales->cellWidget(row, ScaleConfigDialog::ColSection));
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    scales->item(row, ScaleConfigDialog::ColUsed)->setCheckState(Qt::Unchecked);
    Click(d.cmdOK);
    QVERIFY(!d.cancelled());
    QCOMPARE(SqlScalar(st, "select SECT_Name||'/'||SC_Used from SCALE S join SCALE_SECT T on T.SECT_No=S.SECT_No where SC_IP='127.0.0.42'"),
             "Bakery 'new'/0");
    QCOMPARE(SqlColumn(st, "select DEPT_No from DEPT_SECT where SECT_No=3"), QStringList{"4"});
    QCOMPARE(SqlCount(st, "DEPT_SECT"), 8);
    QVERIFY2(st.missingTexts.isEmpty(), qPrintable(st.missingTexts.values().join(' ')));

    // The command itself, and a prohibited one refuses.
    QVERIFY(Prohibit(st, "admin", "frmMain.mnuID_MENU_COMMUNICATE_SEND_PLU_BY_SCALE"));
    s.window->updateCommands();
    QVERIFY(!s.window->command(cmd::SendByScale)->isEnabled());
    root.ui.scaleAnswers = {{"127.0.0.11"}};
    s.window->dispatch(cmd::SendByScale);
    QCOMPARE(root.ui.scaleAnswers.size(), 1);
}

void TestScaleSend::refusedWhileBusy()
{
    // The window stays usable while a transfer runs; a second one is refused aloud.
    TestDataRoot root;
    std::unique_ptr<AppState> st = root.loadedState();
    QVERIFY(st);
    RecordingScaleComm comm;
    comm.holdOpen = true;
    st->scaleComm = &comm;
    QVERIFY(comm.start(CommMethod::WriteAllPlu, "127.0.0.11,2011\r\n"));
    root.ui.scaleAnswers = {{"127.0.0.11"}};
    QCOMPARE(SendSelectedByScale(*st, {1, 2}), QString());
    QCOMPARE(comm.calls.size(), 1);
    QCOMPARE(root.ui.messages.size(), 1);
    QVERIFY(root.ui.messages.first().text.contains("still running"));
    comm.cancel();
}

void TestScaleSend::receiveWindow()
{
    // Two simulated scales: 127.0.0.11 holds every PLU, 127.0.0.12 the
    // cheeses; on 127.0.0.11 PLU 1 gets a new price "on the scale".
    TestDataRoot root;
    SimProcess sim;
    QVERIFY(sim.start({"--listen", "127.0.0.11", "--listen", "127.0.0.12", "--store", root.path() + "sim"}));
    QVERIFY(UseScalePort(root.iniPath(), sim.port()));
    Session s(root);
    QVERIFY(s.ok() && s.show());
    AppState &state = *s.state;
    state.settings.PLUPageSize = 10;
    qint32 last = 0;
    QVERIFY(CreatePLUData(state, "ALL", last).failedPlus.isEmpty());
    const QStringList cheeses = SqlColumn(state, "select PLU_No from PLU where PLU_MG=301");
    QVector<qint64> cheeseNos;
    for (const QString &n : cheeses)
        cheeseNos << n.toLongLong();
    QVERIFY(state.scaleComm->WRFALLPLU(ScaleListLine("127.0.0.11")).ok());
    QVERIFY(state.scaleComm->WRFPLU(ScaleListLine("127.0.0.12", cheeseNos)).ok());
    QProcess edit;
    edit.start(SimProcess::binary(), {"edit", "--store", root.path() + "sim", "--scale", "127.0.0.11", "--plu", "1",
                                      "--price", "0.99", "--data-root", root.path()});
    QVERIFY(edit.waitForFinished(20000) && edit.exitCode() == 0);
    const int all = SqlCount(state, "PLU") + cheeses.size(), cheese = cheeses.size();
    QVERIFY(cheese > 5);

    s.window->dispatch(cmd::ReceivePlu);
    ReceivePluWindow *w = s.window->receiveWindow();
    QVERIFY(w && QTest::qWaitForWindowExposed(w));
    auto items = [](QComboBox *c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };

    // Receive asks for the scales and reads them through the component.
    root.ui.scaleAnswers = {{"127.0.0.12", "127.0.0.11"}};
    Click(w->cmdReceive);
    QCOMPARE(SqlCount(state, "RC_PLU"), all);
    QCOMPARE(SqlScalar(state, "select group_concat(SC_IP) from RC_PLU where PLU_Compare=1"), QString("127.0.0.11"));
    QCOMPARE(items(w->cboScale), QStringList({"-1:ALL Scale", "127.0.0.11: Counter meat",
                                              "127.0.0.12: Counter cheese and deli"}));
    QCOMPARE(items(w->cboMG).first(), "-1:ALL MG");
    QVERIFY(items(w->cboMG).contains("301: Cheese"));
    w->cboScale->setCurrentIndex(0);
    Click(w->cmdSelect);

    auto bar = [w] {
        return w->txtPageNo->text() + "/" + w->txtPageCount->text() + (w->cmdPrevious->isEnabled() ? " prev" : "")
             + (w->cmdNext->isEnabled() ? " next" : "");
    };
    auto column = [w](int c) {
        QStringList out;
        for (int r = 0; r < w->wndRCPLU->rowCount(); ++r)
            out << w->wndRCPLU->rowCells(r).value(c);
        return out;
    };
    QCOMPARE(bar(), QString("1/%1 next").arg((all + 9) / 10));
    // PLU 1 differs on 127.0.0.11 and is marked there.
    w->cboScale->setCurrentIndex(1);
    Click(w->cmdSelect);
    const int one = column(kNo).indexOf("1");
    QVERIFY(one >= 0);
    QCOMPARE(w->wndRCPLU->item(one, kNo)->background().color(), QColor(0xFF, 0xFF, 0x80));
    QVERIFY(w->wndRCPLU->item(one + (one ? -1 : 1), kNo)->background().color() != QColor(0xFF, 0xFF, 0x80));
    w->cboScale->setCurrentIndex(0);

    // Any scale, one main group: the rows of that group from both scales.
    w->cboMG->setCurrentIndex(w->cboMG->findText("301: Cheese"));
    Click(w->cmdSelect);
    QCOMPARE(column(kMg), QStringList(10, "301"));
    QCOMPARE(bar(), QString("1/%1 next").arg((2 * cheese + 9) / 10));
    Click(w->cmdLast);
    QCOMPARE(column(kMg).size(), (2 * cheese - 1) % 10 + 1);
    QCOMPARE(bar(), QString("%1/%1 prev").arg((2 * cheese + 9) / 10));
    w->cboScale->setCurrentIndex(2);
    Click(w->cmdSelect);
    QCOMPARE(bar(), QString("1/%1 next").arg((cheese + 9) / 10));

    // Take-over: PLU 1 gets the scale's price.
    root.ui.messages.clear();
    Click(w->cmdImport);
    QCOMPARE(SqlScalar(state, "select PLU_UPrice from PLU where PLU_No=1"), "0.99");
    QCOMPARE(root.ui.messages.size(), 1);
    QVERIFY(root.ui.messages.first().text.endsWith(" 1"));

    // Export and Update to PLU of one scale.
    const QString path = root.path() + "cheese.csv";
    root.ui.scaleAnswers = {{"127.0.0.12"}};
    root.ui.fileAnswers = {path};
    Click(w->cmdExport);
    QCOMPARE(FileBytes(path).count("\r\n"), cheese + 1);
    QVERIFY(QueryKorvoDB(state, "update RC_PLU set PLU_UPrice=7.25 where SC_IP='127.0.0.12'"));
    state.settings.SetImportType = 2;
    root.ui.scaleAnswers = {{"127.0.0.12"}};
    Click(w->cmdUpdateToPLU);
    QCOMPARE(SqlCount(state, "PLU where PLU_UPrice=7.25"), cheese);

    Click(w->cmdExit);
    QTRY_VERIFY(!s.window->receiveWindow());
}

// 630: the file from the open-file dialog; type 0 asks first.
void TestScaleSend::importCommand()
{
    TestDataRoot root;
    Session s(root);
    QVERIFY(s.ok() && s.show());
    AppState &state = *s.state;
    const int before = SqlCount(state, "PLU");
    const QString path = root.path() + "new.csv";
    QVERIFY(WriteFile(path, "PLU_No,PLU_MG,PLU_UPrice,PLU_Commodity\r\n70001,1234,2,'Apple'\r\n70002,1234,3,'Pear'\r\n"));
    state.settings.SetImportType = 0;

    root.ui.fileAnswers = {path};
    root.ui.answers = {MsgResult::No};
    s.window->dispatch(cmd::ImportCsv);
    QCOMPARE(SqlCount(state, "PLU"), before);
    QCOMPARE(root.ui.messages.constLast().defaultButton, MsgResult::No);

    root.ui.fileAnswers = {path};
    root.ui.answers = {MsgResult::Yes};
    s.window->dispatch(cmd::ImportCsv);
    QCOMPARE(SqlCount(state, "PLU"), 2);
    QVERIFY(s.tree()->findNode("MG1234"));
}

void TestScaleSend::progressAndFailures()
{
    TestDataRoot root(false);
    auto state = root.loadedState();
    QVERIFY(state);
    RecordingScaleComm comm;
    ScaleCommWindow window(*state, &comm);
    const QString list = ScaleListLine(QStringLiteral("192.168.0.21")) + ScaleListLine(QStringLiteral("192.168.0.22"));

    // Hidden and all well: nothing shows.
    comm.HideStatusForm(true);
    QVERIFY(comm.WRFDEPT(list).ok());
    QVERIFY(!window.isVisible());
    QCOMPARE(comm.calls.last().showProgress, false);

    // Hidden but failing: shown, the failure listed.
    comm.answer = [](const ScaleTarget &t, CommMethod) {
        ScaleResult r;
        r.state = t.scaleNo == 2022 ? ScaleResult::State::Failed : ScaleResult::State::Done;
        r.failure = t.scaleNo == 2022 ? QStringLiteral("connection refused") : QString();
        return r;
    };
    comm.HideStatusForm(true);
    QVERIFY(!comm.WRFMG(list).ok());
    QVERIFY(window.isVisible());
    QCOMPARE(window.lstScales->item(1, ScaleCommWindow::ColState)->text(), QStringLiteral("failed"));
    QVERIFY(window.txtFailures->toPlainText().contains(QStringLiteral("Sending main groups: 192.168.0.22 2022 failed")));

    // The next call (with progress) keeps the earlier failure listed.
    comm.answer = nullptr;
    QVERIFY(comm.WRFPLU(list).ok());
    QCOMPARE(comm.calls.last().showProgress, true);
    QVERIFY(window.lblStatus->text().startsWith(QStringLiteral("Sending PLUs finished: 2 of 2 scales, 0 failed")));
    QVERIFY(window.txtFailures->toPlainText().contains(QStringLiteral("2022 failed")));

    // Closing forgets; a running call shows progress and Cancel reaches the component.
    window.close();
    QVERIFY(window.txtFailures->toPlainText().isEmpty());
    comm.holdOpen = true;
    QVERIFY(comm.start(CommMethod::ReadPlu, list));
    QVERIFY(window.isVisible());
    QVERIFY(window.cmdCancel->isEnabled());
    QCOMPARE(window.lstScales->item(0, ScaleCommWindow::ColProgress)->text(), QStringLiteral("1 / 2 (writing PLUs)"));
    QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
    QCOMPARE(comm.cancels, 1);
    QVERIFY(!window.cmdCancel->isEnabled());
    QCOMPARE(window.lstScales->item(0, ScaleCommWindow::ColState)->text(), QStringLiteral("cancelled"));
    QVERIFY(state->missingTexts.isEmpty());
}

void TestScaleSend::mainWindowComponent()
{
    TestDataRoot root(true);
    QVERIFY(UseScalePort(root.iniPath(), 9, 1000, 0)); // nothing listens on port 9
    Session s(root);
    QVERIFY(s.ok());
    QVERIFY(s.window->scaleComm());
    QCOMPARE(s.state->scaleComm, s.window->scaleComm());
    ScaleCommWindow *w = s.window->scaleCommWindow();
    QVERIFY(w && !w->isVisible());
    // An offline scale: the real component's failure reaches the window.
    s.window->scaleComm()->HideStatusForm(true);
    const CommCallResult r = s.window->scaleComm()->WRFALLPLU(ScaleListLine(QStringLiteral("127.0.0.61")));
    QCOMPARE(r.scales.at(0).state, ScaleResult::State::Failed);
    QVERIFY(w->isVisible());
    QVERIFY(w->lstScales->item(0, ScaleCommWindow::ColReason)->text().contains(QStringLiteral("connection refused")));
    s.window->close();
    s.window.reset();
    QCOMPARE(s.state->scaleComm, nullptr);
}

QTEST_MAIN(TestScaleSend)
#include "tst_scalesend.moc"
