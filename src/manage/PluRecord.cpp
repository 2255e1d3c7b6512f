#include "manage/PluRecord.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/PluFields.h"
#include "core/Values.h"
#include "encoding/RecordBuilder.h"
#include "manage/StoreHierarchy.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>

namespace korvo {

const char *const kDiscountColumns[kDiscountColumnCount] = {
    "Dis_SDate",    "Dis_STime",        "Dis_EDate",     "Dis_ETime", "Dis_FirstLIM",
    "Dis_Within1stLIM", "Dis_SecondLIM", "Dis_Within2ndLIM", "Dis_Type", "Dis_MarkDown",
};

const char *const kEditorStatusColumns[kEditorStatusCount] = {
    "Stat1_Unit",   "Stat1_PBPreUnit", "Stat2_PLUStatB2B", "Stat2_Discount",
    "Stat1_SBDate", "Stat1_UBDate",    "Stat1_PKDate",     "Stat1_SBTime",
    "Stat1_PKTime", "Stat1_RTCPKTime", "Stat1_RTCSBTime",
};

namespace {

const QString kSaveSource = QStringLiteral("frmPLUEditor.SaveToDatabase");

bool isEditorStatus(const QString &name)
{
    for (const char *s : kEditorStatusColumns)
        if (name.compare(QLatin1String(s), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

std::optional<QTime> ReadClockTime(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2}))?$)"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QTime t(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

std::optional<QDate> ReadIsoDate(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})$)"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

