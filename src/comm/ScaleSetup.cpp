#include "comm/ScaleSetup.h"

#include "comm/ScaleList.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/PluFields.h"

#include <QHash>
#include <QHostAddress>

namespace korvo {

namespace {

QString plainAddress(const QString &text)
{
    const std::optional<quint32> ip = ParseIPv4(text);
    return ip ? QHostAddress(*ip).toString() : text.trimmed();
}

QString textValue(const QString &text) { return SqlValue(ValueKind::Text, text.trimmed()); }

} // namespace

qint32 ScaleSetup::freeSectionNo() const
{
    QSet<qint32> taken;
    for (const SectionRow &s : sections)
        taken.insert(s.no);
    qint32 n = 1;
    while (taken.contains(n))
        ++n;
    return n;
}

bool LoadScaleSetup(AppState &state, ScaleSetup &out)
{
    out = {};
    auto s = QueryKorvoDB(state, QStringLiteral("select SECT_No,SECT_Name from SCALE_SECT order by SECT_No"));
    if (!s)
        return false;
    QHash<qint32, int> index;
    while (s->next()) {
        index.insert(s->value(0).toInt(), int(out.sections.size()));
        out.sections.push_back({s->value(0).toInt(), s->value(1).toString(), {}});
    }
    s->finish();
    auto d = QueryKorvoDB(state, QStringLiteral("select SECT_No,DEPT_No from DEPT_SECT"));
    if (!d)
        return false;
    while (d->next()) {
        // A pairing with a section that has no row of its own gets one, so
        // that storing the setup keeps it.
        const qint32 sect = d->value(0).toInt();
        if (!index.contains(sect)) {
            index.insert(sect, int(out.sections.size()));
            out.sections.push_back({sect, QString::number(sect), {}});
        }
        out.sections[index.value(sect)].depts.insert(d->value(1).toInt());
    }
    d->finish();
    auto q = QueryKorvoDB(state, QStringLiteral("select SC_IP,SC_Dest,SECT_No,SC_Used from SCALE order by SC_IP"));
    if (!q)
        return false;
    while (q->next())
        out.scales.push_back({q->value(0).toString(), q->value(1).toString(), q->value(2).toInt(), q->value(3).toInt() != 0});
    return true;
}

std::optional<SetupProblem> CheckScaleSetup(const ScaleSetup &setup)
{
    using Where = SetupProblem::Where;
    QSet<qint32> sections;
    for (int i = 0; i < setup.sections.size(); ++i) {
        const SectionRow &s = setup.sections.at(i);
        if (s.name.trimmed().isEmpty())
            return SetupProblem{Where::Section, i, QStringLiteral("msgNoSectionName")};
        if (sections.contains(s.no))
            return SetupProblem{Where::Section, i, QStringLiteral("msgDuplicateSection")};
        sections.insert(s.no);
    }
    QSet<quint32> addresses;
    for (int i = 0; i < setup.scales.size(); ++i) {
        const ScaleRow &r = setup.scales.at(i);
        const std::optional<quint32> ip = ParseIPv4(r.address);
        // 0.x.x.x and the broadcast address are no scale's.
        if (!ip || (*ip >> 24) == 0 || *ip == 0xFFFFFFFFu)
            return SetupProblem{Where::Scale, i, QStringLiteral("msgBadAddress")};
        if (addresses.contains(*ip))
            return SetupProblem{Where::Scale, i, QStringLiteral("msgDuplicateAddress")};
        addresses.insert(*ip);
        if (!sections.contains(r.section))
            return SetupProblem{Where::Scale, i, QStringLiteral("msgNoSection")};
    }
    return std::nullopt;
}

bool SaveScaleSetup(AppState &state, const ScaleSetup &setup)
{
    if (CheckScaleSetup(setup))
        return false;
    Transaction t(state);
    if (!t.active()) {
        state.errorSource = QStringLiteral("SaveScaleSetup");
        ReportError(state, t.error().text());
        return false;
    }
    QStringList sql{QStringLiteral("Delete * from DEPT_SECT"), QStringLiteral("Delete * from SCALE"),
                    QStringLiteral("Delete * from SCALE_SECT")};
    for (const SectionRow &s : setup.sections) {
        sql << QStringLiteral("insert into SCALE_SECT(SECT_No,SECT_Name) values(%1,%2)").arg(s.no).arg(textValue(s.name));
        QList<qint32> depts = s.depts.values();
        std::sort(depts.begin(), depts.end());
        for (qint32 d : std::as_const(depts))
            sql << QStringLiteral("insert into DEPT_SECT(DEPT_No,SECT_No) values(%1,%2)").arg(d).arg(s.no);
    }
    for (const ScaleRow &r : setup.scales)
        sql << QStringLiteral("insert into SCALE(SC_IP,SECT_No,SC_Used,SC_Dest) values('%1',%2,%3,%4)")
                   .arg(plainAddress(r.address))
                   .arg(r.section)
                   .arg(r.used ? QStringLiteral("True") : QStringLiteral("False"))
                   .arg(textValue(r.description));
    for (const QString &s : std::as_const(sql))
        if (!QueryKorvoDB(state, s))
            return false; // reported; the transaction rolls back
    if (!t.commit()) {
        state.errorSource = QStringLiteral("SaveScaleSetup");
        ReportError(state, t.error().text());
        return false;
    }
    return true;
}

} // namespace korvo
