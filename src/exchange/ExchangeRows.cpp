#include "exchange/ExchangeRows.h"
#include "exchange/PluExchange.h"

#include "core/AppState.h"
#include "core/PluFields.h"
#include "core/Values.h"
#include "encoding/DescriptorFiles.h"
#include "i18n/Language.h"

#include <QSqlError>

namespace korvo {

namespace exchange {

QString text(AppState &state, const char *key)
{
    return GetLangString(state, QStringLiteral("Global"), QLatin1String(key));
}

QSqlDatabase mainDb(const AppState &state)
{
    return QSqlDatabase::database(state.connMain, false);
}

QString codepageName(const AppState &state)
{
    const QString name = state.settings.Codepage.trimmed();
    return name.isEmpty() ? QStringLiteral("windows-1252") : name;
}

CsvKind csvKindOf(const AppState &state, const QString &column)
{
    const int i = state.pluFields.indexOf(column);
    if (i >= 0) {
        switch (state.pluFields.at(i).Kind) {
        case ValueKind::Number: return CsvKind::Number;
        case ValueKind::Text: return CsvKind::Text;
        case ValueKind::DateTime: return CsvKind::DateTime;
        }
    }
    if (column.compare(kRecordColumn, Qt::CaseInsensitive) == 0)
        return CsvKind::Text;
    return CsvKind::YesNo;
}

namespace {

bool needsQuotes(const QString &s)
{
    for (const QChar c : s) {
        if (c == u',' || c == u'\'' || c == u'\r' || c == u'\n')
            return true;
    }
    return s != s.trimmed();
}

} // namespace

std::pair<QString, bool> csvValueOf(const QVariant &v, CsvKind kind)
{
    if (v.isNull())
        return {QStringLiteral("0"), false};
    const int type = v.typeId();
    const bool number = type == QMetaType::Int || type == QMetaType::LongLong
                     || type == QMetaType::Double || type == QMetaType::Bool;
    switch (kind) {
    case CsvKind::YesNo: {
        const std::optional<bool> b = number ? std::optional<bool>(v.toDouble() != 0.0)
                                             : StrictBool(v.toString());
        if (b)
            return {*b ? QStringLiteral("-1") : QStringLiteral("0"), false};
        break;
    }
    case CsvKind::Number: {
        if (type == QMetaType::Double)
            return {NumberText(v.toDouble()), false};
        if (number)
            return {QString::number(v.toLongLong()), false};
        if (const auto d = StrictNumber(v.toString()))
            return {NumberText(*d), false};
        break;
    }
    case CsvKind::DateTime: {
        // Dates and times in one form on every machine; a bare number (a
        // day count) stays as it is.
        QString s = v.toString().trimmed();
        const bool dated = s.contains(u'-') || s.contains(u'.') || s.contains(u'/');
        if (!dated && s.contains(u':')) {
            if (const auto t = ReadTime(s))
                s = t->toString(QStringLiteral("HH:mm:ss"));
        } else if (dated) {
            if (const auto d = ReadDate(s))
                s = d->toString(QStringLiteral("yyyy-MM-dd"));
        }
        if (!needsQuotes(s))
            return {s, false};
        break;
    }
    case CsvKind::Text:
        break;
    }
    // Whatever does not fit its kind travels as a text and is judged on import.
    return {type == QMetaType::Double ? NumberText(v.toDouble()) : v.toString(), true};
}

ProgressCaption::ProgressCaption(AppState &state, const char *titleKey, const QString &what, qint64 total)
    : m_head(text(state, titleKey) + QStringLiteral("...\n") + what + u'\n' + text(state, "msgPLUToCSVCurrentRecord")),
      m_tail(QString(10, u' ') + text(state, "msgPLUToCSVTotalRecord") + QString::number(total))
{
}

ReceivedLines::ReceivedLines(AppState &state, const QStringList &columns, const QString &address)
    : m_columns(columns)
{
    QSqlDatabase db = mainDb(state);
    QSqlQuery count(db);
    count.prepare(QStringLiteral("select count(*) from RC_PLU where SC_IP=?"));
    count.addBindValue(address);
    if (count.exec() && count.next())
        m_expected = count.value(0).toLongLong() + 1;
    count.finish();
    QStringList quoted;
    for (const QString &c : columns) {
        m_kinds << csvKindOf(state, c);
        quoted << u'"' + c + u'"';
    }
    m_rows = std::make_unique<QSqlQuery>(db);
    m_rows->setForwardOnly(true);
    m_rows->prepare(QStringLiteral("select ") + quoted.join(u',')
                    + QStringLiteral(" from RC_PLU where SC_IP=? order by PLU_No"));
    m_rows->addBindValue(address);
    if (!m_rows->exec())
        m_error = m_rows->lastError().text();
}

bool ReceivedLines::next(CsvRecord &record)
{
    record.clear();
    record.line = ++m_line;
    if (!m_error.isEmpty())
        return false;
    if (m_line == 1) {
        for (const QString &c : std::as_const(m_columns))
            record.fields.push_back({c, false});
        return true;
    }
    if (!m_rows->next()) {
        if (m_rows->lastError().isValid())
            m_error = m_rows->lastError().text();
        m_rows->finish();
        return false;
    }
    for (int i = 0; i < m_kinds.size(); ++i) {
        auto [text, quoted] = csvValueOf(m_rows->value(i), m_kinds.at(i));
        record.addOwned(std::move(text), quoted);
    }
    return true;
}

} // namespace exchange

QStringList CsvColumnList(AppState &state)
{
    if (!ReadZentStatFile(state, DescriptorPath(state, QStringLiteral("PLU_STATUS.dsc")))
        || !ReadZentPLUDescFile(state, DescriptorPath(state, QStringLiteral("PLU.dsc"))))
        return {};
    QStringList columns;
    for (const FieldDescriptor &d : std::as_const(state.enc.fieldDescs)) {
        if (!d.Column.trimmed().isEmpty())
            columns << d.Column.trimmed();
    }
    return columns;
}

} // namespace korvo
