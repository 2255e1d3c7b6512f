#include "exchange/PluExchange.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/PluFields.h"
#include "core/UserInterface.h"
#include "core/Values.h"
#include "exchange/CsvText.h"
#include "exchange/ExchangeRows.h"
#include "encoding/Hierarchy.h"
#include "i18n/Language.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>

#include <sqlite3.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>

namespace korvo {

using namespace exchange;

namespace {

const QString kPluNo = QStringLiteral("PLU_No");
const QString kDiscountFlag = QStringLiteral("Stat2_Discount");

// A number as StrictNumber reads it; the common forms without building a
// QString.
std::optional<double> numberOf(QStringView s)
{
    s = s.trimmed();
    char buf[64];
    qsizetype n = 0;
    bool plain = !s.isEmpty() && s.size() < qsizetype(sizeof buf);
    for (qsizetype i = 0; plain && i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        plain = (u >= u'0' && u <= u'9') || u == u'.' || u == u'-' || u == u'e' || u == u'E'
             || (u == u'+' && i > 0);
        buf[n++] = char(u);
    }
    if (plain) {
        double v = 0;
        const auto r = std::from_chars(buf, buf + n, v);
        if (r.ec == std::errc() && r.ptr == buf + n && std::isfinite(v))
            return v;
    }
    return StrictNumber(s.toString());
}

// Yes/No as StrictBool reads it.
std::optional<bool> yesNoOf(QStringView s)
{
    s = s.trimmed();
    if (s == u"0")
        return false;
    if (s == u"-1" || s == u"1")
        return true;
    return StrictBool(s.toString());
}

// One value on its way into a statement.
struct Value {
    enum Kind { Null, Int, Real, Text } kind = Null;
    qint64 i = 0;
    double d = 0.0;
    QStringView text;
    QString made; // a text made here (a date, a time, a number); text points into it

    void setNull() { kind = Null; }
    void setInt(qint64 v) { kind = Int; i = v; }
    void setReal(double v) { kind = Real; d = v; }
    void setText(QStringView v) { kind = Text; text = v; }
    void setMade(QString v)
    {
        made = std::move(v);
        setText(made);
    }
    bool zero() const { return (kind == Int && i == 0) || (kind == Real && d == 0.0); }
};

// A prepared statement taking Values. Straight through the SQLite library
// where the driver is QSQLITE (QtSql would turn every value into a QVariant
// and every text into a copy), else through QtSql.
class Statement {
public:
    virtual ~Statement() = default;
    virtual void bind(int i, const Value &v) = 0; // i from 0, in statement order
    // Runs it with the values bound.
    virtual bool run() = 0;
    virtual QString error() const = 0;
};

class SqliteStatement : public Statement {
public:
    explicit SqliteStatement(sqlite3_stmt *stmt) : m_stmt(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }
    void bind(int i, const Value &v) override
    {
        static const char16_t empty = 0;
        switch (v.kind) {
        case Value::Null: sqlite3_bind_null(m_stmt, i + 1); break;
        case Value::Int: sqlite3_bind_int64(m_stmt, i + 1, v.i); break;
        case Value::Real: sqlite3_bind_double(m_stmt, i + 1, v.d); break;
        case Value::Text:
            // An empty text stays '' (a null pointer would bind NULL).
            sqlite3_bind_text16(m_stmt, i + 1, v.text.isEmpty() ? &empty : v.text.utf16(),
                                int(v.text.size() * 2), SQLITE_TRANSIENT);
            break;
        }
    }
    bool run() override
    {
        const int rc = sqlite3_step(m_stmt);
        const bool ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
        if (!ok)
            m_error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
        sqlite3_reset(m_stmt);
        return ok;
    }
    QString error() const override { return m_error; }

private:
    sqlite3_stmt *m_stmt;
    QString m_error;
};

class QtSqlStatement : public Statement {
public:
    explicit QtSqlStatement(const QSqlDatabase &db) : m_query(db) {}
    bool prepare(const QString &sql) { return m_query.prepare(sql); }
    void bind(int i, const Value &v) override
    {
        switch (v.kind) {
        case Value::Null: m_query.bindValue(i, QVariant()); break;
        case Value::Int: m_query.bindValue(i, v.i); break;
        case Value::Real: m_query.bindValue(i, v.d); break;
        case Value::Text: m_query.bindValue(i, v.text.toString()); break;
        }
    }
    bool run() override
    {
        const bool ok = m_query.exec();
        m_query.finish();
        return ok;
    }
    QString error() const override { return m_query.lastError().text(); }

private:
    QSqlQuery m_query;
};

std::unique_ptr<Statement> prepareStatement(const QSqlDatabase &db, const QString &sql, QString *error)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        sqlite3 *conn = *static_cast<sqlite3 *const *>(handle.constData());
        sqlite3_stmt *stmt = nullptr;
        if (conn && sqlite3_prepare16_v2(conn, sql.utf16(), int(sql.size() * 2), &stmt, nullptr) == SQLITE_OK)
            return std::make_unique<SqliteStatement>(stmt);
        *error = conn ? QString::fromUtf8(sqlite3_errmsg(conn)) : QStringLiteral("no connection");
        sqlite3_finalize(stmt);
        return nullptr;
    }
    auto q = std::make_unique<QtSqlStatement>(db);
    if (q->prepare(sql))
        return q;
    *error = q->error();
    return nullptr;
}

