// Sending to scales from the main window: the selection pane and Upload end
// to end against the simulator, the whole-scale commands' scale lists
// through the recording component, and the scale selection and
// configuration dialogs.

#include "common/RecordingScaleComm.h"
#include "common/SimProcess.h"
#include "UiTestSupport.h"
#include "comm/ScaleCommands.h"
#include "core/Log.h"
#include "i18n/Language.h"
#include "encoding/RecordBuilder.h"
#include "ui/Commands.h"
#include "ui/PluEditorPane.h"
#include "ui/PluListWidget.h"
#include "ui/ScaleConfigDialog.h"
#include "ui/ScaleSelectDialog.h"
#include "ui/SelectPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

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
    void commandLists_data();
    void commandLists();
    void selectionDialog();
    void configurationDialog();
    void refusedWhileBusy();
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

void TestScaleSend::commandLists_data()
{
    QTest::addColumn<QString>("setup"); // SQL run first ("" none)
    QTest::addColumn<Action>("action");
    QTest::addColumn<QList<QStringList>>("scales");
    QTest::addColumn<QList<MsgResult>>("answers");
    QTest::addColumn<QString>("expected"); // method:list, one per call; ~ marks a hidden call
    QTest::addColumn<QVector<int>>("asked"); // m_iDeptID of each scale selection

    using K = NodeContext::Kind;
    const QStringList sect1 = {"127.0.0.11", "127.0.0.12", "127.0.0.13"}, sect2 = {"127.0.0.21", "127.0.0.22"};
    auto node = [](K k, int dept = 0, int mg = 0) { return NodeContext{k, dept, mg}; };
    auto byDept = [](NodeContext n) { return Action([n](AppState &st) { return SendByDeptCommand(st, n); }); };
    auto byScale = [](NodeContext n) { return Action([n](AppState &st) { return SendByScaleCommand(st, n); }); };
    auto sync = [](NodeContext n) { return Action([n](AppState &st) { return SyncCommand(st, n); }); };
    const auto hier = [](const QString &list, const QString &plu) { return "~WRFDEPT:" + list + "|~WRFMG:" + list + "|" + plu + ":" + list; };
    const QString store = Lines(sect1, ",2,3,4,97") + Lines(sect2, ",1,2,97");

    QTest::newRow("139 store: in-use scales, their sections' departments")
        << "" << byDept(node(K::Store)) << QList<QStringList>{} << QList<MsgResult>{} << hier(store, "WRFPLUByDept") << QVector<int>{};
    QTest::newRow("139 store: a section without departments has no line")
        << "delete from DEPT_SECT where SECT_No=2" << byDept(node(K::Store)) << QList<QStringList>{} << QList<MsgResult>{}
        << hier(Lines(sect1, ",2,3,4,97"), "WRFPLUByDept") << QVector<int>{};
    QTest::newRow("139 department") << "" << byDept(node(K::Department, 1)) << QList<QStringList>{} << QList<MsgResult>{}
                                    << hier(Lines(sect2, ",1"), "WRFPLUByDept") << QVector<int>{};
    QTest::newRow("139 department without in-use scales sends nothing")
        << "update SCALE set SC_Used=0 where SECT_No=2" << byDept(node(K::Department, 1)) << QList<QStringList>{}
        << QList<MsgResult>{} << "" << QVector<int>{};
    QTest::newRow("139 main group") << "" << byDept(node(K::MainGroup, 3, 303)) << QList<QStringList>{} << QList<MsgResult>{}
                                    << hier(Lines(sect1, "{303}"), "WRFPLU") << QVector<int>{};
    QTest::newRow("140 store") << "" << byScale(node(K::Store)) << QList<QStringList>{{"192.168.1.25"}} << QList<MsgResult>{}
                               << hier("192.168.1.25,2025\r\n", "WRFALLPLU") << QVector<int>{-1};
    QTest::newRow("140 department: its PLUs alone") << "" << byScale(node(K::Department, 2)) << QList<QStringList>{{"127.0.0.21"}}
                                                    << QList<MsgResult>{} << "WRFPLUByDept:" + Lines({"127.0.0.21"}, ",2") << QVector<int>{2};
    QTest::newRow("140 empty main group still sends")
        << "delete from PLU where PLU_MG=303" << byScale(node(K::MainGroup, 3, 303)) << QList<QStringList>{{"127.0.0.11"}}
        << QList<MsgResult>{} << hier(Lines({"127.0.0.11"}, ""), "WRFPLU") << QVector<int>{3};
    QTest::newRow("140 cancelled") << "" << byScale(node(K::Store)) << QList<QStringList>{} << QList<MsgResult>{} << "" << QVector<int>{-1};
    QTest::newRow("141 No asks for no scale")
        << "" << Action(DeleteAllByScaleCommand) << QList<QStringList>{{"127.0.0.11"}} << QList<MsgResult>{MsgResult::No} << "" << QVector<int>{};
    QTest::newRow("141 Yes") << "" << Action(DeleteAllByScaleCommand) << QList<QStringList>{{"127.0.0.11", "127.0.0.12"}}
                             << QList<MsgResult>{MsgResult::Yes} << "DELFPLU:" + Lines(sect1.mid(0, 2), "") << QVector<int>{-1};
    QTest::newRow("631 department items are departments") << "" << sync(node(K::Department, 4)) << QList<QStringList>{{"127.0.0.13"}}
                                                           << QList<MsgResult>{} << "SyncDepts:" + Lines({"127.0.0.13"}, ",4") << QVector<int>{4};
    QTest::newRow("631 main group") << "" << sync(node(K::MainGroup, 3, 303)) << QList<QStringList>{{"127.0.0.13"}} << QList<MsgResult>{}
                                    << "SyncPlus:" + Lines({"127.0.0.13"}, "{303}") << QVector<int>{3};
    QTest::newRow("631 empty main group is no whole-scale sync")
        << "delete from PLU where PLU_MG=303" << sync(node(K::MainGroup, 3, 303)) << QList<QStringList>{{"127.0.0.13"}}
        << QList<MsgResult>{} << "" << QVector<int>{};
    // A dairy PLU (department 3, section 1) and a fruit PLU (department 1, section 2).
    const Action pane = [](AppState &st) {
        return SendSelectedByDept(st, {{SqlScalar(st, "select min(PLU_No) from PLU where PLU_MG=301").toInt(), 301},
                                       {SqlScalar(st, "select min(PLU_No) from PLU where PLU_MG=101").toInt(), 101}});
    };
    QTest::newRow("pane by department: each PLU to its sections")
        << "" << pane << QList<QStringList>{} << QList<MsgResult>{}
        << "WRFPLU:" + Lines(sect1, "{min301}") + Lines(sect2, "{min101}") << QVector<int>{};
    QTest::newRow("pane by department without sections") << "delete from SCALE_SECT" << pane << QList<QStringList>{}
                                                          << QList<MsgResult>{} << "" << QVector<int>{};
    QTest::newRow("pane delete answered No")
        << "" << Action([](AppState &st) { return DeleteSelectedByScale(st, {5}); }) << QList<QStringList>{{"127.0.0.11"}}
        << QList<MsgResult>{MsgResult::No} << "" << QVector<int>{};
    QTest::newRow("upload 0 or blank sends nothing")
        << "" << Action([](AppState &st) { return UploadPlu(st, "0") + UploadPlu(st, " "); })
        << QList<QStringList>{{"127.0.0.11"}, {"127.0.0.11"}} << QList<MsgResult>{} << "" << QVector<int>{-1, -1};
}

