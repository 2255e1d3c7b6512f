// The building blocks of the windows: the language pass, the PLU list's
// columns and layout text, the file filter conversion.

#include "UiTestSupport.h"
#include "core/Database.h"
#include "i18n/Language.h"
#include "ui/FieldChooserWindow.h"
#include "ui/FormTexts.h"
#include "ui/PluListWidget.h"
#include "ui/StatusProcessWindow.h"
#include "ui/WidgetUserInterface.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void formTextsSetCaptionsAndPermissions();
    void formTextsFarsiLayout();
    void pluListColumnsAndLayout();
    void pluListRows();
    void fileFilterConversion();
    void messageBoxesAndProgress();
};

namespace {

// A window with the control names of frmMain's page bar and editor.
struct Form {
    Form()
    {
        window.setObjectName(QStringLiteral("frmMain"));
        button = new QPushButton(QStringLiteral("design"), &window);
        button->setObjectName(QStringLiteral("cmdNewPLU"));
        label = new QLabel(QStringLiteral("design"), &window);
        label->setObjectName(QStringLiteral("lblQueryByPLUNo"));
        unnamed = new QLabel(QStringLiteral("/"), &window);
        internal = new QPushButton(QStringLiteral("inside"), &window);
        internal->setObjectName(QStringLiteral("qt_internal"));
        box = new QLineEdit(&window);
        box->setObjectName(QStringLiteral("txtPageNo"));
        spin = new QSpinBox(&window);
        spin->setObjectName(QStringLiteral("txtPrice"));
        action = new QAction(QStringLiteral("design"), &window);
        action->setObjectName(QStringLiteral("mnuID_MENU_FILE_EXIT"));
    }
    QWidget window;
    QPushButton *button;
    QLabel *label;
    QLabel *unnamed;
    QPushButton *internal;
    QLineEdit *box;
    QSpinBox *spin;
    QAction *action;
};

} // namespace

void TestWidgets::formTextsSetCaptionsAndPermissions()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        auto setup = root.loadedState();
        QVERIFY(setup);
        QVERIFY(Prohibit(*setup, "bob", "frmMain.cmdNewPLU"));
        QVERIFY(Prohibit(*setup, "bob", "frmMain.mnuID_MENU_FILE_EXIT"));
        CloseDBConnections(*setup);
    }
    for (const QString &user : {QStringLiteral("admin"), QStringLiteral("bob")}) {
        auto state = root.loadedState(user);
        QVERIFY(state);
        Form f;
        SetFormLangString(*state, &f.window);
        const QString owner = QStringLiteral("frmMain");
        QCOMPARE(f.window.windowTitle(), GetLangString(*state, owner, "Caption"));
        QCOMPARE(f.button->text(), GetLangString(*state, owner, "cmdNewPLU"));
        QCOMPARE(f.label->text(), GetLangString(*state, owner, "lblQueryByPLUNo"));
        QCOMPARE(f.action->text(), GetLangString(*state, owner, "mnuID_MENU_FILE_EXIT"));
        // Unnamed and Qt's internal widgets are left alone.
        QCOMPARE(f.unnamed->text() + f.internal->text(), QStringLiteral("/inside"));
        QCOMPARE(f.box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        const bool bob = user == QLatin1String("bob");
        QCOMPARE(f.button->isEnabled(), !bob);
        QCOMPARE(f.action->isEnabled(), !bob);
        QVERIFY(f.label->isEnabled()); // a control without a prohibition stays usable
        QVERIFY(state->reportedErrors.isEmpty());
    }

    // A control without a text row: reported once, empty caption, the pass goes on.
    auto state = root.loadedState();
    QVERIFY(state);
    QWidget window;
    window.setObjectName(QStringLiteral("frmMain"));
    auto *unknown = new QCheckBox(QStringLiteral("design"), &window);
    unknown->setObjectName(QStringLiteral("chkNoSuchControl"));
    auto *later = new QGroupBox(QStringLiteral("design"), &window);
    later->setObjectName(QStringLiteral("cmdSavePLU"));
    SetFormLangString(*state, &window);
    QCOMPARE(unknown->text(), QString());
    QVERIFY(unknown->isEnabled()); // without a row it cannot be prohibited
    QVERIFY(state->missingTexts.contains(QStringLiteral("frmMain.chkNoSuchControl")));
    QCOMPARE(state->reportedErrors.size(), 1);
    QCOMPARE(later->title(), GetLangString(*state, QStringLiteral("frmMain"), QStringLiteral("cmdSavePLU")));
}

