#pragma once
// The lines of the text editor (frmEditText) without its widgets: a long
// text of a PLU as up to 20 lines, each in a scale font of table FONTS and
// limited to the font's Font_Numbers, counted both in characters and in
// bytes of the code page the scale texts are sent in.
//
// Rows are the lines plus one empty row for typing a new line; at 20 lines
// there is no such row, so no 21st line can be started.

#include "core/Records.h"

#include <QString>
#include <QVector>

namespace korvo {

class AppState;

class TextEditModel {
public:
    static constexpr int kMaxLines = 20;

    // Uses the state's used fonts, its DefaultFont and its code page.
    explicit TextEditModel(const AppState &state);

    // Loads an exchange text (lines joined by CR, CR LF, font codes joined
    // by ","): as many lines as the shorter of the two lists has items, a
    // code of no used font standing for the first font. A text that does not
    // split into exactly two parts loads no line; the first row then gets
    // the default font.
    void load(const QString &exchange);

    int rowCount() const { return int(m_rows.size()); }
    int lineCount() const;
    QString text(int row) const { return m_rows.at(row).text; }
    int fontIndex(int row) const { return m_rows.at(row).font; } // into fonts()
    int limit(int row) const;
    const QVector<ScaleFont> &fonts() const { return m_fonts; }

    // The operator changed a row's text: returns it cut to the row's limit;
    // an empty row follows a last row with text, surplus empty rows at the
    // end go.
    QString setText(int row, const QString &text);
    // A new font for a row cuts its text to the font's limit at once.
    void setFont(int row, int fontIndex);

    // Longest start of text within limit characters and limit bytes.
    QString cut(const QString &text, int limit) const;

    // The answer of OK: lines joined by CR, CR LF, font codes joined by
    // ","; "" without lines.
    QString exchangeText() const;

private:
    struct Row {
        QString text;
        int font = 0;
    };
    void normalize();
    int fontOfCode(const QString &code) const;

    const AppState &m_state;
    QVector<ScaleFont> m_fonts;
    QVector<Row> m_rows;
};

} // namespace korvo
