#include "ui/PluEditorPane.h"

#include "comm/ScaleCommands.h"
#include "core/AppState.h"
#include "core/PluFields.h"
#include "core/UserInterface.h"
#include "core/Values.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"
#include "manage/PluEditorLogic.h"
#include "manage/StoreHierarchy.h"
#include "ui/EditTextDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <limits>

namespace korvo {

QChar TabMnemonic(const QString &caption)
{
    QChar found;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (i + 1 >= caption.size())
            break;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i; // "&&" is a literal ampersand
            continue;
        }
        found = caption[i + 1];
        ++i;
    }
    return found.isNull() ? found : found.toUpper();
}

namespace {

const QString kOwner = QStringLiteral("frmMain");

QGroupBox *NamedGroup(QWidget *parent, const char *name)
{
    auto *g = new QGroupBox(parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

QRegularExpressionValidator *Pattern(const QString &re, QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(re), parent);
}

QStringList ItemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// A grid of label-field pairs placed by (row, pair).
class PairGrid {
public:
    explicit PairGrid(QGridLayout *grid) : m_grid(grid) {}
    void add(int row, int pair, QLabel *label, QWidget *field, int span = 1)
    {
        if (label)
            m_grid->addWidget(label, row, 2 * pair);
        m_grid->addWidget(field, row, 2 * pair + 1, 1, 2 * span - 1);
    }
    void add(int row, int pair, QLabel *label, QLayout *fields, int span = 1)
    {
        if (label)
            m_grid->addWidget(label, row, 2 * pair);
        m_grid->addLayout(fields, row, 2 * pair + 1, 1, 2 * span - 1);
    }

private:
    QGridLayout *m_grid;
};

QHBoxLayout *Row(std::initializer_list<QWidget *> widgets, bool stretch = true)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : widgets)
        row->addWidget(w);
    if (stretch)
        row->addStretch(1);
    return row;
}

struct StatusBox {
    QCheckBox *PluEditorPane::*box;
    const char *column;
    bool inverted;
};

} // namespace

// ---------------------------------------------------------------- building

QLineEdit *PluEditorPane::makeLineEdit(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->installEventFilter(this);
    return e;
}

QLineEdit *PluEditorPane::makeBox(const EditorBox &box, QWidget *parent)
{
    QLineEdit *e = makeLineEdit(box.name, parent);
    const int figure = e->fontMetrics().horizontalAdvance(QLatin1Char('9'));
    switch (box.kind) {
    case BoxKind::Integer:
        if (box.places > 0) {
            e->setValidator(Pattern(QStringLiteral("\\d{0,%1}").arg(box.places), e));
            e->setFixedWidth(figure * (qMin(box.places, 6) + 2) + 16);
        } else {
            // The item code: as many figures as the barcode format has.
            m_itemCodePattern = Pattern(QStringLiteral("\\d{0,12}"), e);
            e->setValidator(m_itemCodePattern);
            e->setFixedWidth(figure * 14 + 16);
        }
        break;
    case BoxKind::Price:
        e->setValidator(Pattern(QStringLiteral("\\d{0,6}([.,]\\d{0,2})?"), e));
        e->setFixedWidth(figure * 11 + 16);
        break;
    case BoxKind::Time:
        e->setValidator(Pattern(QStringLiteral("\\d{0,2}(:\\d{0,2}(:\\d{0,2})?)?"), e));
        e->setFixedWidth(figure * 7 + 16);
        break;
    case BoxKind::Text:
        break;
    }
    m_boxes.insert(QLatin1String(box.name), e);
    return e;
}

QComboBox *PluEditorPane::makeCombo(const char *name, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(8);
    // The operator's choice replaces a value that matched no item.
    connect(c, &QComboBox::activated, this, [this, c] { m_unmatched.remove(c); });
    return c;
}

