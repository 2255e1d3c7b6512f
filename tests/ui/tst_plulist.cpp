// The PLU list and the PLU editor of the main window driven through their
// real controls over the demo shop: the tree, the page bar, the query boxes,
// the list header and rows; the editor showing and gathering PLUs, the
// barcode fields, the long texts, the toggles and the states around save
// and delete. The paging and search rules themselves are the browser's
// (manage tests).

#include "UiTestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/PluFields.h"
#include "core/Values.h"
#include "i18n/Language.h"
#include "manage/PluRecord.h"
#include "ui/Commands.h"
#include "ui/EditTextDialog.h"
#include "ui/PagePane.h"
#include "ui/PluEditorPane.h"
#include "ui/PluListController.h"
#include "ui/PluListWidget.h"
#include "ui/QueryPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

Q_DECLARE_METATYPE(korvo::PluSearchResult)

namespace {

constexpr int kNo = 0, kPrice = 2, kMg = 7;

void Click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

} // namespace

class TestPluListAndEditor : public QObject {
    Q_OBJECT

private:
    TestDataRoot m_root;
    std::unique_ptr<Session> m_session;

    AppState &state() { return *m_session->state; }
    MainWindow *window() const { return m_session->window.get(); }
    PluEditorPane *pane() { return window()->editorPane(); }
    QLineEdit *box(const char *name) { return pane()->control<QLineEdit>(name); }
    QComboBox *list(const char *name) { return pane()->control<QComboBox>(name); }
    QCheckBox *check(const char *name) { return pane()->control<QCheckBox>(name); }
    QString value(const PluRecord &r, const char *column) { return r.values.value(state().pluFields.indexOf(column)); }
    QString gathered(const char *column) { return value(pane()->gather().value_or(PluRecord()), column); }
    QString scalar(const QString &sql) { return SqlScalar(state(), sql); }
    QString lastMessage() { return m_root.ui.messages.isEmpty() ? QString() : m_root.ui.messages.last().text; }
    QString text(const char *key) { return GetLangString(state(), "frmMain", key); }

    // New, Save, Delete, Upload enabled, and the field groups.
    QString buttons()
    {
        QString s;
        for (QPushButton *b : {pane()->cmdNewPLU, pane()->cmdSavePLU, pane()->cmdDeletePLU, pane()->cmdUploadPLU})
            s += b->isEnabled() ? '1' : '0';
        return s + (pane()->fraItemPage->isEnabled() ? " on" : " off");
    }
    void choose(QComboBox *combo, int index)
    {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    PluListWidget *list() const { return window()->pluList(); }
    PagePane *bar() const { return window()->pagePane(); }
    QueryPane *query() const { return window()->queryPane(); }
    StoreTreePane *tree() const { return window()->storeTree(); }
    QStringList values(const QString &sql) { return SqlColumn(state(), sql); }

    QStringList column(int c, bool selectedOnly = false) const
    {
        QStringList out;
        for (int r = 0; r < list()->rowCount(); ++r)
            if (!selectedOnly || list()->selectedRowNumbers().contains(r))
                out << list()->rowCells(r).value(c);
        return out;
    }
    QStringList sortedNumbers() const
    {
        QStringList out = column(kNo);
        out.sort();
        return out;
    }

    QString pageBar() const
    {
        return bar()->txtPageNo->text() + "/" + bar()->txtPageCount->text()
             + (bar()->cmdPrevious->isEnabled() ? " prev" : "") + (bar()->cmdNext->isEnabled() ? " next" : "");
    }

    void clickNode(const QString &key)
    {
        QTreeWidgetItem *node = tree()->findNode(key);
        QVERIFY2(node, qPrintable(key));
        ClickNode(tree(), node);
        QCOMPARE(tree()->selectedNode(), node);
    }

    // Types into the page box and moves the focus on to another control.
    void typePage(const QString &text)
    {
        TypeInto(bar()->txtPageNo, text);
        query()->txtQueryByPLUNo->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

    void clickHeader(int column, Qt::KeyboardModifiers mods = {})
    {
        QHeaderView *h = list()->horizontalHeader();
        const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, mods, at);
    }

    void clickRow(int row, Qt::KeyboardModifiers mods = {})
    {
        const QRect r = list()->visualRect(list()->model()->index(row, kNo));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, mods, r.center());
    }

