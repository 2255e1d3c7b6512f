#pragma once
// Turns PLU rows into the scales' binary PLU record, stored as hexadecimal
// text in PLU.ZentBinData together with PLU_UPDate and PLU_UPTime.
//
// The record is the concatenation of the encoded fields of PLU.dsc in
// descriptor order with the two-byte total length inserted after the first
// four bytes. A PLU whose record cannot be built (a failure reported by one
// of the steps) gets an empty ZentBinData: a record with a field missing or
// oversized would be misread by the scale.

#include <QString>
#include <QVector>
#include <optional>

class QSqlRecord;

namespace korvo {

class AppState;

struct EncodeRunResult {
    int selected = 0;           // PLU rows the run walked
    int encoded = 0;            // of those, stored with a usable record (0 unless completed)
    QVector<qint64> failedPlus; // stored with an empty record, or not stored
    bool completed = false;     // the walk reached the end and its records were saved
    bool nativeRows = false;    // mode ALL went straight through the SQLite library
    QString summary;            // the one line that says what the run did
    bool summaryShown = false;  // the summary went to the user interface
};

// How mode ALL reads the PLU rows and writes their records: straight through
// the SQLite library on the connection's handle where the driver is QSQLITE
// (Native, the default), or through QtSql only. Both store the same records
// and report the same errors; mode SINGLE always goes through QtSql.
enum class RowAccess { Native, QtSql };

// mode "SINGLE" (pluNo selects the PLU) or "ALL", compared without regard to
// case; on return pluNo holds the number of the last PLU encoded. Reloads
// the decimal places, the discount blocks (SINGLE: only that PLU's) and the
// descriptor files, then encodes and updates every selected PLU in one
// transaction. Mode ALL collects the error reports (each is logged) and ends
// with one message summing the run up when anything was reported; it shows
// progress and lets the user interface process events after every record
// whose position is not a multiple of 10. A Yes/No column counts as true
// when its number is not 0, as SQLite reads a value in a condition (mode ALL
// lets SQLite add up the status flags). The hierarchy tables
// (LoadMGSettings, LoadScaleBarcodeList) must be loaded before.
//
// All or nothing: decimal places that are not whole numbers 0..6, a
// descriptor file that cannot be read or fails its checks, a database that
// stays locked by another writer, a write the database refuses (a full
// disk) or a failed commit stop the run, and no record changes. A PLU whose
// record cannot be built, or whose number lies outside kPluNoMin..kPluNoMax,
// gets an empty record and is named in failedPlus. Records are written back
// by the row's 64-bit PLU_No, and each write must change exactly one row.
// Inside an open transaction the run is a savepoint of it.
EncodeRunResult CreatePLUData(AppState &state, const QString &mode, qint32 &pluNo);
EncodeRunResult CreatePLUData(AppState &state, const QString &mode, qint32 &pluNo, RowAccess access);

// The PLUs that condition (a WHERE condition without the word, "" for all)
// selects, encoded as mode ALL encodes them.
EncodeRunResult EncodePluSelection(AppState &state, const QString &condition);

// The record of one PLU read by number; expects state.enc.fieldDescs to hold
// PLU.dsc, the status blocks to belong to that PLU and the discount table to
// be built. "" after a reported failure.
QString CreateZentPLUData(AppState &state, qint32 pluNo);

// The fields of the current descriptors (DISCOUNT.dsc) that are always
// present, encoded from row; withLength inserts the length after the first
// four bytes as for the PLU record. An empty row gives "".
QString CreateZentFixedData(AppState &state, const QSqlRecord &row, bool withLength,
                            bool *ok = nullptr);

// The four status blocks of the PLU whose flag Values are set, into
// state.enc. False after a reported failure (fewer than 88 flags).
bool CreateZentPLUStatus(AppState &state);

// Status byte of the flags first+1 .. first+8 (1-based), as 2 x bytes
// figures; suppressed flags get Value 0. "" after a reported failure.
QString CreateZentStatus(AppState &state, int first, int bytes);

// Barcode data of a PLU that inherits its barcode from main group mgNo:
// flag figures, item code, zero fill, type figure and BarFlag, 14 figures.
// "" after a reported failure.
QString CreateEANData(AppState &state, int mgNo, const QString &itemCode);

// Reads and checks DISCOUNT.dsc from path and encodes the discount block of
// every DISCOUNT row (only onlyPlu's rows when given) into
// state.enc.discountData. Failing rows are reported and the step goes on.
// False when DISCOUNT.dsc could not be read whole or failed its checks
// (CheckDiscountDescriptors); no block is encoded then.
bool LoadDiscountData(AppState &state, const QString &path,
                      std::optional<qint32> onlyPlu = std::nullopt);

// PriceDecimalPlace and WeightDecimalPlace of section Setting, read from the
// settings file anew. A value that is not a whole number 0..6 (missing,
// empty, "abc", "400") is reported and the previous value stays in force;
// false then.
bool GetDefualtSettingValues(AppState &state);

} // namespace korvo
