#include "manage/StoreHierarchy.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/UserInterface.h"
#include "core/Values.h"
#include "encoding/Hierarchy.h"
#include "i18n/Language.h"

#include <QSqlQuery>
#include <QVariant>
#include <cmath>

namespace korvo {

namespace {

const QString kMainOwner = QStringLiteral("frmMain");

QString num(qint64 n) { return QString::number(n); }

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + SqlEscape(text) + QLatin1Char('\'');
}

// A whole number read from a column; nullopt for null or non-numbers.
std::optional<qint64> wholeValue(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return qint64(std::llround(d));
}

QString columnText(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("");
    if (const auto n = wholeValue(v); n && v.typeId() != QMetaType::QString)
        return num(*n);
    return v.toString();
}

// A menu caption usable as a window title: without "&" marks and "...".
QString plainCaption(AppState &state, const QString &key)
{
    QString s = GetLangString(state, kMainOwner, key);
    s.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    s.remove(QLatin1Char('&'));
    s.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    if (s.endsWith(QLatin1String("...")))
        s.chop(3);
    return s.trimmed();
}

// A main group the program creates by itself passes all its label and
// barcode settings up to its department (BarFormat -1): with null settings
// it would decide itself with zeros that match no barcode format.
QString insertDefaultMainGroupSql(AppState &state, qint32 mgNo, qint32 dpNo)
{
    return QStringLiteral("INSERT into MG(MG_No, DP_No, MG_Name, Flag1, Flag2, BarFlag, BarFormat, "
                          "Bar_Type, LabFormat) values(")
        + num(mgNo) + QLatin1Char(',') + num(dpNo) + QLatin1Char(',')
        + quoted(DefaultMainGroupName(state)) + QStringLiteral(",0,0,0,-1,'EAN',0)");
}

bool createDefaultDepartment(AppState &state, qint32 storeNo)
{
    const qint32 dpNo = FindMinUnusedID(state, QStringLiteral("DEPT"), QStringLiteral("DP_No"));
    const qint32 mgNo = FindMinUnusedID(state, QStringLiteral("MG"), QStringLiteral("MG_No"));
    if (dpNo < 1 || mgNo < 1)
        return false;
    const QStringList statements = {
        QStringLiteral("insert into DEPT(DP_No, DP_Name, ST_No, Flag1, Flag2, BarFlag, BarFormat, "
                       "Bar_Type, LabFormat) values(")
            + num(dpNo) + QLatin1Char(',') + quoted(DefaultDepartmentName(state))
            + QLatin1Char(',') + num(storeNo) + QStringLiteral(",0,0,0,-1,'EAN',0)"),
        insertDefaultMainGroupSql(state, mgNo, dpNo),
    };
    return RunInTransaction(state, QStringLiteral("BuildStoreTree"), {}, statements);
}

struct NumberedName {
    qint32 number = 0;
    QString name;
};

// All rows of a "number, name" query, read before the next statement runs.
std::optional<QVector<NumberedName>> numberedRows(AppState &state, const QString &sql)
{
    auto q = QueryKorvoDB(state, sql);
    if (!q)
        return std::nullopt;
    QVector<NumberedName> rows;
    while (q->next()) {
        const auto n = wholeValue(q->value(0));
        rows.push_back({qint32(n.value_or(0)), q->value(1).isNull() ? QString() : q->value(1).toString()});
    }
    q->finish();
    return rows;
}

StoreNode makeNode(StoreNode::Kind kind, qint32 number, const QString &text)
{
    StoreNode n;
    n.kind = kind;
    n.number = number;
    n.key = StoreNodeKey(kind, number);
    n.text = text;
    return n;
}

} // namespace

