// The receive window and the CSV import command driven through their real
// controls on a main window over a data root.

#include "common/RecordingScaleComm.h"
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
    TestDataRoot root;
    Session s(root);
    QVERIFY(s.ok() && s.show());
    AppState &state = *s.state;
    state.settings.PLUPageSize = 10;
    QVERIFY(ReceiveFromPlu(state, "127.0.0.11", "1=1"));
    QVERIFY(ReceiveFromPlu(state, "127.0.0.12", "PLU_MG=301"));
    QVERIFY(QueryKorvoDB(state, "update RC_PLU set PLU_Compare=1, PLU_UPrice=0.99 where PLU_No=1"));
    const int all = SqlCount(state, "RC_PLU"), cheese = SqlCount(state, "PLU where PLU_MG=301");
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
    QCOMPARE(items(w->cboScale), QStringList({"-1:ALL Scale", "127.0.0.11: Counter meat",
                                              "127.0.0.12: Counter cheese and deli"}));
    QCOMPARE(items(w->cboMG).first(), "-1:ALL MG");
    QVERIFY(items(w->cboMG).contains("301: Cheese"));

    // Receive asks for the scales and reads them through the component.
    test::RecordingScaleComm comm;
    ScaleComm *const own = state.scaleComm;
    state.scaleComm = &comm;
    root.ui.scaleAnswers = {{"127.0.0.12", "127.0.0.11"}};
    QVERIFY(w->cmdReceive->isEnabled());
    Click(w->cmdReceive);
    state.scaleComm = own;
    QCOMPARE(comm.calls.size(), 1);
    QCOMPARE(comm.calls.first().method, CommMethod::ReadPlu);
    QCOMPARE(comm.calls.first().list, QString("127.0.0.12,2012\r\n127.0.0.11,2011\r\n"));

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
    QCOMPARE(w->wndRCPLU->item(0, kNo)->background().color(), QColor(0xFF, 0xFF, 0x80)); // PLU 1 differs

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
