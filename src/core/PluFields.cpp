#include "core/PluFields.h"

#include "core/Database.h"
#include "core/Values.h"

#include <cmath>

namespace korvo {

const char *const PluFieldTable::kNames[kPluFieldCount] = {
    "PLU_No",          "PLU_ItemCode",     "PLU_UPrice",        "PLU_LBFormat1",
    "PLU_LBFormat2",   "PLU_BarFormat",    "PLU_EANData",       "PLU_MG",
    "PLU_SBDate",      "PLU_SBTime",       "PLU_UBDate",        "PLU_PAKDate",
    "PLU_PAKTime",     "PLU_Cost",         "PLU_Tare",          "PLU_QTY",
    "PLU_QTYSymbol",   "PLU_SPMessageNo",  "PLU_IngredientNo",  "PLU_PlaceNo",
    "PLU_Image1",      "PLU_Image2",       "PLU_Image3",        "PLU_Image4",
    "PLU_Image5",      "PLU_Image6",       "PLU_Image7",        "PLU_Image8",
    "PLU_Image9",      "PLU_Image10",      "PLU_2NDPrice",      "PLU_2NDQTY",
    "PLU_CPLUPreset",  "PLU_BonusPoint",   "PLU_REPLUNo",       "PLU_DisDayOfWeek",
    "PLU_CoupledPLUNo", "PLU_TAXNo",       "PLU_PerTare",       "PLU_CustomerDis",
    "PLU_RestPrice",   "PLU_StaffDis",     "PLU_2NDQTYSymbol",  "PLU_Traceability",
    "PLU_TraceabilityL", "PLU_GroupCode",  "PLU_ST1stLimit",    "PLU_ST2ndLimit",
    "PLU_PAKIndicator", "PLU_MultiBar1",   "PLU_MultiBar2",     "PLU_TMultiBar1",
    "PLU_TMultiBar2",  "PLU_Scroll",       "PLU_LText1No",      "PLU_LText2No",
    "PLU_LText3No",    "PLU_LText4No",     "PLU_LText5No",      "PLU_1stTare",
    "PLU_2ndTare",     "PLU_LTray1",       "PLU_LTray2",        "PLU_LTray3",
    "PLU_ESPMessageNo", "PLU_EIngredientNo", "PLU_Disount",     "PLU_Nutrition",
    "PLU_CommFonts",   "PLU_Commodity",    "PLU_IngreFonts",    "PLU_Ingredient",
    "PLU_SPMFonts",    "PLU_SPMessage",    "PLU_UPDate",        "PLU_UPTime",
};

namespace {

ValueKind kindOf(int index)
{
    switch (index) {
    case 1: case 6: case 32: case 49: case 50: case 51: case 52:
    case 66: case 67: case 68: case 69: case 70: case 71: case 72: case 73:
        return ValueKind::Text;
    case 9: case 12: case 74: case 75:
        return ValueKind::DateTime;
    default:
        return ValueKind::Number;
    }
}

} // namespace

PluFieldTable::PluFieldTable() { reset(); }

void PluFieldTable::reset()
{
    fields.clear();
    fields.resize(kPluFieldCount);
    m_index.clear();
    for (int i = 0; i < kPluFieldCount; ++i) {
        PLUField &f = fields[i];
        f.Name = QString::fromLatin1(kNames[i]);
        f.Kind = kindOf(i);
        m_index.insert(f.Name.toUpper(), i);
    }
    pluFieldList.clear();
    statusDateTimeFlags.clear();
}

void PluFieldTable::applyShowKey(const QString &show, QStringList *rejected)
{
    for (PLUField &f : fields)
        f.Visible = false;
    const QStringList items = show.split(QLatin1Char(','));
    for (const QString &raw : items) {
        const QString item = raw.trimmed();
        if (item.isEmpty())
            continue;
        const auto v = StrictNumber(item);
        if (!v || *v != std::floor(*v) || *v < 0 || *v >= fields.size()) {
            if (rejected)
                rejected->append(item);
            continue;
        }
        fields[int(*v)].Visible = true;
    }
}

void PluFieldTable::buildLists()
{
    QStringList names;
    names.reserve(fields.size());
    for (const PLUField &f : fields)
        names << f.Name;
    pluFieldList = names.join(QLatin1Char(','));
    statusDateTimeFlags =
        QStringLiteral("Stat1_Unit,Stat1_SBDate,Stat1_UBDate,Stat1_PKDate,Stat1_RTCPKTime,"
                       "Stat1_SBTime,Stat1_PKTime ,Stat1_RTCSBTime,Stat1_PBPreUnit");
}

int PluFieldTable::indexOf(const QString &name) const
{
    return m_index.value(name.trimmed().toUpper(), -1);
}

std::optional<qint32> ParsePluNo(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 10)
        return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const qint64 v = t.toLongLong();
    if (v < kPluNoMin || v > kPluNoMax)
        return std::nullopt;
    return qint32(v);
}

QString SqlValue(ValueKind kind, const QString &value)
{
    if (value.isEmpty() || (kind != ValueKind::Text && value.trimmed().isEmpty()))
        return QStringLiteral("null");
    switch (kind) {
    case ValueKind::Number: {
        // Parsed, never pasted: a number written bare must be a number.
        const auto v = StrictNumber(value);
        return v ? NumberText(*v) : QStringLiteral("null");
    }
    case ValueKind::Text:
        return QLatin1Char('\'') + SqlEscape(value) + QLatin1Char('\'');
    case ValueKind::DateTime: {
        // A "#" inside would end the literal early.
        QString v = value.trimmed();
        v.remove(QLatin1Char('#'));
        return QLatin1Char('#') + v + QLatin1Char('#');
    }
    }
    return QStringLiteral("null");
}

} // namespace korvo