bool RunInTransaction(AppState &state, const QString &source, const QString &caption,
                      const QStringList &statements, bool hierarchyChanges)
{
    bool ok = true;
    {
        Transaction tx(state);
        if (!tx.active()) {
            state.errorSource = source;
            ReportError(state, QStringLiteral("The database cannot start a transaction: ")
                                   + DatabaseErrorText(tx.error()));
            return false;
        }
        UserInterface *ui = state.ui;
        if (ui && !caption.isEmpty())
            ui->progressBegin(caption, int(statements.size()));
        for (int i = 0; i < statements.size() && ok; ++i) {
            auto q = QueryKorvoDB(state, statements.at(i));
            ok = q.has_value();
            if (q)
                q->finish();
            if (ui && !caption.isEmpty())
                ui->progressStep(i + 1, {});
        }
        if (ui && !caption.isEmpty())
            ui->progressEnd();
        // A stored record that no longer matches its PLU is wrong data
        // waiting to be sent.
        ok = ok && (!hierarchyChanges || ReencodeAfterHierarchyChange(state));
        if (ok && !tx.commit()) {
            state.errorSource = source;
            ReportError(state, QStringLiteral("The changes could not be committed: ")
                                   + DatabaseErrorText(tx.error()));
            ok = false;
        }
    }
    // The tables were read inside the transaction that was rolled back.
    if (!ok && hierarchyChanges)
        LoadMGSettings(state);
    return ok;
}

QStringList LabelFormatItems(AppState &state)
{
    QStringList items;
    if (auto q = QueryKorvoDB(state, QStringLiteral("select LBF_Code,LBF_Name from LABELFORMAT order by LBF_Code"))) {
        while (q->next())
            items << columnText(q->value(0)) + QStringLiteral(": ") + q->value(1).toString();
        q->finish();
    }
    return items;
}

QStringList BarcodeFormatItems(const AppState &state)
{
    QStringList items;
    const QVector<BarcodeListEntry> &codes = state.enc.barcodeList;
    for (int i = 0; i < codes.size(); ++i)
        items << num(i) + QStringLiteral(" : ") + codes[i].BAR_Type + QStringLiteral(" : ") + codes[i].Descriptions;
    return items;
}

QString StoreNodeKey(StoreNode::Kind kind, qint32 number)
{
    switch (kind) {
    case StoreNode::Store: return QStringLiteral("Root");
    case StoreNode::Department: return QStringLiteral("Dept") + num(number);
    case StoreNode::MainGroup: return QStringLiteral("MG") + num(number);
    case StoreNode::None: break;
    }
    return {};
}

StoreNode::Kind StoreNodeKindOfKey(const QString &key)
{
    const QString k = key.toUpper();
    if (k.startsWith(QLatin1String("ROOT")))
        return StoreNode::Store;
    if (k.startsWith(QLatin1String("DEPT")))
        return StoreNode::Department;
    if (k.startsWith(QLatin1String("MG")))
        return StoreNode::MainGroup;
    return StoreNode::None;
}

QString DefaultDepartmentName(AppState &state)
{
    return GetLangString(state, kMainOwner, QStringLiteral("DefaultDept"));
}

QString DefaultMainGroupName(AppState &state)
{
    return GetLangString(state, kMainOwner, QStringLiteral("DefaultMainGroup"));
}

bool BuildStoreTree(AppState &state, StoreNode &root)
{
    root = StoreNode();
    const auto stores = numberedRows(state, QStringLiteral("select ST_No, ST_Name from STORE"));
    if (!stores)
        return false;
    if (stores->isEmpty())
        return true;
    const NumberedName &store = stores->first();
    root = makeNode(StoreNode::Store, store.number, store.name);

    const QString deptSql = QStringLiteral("select DP_No, DP_Name from DEPT where ST_No=") + num(store.number);
    auto depts = numberedRows(state, deptSql);
    if (!depts)
        return false;
    if (depts->isEmpty()) {
        if (!createDefaultDepartment(state, store.number))
            return false;
        depts = numberedRows(state, deptSql);
        if (!depts)
            return false;
    }
    bool ok = true;
    for (const NumberedName &d : std::as_const(*depts)) {
        StoreNode dept = makeNode(StoreNode::Department, d.number, d.name);
        if (state.settings.UseMainGroup) {
            const auto groups = numberedRows(
                state, QStringLiteral("select MG_No,MG_Name from MG where DP_No=") + num(d.number));
            if (!groups)
                ok = false;
            else
                for (const NumberedName &g : *groups)
                    dept.children.push_back(makeNode(StoreNode::MainGroup, g.number, g.name));
        }
        root.children.push_back(std::move(dept));
    }
    return ok;
}

