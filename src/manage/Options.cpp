#include "manage/Options.h"

#include "core/AppState.h"
#include "core/Values.h"

namespace korvo {

QStringList FontComboItems(const QVector<ScaleFont> &fonts)
{
    QStringList items;
    items.reserve(fonts.size());
    for (const ScaleFont &f : fonts)
        items << QString::number(f.Font_Code) + QStringLiteral(" : ") + f.Font_Name;
    return items;
}

int ItemIndexByValue(const QStringList &items, qint32 value)
{
    for (int i = 0; i < items.size(); ++i) {
        if (NumericPrefix(items.at(i)) == double(value))
            return i;
    }
    return -1;
}

int BoolItemIndex(const QStringList &items, bool value)
{
    const QString wanted = value ? QStringLiteral("True") : QStringLiteral("False");
    for (int i = 0; i < items.size(); ++i)
        if (items.at(i).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int ImportTypeOption(qint16 value)
{
    return value >= 0 && value <= 2 ? value : 0;
}

Settings SettingsFromOptions(const Settings &current, const OptionsInput &input)
{
    Settings s = current;
    s.UseMainGroup = input.useMainGroup;
    const qint32 pageSize = PrefixToInt32(input.pageSizeText);
    s.PLUPageSize = pageSize < 1 ? 10 : pageSize;
    s.PriceDecimalPlace = PrefixToInt32(input.priceDecimalText);
    s.WeightDecimalPlace = PrefixToInt32(input.weightDecimalText);
    s.DefaultFont = PrefixToInt32(input.fontText);
    // The combo only offers the two words; anything else keeps what is set.
    if (const auto doLog = StrictBool(input.doLogText.trimmed()))
        s.DoLog = *doLog;
    s.SetLanguageCodepage = input.dependOnSysCode ? 0 : 1;
    // No selection is no choice: writing -1 would lose the stored target.
    if (input.codepageIndex >= 0)
        s.LangeCodepageToConvert = qint16(qMin(input.codepageIndex, 32767));
    s.SetImportType = qint16(input.importType >= 0 && input.importType <= 2 ? input.importType : 0);
    return s;
}

bool RecordsNeedReencoding(const Settings &before, const Settings &after)
{
    if (before.SetLanguageCodepage != after.SetLanguageCodepage)
        return true;
    if (after.SetLanguageCodepage != 0 && before.LangeCodepageToConvert != after.LangeCodepageToConvert)
        return true;
    return before.PriceDecimalPlace != after.PriceDecimalPlace
        || before.WeightDecimalPlace != after.WeightDecimalPlace;
}

Settings ApplyOptions(AppState &state, const OptionsInput &input)
{
    const Settings before = state.settings;
    state.settings = SettingsFromOptions(before, input);
    WriteOptionSettings(state);
    return before;
}

} // namespace korvo
