#include "manage/PluEditorLogic.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/Values.h"
#include "i18n/Language.h"
#include "manage/PluRecord.h"
#include "manage/StoreHierarchy.h"

#include <QSqlQuery>
#include <QVariant>
#include <cmath>

namespace korvo {

const QVector<EditorBox> &EditorBoxes()
{
    static const QVector<EditorBox> boxes = {
        {"txtPluNo", pf::No, BoxKind::Integer, 6, true, "0"},
        {"txtItemCode", pf::ItemCode, BoxKind::Integer, 0, true, "0"},
        {"txtPrice", pf::UPrice, BoxKind::Price, 0, true, "0"},
        {"txtCost", pf::Cost, BoxKind::Price, 0, true, "0"},
        {"txtTare", pf::Tare, BoxKind::Integer, 4, true, "0"},
        {"txtQuantity", pf::QTY, BoxKind::Integer, 3, true, "0"},
        {"txtSellByDate", pf::SBDate, BoxKind::Integer, 3, true, "0"},
        {"txtSellByTime", pf::SBTime, BoxKind::Time, 0, false, "00:00"},
        {"txtUsedByDate", pf::UBDate, BoxKind::Integer, 3, true, "0"},
        {"txtPackedDate", pf::PAKDate, BoxKind::Integer, 3, true, "0"},
        {"txtPackedTime", pf::PAKTime, BoxKind::Time, 0, false, "00:00"},
        {"txtTraceabilityLink", pf::TraceabilityL, BoxKind::Integer, 9, true, "0"},
        {"txtPlace", pf::PlaceNo, BoxKind::Integer, 9, false, "0"},
        {"txtMultiBarcode1", pf::MultiBar1, BoxKind::Text, 0, false, nullptr},
        {"txtMultiBarcode2", pf::MultiBar2, BoxKind::Text, 0, false, nullptr},
        {"txtText1", pf::LText1No, BoxKind::Integer, 9, false, "0"},
        {"txtText2", pf::LText1No + 1, BoxKind::Integer, 9, false, "0"},
        {"txtText3", pf::LText1No + 2, BoxKind::Integer, 9, false, "0"},
        {"txtText4", pf::LText1No + 3, BoxKind::Integer, 9, false, "0"},
        {"txtText5", pf::LText1No + 4, BoxKind::Integer, 9, false, "0"},
        {"txtImage1", pf::Image1, BoxKind::Integer, 9, false, "0"},
        {"txtImage2", pf::Image1 + 1, BoxKind::Integer, 9, false, "0"},
        {"txtImage3", pf::Image1 + 2, BoxKind::Integer, 9, false, "0"},
        {"txtImage4", pf::Image1 + 3, BoxKind::Integer, 9, false, "0"},
        {"txtImage5", pf::Image1 + 4, BoxKind::Integer, 9, false, "0"},
        {"txtImage6", pf::Image1 + 5, BoxKind::Integer, 9, false, "0"},
        {"txtImage7", pf::Image1 + 6, BoxKind::Integer, 9, false, "0"},
        {"txtImage8", pf::Image1 + 7, BoxKind::Integer, 9, false, "0"},
        {"txtImage9", pf::Image1 + 8, BoxKind::Integer, 9, false, "0"},
        {"txtImage10", pf::Image1 + 9, BoxKind::Integer, 9, false, "0"},
        {"txt2ndPrice", pf::SecondPrice, BoxKind::Price, 0, false, "0"},
        {"txt2ndQuantity", pf::SecondQty, BoxKind::Integer, 9, true, "0"},
        {"txtBonusPoint", pf::BonusPoint, BoxKind::Integer, 9, false, "0"},
        {"txtRefPluNumber", pf::REPLUNo, BoxKind::Integer, 6, false, "0"},
        {"txtDiscountDayOfWeek", pf::DisDayOfWeek, BoxKind::Integer, 9, false, "0"},
        {"txtCoupledPluNo", pf::CoupledPLUNo, BoxKind::Integer, 6, false, "0"},
        {"txtTaxNo", pf::TAXNo, BoxKind::Integer, 9, false, "0"},
        {"txtCustomerDiscount", pf::CustomerDis, BoxKind::Integer, 9, false, "0"},
        {"txtRestaurantPrice", pf::RestPrice, BoxKind::Price, 0, false, "0"},
        {"txtStaffDiscount", pf::StaffDis, BoxKind::Integer, 9, false, "0"},
        {"txtPackagingIndicator", pf::PAKIndicator, BoxKind::Integer, 9, false, "0"},
    };
    return boxes;
}

QString BoxShownText(BoxKind kind, const QString &stored)
{
    switch (kind) {
    case BoxKind::Price:
        if (const auto v = StrictNumber(stored)) {
            const double cents = *v * 100.0;
            return std::fabs(cents - std::round(cents)) < 1e-6 ? QString::number(*v, 'f', 2) : NumberText(*v);
        }
        return stored;
    case BoxKind::Time:
        if (const auto t = ReadClockTime(stored))
            return t->toString(QStringLiteral("HH:mm"));
        return stored;
    case BoxKind::Integer:
    case BoxKind::Text:
        break;
    }
    return stored;
}

std::optional<QString> BoxGatheredText(const EditorBox &box, const QString &text)
{
    if (box.kind == BoxKind::Text)
        return text;
    QString t = text.trimmed();
    if (t.isEmpty())
        return box.emptyIsZero ? QStringLiteral("0") : QString();
    switch (box.kind) {
    case BoxKind::Price:
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        [[fallthrough]];
    case BoxKind::Integer:
        if (const auto v = StrictNumber(t))
            return NumberText(*v);
        return std::nullopt;
    case BoxKind::Time:
        if (const auto tm = ReadClockTime(t))
            return tm->toString(QStringLiteral("HH:mm:ss"));
        return std::nullopt;
    case BoxKind::Text:
        break;
    }
    return text;
}

// ---------------------------------------------------------------- lists

QStringList MainGroupItems(AppState &state)
{
    QStringList items;
    if (auto q = QueryKorvoDB(state, QStringLiteral("select [MG_No],[MG_Name] from MG order by [MG_No]"))) {
        while (q->next())
            items << ColumnValueText(q->value(0)) + QStringLiteral(": ") + q->value(1).toString();
    }
    return items;
}

QStringList SecondLabelFormatItems(AppState &state)
{
    QStringList items{QStringLiteral("Null: No Print")};
    for (const QString &item : LabelFormatItems(state))
        if (ComboItemValue(item) >= 17)
            items << item;
    return items;
}

QStringList LanguageListItems(AppState &state, const QString &key)
{
    return SplitItemList(GetLangString(state, QStringLiteral("frmPLUEditor"), key));
}

int ItemIndexOfValue(const QStringList &items, qint32 value)
{
    for (int i = 0; i < items.size(); ++i)
        if (ComboItemValue(items.at(i)) == value)
            return i;
    return -1;
}

qint32 SecondLabelListValue(qint32 stored)
{
    return stored >= 1 ? stored + 16 : stored;
}

qint32 SecondLabelStoredValue(qint32 listValue)
{
    return listValue >= 17 ? listValue - 16 : 0;
}

// ---------------------------------------------------------------- barcode

BarcodeBoxes BarcodeBoxesOf(const BarcodeListEntry &format)
{
    BarcodeBoxes b;
    const QString &stat = format.FlagStat;
    const QChar first = stat.isEmpty() ? QLatin1Char('9') : stat.front();
    const QChar last = stat.isEmpty() ? QLatin1Char('9') : stat.back();
    b.flag1Visible = first != QLatin1Char('9');
    b.flag1Enabled = first == QLatin1Char('1');
    b.flag2Visible = last != QLatin1Char('9');
    b.flag2Enabled = last == QLatin1Char('1');
    b.addOnEnabled = format.BAR_Type.compare(QLatin1String("EAN"), Qt::CaseInsensitive) == 0
        && format.DigitalNum == 13;
    return b;
}

QString ComposeEanData(const BarcodeListEntry &format, const QString &flag1, const QString &flag2,
                       const QString &itemCode, bool addOn, qint32 barFlag)
{
    const BarcodeBoxes boxes = BarcodeBoxesOf(format);
    // A typed flag where the format asks for one; a fixed zero otherwise.
    auto flag = [](bool typed, const QString &text) {
        const QString t = text.trimmed();
        return typed && !t.isEmpty() ? t : QStringLiteral("0");
    };
    QString body;
    if (boxes.flag1Visible)
        body += flag(boxes.flag1Enabled, flag1);
    if (boxes.flag2Visible)
        body += flag(boxes.flag2Enabled, flag2);
    body += itemCode.trimmed().rightJustified(qMax(0, format.ItemNum), QLatin1Char('0'));
    body = body.leftJustified(12, QLatin1Char('0'));
    QString kind = QStringLiteral("0");
    if (format.BAR_Type.compare(QLatin1String("ITF"), Qt::CaseInsensitive) == 0)
        kind = QStringLiteral("9");
    else if (addOn)
        kind = QStringLiteral("8");
    return body + kind + QString::number(barFlag);
}

EanParts SplitEanData(const QVector<BarcodeListEntry> &list, qint32 barFormat, const QString &ean)
{
    EanParts p;
    if (ean.size() >= 13) {
        const QChar kind = ean.at(12);
        if (kind == QLatin1Char('9'))
            p.type = QStringLiteral("ITF");
        p.addOn = kind == QLatin1Char('8');
    }
    if (ean.size() >= 14 && ean.at(13).isDigit())
        p.barFlag = ean.at(13).digitValue();
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].BAR_Code == barFormat && list[i].BAR_Type.compare(p.type, Qt::CaseInsensitive) == 0) {
            p.format = i;
            break;
        }
    }
    if (p.format >= 0) {
        const BarcodeBoxes boxes = BarcodeBoxesOf(list[p.format]);
        int at = 0;
        if (boxes.flag1Visible)
            p.flag1 = ean.mid(at++, 1);
        if (boxes.flag2Visible)
            p.flag2 = ean.mid(at, 1);
    }
    return p;
}