bool RenameStoreNode(AppState &state, StoreNode::Kind kind, qint32 number, const QString &text)
{
    // What the property dialogs refuse, the tree refuses with their words.
    if (text.trimmed().isEmpty() && kind != StoreNode::None) {
        const auto [owner, key] = kind == StoreNode::Store
            ? std::pair{"frmStoreProperty", "msgStoreNameError"}
            : kind == StoreNode::Department ? std::pair{"frmDeptProperty", "msgDeptNameError"}
                                            : std::pair{"frmMainGroupProperty", "msgMGNameError"};
        if (state.ui)
            state.ui->message(GetLangString(state, QLatin1String(owner), QLatin1String(key)),
                              AppState::appTitle(), MsgIcon::Critical, MsgButtons::Ok, MsgResult::Ok);
        return false;
    }
    QString sql;
    switch (kind) {
    case StoreNode::Store:
        sql = QStringLiteral("update STORE set ST_Name=") + quoted(text) + QStringLiteral(" where ST_No=");
        break;
    case StoreNode::Department:
        sql = QStringLiteral("update DEPT set DP_Name=") + quoted(text) + QStringLiteral(" where DP_No=");
        break;
    case StoreNode::MainGroup:
        sql = QStringLiteral("update MG set MG_Name=") + quoted(text) + QStringLiteral(" where MG_No=");
        break;
    case StoreNode::None:
        return false;
    }
    auto q = QueryKorvoDB(state, sql + num(number));
    return q.has_value();
}

namespace {

DeleteOutcome confirmAndDelete(AppState &state, qint32 no, qint32 protectedNo,
                               const char *protectedKey, const char *questionKey,
                               const char *captionKey, const QString &source,
                               const QStringList &statements)
{
    if (no == protectedNo) {
        if (state.ui)
            state.ui->message(GetLangString(state, kMainOwner, QLatin1String(protectedKey)),
                              AppState::appTitle(), MsgIcon::Exclamation, MsgButtons::Ok,
                              MsgResult::Ok);
        return DeleteOutcome::Protected;
    }
    if (state.ui
        && state.ui->message(GetLangString(state, kMainOwner, QLatin1String(questionKey)),
                             AppState::appTitle(), MsgIcon::Question, MsgButtons::OkCancel,
                             MsgResult::Cancel)
            != MsgResult::Ok)
        return DeleteOutcome::Cancelled;
    return RunInTransaction(state, source, plainCaption(state, QLatin1String(captionKey)), statements)
        ? DeleteOutcome::Deleted
        : DeleteOutcome::Failed;
}

} // namespace

DeleteOutcome DeleteDepartment(AppState &state, qint32 dpNo)
{
    const QString n = num(dpNo);
    return confirmAndDelete(
        state, dpNo, kProtectedDepartment, "msgDelDFUDeptWarning", "msgDelDeptWarning",
        "mnuID_MENU_EDIT_DEL_DEPT", QStringLiteral("DeleteDepartment (") + n + QLatin1Char(')'),
        // Main group 997 is never deleted: if it ever landed here it goes
        // home with its PLUs first. The discount rules and section links of
        // what goes would otherwise be inherited by a later PLU or
        // department of the same number.
        {QStringLiteral("update MG set DP_No=") + num(kProtectedDepartment) + QStringLiteral(" where MG_No=")
             + num(kProtectedMainGroup) + QStringLiteral(" and DP_No=") + n,
         QStringLiteral("delete from DISCOUNT where PLU_No in ( select PLU_No from PLU where PLU_MG in "
                        "( select MG_No from MG where DP_NO=") + n + QStringLiteral(" ) )"),
         QStringLiteral("delete from PLU where PLU_MG in ( select MG_No from MG where DP_NO=") + n
             + QStringLiteral(" )"),
         QStringLiteral("delete from MG where DP_NO=") + n,
         QStringLiteral("delete from DEPT_SECT where DEPT_No=") + n,
         QStringLiteral("delete from DEPT where DP_NO=") + n});
}

