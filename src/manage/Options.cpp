#include "manage/Options.h"

#include "core/AppState.h"
#include "core/Values.h"
#include "encoding/RecordBuilder.h"

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

namespace {

std::optional<qint32> wholeNumber(const QString &text)
{
    bool ok = false;
    const qint32 v = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<qint32>(v) : std::nullopt;
}

} // namespace

std::optional<OptionsProblem> ValidateOptions(const OptionsInput &input)
{
    if (!wholeNumber(input.pageSizeText))
        return OptionsProblem{OptionsField::PageSize, QStringLiteral("msgPageSizeError")};
    if (!ParseDecimalPlaces(input.priceDecimalText))
        return OptionsProblem{OptionsField::PriceDecimals, QStringLiteral("msgDecimalPlaceError")};
    if (!ParseDecimalPlaces(input.weightDecimalText))
        return OptionsProblem{OptionsField::WeightDecimals, QStringLiteral("msgDecimalPlaceError")};
    return std::nullopt;
}

Settings SettingsFromOptions(const Settings &current, const OptionsInput &input)
{
    Settings s = current;
    s.UseMainGroup = input.useMainGroup;
    const qint32 pageSize = wholeNumber(input.pageSizeText).value_or(0);
    s.PLUPageSize = pageSize < 1 ? 10 : pageSize;
    s.PriceDecimalPlace = ParseDecimalPlaces(input.priceDecimalText).value_or(current.PriceDecimalPlace);
    s.WeightDecimalPlace = ParseDecimalPlaces(input.weightDecimalText).value_or(current.WeightDecimalPlace);
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

OptionsOutcome AcceptOptions(AppState &state, const OptionsInput &input)
{
    OptionsOutcome outcome;
    if (const auto problem = ValidateOptions(input)) {
        outcome.status = OptionsOutcome::Invalid;
        outcome.problem = *problem;
        return outcome;
    }
    const Settings before = ApplyOptions(state, input);
    if (RecordsNeedReencoding(before, state.settings)) {
        qint32 last = 0;
        outcome.reencoded = CreatePLUData(state, QStringLiteral("ALL"), last).completed;
        if (!outcome.reencoded) {
            state.settings = before;
            WriteOptionSettings(state);
            return outcome;
        }
    }
    outcome.status = OptionsOutcome::Saved;
    return outcome;
}

} // namespace korvo
