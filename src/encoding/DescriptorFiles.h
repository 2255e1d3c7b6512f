#pragma once
// The three field-descriptor files of the Desc folder: PLU.dsc (fields of the
// scale record), DISCOUNT.dsc (fields of the embedded discount block) and
// PLU_STATUS.dsc (status flags and the editor fields they enable).
//
// Line format: lines end in CR LF (LF or CR alone are accepted too), text in
// the system code page; a line that is blank or whose first non-blank
// character is ";" is skipped; every other line is split at each "," with no
// quoting, and every column used is trimmed.

#include <QString>
#include <QStringList>

namespace korvo {

class AppState;

// Path of a descriptor file under the data root's Desc folder. The folder and
// file names are matched without regard to case; when nothing matches, the
// canonical "<root>/Desc/<fileName>" comes back.
QString DescriptorPath(const AppState &state, const QString &fileName);

// The readers empty their table and fill it in file order. On a bad line
// (too few columns, a non-numeric or out-of-range Length or Conditional, a
// Name repeated in PLU.dsc) or a missing file they report through ReportError
// with the source "<Reader>(" + path + ")" and return false; the entries read
// before the bad line stay, the bad line and everything after it are missing.

// PLU.dsc into state.enc.fieldDescs and fieldDescIndex. FlagSource comes from
// GetZentStatusValue, so the status flags must be read first.
bool ReadZentPLUDescFile(AppState &state, const QString &path);
// DISCOUNT.dsc into state.enc.fieldDescs (FlagSource "1"); the index is left
// as it was.
bool ReadZentFixedDescFile(AppState &state, const QString &path);
// PLU_STATUS.dsc into state.enc.statusFlags; Source and Suppress are read
// leniently (leading number, 0 when none), Value starts at 0.
bool ReadZentStatFile(AppState &state, const QString &path);

// Source of the first status flag whose Name equals name exactly
// (case-sensitive); 0 when there is none.
qint16 GetZentStatusValue(AppState &state, const QString &name);

// The non-comment lines of a descriptor file, trimmed, joined with CR LF
// (each followed by one). "" when the file cannot be read.
QString ReadFile(const AppState &state, const QString &path);

// Start-up step of the PLU field table: sets pluFields[i].StatusFlag from the
// lines of PLU_STATUS.dsc whose column 1 is exactly "1" (column 2 lists the
// enabled fields, joined with "|"). Fields not listed get an empty StatusFlag.
void LinkStatusFlagsToFields(AppState &state);

// Splits one descriptor text into lines at CR LF, LF or CR.
QStringList SplitDescriptorLines(const QString &text);

} // namespace korvo