DeleteOutcome DeleteMainGroup(AppState &state, qint32 mgNo)
{
    const QString n = num(mgNo);
    return confirmAndDelete(
        state, mgNo, kProtectedMainGroup, "msgDelDFUMGWarning", "msgDelMGWarning",
        "mnuID_MENU_EDIT_DEL_MG", QStringLiteral("DeleteMainGroup (") + n + QLatin1Char(')'),
        {QStringLiteral("delete from DISCOUNT where PLU_No in ( select PLU_No from PLU where PLU_MG=") + n
             + QStringLiteral(" )"),
         QStringLiteral("delete from PLU where PLU_MG=") + n,
         QStringLiteral("delete from MG where MG_No=") + n});
}

DropTarget ResolveDropTarget(qint32 ownDepartmentNo, const DropHover &hover)
{
    DropTarget t;
    switch (hover.kind) {
    case StoreNode::Department: t.departmentNo = hover.number; break;
    case StoreNode::MainGroup: t.departmentNo = hover.departmentNo; break;
    case StoreNode::Store:
    case StoreNode::None: t.departmentNo = ownDepartmentNo; break;
    }
    t.changes = t.departmentNo != ownDepartmentNo;
    return t;
}

bool MoveMainGroup(AppState &state, qint32 mgNo, qint32 dpNo)
{
    // 997 belongs to department 97; it may only go back there.
    if (mgNo == kProtectedMainGroup && dpNo != kProtectedDepartment) {
        if (state.ui)
            state.ui->message(GetLangString(state, kMainOwner, QStringLiteral("msgMoveDFUMGWarning")),
                              AppState::appTitle(), MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
        return false;
    }
    return RunInTransaction(state, QStringLiteral("MoveMainGroup (%1, %2)").arg(mgNo).arg(dpNo), {},
                            {QStringLiteral("update mg set DP_No=") + num(dpNo)
                             + QStringLiteral(" where MG_No=") + num(mgNo)});
}

std::optional<qint32> MainGroupForNewPlu(AppState &state, StoreNode::Kind kind, qint32 number)
{
    if (kind == StoreNode::MainGroup)
        return number;
    if (kind != StoreNode::Department)
        return std::nullopt;
    // The lowest number, so the choice does not depend on the query plan.
    auto q = QueryKorvoDB(state, QStringLiteral("select MG_No from MG where DP_No=") + num(number)
                                     + QStringLiteral(" order by MG_No"));
    if (!q)
        return std::nullopt;
    if (q->next()) {
        const auto mg = wholeValue(q->value(0));
        q->finish();
        if (mg)
            return qint32(*mg);
    }
    q->finish();
    const qint32 mgNo = FindMinUnusedID(state, QStringLiteral("MG"), QStringLiteral("MG_No"));
    if (mgNo < 1)
        return std::nullopt;
    if (!RunInTransaction(state, QStringLiteral("MainGroupForNewPlu (%1)").arg(number), {},
                          {insertDefaultMainGroupSql(state, mgNo, number)}))
        return std::nullopt;
    return mgNo;
}

// ---------------------------------------------------------------- dialogs

std::optional<qint32> ParsePositiveNumber(const QString &text, qint32 max)
{
    const QString s = text.trimmed();
    if (s.isEmpty() || s.size() > 10)
        return std::nullopt;
    qint64 v = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
    }
    if (v < 1 || v > max)
        return std::nullopt;
    return qint32(v);
}

bool IsValidFlagCode(const QString &text)
{
    return text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9');
}

PropertyDialogModel::PropertyDialogModel(AppState &state, PropertyTarget target)
    : m_state(state), m_target(target)
{
    numberEnabled = target != PropertyTarget::Store;
}

QString PropertyDialogModel::owner() const
{
    switch (m_target) {
    case PropertyTarget::Store: return QStringLiteral("frmStoreProperty");
    case PropertyTarget::Department: return QStringLiteral("frmDeptProperty");
    case PropertyTarget::MainGroup: return QStringLiteral("frmMainGroupProperty");
    }
    return {};
}

