#pragma once
// What the CSV export, the import and Update to PLU share: how a column's
// values travel in a file, the language texts and code page they use, the
// status window's caption, and the received rows of a scale as file lines.
// Inside src/exchange only.

#include "exchange/CsvText.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <utility>

namespace korvo {

class AppState;

namespace exchange {

inline const QString kRecordColumn = QStringLiteral("ZentBinData");

// A text of section "Global".
QString text(AppState &state, const char *key);
QSqlDatabase mainDb(const AppState &state);
// The setting "Codepage" (windows-1252 when empty).
QString codepageName(const AppState &state);

// How a column's values are written to and read from a file.
enum class CsvKind { Number, Text, DateTime, YesNo };

// The PLU field table decides for its 76 columns; every other PLU column
// but the record is a Yes/No status flag.
CsvKind csvKindOf(const AppState &state, const QString &column);

// One stored value as a value of a file line: its text and whether it is quoted.
std::pair<QString, bool> csvValueOf(const QVariant &v, CsvKind kind);

// The status window's caption: title, what is read or written, the record
// count of the total.
class ProgressCaption {
public:
    ProgressCaption(AppState &state, const char *titleKey, const QString &what, qint64 total);
    QString operator()(qint64 k) const { return m_head + QString::number(k) + m_tail; }

private:
    QString m_head, m_tail;
};

// Where the lines of an import come from.
class LineSource {
public:
    virtual ~LineSource() = default;
    // False at the end, or on an error (error() then says why).
    virtual bool next(CsvRecord &record) = 0;
    virtual QString error() const = 0;
    virtual qint64 expected() const = 0; // lines to come, for the progress
};

// The received rows of one scale as file lines: the header (the column
// list), then one line per row by PLU number.
class ReceivedLines : public LineSource {
public:
    ReceivedLines(AppState &state, const QStringList &columns, const QString &address);
    bool next(CsvRecord &record) override;
    QString error() const override { return m_error; }
    qint64 expected() const override { return m_expected; }
    // Ends the read, so that the rows may change.
    void finish() { m_rows->finish(); }

private:
    QStringList m_columns;
    QVector<CsvKind> m_kinds;
    std::unique_ptr<QSqlQuery> m_rows;
    QString m_error;
    qint64 m_line = 0;
    qint64 m_expected = 0;
};

} // namespace exchange
} // namespace korvo
