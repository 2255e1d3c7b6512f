#include "comm/ScaleCommands.h"

#include "comm/ScaleComm.h"
#include "comm/ScaleList.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/Log.h"
#include "core/PluFields.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"

#include <QSet>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmMain");

QString line(const QString &address, const QString &itemText)
{
    return address + QLatin1Char(',') + QString::number(ScaleNumberOf(address)) + itemText
        + QStringLiteral("\r\n");
}

// The scale selection; empty when cancelled or nothing was chosen.
QStringList chooseScales(AppState &state, int deptId, bool multiSelect = true)
{
    if (!state.ui)
        return {};
    const ScaleChoice choice = state.ui->chooseScales(deptId, multiSelect);
    QStringList out;
    if (choice.cancelled)
        return out;
    // m_strScales is the addresses joined by ";": split it as the callers do.
    for (const QString &a : choice.addresses.join(QLatin1Char(';')).split(QLatin1Char(';')))
        if (!a.trimmed().isEmpty())
            out << a.trimmed();
    return out;
}

QString linesFor(const QStringList &addresses, const QString &itemText)
{
    QString list;
    for (const QString &a : addresses)
        list += line(a, itemText);
    return list;
}

QStringList column(AppState &state, const QString &sql)
{
    QStringList out;
    auto q = QueryKorvoDB(state, sql);
    while (q && q->next())
        out << q->value(0).toString();
    return out;
}

// "," before each value: the item text of a list line.
QString itemText(const QStringList &values)
{
    QString items;
    for (const QString &v : values)
        items += QLatin1Char(',') + v;
    return items;
}

// The PLUs of a main group in number order, as item text.
QString groupItems(AppState &state, qint32 mg)
{
    return itemText(column(state, QStringLiteral("select PLU_No from PLU where PLU_MG=%1 order by PLU_No").arg(mg)));
}

// In-use scales of the sections that serve a department.
QStringList scalesOfDept(AppState &state, qint32 dept)
{
    return column(state, QStringLiteral("select SC_IP from SCALE where SC_Used=True and SECT_No in "
                                        "(select SECT_No from dept_sect where DEPT_No=%1) order by SC_IP")
                             .arg(dept));
}

ScaleComm *comm(AppState &state) { return IdleScaleComm(state); }

// Departments and main groups first, without progress, then the PLU call.
// A transfer the user cancelled ends the sequence.
void sendWithHierarchy(AppState &state, const QString &list, CommMethod pluCall)
{
    ScaleComm *c = comm(state);
    if (!c)
        return;
    c->HideStatusForm(true);
    if (c->WRFDEPT(list).cancelled)
        return;
    c->HideStatusForm(true);
    if (c->WRFMG(list).cancelled)
        return;
    c->call(pluCall, list);
}

void log(AppState &state, const char *call, const QString &list)
{
    WriteLog(state, QStringLiteral("g_dllZent.") + QLatin1String(call) + QLatin1Char(' ') + list);
}

// The PLUs to the scales the user chooses, with the call's log line.
QString toChosenScales(AppState &state, const QVector<qint32> &plus, CommMethod method, const char *call)
{
    const QStringList scales = chooseScales(state, -1);
    ScaleComm *c = scales.isEmpty() ? nullptr : comm(state);
    if (!c)
        return {};
    const QString list = linesFor(scales, PluItemText(plus));
    log(state, call, list);
    c->call(method, list);
    return list;
}

int deptIdOf(const NodeContext &node) { return node.kind == NodeContext::Kind::Store ? -1 : node.dept; }

} // namespace

