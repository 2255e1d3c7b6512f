#include "exchange/CsvText.h"

namespace korvo {

namespace {

constexpr char16_t kQuote = u'\'';
constexpr char16_t kComma = u',';

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

} // namespace

bool CsvReader::next(CsvRecord &record)
{
    record.clear();
    record.line = m_line;
    if (!m_error.isEmpty() || m_pos >= m_text.size())
        return false;

    const qsizetype n = m_text.size();
    const QChar *t = m_text.data();
    // Length of the line end at i (CR LF or LF), 0 when there is none.
    auto lineEnd = [&](qsizetype i) -> qsizetype {
        if (i >= n)
            return 0;
        if (t[i] == u'\n')
            return 1;
        if (t[i] == u'\r' && i + 1 < n && t[i + 1] == u'\n')
            return 2;
        return 0;
    };
    auto skipBlanks = [&](qsizetype i) {
        while (i < n && isBlank(t[i]))
            ++i;
        return i;
    };

    qsizetype i = m_pos;
    for (;;) {
        const qsizetype start = skipBlanks(i);
        if (start < n && t[start] == kQuote) {
            const qint64 openedAt = m_line;
            const qsizetype first = start + 1;
            qsizetype j = first;
            bool doubled = false, closed = false;
            while (j < n) {
                const QChar c = t[j];
                if (c == kQuote) {
                    if (j + 1 < n && t[j + 1] == kQuote) {
                        doubled = true;
                        j += 2;
                        continue;
                    }
                    const qsizetype after = skipBlanks(j + 1);
                    if (after >= n || t[after] == kComma || lineEnd(after) > 0) {
                        closed = true;
                        break;
                    }
                    // otherwise an apostrophe of an older file's text
                } else if (c == u'\n') {
                    ++m_line;
                }
                ++j;
            }
            if (!closed) {
                m_error = QStringLiteral("Line %1, value %2: the text quoted with \"'\" does not end")
                              .arg(openedAt)
                              .arg(record.fields.size() + 1);
                m_pos = n;
                return false;
            }
            const QStringView inner = m_text.mid(first, j - first);
            if (doubled) {
                QString s;
                s.reserve(inner.size());
                for (qsizetype k = 0; k < inner.size(); ++k) {
                    s += inner[k];
                    if (inner[k] == kQuote && k + 1 < inner.size() && inner[k + 1] == kQuote)
                        ++k;
                }
                record.addOwned(std::move(s), true);
            } else {
                record.fields.push_back({inner, true});
            }
            i = skipBlanks(j + 1);
        } else {
            qsizetype j = start;
            while (j < n && t[j] != kComma && lineEnd(j) == 0)
                ++j;
            record.fields.push_back({m_text.mid(start, j - start).trimmed(), false});
            i = j;
        }

        if (i < n && t[i] == kComma) {
            ++i;
            continue;
        }
        const qsizetype end = lineEnd(i);
        if (end > 0)
            ++m_line;
        m_pos = i + end;
        return true;
    }
}

QString CsvQuote(QStringView text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += kQuote;
    for (const QChar c : text) {
        if (c == kQuote)
            out += kQuote;
        out += c;
    }
    out += kQuote;
    return out;
}

} // namespace korvo