namespace {

struct TableNames {
    QString table, numberColumn, nameColumn;
};

TableNames tableOf(PropertyTarget t)
{
    switch (t) {
    case PropertyTarget::Store: return {QStringLiteral("Store"), QStringLiteral("ST_No"), QStringLiteral("ST_Name")};
    case PropertyTarget::Department: return {QStringLiteral("DEPT"), QStringLiteral("DP_No"), QStringLiteral("DP_Name")};
    case PropertyTarget::MainGroup: return {QStringLiteral("MG"), QStringLiteral("MG_No"), QStringLiteral("MG_Name")};
    }
    return {};
}

// Position of the first item whose leading number is the value; 0 (the
// first item) when none is, -1 for an empty list.
int itemForValue(const QStringList &items, const QVariant &value)
{
    if (items.isEmpty())
        return -1;
    if (const auto v = wholeValue(value)) {
        for (int i = 0; i < items.size(); ++i) {
            if (ComboItemValue(items.at(i)) == *v)
                return i;
        }
    }
    return 0;
}

} // namespace

void PropertyDialogModel::load()
{
    cancelled = true;
    rowFound = true;
    m_barcodeFlagItems =
        SplitItemList(GetLangString(m_state, QStringLiteral("frmPLUEditor"), QStringLiteral("BarcodeFlagComboBox")));
    const QVector<BarcodeListEntry> &codes = m_state.enc.barcodeList;
    m_barcodeFormatItems = BarcodeFormatItems(m_state);
    m_labelFormatItems = LabelFormatItems(m_state);

    values = PropertyValues();
    const TableNames t = tableOf(m_target);
    numberEnabled = m_target != PropertyTarget::Store;

    if (addMode && m_target != PropertyTarget::Store) {
        const qint32 free = FindMinUnusedID(m_state, t.table, t.numberColumn);
        values.number = free > 0 ? num(free) : QString();
        values.name = m_target == PropertyTarget::Department ? DefaultDepartmentName(m_state)
                                                             : DefaultMainGroupName(m_state);
        values.flag1 = QStringLiteral("0");
        values.flag2 = QStringLiteral("0");
        values.barcodeFlag = m_barcodeFlagItems.isEmpty() ? -1 : 0;
        values.barcodeFormat = m_barcodeFormatItems.isEmpty() ? -1 : 0;
        values.labelFormat = m_labelFormatItems.isEmpty() ? -1 : 0;
        return;
    }

    QString sql = QStringLiteral("select ") + t.numberColumn + QLatin1Char(',') + t.nameColumn
        + QStringLiteral(",Flag1,Flag2,BarFlag,BarFormat,BAR_Type,LabFormat from ") + t.table;
    if (m_target != PropertyTarget::Store)
        sql += QStringLiteral(" where ") + t.numberColumn + QLatin1Char('=') + num(number);
    auto q = QueryKorvoDB(m_state, sql);
    if (!q || !q->next()) {
        rowFound = false;
        return;
    }
    values.number = columnText(q->value(0));
    values.name = q->value(1).isNull() ? QString() : q->value(1).toString();
    values.flag1 = columnText(q->value(2));
    values.flag2 = columnText(q->value(3));
    values.barcodeFlag = itemForValue(m_barcodeFlagItems, q->value(4));
    values.labelFormat = itemForValue(m_labelFormatItems, q->value(7));
    values.barcodeFormat = codes.isEmpty() ? -1 : 0;
    const auto barFormat = wholeValue(q->value(5));
    const QString barType = q->value(6).toString();
    for (int i = 0; barFormat && i < codes.size(); ++i) {
        if (codes[i].BAR_Code == *barFormat
            && codes[i].BAR_Type.compare(barType, Qt::CaseInsensitive) == 0) {
            values.barcodeFormat = i;
            break;
        }
    }
    q->finish();
    if (m_target == PropertyTarget::Department)
        numberEnabled = number != kProtectedDepartment;
    else if (m_target == PropertyTarget::MainGroup)
        numberEnabled = number != kProtectedMainGroup;
}

FlagVisibility PropertyDialogModel::flagVisibility(int barcodeFormat) const
{
    FlagVisibility v;
    const QVector<BarcodeListEntry> &codes = m_state.enc.barcodeList;
    if (barcodeFormat < 0 || barcodeFormat >= codes.size() || codes[barcodeFormat].BAR_Code == -1)
        return v;
    const QString stat = codes[barcodeFormat].FlagStat;
    v.flagLabel = true;
    v.barcodeFlag = true;
    v.flag1 = stat.startsWith(QLatin1Char('1'));
    v.flag2 = stat.endsWith(QLatin1Char('1'));
    return v;
}