    void addPlu(int no, int mg, const QString &name, const QString &itemCode = {}, const QString &ean = {})
    {
        QVERIFY(QueryKorvoDB(state(), QStringLiteral("insert into PLU(PLU_No,PLU_MG,PLU_Commodity,PLU_ItemCode,"
                                                     "PLU_EANData,PLU_UPrice) values(%1,%2,%3,%4,%5,1)")
                                          .arg(no)
                                          .arg(mg)
                                          .arg(SqlValue(ValueKind::Text, name), SqlValue(ValueKind::Text, itemCode),
                                               SqlValue(ValueKind::Text, ean))));
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<korvo::PluSearchResult>();
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        QVERIFY(WriteIniString("Setting", "PLUPageSize", "10", m_root.iniPath()));
        m_session = std::make_unique<Session>(m_root);
        QVERIFY(m_session->ok());
        addPlu(9001, 101, "Milk whole", "123", "0000000012345");
        addPlu(9002, 301, "Buttermilk");
        addPlu(9003, 302, "O'Neil's milk", "123");
        addPlu(9004, 401, "milk loaf", "", "000000001239");
        window()->resize(1200, 900);
        QVERIFY(m_session->show());
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }

    void pagingThroughTheBar()
    {
        // The start shows the store's first page.
        QCOMPARE(StoreTreePane::kindOf(tree()->selectedNode()), NodeKind::Store);
        QCOMPARE(column(kNo), values("select PLU_No from PLU order by PLU_No limit 10"));
        QVERIFY(pageBar().startsWith("1/") && pageBar().endsWith(" next"));

        const QStringList all = values("select PLU_No from PLU where PLU_MG=201 order by PLU_No");
        Click(bar()->cmdFirstPage);
        clickNode("MG201");
        QCOMPARE(pageBar(), QString("1/3 next"));
        Click(bar()->cmdNext);
        QCOMPARE(pageBar(), QString("2/3 prev next"));
        QCOMPARE(column(kNo), all.mid(10, 10));
        // Every second row light blue (0xBBGGRR: red 230, green 230, blue 255).
        QCOMPARE(list()->item(1, kNo)->background().color(), QColor(230, 230, 255));
        QCOMPARE(list()->item(0, kNo)->background().style(), Qt::NoBrush);
        Click(bar()->cmdLastPage);
        QCOMPARE(pageBar(), QString("3/3 prev"));
        QCOMPARE(column(kNo), all.mid(20));
        Click(bar()->cmdPrevious);
        QCOMPARE(pageBar(), QString("2/3 prev next"));

        // The page box applies when the focus leaves it or on Return.
        TypeInto(bar()->txtPageNo, "999");
        QCOMPARE(column(kNo), all.mid(10, 10)); // typing alone runs nothing
        typePage("999");
        QCOMPARE(pageBar(), QString("3/3 prev"));
        TypeInto(bar()->txtPageNo, "2");
        QTest::keyClick(bar()->txtPageNo, Qt::Key_Return);
        QCOMPARE(column(kNo), all.mid(10, 10));
        QVERIFY(bar()->txtPageCount->isReadOnly());
    }

    void searchesThroughTheBoxes()
    {
        QSignalSpy searched(window()->pluListController(), &PluListController::searched);
        // Each box searches its own way by Return (or Enter) and by its
        // button, under the selected node; a hit is selected in the list.
        auto search = [&](QLineEdit *box, const QString &text, QPushButton *button = nullptr) {
            TypeInto(box, text);
            if (button)
                Click(button);
            else
                QTest::keyClick(box, box == query()->txtQueryByPLUNo ? Qt::Key_Enter : Qt::Key_Return);
        };
        clickNode("Dept3");
        search(query()->txtQueryByPLUName, "  milk ");
        QCOMPARE(sortedNumbers(), (QStringList{"9002", "9003"}));
        QCOMPARE(column(kNo, true),
                 QStringList{QString::number(searched.last().at(0).value<PluSearchResult>().firstHit)});
        clickNode("MG302");
        search(query()->txtQueryByPLUName, "milk", query()->cmdQueryByName);
        QCOMPARE(column(kNo), QStringList{"9003"});
        clickNode("Root");
        search(query()->txtQueryByPLUNo, "9004", query()->cmdQuerybyPLUNo);
        QCOMPARE(column(kNo), QStringList{"9004"});
        search(query()->txtQueryByItemCode, "00123");
        QCOMPARE(sortedNumbers(), (QStringList{"9001", "9003"}));
        search(query()->txtQueryByEANData, "123");
        QCOMPARE(sortedNumbers(), (QStringList{"9001", "9004"}));
        QCOMPARE(searched.size(), 5);

        // A search box selects its whole text when it gets the focus.
        query()->txtQueryByItemCode->setText("4711");
        QTest::mouseClick(query()->txtQueryByItemCode, Qt::LeftButton);
        QTRY_COMPARE(query()->txtQueryByItemCode->selectedText(), QString("4711"));
    }

