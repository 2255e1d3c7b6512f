#pragma once
// Text comparison that ignores case beyond ASCII: "Äpfel GRÜN" contains
// "äpfel". SQLite's LIKE and NOCASE fold ASCII letters only, so the name
// search runs through a function of ours, registered on every connection:
//
//   ContainsFolded(text, part)   1 when text contains part, case folded
//
// Both sides fold code point by code point (simple Unicode case folding), so
// the result never depends on which side a letter stands; the part is taken
// literally ("%" and "_" are no wildcards). Null text gives 0.

class QSqlDatabase;

namespace korvo {

// Registers ContainsFolded on an open SQLite connection.
bool RegisterFoldFunctions(const QSqlDatabase &db);

} // namespace korvo
