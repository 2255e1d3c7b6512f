#pragma once
// The in-memory PLU field table: the 76 PLU columns in fixed order. List
// rows, the editor's value row and the select lists follow this order.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

enum class ValueKind { Number = 0, Text = 1, DateTime = 2 };

struct PLUField {
    QString Name;
    QString Caption;
    QString StatusFlag;
    bool Visible = false;
    qint32 Width = 100;
    ValueKind Kind = ValueKind::Number;
};

inline constexpr int kPluFieldCount = 76;

// The PLU numbers the program accepts wherever a number enters (editor,
// import, korvoctl, the schema): the editor's six places. Records and
// transfers rely on every stored PLU_No lying in this range.
inline constexpr qint32 kPluNoMin = 1;
inline constexpr qint32 kPluNoMax = 999999;

// A PLU number as typed or read from a file: the whole text (trimmed) must be
// a whole number in kPluNoMin..kPluNoMax; "1.5", "1e3", "abc" are refused.
std::optional<qint32> ParsePluNo(const QString &text);

class PluFieldTable {
public:
    PluFieldTable();

    // Names and kinds of the fixed table; captions, links and visibility
    // are left empty.
    void reset();
    // Sets Visible from the "Show" key text; items that are not indices 0..75
    // are skipped and returned in *rejected.
    void applyShowKey(const QString &show, QStringList *rejected = nullptr);
    // Rebuilds pluFieldList and statusDateTimeFlags.
    void buildLists();

    int indexOf(const QString &name) const; // case-insensitive, -1 if none
    const PLUField &at(int i) const { return fields[i]; }
    PLUField &at(int i) { return fields[i]; }
    int size() const { return fields.size(); }

    QVector<PLUField> fields;
    QString pluFieldList;         // g_PLUFieldList
    QString statusDateTimeFlags;  // g_StatusDateTimeFlags

    static const char *const kNames[kPluFieldCount];

private:
    QHash<QString, int> m_index;
};

// Formats a value for SQL by kind: numbers bare with "," turned into ".",
// texts quoted with quotes doubled, dates and times between "#", empty as null.
QString SqlValue(ValueKind kind, const QString &value);

} // namespace korvo