std::optional<PropertyOutcome> PropertyDialogModel::validate(const PropertyValues &v) const
{
    auto invalid = [](PropertyField f, const char *key) {
        return PropertyOutcome{PropertyOutcome::Invalid, f, QLatin1String(key)};
    };
    const FlagVisibility vis = flagVisibility(v.barcodeFormat);
    if (vis.flag1 && !IsValidFlagCode(v.flag1))
        return invalid(PropertyField::Flag1, "msgFlagCodeError");
    if (vis.flag2 && !IsValidFlagCode(v.flag2))
        return invalid(PropertyField::Flag2, "msgFlagCodeError");
    if (v.name.trimmed().isEmpty()) {
        switch (m_target) {
        case PropertyTarget::Store: return invalid(PropertyField::Name, "msgStoreNameError");
        case PropertyTarget::Department: return invalid(PropertyField::Name, "msgDeptNameError");
        case PropertyTarget::MainGroup: return invalid(PropertyField::Name, "msgMGNameError");
        }
    }
    if (m_target == PropertyTarget::Store || !numberEnabled)
        return std::nullopt;
    const char *codeKey = m_target == PropertyTarget::Department ? "msgDeptCodeError" : "msgMGCodeError";
    const auto no = ParsePositiveNumber(v.number);
    if (!no)
        return invalid(PropertyField::Number, codeKey);
    // A main group that keeps its number keeps it even when it is out of
    // the record's range; a new one must fit.
    if (m_target == PropertyTarget::MainGroup && *no > kMaxMainGroupNo && (addMode || *no != number))
        return invalid(PropertyField::Number, codeKey);
    return std::nullopt;
}

std::optional<bool> PropertyDialogModel::exists(qint32 no)
{
    const TableNames t = tableOf(m_target);
    auto q = QueryKorvoDB(m_state, QStringLiteral("select ") + t.numberColumn + QStringLiteral(" from ")
                                       + t.table + QStringLiteral(" where ") + t.numberColumn
                                       + QLatin1Char('=') + num(no));
    if (!q)
        return std::nullopt;
    const bool found = q->next();
    q->finish();
    return found;
}

QString PropertyDialogModel::listValueSql(const QStringList &items, int index) const
{
    if (index < 0 || index >= items.size())
        return QStringLiteral("0");
    return num(ComboItemValue(items.at(index)));
}

namespace {

// A visible flag has been checked to be one figure. A hidden one is not
// checked and may hold anything the row had: it is written as its number,
// or null, so it can neither break nor bend the statement.
QString flagSql(const QString &text)
{
    if (IsValidFlagCode(text))
        return text;
    if (const auto n = StrictInt32(text))
        return num(*n);
    return QStringLiteral("null");
}

} // namespace