ScaleComm *IdleScaleComm(AppState &state)
{
    ScaleComm *c = state.scaleComm;
    if (c && c->isBusy()) {
        if (state.ui)
            state.ui->message(GetLangString(state, kOwner, QStringLiteral("msgTransferRunning")), AppState::appTitle(),
                              MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
        return nullptr;
    }
    return c;
}

QString PluItemText(const QVector<qint32> &plus)
{
    QString text;
    for (qint32 no : plus)
        text += QLatin1Char(',') + QString::number(no);
    return text;
}

QString SendSelectedByDept(AppState &state, const QVector<SelectedPlu> &rows)
{
    if (rows.isEmpty())
        return {};
    QString list;
    for (const QString &sect : column(state, QStringLiteral("select SECT_No from SCALE_SECT order by SECT_No"))) {
        // The main groups of the departments the section serves: one query
        // per section, not one per selected row.
        QSet<qint32> groups;
        for (const QString &mg : column(state, QStringLiteral("select MG_No from MG where DP_No in "
                                                              "(select DEPT_No from DEPT_SECT where SECT_No=%1)")
                                                   .arg(sect)))
            groups.insert(mg.toInt());
        QVector<qint32> plus;
        for (const SelectedPlu &r : rows)
            if (groups.contains(r.mg))
                plus << r.no;
        if (plus.isEmpty())
            continue;
        // A scale the shop took out of use is not sent to.
        const QString items = PluItemText(plus);
        for (const QString &address : column(state, QStringLiteral("select SC_IP from SCALE where SECT_No=%1 "
                                                                   "and SC_Used=True order by SC_IP")
                                                        .arg(sect)))
            list += line(address, items);
    }
    log(state, "WRFPLU", list);
    if (list.isEmpty() || !comm(state))
        return {};
    comm(state)->WRFPLU(list);
    return list;
}

QString SendSelectedByScale(AppState &state, const QVector<qint32> &plus)
{
    if (plus.isEmpty())
        return {};
    return toChosenScales(state, plus, CommMethod::WritePlu, "WRFPLU");
}

QString DeleteSelectedByScale(AppState &state, const QVector<qint32> &plus)
{
    if (plus.isEmpty() || !state.ui)
        return {};
    if (state.ui->message(GetLangString(state, kOwner, QStringLiteral("msgConfirmDelete")), AppState::appTitle(),
                          MsgIcon::Question, MsgButtons::YesNo, MsgResult::No)
        != MsgResult::Yes)
        return {};
    return toChosenScales(state, plus, CommMethod::DeletePlu, "DELRPLU");
}

QString UploadPlu(AppState &state, const QString &pluNoText)
{
    const QStringList scales = chooseScales(state, -1);
    const std::optional<qint32> no = ParsePluNo(pluNoText);
    if (scales.isEmpty() || !no || !comm(state))
        return {};
    const QString list = linesFor(scales, PluItemText({*no}));
    comm(state)->WRFPLU(list);
    return list;
}

QString SendByDeptCommand(AppState &state, const NodeContext &node)
{
    QString list;
    switch (node.kind) {
    case NodeContext::Kind::None:
        return {};
    case NodeContext::Kind::Store: {
        auto q = QueryKorvoDB(state, QStringLiteral("select SC_IP,SECT_No from SCALE where SC_Used=True order by SC_IP"));
        QVector<std::pair<QString, qint64>> scales;
        while (q && q->next())
            scales.push_back({q->value(0).toString(), q->value(1).toLongLong()});
        if (q)
            q->finish();
        for (const auto &[address, sect] : std::as_const(scales)) {
            const QString items = itemText(
                column(state, QStringLiteral("select DEPT_No from DEPT_SECT where SECT_No=%1 order by DEPT_No").arg(sect)));
            if (!items.isEmpty())
                list += line(address, items);
        }
        if (!list.isEmpty())
            sendWithHierarchy(state, list, CommMethod::WritePluByDept);
        return list;
    }
    case NodeContext::Kind::Department:
        list = linesFor(scalesOfDept(state, node.dept), QLatin1Char(',') + QString::number(node.dept));
        if (list.isEmpty())
            return {};
        log(state, "WRFPLUByDept", list);
        sendWithHierarchy(state, list, CommMethod::WritePluByDept);
        return list;
    case NodeContext::Kind::MainGroup:
        list = linesFor(scalesOfDept(state, node.dept), groupItems(state, node.mg));
        if (list.isEmpty())
            return {};
        log(state, "WRFPLU", list);
        sendWithHierarchy(state, list, CommMethod::WritePlu);
        return list;
    }
    return {};
}

QString SendByScaleCommand(AppState &state, const NodeContext &node)
{
    if (node.kind == NodeContext::Kind::None)
        return {};
    const QStringList scales = chooseScales(state, deptIdOf(node));
    if (scales.isEmpty() || !comm(state))
        return {};
    QString list;
    switch (node.kind) {
    case NodeContext::Kind::Store:
        list = linesFor(scales, {});
        log(state, "WRFALLPLU", list);
        sendWithHierarchy(state, list, CommMethod::WriteAllPlu);
        break;
    case NodeContext::Kind::Department:
        list = linesFor(scales, QLatin1Char(',') + QString::number(node.dept));
        log(state, "WRFPLUByDept", list);
        comm(state)->WRFPLUByDept(list);
        break;
    case NodeContext::Kind::MainGroup:
        // A group without PLUs still sends its department and group.
        list = linesFor(scales, groupItems(state, node.mg));
        log(state, "WRFPLU", list);
        sendWithHierarchy(state, list, CommMethod::WritePlu);
        break;
    case NodeContext::Kind::None:
        break;
    }
    return list;
}

QString DeleteAllByScaleCommand(AppState &state)
{
    if (!state.ui)
        return {};
    if (state.ui->message(GetLangString(state, kOwner, QStringLiteral("msgConfirmDeleteAllPLU")), AppState::appTitle(),
                          MsgIcon::Question, MsgButtons::YesNo, MsgResult::No)
        != MsgResult::Yes)
        return {};
    const QStringList scales = chooseScales(state, -1);
    if (scales.isEmpty() || !comm(state))
        return {};
    const QString list = linesFor(scales, {});
    log(state, "DELFPLU", list);
    comm(state)->DELFPLU(list);
    return list;
}

QString SyncCommand(AppState &state, const NodeContext &node)
{
    QString items;
    SyncItems kind = SyncItems::Plus;
    switch (node.kind) {
    case NodeContext::Kind::None:
        return {};
    case NodeContext::Kind::Store:
        break;
    case NodeContext::Kind::Department:
        items = QLatin1Char(',') + QString::number(node.dept);
        kind = SyncItems::Departments;
        break;
    case NodeContext::Kind::MainGroup:
        // Without items a synchronisation covers every PLU of the scale: an
        // empty group must not turn into that.
        items = groupItems(state, node.mg);
        if (items.isEmpty())
            return {};
        break;
    }
    const QStringList scales = chooseScales(state, deptIdOf(node));
    if (scales.isEmpty() || !comm(state))
        return {};
    const QString list = linesFor(scales, items);
    log(state, "SyncPLUFromPCtoScale", list);
    comm(state)->SyncPLUFromPCtoScale(list, kind);
    return list;
}

} // namespace korvo
