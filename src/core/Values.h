#pragma once
// Number, boolean and date readings used across the program. They copy the
// classic conversions the stored data and descriptor files were written for.

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace korvo {

// Leading number of a text (blanks skipped, optional sign, digits, one point,
// optional exponent). 0 when the text starts with no number.
double NumericPrefix(const QString &text, bool *found = nullptr);

// The whole text, trimmed, must be a number; otherwise nullopt.
std::optional<double> StrictNumber(const QString &text);

// Round to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double v);

// Numeric prefix rounded half-even and clamped to the target range.
qint32 PrefixToInt32(const QString &text);
qint16 PrefixToInt16(const QString &text);

// Strict 32-bit integer reading (rounding half-even); nullopt when the text is
// not a number or beyond the range.
std::optional<qint32> StrictInt32(const QString &text);

// "TRUE"/"FALSE" in any case, or a number (0 false, other true); else nullopt.
std::optional<bool> StrictBool(const QString &text);

// Shortest decimal text of a number, "." as separator, no exponent for the
// magnitudes we meet (integers stay integers).
QString NumberText(double v);

// A value read as a date: a date text (yyyy-MM-dd, dd.MM.yyyy, dd/MM/yyyy,
// with or without a time), or a number of days since 30 December 1899
// (the text "0" is that zero date). nullopt when neither.
std::optional<QDate> ReadDate(const QString &text);

// A value read as a time: "HH:MM", "HH:MM:SS", a date-time text, or a day
// fraction. nullopt when neither.
std::optional<QTime> ReadTime(const QString &text);

// The zero date of day numbers.
QDate ZeroDate();

} // namespace korvo