bool PropertyDialogModel::save(const PropertyValues &v, qint32 newNo)
{
    const QVector<BarcodeListEntry> &codes = m_state.enc.barcodeList;
    QString barCode = QStringLiteral("null");
    QString barType = QStringLiteral("null");
    if (v.barcodeFormat >= 0 && v.barcodeFormat < codes.size()) {
        barCode = num(codes[v.barcodeFormat].BAR_Code);
        barType = quoted(codes[v.barcodeFormat].BAR_Type);
    }
    const QString name = quoted(v.name);
    const QString flag1 = flagSql(v.flag1);
    const QString flag2 = flagSql(v.flag2);
    const QString barFlag = listValueSql(m_barcodeFlagItems, v.barcodeFlag);
    const QString labFormat = listValueSql(m_labelFormatItems, v.labelFormat);
    const QString settings = QStringLiteral(", Flag1=") + flag1 + QStringLiteral(", Flag2=") + flag2
        + QStringLiteral(", BarFlag=") + barFlag + QStringLiteral(", BarFormat=") + barCode
        + QStringLiteral(", Bar_Type=") + barType + QStringLiteral(", LabFormat=") + labFormat;
    const QString settingValues = QStringLiteral(", ") + flag1 + QStringLiteral(", ") + flag2
        + QStringLiteral(", ") + barFlag + QStringLiteral(", ") + barCode + QLatin1Char(',') + barType
        + QStringLiteral(", ") + labFormat;

    QStringList statements;
    QString caption;
    const QString source = owner() + QStringLiteral(".cmdOK");
    switch (m_target) {
    case PropertyTarget::Store:
        statements << QStringLiteral("update store set ST_Name=") + name + settings;
        break;
    case PropertyTarget::Department:
        if (addMode) {
            statements << QStringLiteral("insert into dept(DP_Name,DP_No,Flag1,Flag2,BarFlag,BarFormat,"
                                         "Bar_Type,LabFormat,ST_No) values(")
                    + name + QStringLiteral(", ") + num(newNo) + settingValues + QStringLiteral(", ")
                    + num(parentNo) + QStringLiteral(" )");
            // Without main groups in the tree nobody could add one to it.
            if (!m_state.settings.UseMainGroup) {
                const qint32 mgNo = FindMinUnusedID(m_state, QStringLiteral("MG"), QStringLiteral("MG_No"));
                if (mgNo < 1)
                    return false;
                statements << insertDefaultMainGroupSql(m_state, mgNo, newNo);
            }
        } else {
            statements << QStringLiteral("update dept set DP_Name=") + name + QStringLiteral(", DP_No=")
                    + num(newNo) + settings + QStringLiteral(" where DP_No=") + num(number);
            // Its main groups and scale sections follow the new number.
            if (newNo != number) {
                statements << QStringLiteral("update MG set DP_No=") + num(newNo)
                        + QStringLiteral(" where DP_No=") + num(number);
                statements << QStringLiteral("update DEPT_SECT set DEPT_No=") + num(newNo)
                        + QStringLiteral(" where DEPT_No=") + num(number);
                caption = GetLangString(m_state, owner(), QStringLiteral("Caption"));
            }
        }
        break;
    case PropertyTarget::MainGroup:
        if (addMode) {
            statements << QStringLiteral("insert into MG(MG_Name,MG_No,DP_No,Flag1,Flag2,BarFlag,BarFormat,"
                                         "Bar_Type,LabFormat) values(")
                    + name + QStringLiteral(", ") + num(newNo) + QStringLiteral(", ") + num(parentNo)
                    + settingValues + QStringLiteral(" )");
        } else {
            statements << QStringLiteral("update mg set MG_Name=") + name + QStringLiteral(", MG_No=")
                    + num(newNo) + settings + QStringLiteral(" where MG_No=") + num(number);
            // Its PLUs follow the new number.
            if (newNo != number) {
                statements << QStringLiteral("update PLU set PLU_MG=") + num(newNo)
                        + QStringLiteral(" where PLU_MG=") + num(number);
                caption = GetLangString(m_state, owner(), QStringLiteral("Caption"));
            }
        }
        break;
    }
    return RunInTransaction(m_state, source, caption, statements);
}

PropertyOutcome PropertyDialogModel::accept(const PropertyValues &v)
{
    auto refuse = [this](PropertyOutcome o) {
        if (m_state.ui)
            m_state.ui->message(GetLangString(m_state, owner(), o.key), AppState::appTitle(),
                                MsgIcon::Critical, MsgButtons::Ok, MsgResult::Ok);
        return o;
    };
    if (const auto bad = validate(v))
        return refuse(*bad);

    qint32 newNo = number;
    if (m_target != PropertyTarget::Store && numberEnabled)
        newNo = *ParsePositiveNumber(v.number);
    if (m_target != PropertyTarget::Store && (addMode || newNo != number)) {
        const std::optional<bool> taken = exists(newNo);
        if (!taken)
            return {PropertyOutcome::Failed, PropertyField::None, {}};
        if (*taken)
            return refuse({PropertyOutcome::Invalid, PropertyField::Number,
                           m_target == PropertyTarget::Department ? QStringLiteral("msgDeptExist")
                                                                  : QStringLiteral("msgMGExist")});
    }
    if (!save(v, newNo))
        return {PropertyOutcome::Failed, PropertyField::None, {}};
    cancelled = false;
    number = newNo;
    return {PropertyOutcome::Saved, PropertyField::None, {}};
}

} // namespace korvo
