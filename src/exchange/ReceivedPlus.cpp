#include "exchange/ReceivedPlus.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/Log.h"
#include "core/UserInterface.h"
#include "core/Values.h"

#include <QMap>
#include <QSqlError>
#include <QSqlQuery>

namespace korvo {

ReceivedPluBrowser::ReceivedPluBrowser(AppState &state, PluListView &view)
    : m_state(state), m_view(view)
{
}

QStringList ReceivedPluBrowser::scaleItems()
{
    QStringList items{kAllScales};
    auto q = QueryKorvoDB(m_state, QStringLiteral(
        "select r.SC_IP, s.SC_Dest from (select SC_IP from RC_PLU group by SC_IP) r "
        "left join SCALE s on s.SC_IP=r.SC_IP order by r.SC_IP"));
    while (q && q->next())
        items << q->value(0).toString() + QStringLiteral(": ") + q->value(1).toString();
    return items;
}

QStringList ReceivedPluBrowser::mainGroupItems()
{
    QStringList items{kAllMainGroups};
    auto q = QueryKorvoDB(m_state, QStringLiteral(
        "select r.PLU_MG, m.MG_Name from (select PLU_MG from RC_PLU where PLU_MG is not null "
        "group by PLU_MG) r left join MG m on m.MG_No=r.PLU_MG order by r.PLU_MG"));
    while (q && q->next())
        items << q->value(0).toString() + QStringLiteral(": ") + q->value(1).toString();
    return items;
}

QString ReceivedPluBrowser::filterCondition(const QString &scaleText, const QString &mainGroupText)
{
    const QString scale = scaleText.section(u':', 0, 0).trimmed();
    const std::optional<qint32> mg = StrictInt32(mainGroupText.section(u':', 0, 0));
    const bool byScale = !scale.isEmpty() && scale != QLatin1String("-1");
    const bool byGroup = mg && *mg != -1;
    const QString scaleCondition = QStringLiteral(" [SC_IP]='") + SqlEscape(scale) + QStringLiteral("' ");
    const QString groupCondition = QStringLiteral(" [PLU_MG]=") + QString::number(mg.value_or(-1));
    if (byScale && byGroup)
        return scaleCondition + QStringLiteral(" AND ") + groupCondition;
    if (byScale)
        return scaleCondition;
    if (byGroup)
        return groupCondition;
    return {};
}

bool ReceivedPluBrowser::run(QString condition, bool save)
{
    return m_query.run(m_state, m_view, currentPage, pageCount, condition, save, false,
                       QStringLiteral("RC_PLU"))
        .has_value();
}

bool ReceivedPluBrowser::select(const QString &scaleText, const QString &mainGroupText)
{
    currentPage = 1;
    return run(filterCondition(scaleText, mainGroupText), true);
}

bool ReceivedPluBrowser::firstPage()
{
    currentPage = 1;
    return redo();
}

bool ReceivedPluBrowser::lastPage()
{
    currentPage = pageCount;
    return redo();
}

bool ReceivedPluBrowser::nextPage()
{
    ++currentPage;
    return redo();
}

bool ReceivedPluBrowser::previousPage()
{
    --currentPage;
    return redo();
}

bool ReceivedPluBrowser::redo()
{
    return run(QStringLiteral("redo"), false);
}

int ReceivedPluBrowser::receivedCount(const QString &address)
{
    auto q = QueryKorvoDB(m_state, QStringLiteral("select count(*) from RC_PLU where [SC_IP]='")
                                       + SqlEscape(address) + QStringLiteral("'"));
    return q && q->next() ? q->value(0).toInt() : -1;
}

QString ReceivedPluBrowser::receiveRequest(const QStringList &addresses)
{
    QString request;
    for (const QString &a : addresses) {
        const QString address = a.trimmed();
        if (!address.isEmpty())
            request += address + u',' + QString::number(2000 + LastDotNumber(address)) + QStringLiteral("\r\n");
    }
    return request;
}

bool ReceivedPluBrowser::receive(const QStringList &addresses,
                                 const std::function<bool(const QString &)> &rdfplu)
{
    const QString request = receiveRequest(addresses);
    if (request.isEmpty() || !rdfplu)
        return false;
    WriteLog(m_state, QStringLiteral("g_dllZent.RDFPLU ") + request);
    return rdfplu(request);
}

TakeOverResult ReceivedPluBrowser::takeOver()
{
    TakeOverResult result;
    const QString source = QStringLiteral("TakeOverReceivedPLUs");
    auto fail = [&](const QString &why) {
        m_state.errorSource = source;
        ReportError(m_state, why);
        return result;
    };
    struct Pending {
        QString address;
        QVariant price, ubDate, record;
    };
    QMap<qint32, Pending> pending;
    QMap<qint32, QStringList> repeated;
    {
        auto q = QueryKorvoDB(m_state, QStringLiteral(
            "select [SC_IP],[PLU_No],[PLU_UPrice],[PLU_UBDate],[ZentBinData] from RC_PLU "
            "Where [PLU_Compare]=1 order by [SC_IP],[PLU_MG],[PLU_No];"));
        if (!q)
            return result;
        while (q->next()) {
            const qint32 no = q->value(1).toInt();
            const QString address = q->value(0).toString();
            if (pending.contains(no)) {
                QStringList &from = repeated[no];
                if (from.isEmpty())
                    from << pending.value(no).address;
                from << address;
                continue;
            }
            pending.insert(no, {address, q->value(2), q->value(3), q->value(4)});
        }
    }
    if (!repeated.isEmpty()) {
        for (auto it = repeated.cbegin(); it != repeated.cend(); ++it)
            result.repeated << QStringLiteral("PLU %1: %2").arg(it.key()).arg(it.value().join(QStringLiteral(", ")));
        return fail(QStringLiteral("These PLUs were changed on more than one scale, so it is not clear "
                                   "which change to take; nothing was taken over. Take one scale's "
                                   "rows over with Update to PLU, or receive again.\n")
                    + result.repeated.join(u'\n'));
    }

    Transaction tx(m_state);
    if (!tx.active())
        return fail(QStringLiteral("The database cannot start a transaction."));
    QSqlDatabase db = QSqlDatabase::database(m_state.connMain, false);
    QSqlQuery plu(db), rc(db);
    if (!plu.prepare(QStringLiteral("update PLU set PLU_UPrice=?, PLU_UBDate=?, ZentBinData=?, "
                                    "PLU_UPDate=?, PLU_UPTime=? where PLU_No=?"))
        || !rc.prepare(QStringLiteral("update RC_PLU set PLU_Compare=0 where PLU_No=? and SC_IP=?")))
        return fail(plu.lastError().text() + rc.lastError().text());
    const QDateTime now = m_state.now();
    const QString today = now.date().toString(QStringLiteral("yyyy-MM-dd"));
    const QString time = now.time().toString(QStringLiteral("HH:mm:ss"));
    int count = 0;
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        plu.addBindValue(it->price);
        plu.addBindValue(it->ubDate);
        plu.addBindValue(it->record);
        plu.addBindValue(today);
        plu.addBindValue(time);
        plu.addBindValue(it.key());
        rc.addBindValue(it.key());
        rc.addBindValue(it->address);
        if (!plu.exec() || !rc.exec())
            return fail(QStringLiteral("PLU %1 from %2: %3%4")
                            .arg(it.key())
                            .arg(it->address, plu.lastError().text(), rc.lastError().text()));
        if (++count % 10 == 0 && m_state.ui)
            m_state.ui->processEvents();
    }
    if (!tx.commit())
        return fail(QStringLiteral("The taken-over values could not be saved: ") + tx.error().text());
    result.ok = true;
    result.taken = count;
    return result;
}

} // namespace korvo