class FileLines : public LineSource {
public:
    explicit FileLines(QString content) : m_content(std::move(content)), m_reader(m_content)
    {
        m_expected = m_content.count(u'\n');
        if (!m_content.isEmpty() && !m_content.endsWith(u'\n'))
            ++m_expected;
    }
    bool next(CsvRecord &record) override { return m_reader.next(record); }
    QString error() const override { return m_reader.error(); }
    qint64 expected() const override { return m_expected; }

private:
    QString m_content;
    CsvReader m_reader;
    qint64 m_expected = 0;
};

enum class Target { Real, Integer, YesNo, Text };
enum class ImportKind { Num, Date, Txt, Other };

struct ColumnPlan {
    QString name;            // the PLU column as the table names it
    ImportKind kind = ImportKind::Other; // by the ImportKind of the descriptor
    QString kindText;
    bool time = false;       // descriptor Type BCD_TIME
    bool date = false;       // descriptor Type BCD_DATE
    bool keepOnZero = false; // Conditional -1: a merge does not write 0
    Target target = Target::Text;
    bool repeat = false;     // named again: the first value counts
};

// One run of the import over a line source, inside the caller's transaction.
class Importer {
public:
    Importer(AppState &state, ImportType type) : m_state(state), m_type(type), m_db(mainDb(state))
    {
        const QDateTime now = state.now();
        m_today = now.date().toString(QStringLiteral("yyyy-MM-dd"));
        m_now = now.time().toString(QStringLiteral("HH:mm:ss"));
    }

    bool header(const CsvRecord &rec, QString *error);
    // The PLU numbers in the table before the first line (not for type 0,
    // which starts from an empty table).
    bool readExisting(QString *error);
    bool line(const CsvRecord &rec, QString *error);

    int inserted = 0, updated = 0, skipped = 0, lines = 0;

private:
    bool convert(const ColumnPlan &c, const CsvField &f, Value &out, QString *why) const;
    Statement *updateFor(const QByteArray &mask, QString *error);

    AppState &m_state;
    ImportType m_type;
    QSqlDatabase m_db;
    QString m_today, m_now;
    QVector<ColumnPlan> m_plan;
    std::unique_ptr<Statement> m_insert;
    QSet<qint32> m_existing; // PLU numbers in the table, kept up to date by the run
    QHash<QByteArray, std::shared_ptr<Statement>> m_updates;
    QVector<Value> m_values;
    Value m_pluNo;
    bool m_discountFlag = false;
};

