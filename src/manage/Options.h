#pragma once
// What the options dialog shows and what its OK makes of the operator's
// entries. The dialog only moves texts and choices between its controls and
// these routines.

#include "core/Records.h"
#include "core/Settings.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

// The entries of the dialog at the moment OK is pressed.
struct OptionsInput {
    bool useMainGroup = true;
    QString pageSizeText;
    QString priceDecimalText;
    QString weightDecimalText;
    QString fontText;        // text of the font combo ("" when none chosen)
    QString doLogText;       // text of the log combo
    bool dependOnSysCode = true;
    int codepageIndex = -1;  // selected index of the code-page combo
    int importType = 0;      // 0 optDelAllUpdate, 1 optUpdateNoExist, 2 optUpdateAll
};

// One item per font: the code in decimal, " : ", the name.
QStringList FontComboItems(const QVector<ScaleFont> &fonts);
// The first item whose numeric prefix equals value; -1 when none does.
int ItemIndexByValue(const QStringList &items, qint32 value);
// The item equal, ignoring case, to "True" or "False"; -1 when none is.
int BoolItemIndex(const QStringList &items, bool value);
// The option shown for a SetImportType value (0..2; anything else 0).
int ImportTypeOption(qint16 value);

enum class OptionsField { None, PageSize, PriceDecimals, WeightDecimals };

// What OK refuses, in the order of the fields: a page size that is not a
// whole number ("msgPageSizeError"), decimal places that are not whole
// numbers 0..kMaxDecimalPlaces ("msgDecimalPlaceError", texts of frmOption).
struct OptionsProblem {
    OptionsField field = OptionsField::None;
    QString key;
};
std::optional<OptionsProblem> ValidateOptions(const OptionsInput &input);

// The settings that OK makes of valid entries, starting from current. A
// page size below 1 becomes 10. A log text that is not a boolean and a
// code-page combo without a selection keep the current values.
Settings SettingsFromOptions(const Settings &current, const OptionsInput &input);

// True when the stored scale records were built with values that changed:
// the code-page switch, the conversion target while converting, or the
// decimal places that scale prices and weights.
bool RecordsNeedReencoding(const Settings &before, const Settings &after);

// OK of the options dialog without the re-encoding: state.settings takes
// the new values at once and the settings file gets the option keys.
// Returns the settings in force before.
Settings ApplyOptions(AppState &state, const OptionsInput &input);

struct OptionsOutcome {
    enum Status { Saved, Invalid, Failed } status = Failed;
    OptionsProblem problem; // Invalid: the field to correct and its message key
    bool reencoded = false; // the records of all PLUs were encoded anew
};

// OK of the options dialog: refuses invalid entries (nothing changes), puts
// the settings in force and into the file, and re-encodes every record when
// RecordsNeedReencoding. When that run stops (no record changed, its
// summary said why) the previous settings go back in force and into the
// file, so that settings and records still agree: Failed.
OptionsOutcome AcceptOptions(AppState &state, const OptionsInput &input);

} // namespace korvo
