#pragma once
// A PLU as one JSON object, for merchandise systems through korvoctl: the
// 76 field-table columns by name (numbers as numbers, texts, times and
// dates as strings, null for a null column), the status columns by name as
// true/false, and "discount" with the ten DISCOUNT columns or null.

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace korvo {

class PluFieldTable;
struct PluRecord;

// The object as text, keys in field-table order, then the status columns
// in the given order, then "discount".
QString PluJsonText(const PluFieldTable &fields, const PluRecord &record, const QStringList &statusColumns);

// Lays an object over record: every key present replaces that column (null
// empties it, for "discount" removes the rule), keys not present keep what
// record holds. Names are matched without regard to case. False with *error
// for an unknown key or a value of the wrong type.
bool ApplyPluJson(const PluFieldTable &fields, const QStringList &statusColumns, const QJsonObject &object,
                  PluRecord &record, QString *error);

} // namespace korvo
