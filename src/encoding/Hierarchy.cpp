#include "encoding/Hierarchy.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/Log.h"
#include "encoding/RecordBuilder.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

namespace korvo {

namespace {

qint16 toInt16(const QVariant &v, bool *read = nullptr)
{
    bool ok = false;
    const double d = v.isNull() ? 0.0 : v.toDouble(&ok);
    if (read)
        *read = ok;
    if (!ok)
        return 0;
    return static_cast<qint16>(std::clamp(std::nearbyint(d), -32768.0, 32767.0));
}

qint32 toInt32(const QVariant &v)
{
    bool ok = false;
    const double d = v.isNull() ? 0.0 : v.toDouble(&ok);
    if (!ok)
        return 0;
    return static_cast<qint32>(std::clamp(std::nearbyint(d), -2147483648.0, 2147483647.0));
}

QVariant field(const QSqlQuery &q, const char *name)
{
    const int i = q.record().indexOf(QLatin1String(name));
    return i < 0 ? QVariant() : q.value(i);
}

// The six settings of one level, as read from its row.
struct LevelSettings {
    qint16 Flag1 = 0, Flag2 = 0, BarFlag = 0, BarFormat = 0, LabFormat = 0;
    QString Bar_Type = QStringLiteral("0");
};

LevelSettings readLevel(const QSqlQuery &q)
{
    LevelSettings s;
    s.Flag1 = toInt16(field(q, "Flag1"));
    s.Flag2 = toInt16(field(q, "Flag2"));
    s.BarFlag = toInt16(field(q, "BarFlag"));
    s.BarFormat = toInt16(field(q, "BarFormat"));
    s.LabFormat = toInt16(field(q, "LabFormat"));
    const QVariant t = field(q, "Bar_Type");
    s.Bar_Type = t.isNull() ? QStringLiteral("0") : t.toString();
    return s;
}

} // namespace

void LoadMGSettings(AppState &state)
{
    EncodingTables &enc = state.enc;
    enc.mgSettings.clear();
    enc.mgIndex.clear();
    enc.mgSettingsLoaded = true;

    std::optional<QSqlQuery> mg = QueryKorvoDB(
        state, QStringLiteral("select MG_No,Flag1,Flag2,BarFlag,BarFormat,Bar_Type,LabFormat,DP_No "
                              "from MG order by MG_No; "));
    if (!mg)
        return;
    while (mg->next()) {
        MGSettings entry;
        entry.MG_No = toInt16(field(*mg, "MG_No"));
        LevelSettings decided;
        bool barRead = false;
        const qint16 mgBarFormat = toInt16(field(*mg, "BarFormat"), &barRead);
        if (!barRead || mgBarFormat != -1) {
            decided = readLevel(*mg);
        } else {
            const QVariant dpNo = field(*mg, "DP_No");
            std::optional<QSqlQuery> dept;
            if (!dpNo.isNull())
                dept = QueryKorvoDB(state,
                                    QStringLiteral("select DP_No,Flag1,Flag2,BarFlag,BarFormat,"
                                                   "Bar_Type,LabFormat,ST_No from DEPT where DP_No=")
                                        + QString::number(toInt32(dpNo)) + QStringLiteral(" order by DP_No; "));
            if (!dept || !dept->next()) {
                WriteLog(state, QStringLiteral("LoadMGSettings:    main group %1 inherits from "
                                               "department %2, which does not exist")
                                    .arg(entry.MG_No)
                                    .arg(dpNo.toString()));
                decided = LevelSettings{};
            } else {
                bool deptRead = false;
                const qint16 deptBarFormat = toInt16(field(*dept, "BarFormat"), &deptRead);
                if (!deptRead || deptBarFormat != -1) {
                    decided = readLevel(*dept);
                } else {
                    const QVariant stNo = field(*dept, "ST_No");
                    std::optional<QSqlQuery> store;
                    if (!stNo.isNull())
                        store = QueryKorvoDB(
                            state, QStringLiteral("select Flag1,Flag2,BarFlag,BarFormat,Bar_Type,"
                                                  "LabFormat from STORE where ST_No=")
                                       + QString::number(toInt32(stNo))
                                       + QStringLiteral(" order by ST_No; "));
                    if (!store || !store->next()) {
                        WriteLog(state, QStringLiteral("LoadMGSettings:    main group %1 inherits "
                                                       "from the store of department %2, which "
                                                       "does not exist")
                                            .arg(entry.MG_No)
                                            .arg(dpNo.toString()));
                        decided = LevelSettings{};
                    } else {
                        decided = readLevel(*store);
                    }
                }
            }
        }
        entry.Flag1 = decided.Flag1;
        entry.Flag2 = decided.Flag2;
        entry.BarFlag = decided.BarFlag;
        entry.BarFormat = decided.BarFormat;
        entry.Bar_Type = decided.Bar_Type;
        entry.LabFormat = decided.LabFormat;
        enc.mgSettings.push_back(entry);
        if (!enc.mgIndex.contains(entry.MG_No))
            enc.mgIndex.insert(entry.MG_No, enc.mgSettings.size() - 1);
    }
}

bool ReencodeAfterHierarchyChange(AppState &state)
{
    const QVector<MGSettings> was = state.enc.mgSettings;
    const QHash<int, int> wasIndex = state.enc.mgIndex;
    const bool known = state.enc.mgSettingsLoaded;
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);