    void sortByHeaderClicks()
    {
        clickNode("MG201");
        Click(bar()->cmdFirstPage);
        const QString priceCaption = state().pluFields.at(kPrice).Caption;
        clickHeader(kPrice);
        QCOMPARE(list()->sortColumns().size(), 1);
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG=201 order by PLU_UPrice, PLU_No limit 10"));
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption + " \u25B2");

        // Ctrl adds a column behind the first; the order holds for the next node.
        clickHeader(kMg, Qt::ControlModifier);
        QCOMPARE(list()->sortColumns().size(), 2);
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption + " \u25B21");
        QVERIFY(list()->horizontalHeaderItem(kMg)->text().endsWith(" \u25B22"));
        clickNode("Dept2");
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG "
                                     "where DP_No=2) order by PLU_UPrice, PLU_MG, PLU_No limit 10"));

        // A plain click sorts by that column alone; a second click on it
        // sorts the other way round, and says so.
        clickHeader(kNo);
        clickHeader(kNo);
        QCOMPARE(list()->horizontalHeaderItem(kPrice)->text(), priceCaption);
        QCOMPARE(list()->horizontalHeaderItem(kNo)->text(), state().pluFields.at(kNo).Caption + " \u25BC");
        QCOMPARE(column(kNo), values("select PLU_No from PLU where PLU_MG in (select MG_No from MG "
                                     "where DP_No=2) order by PLU_No desc limit 10"));

        // Hiding the sort column takes it out of the order.
        list()->horizontalHeader()->hideSection(kNo);
        QTRY_VERIFY(list()->sortColumns().isEmpty());
        list()->horizontalHeader()->showSection(kNo);
    }

    void multiLineNamesShowTheirLines()
    {
        clickNode("Root");
        TypeInto(query()->txtQueryByPLUNo, "1");
        Click(query()->cmdQuerybyPLUNo);
        const QModelIndex name = list()->model()->index(0, state().pluFields.indexOf("PLU_Commodity"));
        QVERIFY(name.data().toString().contains('\r')); // "Bananas\rripe, loose"
        QCOMPARE(qobject_cast<QStyledItemDelegate *>(list()->itemDelegate())->displayText(name.data(), QLocale()),
                 name.data().toString().replace('\r', " | "));
    }

    void selectionPicksTheRow()
    {
        clickNode("MG201");
        Click(bar()->cmdFirstPage);
        QSignalSpy picked(window()->pluListController(), &PluListController::rowPicked);
        clickRow(1);
        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked.last().at(0).toInt(), column(kNo).value(1).toInt());
        // The row event takes the first selected row.
        clickRow(3, Qt::ControlModifier);
        QCOMPARE(picked.last().at(0).toInt(), column(kNo).value(1).toInt());
        // A new page has no selection.
        Click(bar()->cmdNext);
        QCOMPARE(list()->selectedRowCount(), 0);
        QVERIFY(!window()->command(cmd::DeletePlu)->isEnabled());
    }

    void showAndGatherEveryDemoPlu()
    {
        // What the editor shows of a demo PLU comes back unchanged when
        // gathered, including columns it has no control for and flags without a box.
        const QStringList numbers = SqlColumn(state(), "select PLU_No from PLU where PLU_No < 9000 order by PLU_No");
        QVERIFY(numbers.size() > 200);
        for (const QString &n : numbers) {
            pane()->editPlu(n.toInt());
            const PluRecord stored = *LoadPlu(state(), n.toInt());
            const PluRecord back = *pane()->gather();
            for (int i = 0; i < kPluFieldCount; ++i) {
                if (i == pf::UPDate || i == pf::UPTime || (i == pf::EANData && stored.values[i].isEmpty()))
                    continue;
                QVERIFY2(back.values[i] == stored.values[i],
                         qPrintable(QStringLiteral("PLU %1 %2: %3 shown, %4 gathered").arg(n, state().pluFields.at(i).Name,
                                                                                          stored.values[i], back.values[i])));
            }
            QCOMPARE(back.status, stored.status);
            if (stored.discount)
                QCOMPARE(*back.discount, *stored.discount);
        }
    }

    void barcodeFieldsForEachFlagStat_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("flags"); // typed into flag 1 and flag 2
        QTest::addColumn<bool>("addOn");
        QTest::addColumn<QString>("boxes"); // flag 1, flag 2: visible and enabled, add-on enabled
        QTest::addColumn<QString>("ean");
        QTest::newRow("11") << 1 << "EAN" << "27" << false << "11 11 1" << "27000120000003";
        QTest::newRow("11 add-on") << 1 << "EAN" << "27" << true << "11 11 1" << "27000120000083";
        QTest::newRow("10 fixed zero") << 3 << "EAN" << "2" << false << "11 10 1" << "20000120000003";
        QTest::newRow("19") << 4 << "EAN" << "2" << false << "11 00 1" << "20000120000003";
        QTest::newRow("91") << 6 << "EAN" << "5" << false << "00 11 1" << "50000120000003";
        QTest::newRow("99") << 7 << "EAN" << "" << false << "00 00 1" << "00001200000003";
        QTest::newRow("00") << 8 << "EAN" << "" << false << "10 10 1" << "00000120000003";
        QTest::newRow("ITF 19") << 2 << "ITF" << "4" << false << "11 00 0" << "40000120000093";
    }
    void barcodeFieldsForEachFlagStat()
    {
        QFETCH(int, code);
        QFETCH(QString, type);
        QFETCH(QString, flags);
        QFETCH(bool, addOn);
        QFETCH(QString, boxes);
        QFETCH(QString, ean);
        pane()->editPlu(4);
        const int row = BarcodeFormatIndex(state(), code, type);
        QVERIFY(row >= 0);
        choose(list("cboBarcodeFormat"), row);
        QLineEdit *flag1 = box("txtFlagCode1");
        QLineEdit *flag2 = box("txtFlagCode2");
        auto shown = [&] {
            return QStringLiteral("%1%2 %3%4 %5")
                .arg(int(!flag1->isHidden())).arg(int(flag1->isEnabled()))
                .arg(int(!flag2->isHidden())).arg(int(flag2->isEnabled()))
                .arg(int(check("chkBarcodeAddOn")->isEnabled()));
        };
        QCOMPARE(shown(), boxes);
        for (QLineEdit *f : {flag1, flag2}) {
            if (f->isEnabled() && !flags.isEmpty()) {
                TypeInto(f, flags.left(1));
                flags = flags.mid(1);
            }
        }
        TypeInto(box("txtItemCode"), "12");
        check("chkBarcodeAddOn")->setChecked(addOn);
        choose(list("cboBarcodeFlag"), 3);
        QCOMPARE(gathered("PLU_EANData"), ean);
        QCOMPARE(gathered("PLU_BarFormat"), QString::number(code));

        // Saved and loaded again, the parts are where they were typed.
        QVERIFY(pane()->savePlu());
        pane()->editPlu(4);
        QCOMPARE(list("cboBarcodeFormat")->currentIndex(), row);
        QCOMPARE(shown(), boxes);
        QCOMPARE(box("txtItemCode")->text(), "12");
        QCOMPARE(check("chkBarcodeAddOn")->isChecked(), addOn && type == "EAN");
        QCOMPARE(ComboItemValue(list("cboBarcodeFlag")->currentText()), 3);
        QCOMPARE(gathered("PLU_EANData"), ean);
    }

    void secondLabelFormatList()
    {
        pane()->editPlu(5);
        QComboBox *second = list("cbo2ndLabelFormat");
        QCOMPARE(second->itemText(0), "Null: No Print");
        for (int i = 1; i < second->count(); ++i)
            QVERIFY2(ComboItemValue(second->itemText(i)) >= 17, qPrintable(second->itemText(i)));
        QCOMPARE(second->currentIndex(), 0);
        choose(second, second->findText("18:", Qt::MatchStartsWith));
        QCOMPARE(gathered("PLU_LBFormat2"), "2");
        QVERIFY(pane()->savePlu());
        QCOMPARE(scalar("select PLU_LBFormat2 from PLU where PLU_No=5"), "2");
        pane()->editPlu(5);
        QCOMPARE(ComboItemValue(second->currentText()), 18);
        // A stored value the list cannot show is kept, not turned into 0.
        QVERIFY(QueryKorvoDB(state(), "update PLU set PLU_LBFormat2=40 where PLU_No=5"));
        pane()->editPlu(5);
        QCOMPARE(second->currentIndex(), -1);
        QCOMPARE(gathered("PLU_LBFormat2"), "40");
    }

    void longTextsFirstLineAndEditor()
    {
        QVERIFY(QueryKorvoDB(state(), "update PLU set PLU_Commodity='Milk'||char(13)||'fresh', "
                                      "PLU_CommFonts='5,3' where PLU_No=6"));
        pane()->editPlu(6);
        QLineEdit *name = box("txtPluName");
        QCOMPARE(name->text(), "Milk");
        TypeInto(name, "Cream");
        QCOMPARE(value(pane()->record(), "PLU_Commodity"), "Cream\rfresh");

        // The Edit button: Cancel after changes keeps the text; OK with a line
        // cut by its font's limits and the font of another line changed.
        QPushButton *edit = pane()->control<QPushButton>("cmdNameEdit");
        OnModal<EditTextDialog>([](EditTextDialog *d) {
            QCOMPARE(d->rowCount(), 3);
            QTest::keyClicks(d->contents(1), "xyz");
            d->cmdCancel->click();
        });
        edit->click();
        QCOMPARE(value(pane()->record(), "PLU_Commodity"), "Cream\rfresh");
        OnModal<EditTextDialog>([](EditTextDialog *d) {
            QCOMPARE(d->contents(0)->text(), "Cream");
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            d->contents(0)->setFocus();
            QTest::keyClick(d->contents(0), Qt::Key_Return);
            QVERIFY(d->contents(1)->hasFocus());
            TypeInto(d->contents(1), QString(30, 'a'));           // font 3 holds 26
            QCOMPARE(d->contents(1)->text(), QString(26, 'a'));
            d->font(0)->setCurrentIndex(5);                      // font 6 holds 16
            emit d->font(0)->activated(5);
            QTest::keyClick(d->contents(2), Qt::Key_Return);     // the last row confirms
        });
        edit->click();
        QCOMPARE(value(pane()->record(), "PLU_Commodity"), "Cream\r" + QString(26, 'a'));
        QCOMPARE(value(pane()->record(), "PLU_CommFonts"), "6,3");
        QCOMPARE(name->text(), "Cream");
        QVERIFY(state().userStore().contains("EditTextWidth"));

        // Every line deleted: both columns become null.
        OnModal<EditTextDialog>([](EditTextDialog *d) {
            for (int row : {1, 0}) {
                d->contents(row)->clear();
                emit d->contents(row)->textEdited(QString());
            }
            QCOMPARE(d->rowCount(), 1);
            d->cmdOK->click();
        });
        edit->click();
        QVERIFY(pane()->savePlu());
        QCOMPARE(scalar("select PLU_Commodity is null and PLU_CommFonts is null from PLU where PLU_No=6"), "1");

        // A new PLU's name typed first takes the default font.
        pane()->newPlu();
        TypeInto(name, "Quark");
        QCOMPARE(value(pane()->record(), "PLU_Commodity"), "Quark");
        QCOMPARE(value(pane()->record(), "PLU_CommFonts"), QString::number(state().settings.DefaultFont));
    }

    void weighedAndDiscountToggles()
    {
        pane()->editPlu(7);
        pane()->picPLUEditor->setCurrentIndex(0);
        QCheckBox *weighed = check("chkWeighed");
        weighed->setChecked(false);
        TypeInto(box("txtQuantity"), "12");
        ClickMark(weighed);
        QVERIFY(box("txtTare")->isVisibleTo(pane()));
        QVERIFY(!box("txtQuantity")->isVisibleTo(pane()));
        QCOMPARE(gathered("PLU_QTY"), "12"); // hidden, still gathered
        ClickMark(weighed);
        QVERIFY(!box("txtTare")->isVisibleTo(pane()));

        pane()->picPLUEditor->setCurrentIndex(2);
        QCheckBox *use = check("chkUseDiscount");
        QVERIFY(use->isChecked());
        QVERIFY(box("txtDiscountStartDate")->isEnabled() && list("cboMarkdownType")->isEnabled());
        ClickMark(use);
        QVERIFY(!box("txtDiscountWithin2ndLimit")->isEnabled() && !list("cboDiscountType")->isEnabled());
    }

    void statesAroundSaveAndDelete()
    {
        const int plus = SqlCount(state(), "PLU");
        window()->activateWindow(); // the text editor had the focus last
        QVERIFY(QTest::qWaitForWindowActive(window()));
        // A picked row is loaded for editing.
        window()->refreshPluList();
        PluListWidget *rows = window()->pluList();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(rows->model()->index(0, 0)).center());
        QCOMPARE(box("txtPluNo")->text(), rows->rowCells(0).value(0));
        QCOMPARE(buttons(), "0110 on");
        const QString no = box("txtPluNo")->text();

        TypeInto(box("txtPrice"), "3,75");
        QTest::mouseClick(pane()->cmdSavePLU, Qt::LeftButton);
        QCOMPARE(scalar("select PLU_UPrice from PLU where PLU_No=" + no), "3.75");
        QCOMPARE(buttons(), "1011 off");

        // New, an existing number: refused, everything typed stays.
        QTest::mouseClick(pane()->cmdNewPLU, Qt::LeftButton);
        QCOMPARE(buttons(), "0100 on");
        QCOMPARE(box("txtPrice")->text(), "0");
        TypeInto(box("txtPluNo"), no);
        TypeInto(box("txtPrice"), "9.99");
        QTest::mouseClick(pane()->cmdSavePLU, Qt::LeftButton);
        QCOMPARE(lastMessage(), text("msgPLUAlreadyExist"));
        QCOMPARE(m_root.ui.messages.last().icon, MsgIcon::Critical);
        QCOMPARE(box("txtPrice")->text(), "9.99");
        QVERIFY(box("txtPluNo")->hasFocus());
        QCOMPARE(buttons(), "0100 on");
        QCOMPARE(scalar("select PLU_UPrice from PLU where PLU_No=" + no), "3.75");

        TypeInto(box("txtPluNo"), "4321");
        TypeInto(box("txtPackedTime"), "06:30");
        QTest::mouseClick(pane()->cmdSavePLU, Qt::LeftButton);
        QCOMPARE(SqlCount(state(), "PLU"), plus + 1);
        QCOMPARE(scalar("select PLU_PAKTime||' '||PLU_UPrice from PLU where PLU_No=4321"), "06:30:00 9.99");

        // Delete: No keeps the PLU, Yes takes it; either way the editor is
        // cleared and only New is left.
        pane()->editPlu(1);
        m_root.ui.answers = {MsgResult::No};
        QTest::mouseClick(pane()->cmdDeletePLU, Qt::LeftButton);
        QCOMPARE(lastMessage(), text("msgDeletePLU") + "\r\n1");
        QCOMPARE(buttons(), "1000 off");
        QCOMPARE(box("txtPluNo")->text(), "0");
        pane()->editPlu(1);
        m_root.ui.answers = {MsgResult::Yes};
        QTest::mouseClick(pane()->cmdDeletePLU, Qt::LeftButton);
        QCOMPARE(SqlCount(state(), "PLU where PLU_No=1"), 0);

        // The menu's delete takes every selected row.
        window()->refreshPluList();
        rows->selectRow(0);
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          rows->visualRect(rows->model()->index(1, 0)).center());
        const QStringList chosen = {rows->rowCells(0).value(0), rows->rowCells(1).value(0)};
        m_root.ui.answers = {MsgResult::Yes};
        window()->dispatch(cmd::DeletePlu);
        QCOMPARE(lastMessage(), text("msgDeletePLU") + "\r\n" + chosen.join(','));
        QCOMPARE(SqlCount(state(), "PLU where PLU_No in (" + chosen.join(',') + ")"), 0);

        // New PLU from the menu on a main group; searches without a hit.
        ClickNode(m_session->tree(), m_session->tree()->findNode("MG203"));
        window()->dispatch(cmd::NewPlu);
        QCOMPARE(buttons(), "0100 on");
        QCOMPARE(ComboItemValue(list("combMGlist")->currentText()), 203);
        QVERIFY(box("txtPluNo")->hasFocus());
        TypeInto(window()->queryPane()->txtQueryByPLUNo, "99999");
        QTest::keyClick(window()->queryPane()->txtQueryByPLUNo, Qt::Key_Return);
        QCOMPARE(buttons(), "1000 off");
        TypeInto(window()->queryPane()->txtQueryByItemCode, "99999");
        QTest::keyClick(window()->queryPane()->txtQueryByItemCode, Qt::Key_Return);
        QCOMPARE(buttons(), "0100 on");
    }

    void cleanupTestCase() { m_session.reset(); }
};

QTEST_MAIN(TestPluListAndEditor)
#include "tst_plulist.moc"
