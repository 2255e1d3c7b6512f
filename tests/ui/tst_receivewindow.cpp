// The receive window and the CSV import command driven through their real
// controls on a main window over a data root.

#include "comm/ScaleComm.h"
#include "comm/ScaleList.h"
#include "common/SimProcess.h"
#include "encoding/RecordBuilder.h"
#include "UiTestSupport.h"
#include "core/PluPage.h"
#include "ui/Commands.h"
#include "ui/PluListWidget.h"
#include "ui/ReceivePluWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

constexpr int kNo = 0, kMg = 7;

void Click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

} // namespace

class TestReceiveWindow : public QObject {
    Q_OBJECT

private slots:
    void filtersPagingAndButtons();
    void importCommand();
};

void TestReceiveWindow::filtersPagingAndButtons()
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
    Click(w->cmdPrevious);
    Click(w->cmdFirst);
    QCOMPARE(bar(), QString("1/%1 next").arg((2 * cheese + 9) / 10));
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
void TestReceiveWindow::importCommand()
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

QTEST_MAIN(TestReceiveWindow)
#include "tst_receivewindow.moc"