QCheckBox *PluEditorPane::makeCheck(const char *name, QWidget *parent)
{
    auto *c = new QCheckBox(parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QLabel *PluEditorPane::makeLabel(const char *name, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

PluEditorPane::PluEditorPane(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    picPLUEditor = new QTabWidget(this);
    picPLUEditor->setObjectName(QStringLiteral("picPLUEditor"));
    auto *itemPage = new QWidget;
    auto *labelPage = new QWidget;
    auto *discountPage = new QWidget;
    buildItemPage(itemPage);
    buildLabelPage(labelPage);
    buildDiscountPage(discountPage);
    picPLUEditor->addTab(itemPage, QStringLiteral("&Item"));
    picPLUEditor->addTab(labelPage, QStringLiteral("&Label"));
    picPLUEditor->addTab(discountPage, QStringLiteral("&Discount"));

    // The buttons sit beside the tabs, so a page keeps the pane's whole width.
    auto *corner = new QWidget(picPLUEditor);
    auto *buttons = new QHBoxLayout(corner);
    buttons->setContentsMargins(0, 0, 0, 2);
    auto make = [&](const char *name) {
        auto *b = new QPushButton(corner);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    cmdNewPLU = make("cmdNewPLU");
    cmdSavePLU = make("cmdSavePLU");
    cmdDeletePLU = make("cmdDeletePLU");
    cmdUploadPLU = make("cmdUploadPLU");
    picPLUEditor->setCornerWidget(corner, Qt::TopRightCorner);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->addWidget(picPLUEditor, 1);

    connect(cmdNewPLU, &QPushButton::clicked, this, [this] {
        newPlu();
        focusField(m_boxes.value(QStringLiteral("txtPluNo")));
    });
    connect(cmdSavePLU, &QPushButton::clicked, this, &PluEditorPane::savePlu);
    connect(cmdDeletePLU, &QPushButton::clicked, this, &PluEditorPane::deletePlu);
    // The PLU as last saved and encoded: the component reads the database.
    connect(cmdUploadPLU, &QPushButton::clicked, this, [this] {
        if (QLineEdit *no = m_boxes.value(QStringLiteral("txtPluNo")))
            UploadPlu(m_state, no->text());
    });
    connect(chkWeighed, &QCheckBox::toggled, this, &PluEditorPane::applyWeighed);
    connect(chkUseDiscount, &QCheckBox::toggled, this, &PluEditorPane::applyUseDiscount);
    connect(cboBarcodeFormat, &QComboBox::activated, this, &PluEditorPane::showBarcodeFormat);
    for (const LongText &t : std::as_const(m_longTexts)) {
        connect(t.box, &QLineEdit::textEdited, this, [this, t] { typeLongText(t); });
        connect(t.edit, &QPushButton::clicked, this, [this, t] { editLongText(t); });
    }
}

QLineEdit *PluEditorPane::tableBox(const char *name, QWidget *parent)
{
    for (const EditorBox &b : EditorBoxes())
        if (qstrcmp(b.name, name) == 0)
            return makeBox(b, parent);
    return nullptr;
}

namespace {

QGridLayout *GroupGrid(QWidget *group)
{
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(6);
    return grid;
}

QVBoxLayout *PageColumn(QWidget *page)
{
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    return column;
}

} // namespace

// Every page is a grid of label-field pairs, three or four pairs wide, so
// that a whole page shows in the pane at the window's default size.
void PluEditorPane::buildItemPage(QWidget *page)
{
    fraItemPage = NamedGroup(page, "fraItemPage");
    PageColumn(page)->addWidget(fraItemPage);
    QWidget *g = fraItemPage;
    QGridLayout *grid = GroupGrid(g);
    PairGrid pairs(grid);

    QLineEdit *pluNo = tableBox("txtPluNo", g);
    QLineEdit *itemCode = tableBox("txtItemCode", g);
    combMGlist = makeCombo("combMGlist", g);
    combMGlist->setMinimumContentsLength(14);
    pairs.add(0, 0, makeLabel("lblPluNo", pluNo, g), pluNo);
    pairs.add(0, 1, makeLabel("lblItemCode", itemCode, g), itemCode);
    pairs.add(0, 2, makeLabel("lblMGlist", combMGlist, g), combMGlist);

    int row = 1;
    for (const auto &[name, button, label, text, font] :
         {std::tuple{"txtPluName", "cmdNameEdit", "lblPluName", int(pf::Commodity), int(pf::CommFonts)},
          std::tuple{"txtIngredient", "cmdIngredientEdit", "lblIngredient", int(pf::Ingredient), int(pf::IngreFonts)},
          std::tuple{"txtSpecialMessage", "cmdSpecialMessageEdit", "lblSpecialMessage", int(pf::SPMessage),
                     int(pf::SPMFonts)}}) {
        LongText t{makeLineEdit(name, g), new QPushButton(g), text, font};
        t.edit->setObjectName(QLatin1String(button));
        m_longTexts.push_back(t);
        auto *line = new QHBoxLayout;
        line->addWidget(t.box, 1);
        line->addWidget(t.edit);
        pairs.add(row++, 0, makeLabel(label, t.box, g), line, 3);
    }

    QLineEdit *price = tableBox("txtPrice", g);
    QLineEdit *cost = tableBox("txtCost", g);
    pairs.add(row, 0, makeLabel("lblPrice", price, g), price);
    pairs.add(row, 1, makeLabel("lblCost", cost, g), cost);

    // Tare and quantity share their place: the weighed box shows one of them.
    QLineEdit *tare = tableBox("txtTare", g);
    QLineEdit *quantity = tableBox("txtQuantity", g);
    QLabel *lblTare = makeLabel("lblTare", tare, g);
    QLabel *lblQuantity = makeLabel("lblQuantity", quantity, g);
    QLabel *lblTareUnit = makeLabel("lblTareUnit", nullptr, g);
    QLabel *lblPieces = makeLabel("lblPieces", nullptr, g);
    m_tareWidgets = {tare, lblTare, lblTareUnit};
    m_quantityWidgets = {quantity, lblQuantity, lblPieces};
    grid->addWidget(lblTare, row, 4);
    grid->addWidget(lblQuantity, row, 4);
    grid->addLayout(Row({tare, lblTareUnit, quantity, lblPieces}), row++, 5);

    // Dates and times with their print boxes.
    chkSBDatePrint = makeCheck("chkSBDatePrint", g);
    chkSBTimePrint = makeCheck("chkSBTimePrint", g);
    chkRTCSBTimePrint = makeCheck("chkRTCSBTimePrint", g);
    chkUBDatePrint = makeCheck("chkUBDatePrint", g);
    chkPackDatePrint = makeCheck("chkPackDatePrint", g);
    chkPackTimePrint = makeCheck("chkPackTimePrint", g);
    chkRTCPackTimePrint = makeCheck("chkRTCPackTimePrint", g);
    QLineEdit *sbDate = tableBox("txtSellByDate", g);
    QLineEdit *ubDate = tableBox("txtUsedByDate", g);
    QLineEdit *pkDate = tableBox("txtPackedDate", g);
    QLineEdit *sbTime = tableBox("txtSellByTime", g);
    QLineEdit *pkTime = tableBox("txtPackedTime", g);
    cboQuantitySymbol = makeCombo("cboQuantitySymbol", g);
    chkWeighed = makeCheck("chkWeighed", g);
    chkPriceBase = makeCheck("chkPriceBase", g);
    pairs.add(row, 0, makeLabel("lblUsedByDate", ubDate, g), Row({ubDate, chkUBDatePrint}));
    pairs.add(row, 1, makeLabel("lblQuantitySymbol", cboQuantitySymbol, g), cboQuantitySymbol);
    grid->addLayout(Row({chkWeighed, chkPriceBase}), row++, 4, 1, 2);
    pairs.add(row, 0, makeLabel("lblSellByDate", sbDate, g), Row({sbDate, chkSBDatePrint}));
    pairs.add(row, 1, makeLabel("lblSellByTime", sbTime, g), Row({sbTime, chkSBTimePrint}));
    grid->addWidget(chkRTCSBTimePrint, row++, 4, 1, 2);
    pairs.add(row, 0, makeLabel("lblPackedDate", pkDate, g), Row({pkDate, chkPackDatePrint}));
    pairs.add(row, 1, makeLabel("lblPackedTime", pkTime, g), Row({pkTime, chkPackTimePrint}));
    grid->addWidget(chkRTCPackTimePrint, row++, 4, 1, 2);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(row, 1);
}

void PluEditorPane::buildLabelPage(QWidget *page)
{
    fraLabelPage = NamedGroup(page, "fraLabelPage");
    fraImageTextPage = NamedGroup(page, "fraImageTextPage");
    QVBoxLayout *column = PageColumn(page);
    column->addWidget(fraLabelPage);
    column->addWidget(fraImageTextPage, 1);

    QWidget *g = fraLabelPage;
    QGridLayout *grid = GroupGrid(g);
    PairGrid pairs(grid);
    cbo1stLabelFormat = makeCombo("cbo1stLabelFormat", g);
    cbo2ndLabelFormat = makeCombo("cbo2ndLabelFormat", g);
    cboBarcodeFormat = makeCombo("cboBarcodeFormat", g);
    cboBarcodeFormat->setMinimumContentsLength(30);
    cboBarcodeFlag = makeCombo("cboBarcodeFlag", g);
    pairs.add(0, 0, makeLabel("lbl1stLabelFormat", cbo1stLabelFormat, g), cbo1stLabelFormat);
    pairs.add(0, 1, makeLabel("lbl2ndLabelFormat", cbo2ndLabelFormat, g), cbo2ndLabelFormat);
    pairs.add(1, 0, makeLabel("lblBarcodeFormat", cboBarcodeFormat, g), cboBarcodeFormat, 2);
    txtFlagCode1 = makeLineEdit("txtFlagCode1", g);
    txtFlagCode2 = makeLineEdit("txtFlagCode2", g);
    for (QLineEdit *flag : {txtFlagCode1, txtFlagCode2}) {
        flag->setValidator(Pattern(QStringLiteral("\\d?"), flag));
        flag->setFixedWidth(flag->fontMetrics().horizontalAdvance(QLatin1Char('9')) * 3 + 16);
    }
    lblFlagCode1 = makeLabel("lblFlagCode1", txtFlagCode1, g);
    lblFlagCode2 = makeLabel("lblFlagCode2", txtFlagCode2, g);
    chkBarcodeAddOn = makeCheck("chkBarcodeAddOn", g);
    pairs.add(2, 0, makeLabel("lblBarcodeFlag", cboBarcodeFlag, g), cboBarcodeFlag);
    pairs.add(2, 1, lblFlagCode1, Row({txtFlagCode1, lblFlagCode2, txtFlagCode2, chkBarcodeAddOn}));
    QLineEdit *multi1 = tableBox("txtMultiBarcode1", g);
    QLineEdit *multi2 = tableBox("txtMultiBarcode2", g);
    pairs.add(3, 0, makeLabel("lblMultiBarcode1", multi1, g), multi1);
    pairs.add(3, 1, makeLabel("lblMultiBarcode2", multi2, g), multi2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    // Label texts in the first row, images in the next two.
    QWidget *t = fraImageTextPage;
    QGridLayout *texts = GroupGrid(t);
    PairGrid tpairs(texts);
    for (int n = 1; n <= 5; ++n) {
        const QByteArray box = "txtText" + QByteArray::number(n), label = "lblText" + QByteArray::number(n);
        QLineEdit *e = tableBox(box.constData(), t);
        tpairs.add(0, n - 1, makeLabel(label.constData(), e, t), e);
    }
    for (int n = 1; n <= 10; ++n) {
        const QByteArray box = "txtImage" + QByteArray::number(n), label = "lblImage" + QByteArray::number(n);
        QLineEdit *e = tableBox(box.constData(), t);
        tpairs.add(1 + (n - 1) / 5, (n - 1) % 5, makeLabel(label.constData(), e, t), e);
    }
    texts->setRowStretch(3, 1);
}

void PluEditorPane::buildDiscountPage(QWidget *page)
{
    fraDiscountPage = NamedGroup(page, "fraDiscountPage");
    fraOtherPage = NamedGroup(page, "fraOtherPage");
    QVBoxLayout *column = PageColumn(page);
    column->addWidget(fraDiscountPage);
    column->addWidget(fraOtherPage, 1);

    QWidget *g = fraDiscountPage;
    QGridLayout *grid = GroupGrid(g);
    PairGrid pairs(grid);
    chkUseDiscount = makeCheck("chkUseDiscount", g);
    cboDiscountType = makeCombo("cboDiscountType", g);
    cboMarkdownType = makeCombo("cboMarkdownType", g);
    cboDiscountType->setMinimumContentsLength(10);
    cboMarkdownType->setMinimumContentsLength(10);
    grid->addWidget(chkUseDiscount, 0, 0, 1, 2);
    pairs.add(0, 1, makeLabel("lblDiscountType", cboDiscountType, g), cboDiscountType);
    pairs.add(0, 2, makeLabel("lblMarkdownType", cboMarkdownType, g), cboMarkdownType, 2);
    // Start and end in the first two pairs, the limits in the other two.
    const struct {
        const char *label, *box, *placeholder;
        int row, pair;
    } fields[] = {
        {"lblDiscountStartDate", "txtDiscountStartDate", "YYYY-MM-DD", 1, 0},
        {"lblDiscountStartTime", "txtDiscountStartTime", "HH:MM:SS", 1, 1},
        {"lblDiscountEndDate", "txtDiscountEndDate", "YYYY-MM-DD", 2, 0},
        {"lblDiscountEndTime", "txtDiscountEndTime", "HH:MM:SS", 2, 1},
        {"lbl1stLimitForDiscount", "txt1stLimitForDiscount", nullptr, 1, 2},
        {"lblDiscountWithin1stLimit", "txtDiscountWithin1stLimit", nullptr, 1, 3},
        {"lbl2ndLimitForDiscount", "txt2ndLimitForDiscount", nullptr, 2, 2},
        {"lblDiscountWithin2ndLimit", "txtDiscountWithin2ndLimit", nullptr, 2, 3},
    };
    for (const auto &f : fields) {
        QLineEdit *e = makeLineEdit(f.box, g);
        const int figure = e->fontMetrics().horizontalAdvance(QLatin1Char('9'));
        if (f.placeholder) {
            // Empty until a date or time is typed; an empty box is left out.
            e->setPlaceholderText(QLatin1String(f.placeholder));
            e->setValidator(Pattern(f.pair == 0 ? QStringLiteral("\\d{0,4}(-\\d{0,2}(-\\d{0,2})?)?")
                                                : QStringLiteral("\\d{0,2}(:\\d{0,2}(:\\d{0,2})?)?"),
                                    e));
        } else {
            e->setValidator(Pattern(QStringLiteral("\\d{0,6}([.,]\\d{0,2})?"), e));
        }
        e->setFixedWidth(figure * (f.pair == 0 ? 10 : f.pair == 1 ? 8 : 9) + 14);
        m_discountBoxes.push_back(e);
        pairs.add(f.row, f.pair, makeLabel(f.label, e, g), e);
    }
    grid->setColumnStretch(7, 1);

    // The other settings: three pairs wide.
    QWidget *o = fraOtherPage;
    QGridLayout *other = GroupGrid(o);
    PairGrid opairs(other);
    cbo2ndQuantitySymbol = makeCombo("cbo2ndQuantitySymbol", o);
    cboTraceability = makeCombo("cboTraceability", o);
    QLineEdit *place = tableBox("txtPlace", o);
    cmdPlaceNoEdit = new QPushButton(o);
    cmdPlaceNoEdit->setObjectName(QStringLiteral("cmdPlaceNoEdit"));
    cmdPlaceNoSelect = new QPushButton(o);
    cmdPlaceNoSelect->setObjectName(QStringLiteral("cmdPlaceNoSelect"));
    // The list of production places is kept by a sibling tool that is not
    // part of this program yet.
    for (QPushButton *b : {cmdPlaceNoEdit, cmdPlaceNoSelect})
        b->setToolTip(GetLangString(m_state, kOwner, QStringLiteral("tipPlaceNo")));
    // Read down the columns: prices and points, discounts, references.
    const struct {
        const char *label, *box;
    } others[] = {
        {"lbl2ndPrice", "txt2ndPrice"},
        {"lbl2ndQuantitySymbol", nullptr},
        {"lblCoupledPluNo", "txtCoupledPluNo"},
        {"lbl2ndQuantity", "txt2ndQuantity"},
        {"lblCustomerDiscount", "txtCustomerDiscount"},
        {"lblPackagingIndicator", "txtPackagingIndicator"},
        {"lblRestaurantPrice", "txtRestaurantPrice"},
        {"lblStaffDiscount", "txtStaffDiscount"},
        {"lblTraceability", nullptr},
        {"lblBonusPoint", "txtBonusPoint"},
        {"lblDiscountDayOfWeek", "txtDiscountDayOfWeek"},
        {"lblTraceabilityLink", "txtTraceabilityLink"},
        {"lblTaxNo", "txtTaxNo"},
        {"lblRefPluNumber", "txtRefPluNumber"},
        {"lblPlace", nullptr},
    };
    int i = 0;
    for (const auto &f : others) {
        QWidget *field = nullptr;
        QLayout *fields = nullptr;
        if (f.box)
            field = tableBox(f.box, o);
        else if (qstrcmp(f.label, "lbl2ndQuantitySymbol") == 0)
            field = cbo2ndQuantitySymbol;
        else if (qstrcmp(f.label, "lblTraceability") == 0)
            field = cboTraceability;
        else
            fields = Row({place, cmdPlaceNoEdit, cmdPlaceNoSelect});
        QLabel *label = makeLabel(f.label, field ? field : place, o);
        if (field)
            opairs.add(i / 3, i % 3, label, field);
        else
            opairs.add(i / 3, i % 3, label, fields);
        ++i;
    }
    other->setColumnStretch(5, 1);
    other->setRowStretch(5, 1);
}

// ---------------------------------------------------------------- tabs

void PluEditorPane::setTabCaptions(const QString &item, const QString &label, const QString &discount)
{
    picPLUEditor->setTabText(0, item);
    picPLUEditor->setTabText(1, label);
    picPLUEditor->setTabText(2, discount);
}

void PluEditorPane::nextTab()
{
    const int n = picPLUEditor->count();
    if (n > 0)
        picPLUEditor->setCurrentIndex((picPLUEditor->currentIndex() + 1) % n);
}

void PluEditorPane::previousTab()
{
    const int n = picPLUEditor->count();
    if (n > 0)
        picPLUEditor->setCurrentIndex((picPLUEditor->currentIndex() + n - 1) % n);
}

int PluEditorPane::findTabByMnemonic(QChar letter) const
{
    const QChar wanted = letter.toUpper();
    if (wanted.isNull())
        return -1;
    for (int i = 0; i < picPLUEditor->count(); ++i) {
        if (TabMnemonic(picPLUEditor->tabText(i)) == wanted)
            return i;
    }
    return -1;
}

bool PluEditorPane::selectTabByMnemonic(QChar letter)
{
    const int i = findTabByMnemonic(letter);
    if (i < 0)
        return false;
    picPLUEditor->setCurrentIndex(i);
    return true;
}

// ---------------------------------------------------------------- states

void PluEditorPane::setIdle()
{
    clearEditor();
    setEditorEnabled(false);
    setEditorState(QStringLiteral("SAVE"));
}

void PluEditorPane::setEditorEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(fraItemPage), static_cast<QWidget *>(fraLabelPage),
                       static_cast<QWidget *>(fraImageTextPage), static_cast<QWidget *>(fraOtherPage),
                       static_cast<QWidget *>(fraDiscountPage)})
        w->setEnabled(enabled);
    for (const LongText &t : std::as_const(m_longTexts))
        t.edit->setEnabled(enabled && GetSecurityPermission(m_state, kOwner, t.edit->objectName()));
    cmdPlaceNoEdit->setEnabled(false);
    cmdPlaceNoSelect->setEnabled(false);
}

void PluEditorPane::setButtons(bool newPlu, bool save, bool upload, bool remove)
{
    auto set = [this](QPushButton *b, bool on) {
        // A function the user is prohibited stays disabled in every state.
        b->setEnabled(on && GetSecurityPermission(m_state, kOwner, b->objectName()));
    };
    set(cmdNewPLU, newPlu);
    set(cmdSavePLU, save);
    set(cmdDeletePLU, remove);
    set(cmdUploadPLU, upload);
}

void PluEditorPane::setEditorState(const QString &stateName)
{
    const EditorButtons b = EditorStateButtons(stateName);
    if (b.startNew) {
        newPlu();
        focusField(m_boxes.value(QStringLiteral("txtPluNo")));
        return;
    }
    setButtons(b.newPlu, b.save, b.upload, b.remove);
}

void PluEditorPane::newPlu()
{
    setEditorEnabled(true);
    // The lists the next PLU takes over from the one shown before.
    PluRecord fresh;
    for (int i : {int(pf::LBFormat2), int(pf::QTYSymbol), int(pf::SecondQtySymbol), int(pf::Traceability)})
        fresh.values[i] = m_record.values.value(i);
    m_record = fresh;
    // Every typed number is tested for existence, also that of the PLU
    // shown before.
    m_currentPluNo = 0;
    clearEditor();
    picPLUEditor->setCurrentIndex(0);
    setButtons(false, true, false, false);
}

void PluEditorPane::editPlu(qint32 pluNo)
{
    clearEditor();
    setEditorEnabled(true);
    if (loadPlu(pluNo))
        setEditorState(QStringLiteral("EDIT"));
    else
        setEditorState(QStringLiteral("SAVE"));
}

// ---------------------------------------------------------------- lists

void PluEditorPane::fillLists()
{
    const struct {
        QComboBox *list;
        QStringList items;
    } lists[] = {
        {combMGlist, MainGroupItems(m_state)},
        {cboQuantitySymbol, LanguageListItems(m_state, QStringLiteral("QuantitySymbolComboBox"))},
        {cbo2ndQuantitySymbol, LanguageListItems(m_state, QStringLiteral("QuantitySymbolComboBox"))},
        {cboTraceability, LanguageListItems(m_state, QStringLiteral("TraceabilityComboBox"))},
        {cbo1stLabelFormat, LabelFormatItems(m_state)},
        {cbo2ndLabelFormat, SecondLabelFormatItems(m_state)},
        {cboBarcodeFormat, BarcodeFormatItems(m_state)},
        {cboBarcodeFlag, LanguageListItems(m_state, QStringLiteral("BarcodeFlagComboBox"))},
        {cboDiscountType, LanguageListItems(m_state, QStringLiteral("DiscountTypeComboBox1"))},
        {cboMarkdownType, LanguageListItems(m_state, QStringLiteral("MarkdownTypeComboBox"))},
    };
    for (const auto &l : lists) {
        l.list->clear();
        l.list->addItems(l.items);
        l.list->setPlaceholderText(QString());
        m_unmatched.remove(l.list);
    }
}

void PluEditorPane::setListValue(QComboBox *list, const QString &value, qint32 shownValue)
{
    const int i = value.trimmed().isEmpty() ? -1 : ItemIndexOfValue(ItemsOf(list), shownValue);
    list->setCurrentIndex(i);
    // A value that matches no item is kept to be saved back unchanged; no
    // value at all is gathered as 0.
    if (i >= 0 || value.trimmed().isEmpty()) {
        m_unmatched.remove(list);
        list->setPlaceholderText(QString());
    } else {
        m_unmatched.insert(list, value);
        list->setPlaceholderText(value);
    }
}

void PluEditorPane::setListValue(QComboBox *list, const QString &value)
{
    setListValue(list, value, StrictInt32(value).value_or(std::numeric_limits<qint32>::min()));
}

QString PluEditorPane::listValue(QComboBox *list) const
{
    if (list->currentIndex() >= 0)
        return QString::number(ComboItemValue(list->currentText()));
    // A value the list could not show goes back as it came.
    return m_unmatched.contains(list) ? m_unmatched.value(list) : QStringLiteral("0");
}

// ---------------------------------------------------------------- clear, load, show

void PluEditorPane::clearEditor()
{
    for (const EditorBox &b : EditorBoxes())
        if (b.cleared)
            m_boxes.value(QLatin1String(b.name))->setText(QLatin1String(b.cleared));
    for (const LongText &t : std::as_const(m_longTexts))
        t.box->clear();
    for (QCheckBox *c : {chkSBDatePrint, chkSBTimePrint, chkRTCSBTimePrint, chkPackTimePrint, chkRTCPackTimePrint})
        c->setChecked(false);
    chkUBDatePrint->setChecked(true);
    chkPackDatePrint->setChecked(true);
    for (int i = 0; i < m_discountBoxes.size(); ++i)
        m_discountBoxes[i]->setText(i < 4 ? QString() : QStringLiteral("0"));

    fillLists();
    setListValue(combMGlist, QString::number(m_currentMainGroup));
    const MGSettings *mg = MainGroupSettings(m_state, m_currentMainGroup);
    setListValue(cbo1stLabelFormat, mg ? QString::number(mg->LabFormat) : QString());
    const qint32 second = StrictInt32(m_record.values.at(pf::LBFormat2)).value_or(0);
    setListValue(cbo2ndLabelFormat, m_record.values.at(pf::LBFormat2), SecondLabelListValue(second));
    setListValue(cboQuantitySymbol, m_record.values.at(pf::QTYSymbol));
    setListValue(cbo2ndQuantitySymbol, m_record.values.at(pf::SecondQtySymbol));
    setListValue(cboTraceability, m_record.values.at(pf::Traceability));
    applyMainGroupBarcode();
    applyWeighed();
    applyUseDiscount();
}

void PluEditorPane::applyMainGroupBarcode()
{
    const MGSettings *s = MainGroupSettings(m_state, m_currentMainGroup);
    if (!s) {
        cboBarcodeFormat->setCurrentIndex(-1);
        showBarcodeFormat(-1);
        return;
    }
    m_record.values[pf::BarFormat] = QString::number(s->BarFormat);
    setListValue(cboBarcodeFlag, QString::number(s->BarFlag));
    const QVector<BarcodeListEntry> &list = m_state.enc.barcodeList;
    int row = -1;
    for (int i = 0; i < list.size() && row < 0; ++i)
        if (list[i].BAR_Code == s->BarFormat && list[i].BAR_Type.compare(s->Bar_Type, Qt::CaseInsensitive) == 0)
            row = i;
    cboBarcodeFormat->setCurrentIndex(row);
    showBarcodeFormat(row);
    txtFlagCode1->setText(QString::number(s->Flag1));
    txtFlagCode2->setText(QString::number(s->Flag2));
}

void PluEditorPane::showBarcodeFormat(int row)
{
    const QVector<BarcodeListEntry> &list = m_state.enc.barcodeList;
    BarcodeBoxes boxes;
    int itemNum = 0;
    if (row >= 0 && row < list.size()) {
        boxes = BarcodeBoxesOf(list[row]);
        itemNum = list[row].ItemNum;
    }
    for (QWidget *w : {static_cast<QWidget *>(txtFlagCode1), static_cast<QWidget *>(lblFlagCode1)})
        w->setVisible(boxes.flag1Visible);
    for (QWidget *w : {static_cast<QWidget *>(txtFlagCode2), static_cast<QWidget *>(lblFlagCode2)})
        w->setVisible(boxes.flag2Visible);
    txtFlagCode1->setEnabled(boxes.flag1Enabled);
    txtFlagCode2->setEnabled(boxes.flag2Enabled);
    chkBarcodeAddOn->setEnabled(boxes.addOnEnabled
                                && GetSecurityPermission(m_state, kOwner, chkBarcodeAddOn->objectName()));
    setItemCodeLength(itemNum);
}

void PluEditorPane::setItemCodeLength(int length)
{
    m_itemCodeLength = length;
    const int places = length > 0 ? length : 12;
    QLineEdit *box = m_boxes.value(QStringLiteral("txtItemCode"));
    m_itemCodePattern->setRegularExpression(QRegularExpression(QStringLiteral("\\d{0,%1}").arg(places)));
    box->setMaxLength(places);
}

bool PluEditorPane::loadPlu(qint32 pluNo)
{
    const std::optional<PluRecord> r = LoadPlu(m_state, pluNo);
    if (!r) {
        clearEditor();
        setEditorEnabled(false);
        return false;
    }
    m_record = *r;
    m_currentPluNo = pluNo;
    m_currentMainGroup = StrictInt32(m_record.values.at(pf::MG)).value_or(0);
    const StatusBox statusBoxes[] = {
        {&PluEditorPane::chkWeighed, "Stat1_Unit", true},
        {&PluEditorPane::chkPriceBase, "Stat1_PBPreUnit", false},
        {&PluEditorPane::chkSBDatePrint, "Stat1_SBDate", false},
        {&PluEditorPane::chkSBTimePrint, "Stat1_SBTime", false},
        {&PluEditorPane::chkRTCSBTimePrint, "Stat1_RTCSBTime", false},
        {&PluEditorPane::chkUBDatePrint, "Stat1_UBDate", false},
        {&PluEditorPane::chkPackDatePrint, "Stat1_PKDate", false},
        {&PluEditorPane::chkPackTimePrint, "Stat1_PKTime", false},
        {&PluEditorPane::chkRTCPackTimePrint, "Stat1_RTCPKTime", false},
        {&PluEditorPane::chkUseDiscount, "Stat2_Discount", false},
    };
    for (const StatusBox &s : statusBoxes)
        (this->*s.box)->setChecked(m_record.status.value(QLatin1String(s.column)) != s.inverted);
    showRecord();
    setButtons(cmdNewPLU->isEnabled(), true, false, true);
    applyUseDiscount();
    applyWeighed();
    return true;
}

void PluEditorPane::showRecord()
{
    const QStringList &v = m_record.values;
    for (const EditorBox &b : EditorBoxes())
        m_boxes.value(QLatin1String(b.name))->setText(BoxShownText(b.kind, v.at(b.field)));
    for (const LongText &t : std::as_const(m_longTexts))
        t.box->setText(FirstLine(v.at(t.textField)));

    setListValue(combMGlist, v.at(pf::MG));
    setListValue(cboQuantitySymbol, v.at(pf::QTYSymbol));
    setListValue(cbo2ndQuantitySymbol, v.at(pf::SecondQtySymbol));
    setListValue(cboTraceability, v.at(pf::Traceability));
    setListValue(cbo1stLabelFormat, v.at(pf::LBFormat1));
    const qint32 second = StrictInt32(v.at(pf::LBFormat2)).value_or(0);
    setListValue(cbo2ndLabelFormat, v.at(pf::LBFormat2), SecondLabelListValue(second));

    const QVector<BarcodeListEntry> &list = m_state.enc.barcodeList;
    const EanParts ean = SplitEanData(list, StrictInt32(v.at(pf::BarFormat)).value_or(0), v.at(pf::EANData));
    chkBarcodeAddOn->setChecked(ean.addOn);
    setListValue(cboBarcodeFlag, ean.barFlag ? QString::number(*ean.barFlag) : QString());
    cboBarcodeFormat->setCurrentIndex(ean.format);
    if (ean.format < 0 && !v.at(pf::BarFormat).isEmpty()) {
        m_unmatched.insert(cboBarcodeFormat, v.at(pf::BarFormat));
        cboBarcodeFormat->setPlaceholderText(v.at(pf::BarFormat));
    }
    showBarcodeFormat(ean.format);
    txtFlagCode1->setText(ean.flag1);
    txtFlagCode2->setText(ean.flag2);
    m_boxes.value(QStringLiteral("txtItemCode"))
        ->setText(m_itemCodeLength > 0 ? v.at(pf::ItemCode).left(m_itemCodeLength) : v.at(pf::ItemCode));

    if (m_record.discount) {
        const QStringList &d = *m_record.discount;
        for (int i = 0; i < m_discountBoxes.size(); ++i)
            m_discountBoxes[i]->setText(i < 4 ? d.value(i) : BoxShownText(BoxKind::Price, d.value(i)));
        setListValue(cboDiscountType, d.value(8));
        setListValue(cboMarkdownType, d.value(9));
    }
}

// ---------------------------------------------------------------- gather

std::optional<PluRecord> PluEditorPane::gather(QWidget **bad) const
{
    PluRecord r = m_record;
    for (const EditorBox &b : EditorBoxes()) {
        QLineEdit *box = m_boxes.value(QLatin1String(b.name));
        const std::optional<QString> value = BoxGatheredText(b, box->text());
        if (!value) {
            if (bad)
                *bad = box;
            return std::nullopt;
        }
        r.values[b.field] = *value;
    }
    r.values[pf::MG] = listValue(combMGlist);
    r.values[pf::QTYSymbol] = listValue(cboQuantitySymbol);
    r.values[pf::SecondQtySymbol] = listValue(cbo2ndQuantitySymbol);
    r.values[pf::Traceability] = listValue(cboTraceability);
    r.values[pf::LBFormat1] = listValue(cbo1stLabelFormat);
    r.values[pf::LBFormat2] = cbo2ndLabelFormat->currentIndex() >= 0
        ? QString::number(SecondLabelStoredValue(ComboItemValue(cbo2ndLabelFormat->currentText())))
        : listValue(cbo2ndLabelFormat);

    const QVector<BarcodeListEntry> &list = m_state.enc.barcodeList;
    const int format = cboBarcodeFormat->currentIndex();
    if (format >= 0 && format < list.size()) {
        r.values[pf::BarFormat] = QString::number(list[format].BAR_Code);
        r.values[pf::EANData] = ComposeEanData(list[format], txtFlagCode1->text(), txtFlagCode2->text(),
                                               r.values.at(pf::ItemCode), chkBarcodeAddOn->isChecked(),
                                               PrefixToInt32(listValue(cboBarcodeFlag)));
    } else if (!m_unmatched.contains(cboBarcodeFormat) && !list.isEmpty()) {
        r.values[pf::BarFormat] = QString::number(list.first().BAR_Code);
    }

    const std::pair<QCheckBox *, const char *> status[] = {
        {chkPriceBase, "Stat1_PBPreUnit"}, {chkUseDiscount, "Stat2_Discount"},
        {chkSBDatePrint, "Stat1_SBDate"},   {chkUBDatePrint, "Stat1_UBDate"},
        {chkPackDatePrint, "Stat1_PKDate"}, {chkSBTimePrint, "Stat1_SBTime"},
        {chkPackTimePrint, "Stat1_PKTime"}, {chkRTCPackTimePrint, "Stat1_RTCPKTime"},
        {chkRTCSBTimePrint, "Stat1_RTCSBTime"},
    };
    for (const auto &[box, column] : status)
        r.status.insert(QLatin1String(column), box->isChecked());
    r.status.insert(QStringLiteral("Stat1_Unit"), !chkWeighed->isChecked());
    r.status.insert(QStringLiteral("Stat2_PLUStatB2B"), true);

    QStringList d;
    static const EditorBox limit{"", 0, BoxKind::Price, 0, true, nullptr};
    for (int i = 0; i < m_discountBoxes.size(); ++i) {
        const QString text = m_discountBoxes[i]->text();
        const auto value = i < 4 ? std::optional<QString>(text.trimmed()) : BoxGatheredText(limit, text);
        if (!value) {
            if (bad)
                *bad = m_discountBoxes[i];
            return std::nullopt;
        }
        d << *value;
    }
    d << listValue(cboDiscountType) << listValue(cboMarkdownType);
    r.discount = d;
    return r;
}

// ---------------------------------------------------------------- save, delete

QWidget *PluEditorPane::fieldWidget(const QString &column) const
{
    for (int i = 0; i < kDiscountColumnCount; ++i)
        if (column.compare(QLatin1String(kDiscountColumns[i]), Qt::CaseInsensitive) == 0)
            return i < 8 ? static_cast<QWidget *>(m_discountBoxes.value(i))
                         : (i == 8 ? cboDiscountType : cboMarkdownType);
    if (column.compare(QLatin1String("Stat2_Discount"), Qt::CaseInsensitive) == 0)
        return chkUseDiscount;
    const int field = m_state.pluFields.indexOf(column);
    for (const EditorBox &b : EditorBoxes())
        if (b.field == field)
            return m_boxes.value(QLatin1String(b.name));
    for (const LongText &t : m_longTexts)
        if (t.textField == field)
            return t.box;
    switch (field) {
    case pf::MG: return combMGlist;
    case pf::QTYSymbol: return cboQuantitySymbol;
    case pf::SecondQtySymbol: return cbo2ndQuantitySymbol;
    case pf::Traceability: return cboTraceability;
    case pf::LBFormat1: return cbo1stLabelFormat;
    case pf::LBFormat2: return cbo2ndLabelFormat;
    case pf::BarFormat:
    case pf::EANData: return cboBarcodeFormat;
    default: return nullptr;
    }
}

void PluEditorPane::focusField(QWidget *field)
{
    if (!field)
        return;
    for (int i = 0; i < picPLUEditor->count(); ++i)
        if (picPLUEditor->widget(i)->isAncestorOf(field))
            picPLUEditor->setCurrentIndex(i);
    field->setFocus(Qt::OtherFocusReason);
}

void PluEditorPane::refuse(QWidget *field, const QString &key, const QString &detail)
{
    QString text = GetLangString(m_state, kOwner, key);
    if (!detail.isEmpty())
        text += QStringLiteral("\n\n") + detail;
    if (m_state.ui)
        m_state.ui->message(text, AppState::appTitle(), MsgIcon::Critical, MsgButtons::Ok, MsgResult::Ok);
    focusField(field);
}

bool PluEditorPane::savePlu()
{
    QLineEdit *no = m_boxes.value(QStringLiteral("txtPluNo"));
    if (no->text().trimmed().isEmpty() || PrefixToInt32(no->text()) == 0)
        return false;
    QWidget *bad = nullptr;
    const std::optional<PluRecord> r = gather(&bad);
    if (!r) {
        refuse(bad, QStringLiteral("msgPLUValueInvalid"));
        return false;
    }
    const PluSaveOutcome outcome = SavePlu(m_state, *r, m_currentPluNo);
    switch (outcome.status) {
    case PluSaveOutcome::Saved:
        break;
    case PluSaveOutcome::Exists:
        refuse(no, QStringLiteral("msgPLUAlreadyExist"));
        return false;
    case PluSaveOutcome::Invalid:
        refuse(fieldWidget(outcome.column),
               outcome.column == m_state.pluFields.at(pf::MG).Name ? QStringLiteral("msgPLUNoMainGroup")
                                                                     : QStringLiteral("msgPLUValueInvalid"),
               outcome.column + QStringLiteral(": ") + outcome.reason);
        return false;
    case PluSaveOutcome::Failed:
        return false; // reported by the save; what was typed stays
    }
    m_record = *r;
    m_currentPluNo = r->number();
    m_currentMainGroup = StrictInt32(r->values.at(pf::MG)).value_or(m_currentMainGroup);
    setEditorEnabled(false);
    setEditorState(QStringLiteral("SAVE-SUCCESS"));
    emit saved(m_currentPluNo);
    return true;
}

void PluEditorPane::deletePlu()
{
    const QString text = m_boxes.value(QStringLiteral("txtPluNo"))->text();
    if (const std::optional<qint32> n = ParsePluNo(text); n && m_state.ui) {
        const MsgResult answer = m_state.ui->message(
            GetLangString(m_state, kOwner, QStringLiteral("msgDeletePLU")) + QStringLiteral("\r\n")
                + QString::number(*n),
            AppState::appTitle(), MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
        if (answer == MsgResult::Yes && DeletePlus(m_state, {*n}))
            emit deleted();
    }
    clearEditor();
    setEditorEnabled(false);
    setEditorState(QStringLiteral("SAVE"));
}

// ---------------------------------------------------------------- behaviour

void PluEditorPane::applyWeighed()
{
    const bool weighed = chkWeighed->isChecked();
    for (QWidget *w : std::as_const(m_tareWidgets))
        w->setVisible(weighed);
    for (QWidget *w : std::as_const(m_quantityWidgets))
        w->setVisible(!weighed);
}

void PluEditorPane::applyUseDiscount()
{
    const bool on = chkUseDiscount->isChecked();
    for (QLineEdit *e : std::as_const(m_discountBoxes))
        e->setEnabled(on);
    cboDiscountType->setEnabled(on);
    cboMarkdownType->setEnabled(on);
}

void PluEditorPane::typeLongText(const LongText &t)
{
    TypeFirstLine(m_record.values[t.textField], m_record.values[t.fontField], t.box->text(),
                  m_state.settings.DefaultFont);
}

void PluEditorPane::editLongText(const LongText &t)
{
    const QString given = ExchangeText(m_record.values.at(t.textField), m_record.values.at(t.fontField));
    const QString answer = EditText(m_state, this, given);
    if (answer == given)
        return;
    ApplyExchangeText(m_record.values[t.textField], m_record.values[t.fontField], answer);
    t.box->setText(FirstLine(m_record.values.at(t.textField)));
}

bool PluEditorPane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *box = qobject_cast<QLineEdit *>(watched)) {
            if (box == m_boxes.value(QStringLiteral("txtItemCode")) && box->text().trimmed().isEmpty())
                box->setText(QStringLiteral("0"));
            // After the click that focused the box has placed the cursor.
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace korvo
