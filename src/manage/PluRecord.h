#pragma once
// One PLU as the editor and korvoctl hold it, and the one save both use.
//
// A PluRecord is the value row of the 76 field-table columns as texts
// ("" is null), the Yes/No status columns by name and the PLU's discount
// rule. Invariants of the save:
// - the DISCOUNT delete and insert, the PLU delete and insert and the
//   re-encode of the PLU run in one transaction: all happen or none does;
// - every value is checked before SQL is built: numbers are numbers in
//   their range, times and dates are real ones, the main group exists;
// - deleting PLUs deletes their discount rules with them.

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

// Field-table indices the editor and the save name.
namespace pf {
enum : int {
    No = 0, ItemCode = 1, UPrice = 2, LBFormat1 = 3, LBFormat2 = 4, BarFormat = 5, EANData = 6, MG = 7,
    SBDate = 8, SBTime = 9, UBDate = 10, PAKDate = 11, PAKTime = 12, Cost = 13, Tare = 14, QTY = 15,
    QTYSymbol = 16, PlaceNo = 19, Image1 = 20, SecondPrice = 30, SecondQty = 31, BonusPoint = 33,
    REPLUNo = 34, DisDayOfWeek = 35, CoupledPLUNo = 36, TAXNo = 37, CustomerDis = 39, RestPrice = 40,
    StaffDis = 41, SecondQtySymbol = 42, Traceability = 43, TraceabilityL = 44, PAKIndicator = 48,
    MultiBar1 = 49, MultiBar2 = 50, LText1No = 54, CommFonts = 68, Commodity = 69, IngreFonts = 70,
    Ingredient = 71, SPMFonts = 72, SPMessage = 73, UPDate = 74, UPTime = 75,
};
} // namespace pf

// The columns of a DISCOUNT row after PLU_No, in table order: four dates
// and times, then six numbers.
inline constexpr int kDiscountColumnCount = 10;
extern const char *const kDiscountColumns[kDiscountColumnCount];

// The status columns the editor sets from its check boxes, in the order the
// save writes them. Stat2_PLUStatB2B is always saved as true.
inline constexpr int kEditorStatusCount = 11;
extern const char *const kEditorStatusColumns[kEditorStatusCount];

struct PluRecord {
    PluRecord();
    QStringList values;          // 76 texts in field-table order, "" = null
    QMap<QString, bool> status;  // status columns by the table's name
    // The DISCOUNT row (10 texts, "" = null); written only when the status
    // Stat2_Discount is true.
    std::optional<QStringList> discount;

    qint32 number() const; // PLU_No, 0 when it is no number
};

// The PLU table's status columns: every column beyond the 76 fields but
// ZentBinData, in table order.
QStringList PluStatusColumns(AppState &state);

// The value text of a column as the record holds it: "" for null, numbers
// in their shortest decimal form.
QString ColumnValueText(const QVariant &value);

// Strict readings of typed times ("H:MM", "HH:MM:SS") and dates
// ("YYYY-MM-DD"); nullopt for anything else or an impossible value.
std::optional<QTime> ReadClockTime(const QString &text);
std::optional<QDate> ReadIsoDate(const QString &text);

// Reads PLU no with its status columns and discount row. nullopt when it
// does not exist; *failed is set after a reported database failure.
std::optional<PluRecord> LoadPlu(AppState &state, qint32 no, bool *failed = nullptr);

struct PluProblem {
    QString column; // field, status or DISCOUNT column at fault
    QString reason; // English, for korvoctl and the log
};

// The checks of a save: the PLU number in 1..999999, numbers where the
// column holds numbers and within the editor's limits (prices 0 to
// 999999.99, tare 0 to 9999, quantity and day counts 0 to 999), times
// "HH:MM[:SS]", an existing main group, and with the discount in use its
// dates "YYYY-MM-DD", times and numbers. nullopt when all pass.
std::optional<PluProblem> CheckPluRecord(AppState &state, const PluRecord &record);

// The statements of a save in their order: DISCOUNT delete and (with the
// discount in use) insert, PLU delete and insert. The insert writes the 76
// values (PLU_UPDate and PLU_UPTime from now), the status columns linked
// to fields (true when the value is not empty, "null" or "0"), the
// editor's status columns and then the record's other status columns.
QStringList PluSaveStatements(AppState &state, const PluRecord &record, const QDateTime &now);

struct PluSaveOutcome {
    enum Status { Saved, Invalid, Exists, Failed } status = Failed;
    QString column; // Invalid: the column at fault; Exists: "PLU_No"
    QString reason; // Invalid: why
};

// SavePLU: checks the record; when its number differs from currentPluNo,
// refuses a number that exists (Exists, nothing shown: the caller tells
// the operator); then runs the statements and re-encodes the PLU (mode
// SINGLE) in one transaction. A rejected statement or a PLU whose record
// cannot be built rolls everything back and is reported once, with the
// source "frmPLUEditor.SaveToDatabase" (Failed). The hierarchy tables of
// the encoder must be loaded.
PluSaveOutcome SavePlu(AppState &state, const PluRecord &record, qint32 currentPluNo);

// Deletes the PLUs and their discount rules in one transaction. False
// after a reported failure; nothing is deleted then.
bool DeletePlus(AppState &state, const QVector<qint32> &numbers);

} // namespace korvo
