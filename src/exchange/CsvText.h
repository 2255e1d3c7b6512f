#pragma once
// The text of a PLU CSV file: records of values separated by ",", texts
// enclosed in "'". QtCore only, so that the fuzz target builds it alone.
//
// Reading takes the files this program writes (an apostrophe inside a text
// is doubled) and the older ones (texts quoted without any escaping): inside
// a quoted value "''" is one apostrophe, and a single "'" ends the value only
// where blanks and then a ",", a line end or the end of the text follow;
// anywhere else it is part of the text. A record ends at CR LF or LF outside
// quotes; inside quotes line ends are text (multi-line texts keep their CR).
// A "'" starts a quoted value only as the value's first non-blank character.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

namespace korvo {

// A value points into the text read, or into its record's storage when it
// had to be unescaped; it stays valid until the record is cleared.
struct CsvField {
    QStringView text;    // unquoted values trimmed, quoted ones as meant inside the quotes
    bool quoted = false; // was enclosed in "'"
};

struct CsvRecord {
    QVector<CsvField> fields;
    qint64 line = 0; // physical line (from 1) where the record starts

    void clear()
    {
        fields.clear();
        storage.clear();
    }
    // A value whose text the record keeps itself.
    void addOwned(QString text, bool quoted)
    {
        storage.push_back(std::move(text));
        fields.push_back({storage.constLast(), quoted});
    }
    // A line of blanks only.
    bool blank() const
    {
        return fields.size() == 1 && !fields.at(0).quoted && fields.at(0).text.isEmpty();
    }

private:
    // A QString keeps its characters where they are when the list grows.
    QStringList storage;
};

class CsvReader {
public:
    // text must outlive the reader and the records it fills.
    explicit CsvReader(QStringView text) : m_text(text) {}
    explicit CsvReader(QString &&) = delete;

    // The next record into *record; false at the end of the text or on an
    // error (then error() is not empty and names the line and the value).
    bool next(CsvRecord &record);

    QString error() const { return m_error; }
    // Characters read so far.
    qsizetype position() const { return m_pos; }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
    qint64 m_line = 1;
    QString m_error;
};

// A text as a quoted value: "'" + the text with every "'" doubled + "'".
QString CsvQuote(QStringView text);

} // namespace korvo