    QStringList fresh, changed;
    for (const MGSettings &now : std::as_const(state.enc.mgSettings)) {
        const int i = known ? wasIndex.value(now.MG_No, -1) : -1;
        if (i < 0) {
            fresh << QString::number(now.MG_No);
            continue;
        }
        const MGSettings &old = was.at(i);
        if (old.Flag1 != now.Flag1 || old.Flag2 != now.Flag2 || old.BarFlag != now.BarFlag
            || old.BarFormat != now.BarFormat || old.Bar_Type != now.Bar_Type || old.LabFormat != now.LabFormat)
            changed << QString::number(now.MG_No);
    }
    if (fresh.isEmpty() && changed.isEmpty())
        return true;
    QStringList terms;
    if (!fresh.isEmpty())
        terms << QStringLiteral("PLU_MG in (%1)").arg(fresh.join(u','));
    if (!changed.isEmpty())
        terms << QStringLiteral("(PLU_MG in (%1) and (PLU_LBFormat1=-1 or PLU_BarFormat=-1))")
                     .arg(changed.join(u','));
    return EncodePluSelection(state, terms.join(QStringLiteral(" or "))).completed;
}

bool LoadScaleBarcodeList(AppState &state)
{
    EncodingTables &enc = state.enc;
    enc.scaleBarcodes.clear();
    enc.scaleBarcodeIndex.clear();
    std::optional<QSqlQuery> q = QueryKorvoDB(
        state, QStringLiteral("Select BAR_Code,BAR_Type,ItemNum,FlagStat,DigitalNum From "
                              "BARCODE_LIST where IsUsed=true order by bar_type,bar_code ;"));
    if (!q)
        return false;
    while (q->next()) {
        ScaleBarcode b;
        b.BAR_Code = toInt16(q->value(0));
        if (b.BAR_Code <= -1)
            continue;
        b.BAR_Type = q->value(1).toString();
        b.ItemNum = toInt16(q->value(2));
        b.FlagStat = q->value(3).toString();
        b.DigitalNum = toInt16(q->value(4));
        enc.scaleBarcodes.push_back(b);
        // Text columns compare without regard to case, so the key does too.
        const QString key = QString::number(b.BAR_Code) + QLatin1Char('_') + b.BAR_Type.toUpper();
        if (!enc.scaleBarcodeIndex.contains(key))
            enc.scaleBarcodeIndex.insert(key, enc.scaleBarcodes.size() - 1);
    }
    return true;
}

bool LoadBarcodeList(AppState &state)
{
    state.enc.barcodeList.clear();
    std::optional<QSqlQuery> q = QueryKorvoDB(
        state, QStringLiteral("select * from BARCODE_LIST where IsUsed=True order by BAR_CODE,BAR_TYPE"));
    if (!q)
        return false;
    while (q->next()) {
        BarcodeListEntry e;
        e.BAR_Code = toInt32(field(*q, "BAR_Code"));
        e.ItemNum = toInt32(field(*q, "ItemNum"));
        e.DigitalNum = toInt32(field(*q, "DigitalNum"));
        e.EAN_Data = field(*q, "EAN_Data").toString();
        e.Descriptions = field(*q, "Descriptions").toString();
        e.BAR_Type = field(*q, "BAR_Type").toString();
        e.FlagStat = field(*q, "FlagStat").toString();
        state.enc.barcodeList.push_back(e);
    }
    return true;
}

} // namespace korvo