bool Importer::header(const CsvRecord &rec, QString *error)
{
    const QSqlRecord table = m_db.record(QStringLiteral("PLU"));
    if (table.isEmpty()) {
        *error = QStringLiteral("The PLU table cannot be read: ") + m_db.lastError().text();
        return false;
    }
    QSet<QString> seen;
    QStringList insertColumns;
    for (qsizetype j = 0; j < rec.fields.size(); ++j) {
        const QString name = rec.fields.at(j).text.trimmed().toString();
        auto fail = [&](const QString &why) {
            *error = QStringLiteral("Line %1, column %2 (%3): %4").arg(rec.line).arg(j + 1).arg(name, why);
            return false;
        };
        if (name.isEmpty())
            return fail(QStringLiteral("the header names no column here"));
        const auto d = m_state.enc.fieldDescIndex.constFind(name.toUpper());
        if (d == m_state.enc.fieldDescIndex.constEnd())
            return fail(QStringLiteral("PLU.dsc has no field of this name"));
        const int at = table.indexOf(name);
        if (at < 0 || name.compare(kRecordColumn, Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("the PLU table has no such column"));
        if (j == 0 && name.compare(kPluNo, Qt::CaseInsensitive) != 0)
            return fail(QStringLiteral("the first column must be PLU_No"));
        const FieldDescriptor &desc = m_state.enc.fieldDescs.at(*d);
        ColumnPlan c;
        c.name = table.fieldName(at);
        c.kindText = desc.ImportKind.trimmed().toUpper();
        c.kind = c.kindText == QLatin1String("NUM") ? ImportKind::Num
               : c.kindText == QLatin1String("DATE") ? ImportKind::Date
               : c.kindText == QLatin1String("TXT") ? ImportKind::Txt
                                                     : ImportKind::Other;
        const QString type = desc.Type.trimmed().toUpper();
        c.time = type == QLatin1String("BCD_TIME");
        c.date = type == QLatin1String("BCD_DATE");
        c.keepOnZero = desc.Conditional == -1;
        c.repeat = seen.contains(c.name.toUpper());
        seen.insert(c.name.toUpper());
        const int meta = table.field(at).metaType().id();
        if (csvKindOf(m_state, c.name) == CsvKind::YesNo)
            c.target = Target::YesNo;
        else if (meta == QMetaType::Double)
            c.target = Target::Real;
        else if (meta == QMetaType::Int || meta == QMetaType::LongLong)
            c.target = Target::Integer;
        if (!c.repeat)
            insertColumns << u'"' + c.name + u'"';
        m_plan << c;
    }
    QString marks = QStringLiteral("?,").repeated(insertColumns.size()).chopped(1);
    // The files do not carry the discount flag; a new row keeps it in step
    // with the PLU's discount rule, so that replacing all PLUs loses no
    // discount.
    m_discountFlag = table.indexOf(kDiscountFlag) >= 0 && !seen.contains(kDiscountFlag.toUpper());
    if (m_discountFlag) {
        insertColumns << u'"' + kDiscountFlag + u'"';
        marks += QStringLiteral(",exists(select 1 from DISCOUNT where PLU_No=?)");
    }
    QString why;
    m_insert = prepareStatement(m_db, QStringLiteral("insert into PLU(") + insertColumns.join(u',')
                                          + QStringLiteral(") values(") + marks + u')', &why);
    if (!m_insert) {
        *error = QStringLiteral("The PLU table cannot take these columns: ") + why;
        return false;
    }
    m_values.resize(m_plan.size());
    return true;
}

bool Importer::readExisting(QString *error)
{
    // One walk over the key instead of a lookup per line.
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select PLU_No from PLU"))) {
        *error = q.lastError().text();
        return false;
    }
    while (q.next())
        m_existing.insert(q.value(0).toInt());
    return true;
}

bool Importer::convert(const ColumnPlan &c, const CsvField &f, Value &out, QString *why) const
{
    const QStringView v = f.quoted ? f.text : f.text.trimmed();
    auto refuse = [&](const QString &what) {
        *why = QStringLiteral("\"%1\" is not %2").arg(v.toString(), what);
        return false;
    };
    const QString yesNo = QStringLiteral("a Yes/No value (-1, 0, True, False)");
    out.setNull();
    switch (c.kind) {
    case ImportKind::Num: {
        const QStringView s = v.trimmed();
        if (s.isEmpty())
            return true;
        if (c.target == Target::YesNo) {
            const auto b = yesNoOf(s);
            if (!b)
                return refuse(yesNo);
            out.setInt(*b ? 1 : 0);
            return true;
        }
        const auto d = numberOf(s);
        if (!d)
            return refuse(QStringLiteral("a number"));
        if (c.target == Target::Integer) {
            if (*d != std::floor(*d) || std::fabs(*d) > 9.0e15)
                return refuse(QStringLiteral("a whole number"));
            out.setInt(qint64(*d));
        } else if (c.target == Target::Real) {
            out.setReal(*d);
        } else {
            out.setMade(NumberText(*d));
        }
        return true;
    }
    case ImportKind::Date: {
        const QString s = v.trimmed().toString();
        if (s.isEmpty() || s == QLatin1String("0")) {
            // An empty date or time of the scale's record means "now".
            if (c.time)
                out.setText(m_now);
            else if (c.date)
                out.setText(m_today);
            return true;
        }
        if (!c.date) {
            if (const auto t = ReadTime(s); t && (c.time || !ReadDate(s))) {
                out.setMade(t->toString(QStringLiteral("HH:mm:ss")));
                return true;
            }
        }
        if (!c.time) {
            if (const auto d = ReadDate(s)) {
                out.setMade(d->toString(QStringLiteral("yyyy-MM-dd")));
                return true;
            }
        }
        return refuse(c.time ? QStringLiteral("a time (HH:MM:SS)") : QStringLiteral("a date (YYYY-MM-DD)"));
    }
    case ImportKind::Txt:
        if (!f.quoted && v == u"0")
            return true; // the export's null
        if (c.target == Target::YesNo) {
            const auto b = yesNoOf(v);
            if (!b)
                return refuse(yesNo);
            out.setInt(*b ? 1 : 0);
            return true;
        }
        out.setText(v);
        return true;
    case ImportKind::Other:
        break;
    }
    *why = QStringLiteral("PLU.dsc gives this column the import kind \"%1\", not NUM, DATE or TXT")
               .arg(c.kindText);
    return false;
}

