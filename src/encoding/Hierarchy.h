#pragma once
// Label, barcode and flag settings that store, departments and main groups
// pass down to their PLUs, and the two in-memory views of BARCODE_LIST.

namespace korvo {

class AppState;

// Rebuilds state.enc.mgSettings and mgIndex: one entry per main group in
// ascending MG_No with the six settings of the deciding level (the main
// group itself unless its BarFormat is -1, then its department unless that
// is -1 too, then the store). Failing statements are skipped; a main group
// whose department or store row is missing keeps 0 in the unreadable
// settings (and a log line says why). Call at the main window's load and
// after the main-group and department property dialogs saved.
void LoadMGSettings(AppState &state);

// After any change of the hierarchy (a setting, number or place of the
// store, a department or a main group; a main group created or deleted):
// rebuilds state.enc.mgSettings and the used barcode list, and re-encodes
// the PLUs whose records depend on what changed: every PLU of a main group
// that is new in the table (created, renumbered, or the table was never
// loaded) and the PLUs that take their label or barcode format from their
// main group (-1) where the group's resolved settings changed. Call it
// inside the transaction of the change, so that the change and the records
// are saved together (the run is a savepoint of it); inside none it opens
// its own. False after a reported failure that stopped the run: the caller
// rolls the change back and calls LoadMGSettings again. A PLU that cannot
// be encoded gets an empty record and is named in the run's one summary;
// that is no failure of the change.
bool ReencodeAfterHierarchyChange(AppState &state);

// Rebuilds state.enc.scaleBarcodes and scaleBarcodeIndex (used rows with
// BAR_Code > -1, by BAR_Type then BAR_Code; key "3_EAN"). False after a
// reported failure.
bool LoadScaleBarcodeList(AppState &state);

// Fills state.enc.barcodeList with the used rows by BAR_CODE, BAR_TYPE, for
// the dialogs and the PLU editor. False after a reported failure.
bool LoadBarcodeList(AppState &state);

} // namespace korvo
