// The component's progress and report window: progress only for calls
// without HideStatusForm, failures always, Cancel reaching the component;
// and the main window's load creating the real component with its window.

#include "UiTestSupport.h"
#include "comm/ScaleList.h"
#include "common/RecordingScaleComm.h"
#include "common/SimProcess.h"
#include "ui/ScaleCommWindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace korvo;
using namespace korvo::test;

class TestScaleCommWindow : public QObject {
    Q_OBJECT

private slots:
    void progressAndFailures();
    void mainWindowComponent();
};

void TestScaleCommWindow::progressAndFailures()
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

void TestScaleCommWindow::mainWindowComponent()
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

QTEST_MAIN(TestScaleCommWindow)
#include "tst_scalecommwindow.moc"