// ---------------------------------------------------------------- long texts

QString FirstLine(const QString &text)
{
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    return cr < 0 ? text : text.left(cr);
}

void TypeFirstLine(QString &text, QString &fonts, const QString &box, qint32 defaultFont)
{
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    if (text.isEmpty()) {
        text = box;
        if (fonts.isEmpty())
            fonts = QString::number(defaultFont);
    } else if (cr < 0) {
        text = box;
    } else {
        text = box + text.mid(cr);
    }
    if (text.isEmpty())
        fonts.clear();
}

QString ExchangeText(const QString &text, const QString &fonts)
{
    return text + QStringLiteral("\r\n") + fonts;
}

void ApplyExchangeText(QString &text, QString &fonts, const QString &answer)
{
    const qsizetype crlf = answer.indexOf(QStringLiteral("\r\n"));
    text = crlf < 0 ? answer : answer.left(crlf);
    fonts = crlf < 0 || text.isEmpty() ? QString() : answer.mid(crlf + 2);
}

// ---------------------------------------------------------------- states

EditorButtons EditorStateButtons(const QString &stateName)
{
    const QString s = stateName.toUpper();
    EditorButtons b;
    if (s == QLatin1String("NEW")) {
        b.startNew = true;
        b.save = true;
    } else if (s == QLatin1String("SAVE-SUCCESS")) {
        b.newPlu = b.upload = b.remove = true;
    } else if (s == QLatin1String("EDIT")) {
        b.save = b.remove = true;
    } else {
        b.newPlu = true;
    }
    return b;
}

const MGSettings *MainGroupSettings(const AppState &state, qint32 mgNo)
{
    const int i = state.enc.mgIndex.value(mgNo, -1);
    return i >= 0 && i < state.enc.mgSettings.size() ? &state.enc.mgSettings[i] : nullptr;
}

} // namespace korvo
