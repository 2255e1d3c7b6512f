#pragma once
// PLU CSV files: the export of the PLUs received from one scale, the import
// in its three modes, the copy of a scale's received PLUs into PLU (an
// import whose lines come from RC_PLU) and ReBuildMG.
//
// The columns are those of PLU.dsc that name a Column, in descriptor order.
// Files are text in the code page of the setting "Codepage", lines end in
// CR LF. A value is written so that every machine reads it back the same:
// numbers with "." and no grouping, dates YYYY-MM-DD, times HH:MM:SS, Yes/No
// as -1 or 0, texts between "'" with an inner "'" doubled, and a null value
// as 0 (a text that is 0 is written '0'). The import also reads files of the
// older form (see CsvText.h; a decimal comma inside a number is read as its
// point; -1/0 for Yes/No; an unquoted 0 in a text column is null).

#include "encoding/RecordBuilder.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace korvo {

class AppState;

// SetImportType: 0 replaces all PLUs, 1 adds the PLUs that do not exist,
// 2 adds new PLUs and updates the existing ones.
enum class ImportType { Replace = 0, Add = 1, Merge = 2 };

struct ImportResult {
    bool ok = false;
    int lines = 0;    // PLU lines read (blank lines not counted)
    int inserted = 0;
    int updated = 0;
    int skipped = 0;  // type 1: lines whose PLU exists
    int departmentsCreated = 0;
    int mainGroupsCreated = 0;
    EncodeRunResult encoding;
    QString error; // why nothing was imported, naming line and column
};

// ImportPLUFromCSV: every line of the file in one transaction together with
// ReBuildMG and the encoding of all PLUs (after the main groups' settings
// were read again); a line that fails (a first value that is no PLU number,
// a name that PLU.dsc or the PLU table lacks, too few or too many values, a
// value its column cannot take, a row the database refuses) or an encoding
// run that cannot complete rolls everything back, and the error names the
// line and the column. Failures are reported through ReportError with the
// source "ImportPLUFromCSV(path)".
// Progress and the closing text go through state.ui.
ImportResult ImportPLUFromCSV(AppState &state, const QString &path, int importType);

// Update to PLU: the received PLUs of the scale at address, as if they were
// the lines of a file, in the same transaction as the reset of their
// PLU_Compare, ReBuildMG and the encoding of all PLUs. In type 2 a Yes/No
// column of Conditional -1 is written only when it is true.
ImportResult UpdateReceivedPLUsToPLU(AppState &state, const QString &address, int importType);

struct ExportResult {
    bool ok = false;
    int rows = 0;  // rows written; 0 with ok false: the scale has no received PLUs
    QString error; // why no file was written
};

// The received PLUs of the scale at address into the file at path. The file
// is written whole or not at all (an existing one is replaced only then).
// A character the code page cannot hold ends the export with an error that
// names the PLU and the column. Failures other than "no rows" are reported
// through ReportError with the source "WriteZentScaleFile(path)".
ExportResult ExportReceivedPLUs(AppState &state, const QString &address, const QString &path);

// The Export button: one scale through the scale selection, the file
// through the save dialog, then ExportReceivedPLUs. True when it ran to the
// end or was cancelled; false when the scale has no received PLUs (the user
// is told) or the export failed.
bool ExportReceivedPLUsToCSV(AppState &state);

// Import type 0 replaces every PLU: asks the user first (harmless answer
// preselected). True when the import may go on.
bool ConfirmImportType(AppState &state, int importType);

// Command 630: the file through the open-file dialog, the confirmation of
// type 0, then ImportPLUFromCSV with SetImportType. True when PLUs were
// imported (the caller refreshes the PLU list).
bool ImportCsvCommand(AppState &state);

// "PLU" + address + "_" + YYYYMMDD + "_" + HHMMSS + ".CSV".
QString ProposedExportName(const QString &address, const QDateTime &now);

// The column list of PLU.dsc (descriptors with a Column, in order); empty
// after a reported failure to read the descriptor files, which it reads.
QStringList CsvColumnList(AppState &state);

struct ReBuildMGResult {
    bool ok = false;
    int departmentsCreated = 0;
    int mainGroupsCreated = 0;
};

// Creates the main groups the PLUs name but MG lacks (in department = the
// first two figures of a number above 99, else the number itself) and the
// departments missing for them or for existing main groups, named "Dept"
// + number and "MG" + number, in the store, taking their label and barcode
// settings from the level above. Runs inside the caller's transaction when
// there is one. Failures are reported with the source "ReBuildMG()".
ReBuildMGResult ReBuildMG(AppState &state);

} // namespace korvo