void TestScaleSend::commandLists()
{
    QFETCH(QString, setup);
    QFETCH(Action, action);
    QFETCH(QList<QStringList>, scales);
    QFETCH(QList<MsgResult>, answers);
    QFETCH(QString, expected);
    QFETCH(QVector<int>, asked);
    TestDataRoot root;
    std::unique_ptr<AppState> st = root.loadedState();
    QVERIFY(st);
    RecordingScaleComm comm;
    st->scaleComm = &comm;
    if (!setup.isEmpty())
        QVERIFY(QueryKorvoDB(*st, setup));
    expected.replace("{303}", Items(*st, "PLU_MG=303"));
    expected.replace("{min301}", "," + SqlScalar(*st, "select min(PLU_No) from PLU where PLU_MG=301"));
    expected.replace("{min101}", "," + SqlScalar(*st, "select min(PLU_No) from PLU where PLU_MG=101"));
    root.ui.scaleAnswers = scales;
    root.ui.answers = {answers.begin(), answers.end()};

    action(*st);
    QStringList got;
    for (const auto &c : comm.calls) {
        QString name = CommMethodName(c.method);
        if (c.method == CommMethod::Sync)
            name = c.items == SyncItems::Plus ? "SyncPlus" : "SyncDepts";
        got << (c.showProgress ? "" : "~") + name + ":" + c.list;
    }
    QCOMPARE(got.join('|'), expected);
    QCOMPARE(root.ui.scaleDepts, asked);
    for (const ShownMessage &m : std::as_const(root.ui.messages))
        QCOMPARE(m.defaultButton, MsgResult::No);
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

QTEST_MAIN(TestScaleSend)
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

#include "tst_scalesend.moc"