namespace {

QString timeLiteral(const QTime &t)
{
    return t.toString(t.second() ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

QString number(qint64 n) { return QString::number(n); }

struct Limit {
    int field;
    double max;
    bool whole;
};

// The ranges of the editor's numeric boxes; none of them allows a sign.
const Limit kLimits[] = {
    {pf::UPrice, 999999.99, false}, {pf::Cost, 999999.99, false}, {pf::Tare, 9999, true},
    {pf::QTY, 999, true},           {pf::SBDate, 999, true},      {pf::UBDate, 999, true},
    {pf::PAKDate, 999, true},
};

QString trueFalse(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

} // namespace

PluRecord::PluRecord()
{
    for (int i = 0; i < kPluFieldCount; ++i)
        values << QString();
}

qint32 PluRecord::number() const
{
    return ParsePluNo(values.value(pf::No)).value_or(0);
}

QString ColumnValueText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return NumberText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return number(value.toLongLong());
    default:
        return value.toString();
    }
}

QStringList PluStatusColumns(AppState &state)
{
    const QSqlRecord table = QSqlDatabase::database(state.connMain, false).record(QStringLiteral("PLU"));
    QStringList out;
    for (int i = 0; i < table.count(); ++i) {
        const QString name = table.fieldName(i);
        if (state.pluFields.indexOf(name) < 0
            && name.compare(QLatin1String("ZentBinData"), Qt::CaseInsensitive) != 0)
            out << name;
    }
    return out;
}

std::optional<PluRecord> LoadPlu(AppState &state, qint32 no, bool *failed)
{
    if (failed)
        *failed = false;
    auto q = QueryKorvoDB(state, QStringLiteral("select * from PLU where PLU_No=") + number(no));
    if (!q) {
        if (failed)
            *failed = true;
        return std::nullopt;
    }
    if (!q->next())
        return std::nullopt;
    PluRecord r;
    const QSqlRecord row = q->record();
    for (int c = 0; c < row.count(); ++c) {
        const QString name = row.fieldName(c);
        const int i = state.pluFields.indexOf(name);
        if (i >= 0)
            r.values[i] = ColumnValueText(q->value(c));
        else if (name.compare(QLatin1String("ZentBinData"), Qt::CaseInsensitive) != 0)
            r.status.insert(name, q->value(c).toDouble() != 0);
    }
    q->finish();

    auto d = QueryKorvoDB(state, QStringLiteral("select * from discount where PLU_No=") + number(no));
    if (!d) {
        if (failed)
            *failed = true;
        return r;
    }
    if (d->next()) {
        QStringList values;
        for (const char *column : kDiscountColumns)
            values << ColumnValueText(d->value(QLatin1String(column)));
        r.discount = values;
    }
    d->finish();
    return r;
}

std::optional<PluProblem> CheckPluRecord(AppState &state, const PluRecord &record)
{
    const PluFieldTable &fields = state.pluFields;
    if (record.values.size() != kPluFieldCount)
        return PluProblem{QStringLiteral("PLU_No"), QStringLiteral("the PLU does not have 76 values")};
    auto problem = [&](int field, const QString &why) {
        return PluProblem{fields.at(field).Name,
                          QStringLiteral("\"%1\" %2").arg(record.values.at(field), why)};
    };
    if (!ParsePluNo(record.values.at(pf::No)))
        return problem(pf::No, QStringLiteral("is no PLU number from %1 to %2").arg(kPluNoMin).arg(kPluNoMax));
    for (int i = 1; i < kPluFieldCount; ++i) {
        const QString &v = record.values.at(i);
        if (v.isEmpty() || i == pf::UPDate || i == pf::UPTime)
            continue;
        switch (fields.at(i).Kind) {
        case ValueKind::Number:
            if (!StrictNumber(v))
                return problem(i, QStringLiteral("is not a number"));
            break;
        case ValueKind::DateTime:
            if (!ReadClockTime(v))
                return problem(i, QStringLiteral("is no time of day (HH:MM or HH:MM:SS)"));
            break;
        case ValueKind::Text:
            break;
        }
    }
    for (const Limit &l : kLimits) {
        const QString &v = record.values.at(l.field);
        if (v.isEmpty())
            continue;
        const double d = *StrictNumber(v);
        if (d < 0 || d > l.max || (l.whole && d != std::floor(d)))
            return problem(l.field, QStringLiteral("is not a %1 from 0 to %2")
                                        .arg(l.whole ? QStringLiteral("whole number") : QStringLiteral("number"),
                                             NumberText(l.max)));
    }

    const auto mg = StrictInt32(record.values.at(pf::MG));
    bool mgExists = false;
    if (mg && *mg > 0) {
        auto q = QueryKorvoDB(state, QStringLiteral("select MG_No from MG where MG_No=") + number(*mg));
        mgExists = q && q->next();
    }
    if (!mgExists)
        return problem(pf::MG, QStringLiteral("is no main group"));

    if (!record.status.value(QStringLiteral("Stat2_Discount")))
        return std::nullopt;
    if (!record.discount || record.discount->size() != kDiscountColumnCount)
        return PluProblem{QStringLiteral("Stat2_Discount"),
                          QStringLiteral("the discount is in use but the PLU has no discount rule")};
    for (int i = 0; i < kDiscountColumnCount; ++i) {
        const QString &v = record.discount->at(i);
        if (v.isEmpty())
            continue;
        const bool ok = i == 0 || i == 2 ? ReadIsoDate(v).has_value()
                      : i == 1 || i == 3 ? ReadClockTime(v).has_value()
                                         : StrictNumber(v).has_value();
        if (!ok)
            return PluProblem{QLatin1String(kDiscountColumns[i]),
                              QStringLiteral("\"%1\" is no %2").arg(v, i == 0 || i == 2 ? QStringLiteral("date (YYYY-MM-DD)")
                                                                       : i == 1 || i == 3 ? QStringLiteral("time of day")
                                                                                          : QStringLiteral("number"))};
    }
    return std::nullopt;
}

QStringList PluSaveStatements(AppState &state, const PluRecord &record, const QDateTime &now)
{
    const PluFieldTable &fields = state.pluFields;
    const QString no = SqlValue(ValueKind::Number, record.values.at(pf::No));
    QStringList statements;
    statements << QStringLiteral("delete from DISCOUNT where PLU_No=") + no;

    const bool useDiscount = record.status.value(QStringLiteral("Stat2_Discount"));
    if (useDiscount && record.discount && record.discount->size() == kDiscountColumnCount) {
        const QStringList &d = *record.discount;
        QString columns = QStringLiteral("PLU_No,");
        QString values = no + QLatin1Char(',');
        for (int i = 0; i < 4; ++i) {
            // A date or time box left empty is left out.
            QString literal;
            if (i % 2 == 0) {
                if (const auto date = ReadIsoDate(d.at(i)))
                    literal = date->toString(QStringLiteral("yyyy-MM-dd"));
            } else if (const auto t = ReadClockTime(d.at(i))) {
                literal = timeLiteral(*t);
            }
            if (literal.isEmpty())
                continue;
            columns += QLatin1String(kDiscountColumns[i]) + QLatin1Char(',');
            values += QLatin1Char('#') + literal + QStringLiteral("#,");
        }
        for (int i = 4; i < kDiscountColumnCount; ++i) {
            columns += QLatin1String(kDiscountColumns[i]) + QLatin1Char(',');
            values += SqlValue(ValueKind::Number, d.at(i)) + QLatin1Char(',');
        }
        columns.chop(1);
        values.chop(1);
        statements << QStringLiteral("Insert into discount(") + columns + QStringLiteral(") values(") + values
                + QLatin1Char(')');
    }

    statements << QStringLiteral("delete from PLU where [PLU_No]=") + no;

    QStringList columns, values;
    QSet<QString> listed;
    auto add = [&](const QString &column, const QString &value) {
        columns << column;
        values << value;
        listed.insert(column.toUpper());
    };
    for (int i = 0; i < kPluFieldCount; ++i) {
        QString v = record.values.at(i);
        if (i == pf::UPDate)
            v = now.date().toString(QStringLiteral("yyyy-MM-dd"));
        else if (i == pf::UPTime)
            v = now.time().toString(QStringLiteral("HH:mm:ss"));
        add(fields.at(i).Name, SqlValue(fields.at(i).Kind, v));
    }
    // A status flag linked to fields follows the first of them that is listed.
    for (int i = 0; i < kPluFieldCount; ++i) {
        const QString link = fields.at(i).StatusFlag.trimmed();
        if (link.isEmpty() || listed.contains(link.toUpper()) || isEditorStatus(link))
            continue;
        const QString &v = record.values.at(i);
        add(link, trueFalse(!(v.isEmpty() || v == QLatin1String("null") || v == QLatin1String("0"))));
    }
    for (const char *s : kEditorStatusColumns) {
        const QString name = QLatin1String(s);
        add(name, trueFalse(name == QLatin1String("Stat2_PLUStatB2B") || record.status.value(name)));
    }
    // Flags the editor has no box for keep what the record holds.
    for (auto it = record.status.cbegin(); it != record.status.cend(); ++it) {
        if (!listed.contains(it.key().toUpper()))
            add(QLatin1Char('[') + it.key() + QLatin1Char(']'), trueFalse(it.value()));
    }
    statements << QStringLiteral("insert into PLU(") + columns.join(QLatin1Char(',')) + QStringLiteral(") values(")
            + values.join(QLatin1Char(',')) + QLatin1Char(')');
    return statements;
}

PluSaveOutcome SavePlu(AppState &state, const PluRecord &record, qint32 currentPluNo)
{
    if (const auto bad = CheckPluRecord(state, record))
        return {PluSaveOutcome::Invalid, bad->column, bad->reason};
    qint32 no = record.number();
    if (no != currentPluNo) {
        auto q = QueryKorvoDB(state, QStringLiteral("select PLU_No from PLU where PLU_No=") + number(no));
        if (!q)
            return {PluSaveOutcome::Failed, {}, {}};
        if (q->next())
            return {PluSaveOutcome::Exists, QStringLiteral("PLU_No"), {}};
    }

    const QStringList statements = PluSaveStatements(state, record, state.now());
    QString source, description;
    {
        ErrorCollector collect(state);
        Transaction tx(state);
        bool ok = tx.active();
        if (!ok)
            description = QStringLiteral("The database cannot start a transaction");
        for (const QString &sql : statements) {
            if (!ok)
                break;
            auto q = QueryKorvoDB(state, sql);
            ok = q.has_value();
        }
        if (ok) {
            const EncodeRunResult r = CreatePLUData(state, QStringLiteral("Single"), no);
            ok = r.encoded == 1 && r.failedPlus.isEmpty();
            if (!ok && collect.count() == 0)
                description = QStringLiteral("The scale record of the PLU could not be built");
        }
        if (ok && !tx.commit()) {
            ok = false;
            description = QStringLiteral("The changes could not be committed");
        }
        if (ok)
            return {PluSaveOutcome::Saved, {}, {}};
        if (collect.count() > 0) {
            source = collect.firstSource();
            description = collect.firstDescription();
        }
    }
    state.errorSource = kSaveSource;
    ReportError(state, QStringLiteral("PLU %1 was not saved and stays as it was. %2")
                           .arg(record.values.at(pf::No),
                                source.isEmpty() ? description : source + QStringLiteral(": ") + description));
    return {PluSaveOutcome::Failed, {}, description};
}

bool DeletePlus(AppState &state, const QVector<qint32> &numbers)
{
    if (numbers.isEmpty())
        return true;
    QStringList list;
    for (qint32 n : numbers)
        list << number(n);
    const QString in = list.join(QLatin1Char(','));
    return RunInTransaction(state, QStringLiteral("DeletePLU (") + in + QLatin1Char(')'), {},
                            {QStringLiteral("delete from DISCOUNT where PLU_No in (") + in + QLatin1Char(')'),
                             QStringLiteral("delete from plu where PLU_No in (") + in + QLatin1Char(')')},
                            false);
}

} // namespace korvo
