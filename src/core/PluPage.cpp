#include "core/PluPage.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/Values.h"

#include <QMetaType>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <limits>

namespace korvo {

namespace {

const QString kCompareColumn = QStringLiteral("PLU_Compare");

QString cellText(const QVariant &v)
{
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return NumberText(v.toDouble());
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

// The field-table select list, with PLU_Compare only for received rows. The
// shared list of the state is never changed: the editor's query uses it too.
QString selectList(const AppState &state, bool receivedRows)
{
    QString list = state.pluFields.pluFieldList;
    if (list.isEmpty()) {
        QStringList names;
        for (const PLUField &f : state.pluFields.fields)
            names << f.Name;
        list = names.join(QLatin1Char(','));
    }
    const qsizetype cut = list.toUpper().indexOf(QStringLiteral(",PLU_COMPARE"));
    if (cut >= 0)
        list.truncate(cut);
    if (receivedRows)
        list += QLatin1Char(',') + kCompareColumn;
    return list;
}

} // namespace

QString PluPageQuery::orderClause(AppState &state, const PluListView &view, bool *ok)
{
    if (ok)
        *ok = true;
    QStringList entries;
    for (const SortColumn &c : view.sortColumns()) {
        if (c.column < 0 || c.column >= kPluFieldCount || c.column >= state.pluFields.size()) {
            if (ok)
                *ok = false;
            return {};
        }
        QString e = state.pluFields.at(c.column).Name + QLatin1Char(' ');
        if (!c.ascending)
            e += QStringLiteral("DESC");
        entries << e;
    }
    if (entries.isEmpty())
        return {};
    return QStringLiteral(" order by ") + entries.join(QLatin1Char(','));
}

std::optional<qint32> PluPageQuery::run(AppState &state, PluListView &view, qint32 &page,
                                        qint32 &pageCount, QString &condition, bool save,
                                        bool wantFirst, const QString &table)
{
    const bool build = !(condition.toLower() == QLatin1String("redo") && !m_saved.sql.isEmpty());
    Statements st;
    if (build) {
        bool ok = true;
        const QString order = orderClause(state, view, &ok);
        if (!ok) {
            state.errorSource = QStringLiteral("QueryPLUPage");
            ReportError(state, QStringLiteral("A sort column of the list is no PLU field"));
            return std::nullopt;
        }
        if (condition.toUpper() == QLatin1String("REDO") && m_saved.sql.trimmed().isEmpty())
            condition.clear();
        const bool received = table.toUpper() == QLatin1String("RC_PLU");
        const QString where =
            condition.isEmpty() ? QString() : QStringLiteral(" Where ") + condition;
        const QString list = selectList(state, received);
        st.sql = QStringLiteral("select ") + list + QStringLiteral(" from ") + table
               + QLatin1Char(' ') + where + order;
        st.count = QStringLiteral("select count(*) from ") + table + QLatin1Char(' ') + where;
        // Pages are cut from the row keys alone, which a narrow index can
        // deliver, and only the rows of the page are read in full. The key
        // ends every sort order so that pages never overlap at equal sort
        // values; it runs the same way as the last sort column, which lets an
        // index on that column serve the order. Unsorted, the whole table
        // comes in key order and a condition in the order of the index that
        // serves it (a main group's PLUs by number). PLU_No is the rowid of
        // PLU, named so that its own index can serve the unsorted list.
        const QString key = received ? QStringLiteral("rowid") : QStringLiteral("PLU_No");
        QString keyOrder;
        if (order.isEmpty())
            keyOrder = where.isEmpty() ? QStringLiteral(" order by ") + key : QString();
        else
            keyOrder = order + QLatin1Char(',') + key
                     + (view.sortColumns().constLast().ascending ? QString()
                                                                 : QStringLiteral(" DESC"));
        st.keys = QStringLiteral("select ") + key + QStringLiteral(" as korvo_key from ") + table
                + QLatin1Char(' ') + where + keyOrder;
        st.rows = QStringLiteral("select ") + list + QStringLiteral(" from (");
        st.table = table;
        if (save)
            m_saved = st;
    } else {
        st = m_saved;
    }

    m_last.clear();
    view.clearRows();

    qint64 rows = 0;
    {
        m_last << st.count;
        auto q = QueryKorvoDB(state, st.count);
        if (!q)
            return std::nullopt;
        if (q->next())
            rows = q->value(0).toLongLong();
    }
    if (rows <= 0) {
        page = 1;
        pageCount = 1;
        view.repaintList();
        return 0;
    }

    const qint64 pageSize = state.settings.PLUPageSize < 1 ? 10 : state.settings.PLUPageSize;
    pageCount = qint32(std::min<qint64>((rows + pageSize - 1) / pageSize,
                                        std::numeric_limits<qint32>::max()));
    if (page > pageCount)
        page = pageCount;
    if (page < 1)
        page = 1;

    qint32 first = 0;
    if (wantFirst && page != 1) {
        const QString firstSql = QStringLiteral("select PLU_No from ") + st.table
                               + QStringLiteral(" where rowid=(") + st.keys
                               + QStringLiteral(" limit 1)");
        m_last << firstSql;
        auto q = QueryKorvoDB(state, firstSql);
        if (!q)
            return std::nullopt;
        if (q->next())
            first = q->value(0).toInt();
    }

    // The page's keys drive the join in their order (cross join keeps the
    // subquery as the outer loop), so the rows come in the page's order.
    const QString pageSql = st.rows + st.keys + QStringLiteral(" limit ") + QString::number(pageSize)
                          + QStringLiteral(" offset ") + QString::number((page - 1) * pageSize)
                          + QStringLiteral(") as korvo_page cross join ") + st.table
                          + QStringLiteral(" on ") + st.table
                          + QStringLiteral(".rowid=korvo_page.korvo_key");
    m_last << pageSql;
    auto q = QueryKorvoDB(state, pageSql);
    if (!q)
        return std::nullopt;
    const QSqlRecord rec = q->record();
    const int cells = rec.count();
    const int compareAt = rec.indexOf(kCompareColumn);
    const bool received = compareAt >= 0;
    int added = 0;
    while (added < pageSize && q->next()) {
        if (added == 0 && wantFirst && page == 1)
            first = q->value(0).toInt();
        QStringList row;
        row.reserve(cells);
        for (int c = 0; c < cells; ++c)
            row << cellText(q->value(c));
        int background = (added % 2 == 1) ? kAlternateRowColour : -1;
        if (received && q->value(compareAt).toInt() == 1)
            background = kCompareRowColour;
        view.addRow(row, background);
        ++added;
    }
    q->finish();
    view.repaintList();
    return wantFirst ? first : 0;
}

} // namespace korvo