Statement *Importer::updateFor(const QByteArray &mask, QString *error)
{
    if (auto it = m_updates.constFind(mask); it != m_updates.constEnd())
        return it->get();
    QStringList sets;
    for (int j = 0; j < m_plan.size(); ++j) {
        if (mask.at(j) == '1')
            sets << u'"' + m_plan.at(j).name + QStringLiteral("\"=?");
    }
    std::shared_ptr<Statement> q = prepareStatement(
        m_db, QStringLiteral("update PLU set ") + sets.join(u',') + QStringLiteral(" where PLU_No=?"), error);
    if (q)
        m_updates.insert(mask, q);
    return q.get();
}

bool Importer::line(const CsvRecord &rec, QString *error)
{
    if (rec.blank())
        return true;
    ++lines;
    auto at = [&](int j) {
        return QStringLiteral("Line %1, column %2 (%3)").arg(rec.line).arg(j + 1).arg(m_plan.at(j).name);
    };
    if (rec.fields.size() != m_plan.size()) {
        *error = QStringLiteral("Line %1 has %2 values, the header %3 names; a text with a comma "
                                "must be quoted with \"'\" and numbers must use the decimal point")
                     .arg(rec.line)
                     .arg(rec.fields.size())
                     .arg(m_plan.size());
        return false;
    }
    const std::optional<qint32> pluNo = ParsePluNo(rec.fields.at(0).text.toString());
    if (!pluNo) {
        *error = at(0) + QStringLiteral(": \"%1\" is not a PLU number (%2 to %3)")
                             .arg(rec.fields.at(0).text.toString())
                             .arg(kPluNoMin)
                             .arg(kPluNoMax);
        return false;
    }
    for (int j = 1; j < m_plan.size(); ++j) {
        if (m_plan.at(j).repeat)
            continue;
        QString why;
        if (!convert(m_plan.at(j), rec.fields.at(j), m_values[j], &why)) {
            *error = at(j) + QStringLiteral(": ") + why;
            return false;
        }
    }
    m_pluNo.setInt(*pluNo);
    m_values[0] = m_pluNo;

    // A number the file repeats is in the set since its first line: type 0
    // then meets the key and fails, as a second insert must.
    const bool exists = m_type != ImportType::Replace && m_existing.contains(*pluNo);
    if (exists && m_type == ImportType::Add) {
        ++skipped;
        return true;
    }

    Statement *q = nullptr;
    int n = 0;
    if (exists) {
        QByteArray mask(m_plan.size(), '0');
        for (int j = 1; j < m_plan.size(); ++j) {
            const ColumnPlan &c = m_plan.at(j);
            if (c.repeat || (c.keepOnZero && c.kind == ImportKind::Num && m_values.at(j).zero()))
                continue;
            mask[j] = '1';
        }
        if (!mask.contains('1')) {
            ++updated; // every value is a 0 the merge keeps out
            return true;
        }
        QString why;
        q = updateFor(mask, &why);
        if (!q) {
            *error = QStringLiteral("Line %1: the update cannot be prepared: %2").arg(rec.line).arg(why);
            return false;
        }
        for (int j = 0; j < m_plan.size(); ++j) {
            if (mask.at(j) == '1')
                q->bind(n++, m_values.at(j));
        }
        q->bind(n, m_pluNo);
    } else {
        q = m_insert.get();
        for (int j = 0; j < m_plan.size(); ++j) {
            if (!m_plan.at(j).repeat)
                q->bind(n++, m_values.at(j));
        }
        if (m_discountFlag)
            q->bind(n, m_pluNo);
    }
    if (!q->run()) {
        *error = QStringLiteral("Line %1: the database refused PLU %2: %3").arg(rec.line).arg(*pluNo).arg(q->error());
        return false;
    }
    if (exists) {
        ++updated;
    } else {
        ++inserted;
        m_existing.insert(*pluNo);
    }
    return true;
}