void TestWidgets::formTextsFarsiLayout()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.loadedState();
    QVERIFY(state);
    state->settings.SetLanguageCodepage = 1;
    state->settings.LangeCodepageToConvert = 1; // Cyrillic: not Farsi
    QVERIFY(!IsFarsiLayout(*state));
    state->settings.LangeCodepageToConvert = 2;
    QVERIFY(IsFarsiLayout(*state));
    Form f;
    SetFormLangString(*state, &f.window);
    QCOMPARE(f.box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(f.spin->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(f.button->font().family(), QStringLiteral("Tahoma"));
    QVERIFY(f.unnamed->font().family() != QLatin1String("Tahoma"));
}

void TestWidgets::pluListColumnsAndLayout()
{
    // The arrangement itself survives a restart (the field chooser's test);
    // a stored text that is no layout of this list changes nothing.
    PluFieldTable fields;
    fields.reset();
    fields.applyShowKey(QStringLiteral("1,69"));
    PluListWidget list;
    list.setupColumns(fields, QStringLiteral("%%%"));
    QHeaderView *h = list.horizontalHeader();
    QVERIFY(h->isSectionHidden(0) && !h->isSectionHidden(1) && !h->isSectionHidden(69));
    h->moveSection(h->visualIndex(69), 0);
    QVERIFY(!list.applyLayoutText(QStringLiteral("bm90IGEgbGF5b3V0")));
    QVERIFY(!list.applyLayoutText(QString()));
    QCOMPARE(h->visualIndex(69), 0);
    QVERIFY(h->isSectionHidden(0));
}

void TestWidgets::pluListRows()
{
    PluFieldTable fields;
    fields.reset();
    fields.applyShowKey(QStringLiteral("0,1,2"));
    PluListWidget list;
    list.setupColumns(fields, QString());

    QStringList cells;
    for (int i = 0; i < kPluFieldCount; ++i)
        cells << QStringLiteral("c%1").arg(i);
    list.addRow(cells, kAlternateRowColour);
    list.addRow(cells, -1);
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(list.rowCells(0), cells); // hidden columns keep their items
    // 0xBBGGRR: red 230, green 230, blue 255.
    QCOMPARE(list.item(0, 3)->background().color(), QColor(230, 230, 255));
    QCOMPARE(list.item(1, 3)->background().style(), Qt::NoBrush);
    list.clearRows();
    QCOMPARE(list.rowCount(), 0);
    QCOMPARE(list.columnCount(), kPluFieldCount); // the columns stay

}

void TestWidgets::fileFilterConversion()
{
    QCOMPARE(QtFileFilter(QStringLiteral("CSV (*.csv)|*.csv")), QStringLiteral("CSV (*.csv)"));
    QCOMPARE(QtFileFilter(QStringLiteral("*.EXE|*.exe")), QStringLiteral("*.EXE (*.exe)"));
    QCOMPARE(QtFileFilter(QStringLiteral("Icons|*.ico;*.cur|All (*.*)|*.*")),
             QStringLiteral("Icons (*.ico *.cur);;All (*.*)"));
    QCOMPARE(QtFileFilter(QStringLiteral("Text (*.txt)")), QStringLiteral("Text (*.txt)"));
}

void TestWidgets::messageBoxesAndProgress()
{
    WidgetUserInterface ui;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool noPreselected = false;
    QString title;
    // Notes what the box shows, then answers with a button or a key.
    auto answer = [&](QMessageBox::StandardButton button, Qt::Key key = Qt::Key_unknown) {
        OnModal<QMessageBox>([&, button, key](QMessageBox *box) {
            icon = box->icon();
            noPreselected = box->defaultButton() && box->defaultButton() == box->button(QMessageBox::No);
            title = box->windowTitle();
            if (key != Qt::Key_unknown)
                QTest::keyClick(box, key);
            else
                box->button(button)->click();
        });
    };
    answer(QMessageBox::Yes);
    QCOMPARE(ui.message("Log out?", "Korvo 2005", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No), MsgResult::Yes);
    QCOMPARE(icon, QMessageBox::Question);
    QVERIFY(noPreselected); // the harmless answer is preselected
    QCOMPARE(title, QStringLiteral("Korvo 2005"));
    answer(QMessageBox::NoButton, Qt::Key_Escape);
    QCOMPARE(ui.message("Delete?", {}, MsgIcon::Question, MsgButtons::YesNo, MsgResult::No), MsgResult::No);
    answer(QMessageBox::NoButton, Qt::Key_Return);
    QCOMPARE(ui.message("Delete department?", {}, MsgIcon::Question, MsgButtons::OkCancel, MsgResult::Cancel),
             MsgResult::Cancel);

    // The status window: caption, bar and percentage; once finished a
    // close button instead of the bar.
    ui.progressBegin(QStringLiteral("Encoding"), 3);
    StatusProcessWindow *progress = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *p = qobject_cast<StatusProcessWindow *>(w); p && p->isVisible())
            progress = p;
    }
    QVERIFY(progress);
    QVERIFY(progress->isModal());
    ui.progressStep(2, QStringLiteral("Record 2 of 3"));
    QCOMPARE(progress->prgStatus->value(), 2);
    QCOMPARE(progress->lblCaption->text(), QStringLiteral("Record 2 of 3"));
    QCOMPARE(progress->lblPercent->text(), QStringLiteral("67%"));
    ui.progressStep(7); // beyond the end stays at the end
    QCOMPARE(progress->prgStatus->value(), 3);
    QVERIFY(progress->cmdClose->isHidden());
    ui.progressFinish(QStringLiteral("Done."));
    QCOMPARE(progress->lblCaption->text(), QStringLiteral("Done."));
    QVERIFY(progress->prgStatus->isHidden() && !progress->cmdClose->isHidden() && !progress->isModal());
    QPointer<StatusProcessWindow> gone(progress);
    QTest::mouseClick(progress->cmdClose, Qt::LeftButton);
    QTRY_VERIFY(gone.isNull());
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
