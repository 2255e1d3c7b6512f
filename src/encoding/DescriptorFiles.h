#pragma once
// The three field-descriptor files of the Desc folder: PLU.dsc (fields of the
// scale record), DISCOUNT.dsc (fields of the embedded discount block) and
// PLU_STATUS.dsc (status flags and the editor fields they enable).
//
// Line format: lines end in CR LF (LF or CR alone are accepted too), text in
// the system code page; a line that is blank or whose first non-blank
// character is ";" is skipped; every other line is split at each "," with no
// quoting, and every column used is trimmed.

#include <QSet>
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
// Name repeated in PLU.dsc), a missing file, a folder in its place or a file
// in a Unicode encoding (the encoding is named) they report through ReportError
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

// The status bytes of the record hold 88 flags; the discount block is 30
// bytes.
inline constexpr int kStatusFlagCount = 88;
inline constexpr int kDiscountBlockBytes = 30;

// Checks of the tables the readers just filled, as a whole, so that a run
// stops before it writes a record of a wrong layout. Each reports its first
// fault like a read error (source "<Reader>(" + path + ")", "Line N: why")
// and returns false. The column sets hold the table's upper-cased names.
// PLU.dsc: at least one field; every Type known; every Column a PLU column;
// every conditional field used by the record with a flag column of PLU, and
// a text field with a font field before it.
bool CheckPluDescriptors(AppState &state, const QString &path, const QSet<QString> &pluColumns);
// DISCOUNT.dsc: at least one field of the block, every Type known, every
// Column a DISCOUNT column, and fields of fixed size that add up to 30 bytes.
bool CheckDiscountDescriptors(AppState &state, const QString &path, const QSet<QString> &discountColumns);
// PLU_STATUS.dsc: at least 88 flags, each of source 1 a PLU column.
bool CheckStatusFlags(AppState &state, const QString &path, const QSet<QString> &pluColumns);

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