bool rebuildMainGroups(AppState &state, ReBuildMGResult &r, QString *error)
{
    QSqlDatabase db = mainDb(state);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    auto failed = [&](const QSqlQuery &query) {
        *error = query.lastError().text();
        return false;
    };
    QVector<qint64> groups;
    if (!q.exec(QStringLiteral("select PLU_MG from PLU where PLU_MG is not null group by PLU_MG")))
        return failed(q);
    while (q.next())
        groups << q.value(0).toLongLong();
    q.finish();
    qint64 store = 1;
    if (!q.exec(QStringLiteral("select min(ST_No) from STORE")))
        return failed(q);
    if (q.next() && !q.value(0).isNull())
        store = q.value(0).toLongLong();
    q.finish();

    QSqlQuery mgRow(db), deptRow(db), newDept(db), newMg(db);
    // The new rows take their label and barcode settings from the level
    // above (BarFormat -1), as a department or main group made in the tree.
    if (!mgRow.prepare(QStringLiteral("select DP_No from MG where MG_No=?"))
        || !deptRow.prepare(QStringLiteral("select 1 from DEPT where DP_No=?"))
        || !newDept.prepare(QStringLiteral("insert into DEPT(DP_No,DP_Name,ST_No,Flag1,Flag2,BarFlag,"
                                           "BarFormat,Bar_Type,LabFormat) values(?,?,?,0,0,0,-1,'EAN',0)"))
        || !newMg.prepare(QStringLiteral("insert into MG(MG_No,DP_No,MG_Name,Flag1,Flag2,BarFlag,"
                                         "BarFormat,Bar_Type,LabFormat) values(?,?,?,0,0,0,-1,'EAN',0)")))
        return failed(newMg.lastError().isValid() ? newMg : newDept);

    auto ensureDept = [&](qint64 dp) {
        deptRow.addBindValue(dp);
        if (!deptRow.exec())
            return failed(deptRow);
        const bool found = deptRow.next();
        deptRow.finish();
        if (found)
            return true;
        newDept.addBindValue(dp);
        newDept.addBindValue(QStringLiteral("Dept") + QString::number(dp));
        newDept.addBindValue(store);
        if (!newDept.exec())
            return failed(newDept);
        ++r.departmentsCreated;
        return true;
    };
    for (const qint64 mg : std::as_const(groups)) {
        mgRow.addBindValue(mg);
        if (!mgRow.exec())
            return failed(mgRow);
        const bool found = mgRow.next();
        const QVariant dpValue = found ? mgRow.value(0) : QVariant();
        mgRow.finish();
        if (found) {
            if (!dpValue.isNull() && !ensureDept(dpValue.toLongLong()))
                return false;
            continue;
        }
        const qint64 dp = mg > 99 ? QString::number(mg).left(2).toLongLong() : mg;
        if (!ensureDept(dp))
            return false;
        newMg.addBindValue(mg);
        newMg.addBindValue(dp);
        newMg.addBindValue(QStringLiteral("MG") + QString::number(mg));
        if (!newMg.exec())
            return failed(newMg);
        ++r.mainGroupsCreated;
    }
    r.ok = true;
    return true;
}

// A larger page cache for the length of a run over all PLUs: the table and
// its indexes are read and written all over, and the default of a few MB
// would send most pages to the file and back.
class LargePageCache {
public:
    explicit LargePageCache(const QSqlDatabase &db) : m_query(db)
    {
        if (m_query.exec(QStringLiteral("PRAGMA cache_size")) && m_query.next())
            m_before = m_query.value(0).toLongLong();
        m_query.finish();
        if (m_before)
            m_query.exec(QStringLiteral("PRAGMA cache_size=-131072")); // up to 128 MB
    }
    ~LargePageCache()
    {
        if (m_before)
            m_query.exec(QStringLiteral("PRAGMA cache_size=") + QString::number(*m_before));
    }

private:
    QSqlQuery m_query;
    std::optional<qint64> m_before;
};

