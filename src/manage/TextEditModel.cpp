#include "manage/TextEditModel.h"

#include "core/AppState.h"
#include "core/Values.h"
#include "i18n/Codepages.h"

#include <QStringList>

namespace korvo {

TextEditModel::TextEditModel(const AppState &state) : m_state(state), m_fonts(state.fonts)
{
    load(QString());
}

int TextEditModel::fontOfCode(const QString &code) const
{
    if (const auto c = StrictInt32(code)) {
        for (int i = 0; i < m_fonts.size(); ++i)
            if (m_fonts[i].Font_Code == *c)
                return i;
    }
    return 0;
}

void TextEditModel::load(const QString &exchange)
{
    m_rows.clear();
    const QStringList parts = exchange.isEmpty() ? QStringList() : exchange.split(QStringLiteral("\r\n"));
    if (parts.size() == 2) {
        const QStringList lines = parts[0].split(QLatin1Char('\r'));
        const QStringList codes = parts[1].split(QLatin1Char(','));
        const qsizetype count = qMin(qMin(lines.size(), codes.size()), qsizetype(kMaxLines));
        for (qsizetype i = 0; i < count; ++i)
            m_rows.push_back({lines[i], fontOfCode(codes[i])});
    }
    if (m_rows.isEmpty())
        m_rows.push_back({QString(), fontOfCode(QString::number(m_state.settings.DefaultFont))});
    normalize();
}

int TextEditModel::lineCount() const
{
    return int(m_rows.size()) - (m_rows.last().text.isEmpty() ? 1 : 0);
}

int TextEditModel::limit(int row) const
{
    const int font = m_rows.at(row).font;
    // Start-up refuses a table without used fonts; a line then has room for
    // what the scale record can carry.
    return font >= 0 && font < m_fonts.size() ? m_fonts[font].Font_Numbers : 255;
}

QString TextEditModel::cut(const QString &text, int limit) const
{
    QString t = text.left(qMax(0, limit));
    if (!t.isEmpty() && t.back().isHighSurrogate())
        t.chop(1);
    // A double-byte character takes two of the line's places on the scale.
    while (!t.isEmpty() && CodepageByteCount(m_state, t) > limit)
        t.chop(t.size() >= 2 && t.back().isLowSurrogate() ? 2 : 1);
    return t;
}

QString TextEditModel::setText(int row, const QString &text)
{
    if (row < 0 || row >= m_rows.size())
        return text;
    m_rows[row].text = cut(text, limit(row));
    const QString kept = m_rows[row].text;
    normalize();
    return kept;
}

void TextEditModel::setFont(int row, int fontIndex)
{
    if (row < 0 || row >= m_rows.size() || fontIndex < 0 || fontIndex >= m_fonts.size())
        return;
    m_rows[row].font = fontIndex;
    m_rows[row].text = cut(m_rows[row].text, limit(row));
    normalize();
}

void TextEditModel::normalize()
{
    while (m_rows.size() >= 2 && m_rows.last().text.isEmpty() && m_rows.at(m_rows.size() - 2).text.isEmpty())
        m_rows.removeLast();
    if (!m_rows.last().text.isEmpty() && m_rows.size() < kMaxLines)
        m_rows.push_back({QString(), m_rows.last().font});
}

QString TextEditModel::exchangeText() const
{
    const int n = lineCount();
    if (n <= 0)
        return QString();
    QStringList lines, codes;
    for (int i = 0; i < n; ++i) {
        lines << m_rows[i].text;
        const int font = m_rows[i].font;
        codes << QString::number(font >= 0 && font < m_fonts.size() ? m_fonts[font].Font_Code : 0);
    }
    return lines.join(QLatin1Char('\r')) + QStringLiteral("\r\n") + codes.join(QLatin1Char(','));
}

} // namespace korvo