struct ImportTexts {
    const char *title;
    const char *success;
};

// The import over source: header, lines, what the caller adds (inside),
// ReBuildMG and the encoding of all PLUs, in one transaction.
ImportResult runImport(AppState &state, LineSource &source, int importType, const QString &errorSource,
                       const QString &what, const ImportTexts &texts,
                       const std::function<bool(QString *)> &inside = {})
{
    ImportResult result;
    UserInterface *ui = state.ui;
    auto fail = [&](const QString &why) {
        if (ui)
            ui->progressEnd();
        result.ok = false;
        result.error = why;
        state.errorSource = errorSource;
        ReportError(state, why + QStringLiteral(" Nothing was imported."));
        return result;
    };
    if (importType < 0 || importType > 2)
        return fail(QStringLiteral("The import type %1 is none of 0 (replace), 1 (add) and 2 (merge).")
                        .arg(importType));
    const auto type = static_cast<ImportType>(importType);

    const LargePageCache cache(mainDb(state));
    Transaction tx(state);
    if (!tx.active())
        return fail(QStringLiteral("The database cannot start a transaction: ")
                    + mainDb(state).lastError().text());
    Importer importer(state, type);
    CsvRecord rec;
    QString error;
    if (!source.next(rec))
        return fail(source.error().isEmpty() ? QStringLiteral("There is no header line.") : source.error());
    if (!importer.header(rec, &error))
        return fail(error);

    if (type == ImportType::Replace) {
        QSqlQuery del(mainDb(state));
        if (!del.exec(QStringLiteral("delete from PLU")))
            return fail(QStringLiteral("The PLUs cannot be deleted: ") + del.lastError().text());
    } else if (!importer.readExisting(&error)) {
        return fail(QStringLiteral("The PLUs cannot be read: ") + error);
    }

    const qint64 total = qMax<qint64>(source.expected() - 1, 1);
    const ProgressCaption caption(state, texts.title, what, total);
    if (ui)
        ui->progressBegin(caption(0), int(qMin<qint64>(total, INT_MAX)));
    qint64 k = 0;
    while (source.next(rec)) {
        ++k;
        if (!importer.line(rec, &error))
            return fail(error);
        if (ui && k % 10 == 0)
            ui->progressStep(int(qMin<qint64>(k, INT_MAX)), caption(k));
    }
    if (!source.error().isEmpty())
        return fail(source.error());
    if (importer.lines == 0)
        return fail(QStringLiteral("There are no PLU lines after the header."));
    if (inside && !inside(&error))
        return fail(error);

    ReBuildMGResult groups;
    if (!rebuildMainGroups(state, groups, &error))
        return fail(QStringLiteral("ReBuildMG(): ") + error);

    // The records in the same transaction: the PLUs go in with their scale
    // records or not at all. New main groups must be known before their
    // PLUs inherit from them; after a rollback the tables are read again.
    auto reloadGroups = [&state] {
        LoadMGSettings(state);
        LoadScaleBarcodeList(state);
    };
    reloadGroups();
    qint32 last = 0;
    result.encoding = CreatePLUData(state, QStringLiteral("ALL"), last);
    if (!result.encoding.completed || !tx.commit()) {
        const QString why = result.encoding.completed
            ? QStringLiteral("The imported PLUs could not be saved: ") + tx.error().text()
            : QStringLiteral("The scale records of the imported PLUs could not be built (the report "
                             "before this one says why).");
        tx.rollback();
        reloadGroups();
        return fail(why);
    }

    result.ok = true;
    result.lines = importer.lines;
    result.inserted = importer.inserted;
    result.updated = importer.updated;
    result.skipped = importer.skipped;
    result.departmentsCreated = groups.departmentsCreated;
    result.mainGroupsCreated = groups.mainGroupsCreated;
    if (ui)
        ui->progressFinish(text(state, texts.success));
    return result;
}

// The file's text in the code page of the settings.
std::optional<QString> readFileText(AppState &state, const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The file cannot be read: ") + file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("The file cannot be read: ") + file.errorString();
        return std::nullopt;
    }
    const QByteArray codepage = codepageName(state).toLatin1();
    QStringDecoder dec(codepage.constData());
    if (!dec.isValid()) {
        *error = QStringLiteral("The code page \"%1\" of the settings is unknown.")
                     .arg(QString::fromLatin1(codepage));
        return std::nullopt;
    }
    // Plain ASCII is read straight where the code page keeps it as it is.
    static const QByteArray probe = QByteArrayLiteral("PLU_No,'Az 09.5-'\r\n");
    bool ascii = QString(QStringDecoder(codepage.constData()).decode(probe)) == QLatin1String(probe);
    for (const char b : bytes) {
        if (!ascii)
            break;
        ascii = uchar(b) < 0x80;
    }
    QString content = ascii ? QString::fromLatin1(bytes) : QString(dec.decode(bytes));
    const qsizetype bad = content.indexOf(QChar::ReplacementCharacter);
    if (dec.hasError() || bad >= 0) {
        const qsizetype at = bad >= 0 ? bad : content.size();
        *error = QStringLiteral("Line %1 holds bytes that are no text in the code page \"%2\".")
                     .arg(QStringView(content).left(at).count(u'\n') + 1)
                     .arg(QString::fromLatin1(codepage));
        return std::nullopt;
    }
    return content;
}

} // namespace

ImportResult ImportPLUFromCSV(AppState &state, const QString &path, int importType)
{
    if (path.trimmed().isEmpty())
        return {};
    const QString source = QStringLiteral("ImportPLUFromCSV(") + path + u')';
    auto fail = [&](const QString &why) {
        ImportResult r;
        r.error = why;
        state.errorSource = source;
        ReportError(state, why + QStringLiteral(" Nothing was imported."));
        return r;
    };
    if (CsvColumnList(state).isEmpty())
        return fail(QStringLiteral("The descriptor files cannot be read."));
    QString error;
    std::optional<QString> content = readFileText(state, path, &error);
    if (!content)
        return fail(error);
    FileLines lines(std::move(*content));
    return runImport(state, lines, importType, source, path, {"msgImportPLUFromCSV", "msgImportPLUFromCSVSuccess"});
}

ImportResult UpdateReceivedPLUsToPLU(AppState &state, const QString &address, int importType)
{
    const QString source = QStringLiteral("UpdateRevPLUToPLU(") + address + u')';
    const QStringList columns = CsvColumnList(state);
    if (columns.isEmpty()) {
        ImportResult r;
        r.error = QStringLiteral("The descriptor files cannot be read.");
        state.errorSource = source;
        ReportError(state, r.error);
        return r;
    }
    ReceivedLines lines(state, columns, address);
    auto reset = [&](QString *error) {
        lines.finish();
        QSqlQuery q(mainDb(state));
        q.prepare(QStringLiteral("update RC_PLU set PLU_Compare=0 where SC_IP=?"));
        q.addBindValue(address);
        if (q.exec())
            return true;
        *error = q.lastError().text();
        return false;
    };
    return runImport(state, lines, importType, source, address,
                     {"msgUpdateRevPLUToPLUMain", "msgUpdateRevPLUToPLUMainSuccess"}, reset);
}

bool ConfirmImportType(AppState &state, int importType)
{
    if (importType != int(ImportType::Replace) || !state.ui)
        return true;
    return state.ui->message(text(state, "msgImportReplaceAll"), AppState::appTitle(), MsgIcon::Question,
                             MsgButtons::YesNo, MsgResult::No)
        == MsgResult::Yes;
}

bool ImportCsvCommand(AppState &state)
{
    if (!state.ui)
        return false;
    QString title = GetLangString(state, QStringLiteral("frmMain"),
                                  QStringLiteral("mnuID_MENU_IMPORT_REV_PLUDATA_CSVFILE"));
    title.remove(u'&');
    const QString path = state.ui->openFileName(title, QStringLiteral("CSV (*.csv)|*.csv"));
    if (path.trimmed().isEmpty())
        return false;
    const int type = state.settings.SetImportType;
    if (!ConfirmImportType(state, type))
        return false;
    return ImportPLUFromCSV(state, path, type).ok;
}

ReBuildMGResult ReBuildMG(AppState &state)
{
    ReBuildMGResult r;
    QString error;
    if (!rebuildMainGroups(state, r, &error)) {
        state.errorSource = QStringLiteral("ReBuildMG()");
        ReportError(state, error);
        r.ok = false;
    }
    return r;
}

} // namespace korvo
