// The direct SQLite reader and updater of mode ALL: values read as QtSql
// reads them, failures left to QtSql, and whole runs that store the same
// records, dates and errors as the QtSql path.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "encoding/Hierarchy.h"
#include "encoding/RecordBuilder.h"
#include "encoding/SqliteRowStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

struct StoredRow {
    QString record;
    QString recordType;
    QVariant date, time;
    bool operator==(const StoredRow &o) const
    {
        return record == o.record && recordType == o.recordType && date == o.date && time == o.time;
    }
};

QMap<qint32, StoredRow> storedRows(const QSqlDatabase &db)
{
    QMap<qint32, StoredRow> rows;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select PLU_No, ZentBinData, typeof(ZentBinData), PLU_UPDate, PLU_UPTime "
                               "from PLU order by PLU_No")))
        return rows;
    while (q.next())
        rows.insert(q.value(0).toInt(),
                    {q.value(1).toString(), q.value(2).toString(), q.value(3), q.value(4)});
    return rows;
}

QStringList reports(AppState &s)
{
    QStringList out;
    for (const ReportedError &e : std::as_const(s.reportedErrors))
        out << e.source + QStringLiteral(" | ") + e.description;
    s.reportedErrors.clear();
    return out;
}

} // namespace

class TestRowStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_root.ok(), qPrintable(m_root.error()));
        m_state = m_root.loadedState();
        QVERIFY(m_state);
    }
    void valuesReadAsQtSqlReadsThem();
    void failuresAreLeftToQtSql();
    void bothPathsStoreTheSame();

private:
    TestDataRoot m_root{true};
    std::unique_ptr<AppState> m_state;
};

void TestRowStore::valuesReadAsQtSqlReadsThem()
{
    AppState &s = *m_state;
    const QSqlDatabase db = QSqlDatabase::database(s.connMain);
    QVERIFY(SqlExec(s, "create table T (id integer primary key, v, note text)"));
    const QVariantList values{QVariant(), 0, -1, qlonglong(4611686018427387904LL), 0.1, -2.5, 1e300,
                              QStringLiteral("plain ASCII"), QStringLiteral(""),
                              QString::fromUtf8("K\xc3\xa4se \xd0\xa5\xd0\xbb\xd0\xb5\xd0\xb1 \xe9\x9d\xa2\xe5\x8c\x85"),
                              QString::fromUtf16(u"surrogate pair \U0001F600"), QString::fromLatin1("nul\0inside", 10),
                              QByteArray("\x01\x02\xff", 3), QByteArray("")};
    for (int i = 0; i < values.size(); ++i)
        QVERIFY(SqlExec(s, "insert into T values (?, ?, 'x')", {i + 1, values.at(i)}));
    // Malformed UTF-8 stored as text: SQLite's own translation decides it.
    QVERIFY(SqlExec(s, "insert into T values (100, cast(x'41c3' as text), cast(x'ff80' as text))"));
    QVERIFY(SqlExec(s, "insert into T values (101, '12abc', 3.0)"));

    const QString select = QStringLiteral("select id, v, note, v + 1 as [sum], 'lit' as \"a\"\"b\" from T order by id");
    const QString update = QStringLiteral("update T set note=? where id=? or ? or ?");
    std::unique_ptr<SqliteRowStore> store = SqliteRowStore::open(db, select, update);
    QVERIFY(store);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVERIFY(q.exec(select));

    QStringList qtNames;
    for (int i = 0; i < q.record().count(); ++i)
        qtNames << q.record().fieldName(i);
    QCOMPARE(store->columnNames(), qtNames);
    QCOMPARE(qtNames.at(3), QStringLiteral("sum"));
    QCOMPARE(qtNames.at(4), QStringLiteral("ab")); // QtSql drops the quotes of a name

    int rows = 0;
    while (q.next()) {
        QVERIFY(store->next());
        ++rows;
        for (int c = 0; c < qtNames.size(); ++c) {
            const QVariant expected = q.value(c);
            const QVariant got = store->value(c);
            const QString where = QStringLiteral("row %1 column %2").arg(rows).arg(qtNames.at(c));
            QVERIFY2(got.metaType() == expected.metaType(), qPrintable(where));
            QVERIFY2(got.isNull() == expected.isNull(), qPrintable(where));
            QVERIFY2(got == expected, qPrintable(where + QStringLiteral(": ") + got.toString()));
            if (expected.typeId() == QMetaType::QString)
                QVERIFY2(got.toString().isNull() == expected.toString().isNull(), qPrintable(where));

            // The cell gives the number itself, of the kind QtSql reads.
            const RowCell cell = store->cell(c);
            const int type = expected.typeId();
            QVERIFY2(cell.kind == (expected.isNull()                 ? RowCell::Null
                                   : type == QMetaType::LongLong     ? RowCell::Integer
                                   : type == QMetaType::Double       ? RowCell::Real
                                                                     : RowCell::Other),
                     qPrintable(where));
            QVERIFY2((cell.kind != RowCell::Integer || cell.i == expected.toLongLong())
                         && (cell.kind != RowCell::Real || cell.d == expected.toDouble()),
                     qPrintable(where));
        }
    }
    QCOMPARE(rows, values.size() + 2);
    QVERIFY(!store->next());
    QVERIFY(!store->next());
}

void TestRowStore::failuresAreLeftToQtSql()
{
    const QSqlDatabase db = QSqlDatabase::database(m_state->connMain);
    const QString update = QStringLiteral("update PLU set ZentBinData=? where PLU_No=?");
    const QString good = QStringLiteral("select 1");

    QVERIFY(SqliteRowStore::open(db, good, update));
    QVERIFY(!SqliteRowStore::open(db, QStringLiteral("selec 1"), update));
    QVERIFY(!SqliteRowStore::open(db, good, QStringLiteral("update NoSuchTable set a=1")));
    QVERIFY(!SqliteRowStore::open(db, QStringLiteral("select 1; delete from PLU"), update));
    QVERIFY(SqliteRowStore::open(db, QStringLiteral("select 1;  "), update));
    // A failure at the first row is a failure of the statement, as in QtSql.
    QVERIFY(!SqliteRowStore::open(db, QStringLiteral("select abs(-9223372036854775807 - 1)"), update));
    QVERIFY(!SqliteRowStore::open(QSqlDatabase(), good, update));

    // No rows: nothing to hand out.
    const std::unique_ptr<SqliteRowStore> empty = SqliteRowStore::open(db, QStringLiteral("select 1 where 0"), update);
    QVERIFY(empty && !empty->next());
}

void TestRowStore::bothPathsStoreTheSame()
{
    TestDataRoot &root = m_root;
    AppState &s = *m_state;
    s.now = [] { return QDateTime(QDate(2010, 11, 25), QTime(10, 30, 15)); };
    LoadMGSettings(s);
    QVERIFY(LoadScaleBarcodeList(s));
    const QSqlDatabase db = QSqlDatabase::database(s.connMain);

    // Beside the demo articles, rows the reader must take as QtSql does:
    // texts outside ASCII, numbers stored as texts, nulls, stored dates in
    // both forms, and rows that cannot be encoded.
    const int base = SqlScalar(s, QStringLiteral("select max(PLU_No) from PLU")).toInt();
    QVERIFY(base > 0);
    const QSqlRecord shape = db.record(QStringLiteral("PLU"));
    QStringList cols;
    for (int i = 1; i < shape.count(); ++i)
        cols << shape.fieldName(i);
    const QString text = QString::fromUtf8("K\xc3\xa4se\r\xd0\xa5\xd0\xbb\xd0\xb5\xd0\xb1\r\xe9\x9d\xa2");
    const char *changes[] = {
        "PLU_Commodity=?, Stat1_Commodity=1, PLU_CommFonts='3,2'",
        "PLU_UPrice='12,5', PLU_Tare='7', PLU_QTY=NULL",
        "PLU_UPDate='2009-02-28', PLU_UPTime='23:05:09', PLU_CPLUPreset=NULL, PLU_ItemCode='00042'",
        "PLU_UPDate='28.02.2009', PLU_UPTime='7:05', PLU_SBTime=0.5",
        "PLU_UPrice=-1.5",
        "PLU_UPDate='2009-02-30'",
    };
    for (int i = 1; i <= 6; ++i) {
        QVERIFY(SqlExec(s, QStringLiteral("insert into PLU (PLU_No,%1) select %2,%1 from PLU where PLU_No=%3")
                               .arg(cols.join(u','))
                               .arg(base + i)
                               .arg(base)));
        QVERIFY(SqlExec(s, QStringLiteral("update PLU set %1 where PLU_No=%2").arg(QLatin1String(changes[i - 1])).arg(base + i),
                        i == 1 ? QVariantList{text} : QVariantList{}));
    }
    QVERIFY(SqlExec(s, "create table PLU_before as select * from PLU"));

    s.reportedErrors.clear();
    qint32 lastQt = 0;
    root.ui.messages.clear();
    const EncodeRunResult viaQt = CreatePLUData(s, QStringLiteral("ALL"), lastQt, RowAccess::QtSql);
    const int qtSteps = root.ui.progressSteps;
    QCOMPARE(root.ui.messages.size(), 1); // the summary of the failures
    const QString qtSummary = root.ui.messages.at(0).text;
    QVERIFY(!viaQt.nativeRows);
    const QStringList qtReports = reports(s);
    const QMap<qint32, StoredRow> qtRows = storedRows(db);

    // The same rows again.
    QVERIFY(SqlExec(s, QStringLiteral("delete from PLU")));
    QVERIFY(SqlExec(s, QStringLiteral("insert into PLU select * from PLU_before")));
    QCOMPARE(storedRows(db).value(base + 1).record, QString());

    qint32 lastNative = 0;
    root.ui.messages.clear();
    const EncodeRunResult native = CreatePLUData(s, QStringLiteral("ALL"), lastNative);
    QVERIFY(native.nativeRows);
    const QStringList nativeReports = reports(s);
    const QMap<qint32, StoredRow> nativeRows = storedRows(db);

    QCOMPARE(native.selected, viaQt.selected);
    QCOMPARE(native.encoded, viaQt.encoded);
    QCOMPARE(native.failedPlus, viaQt.failedPlus);
    QCOMPARE(native.completed, viaQt.completed);
    QCOMPARE(lastNative, lastQt);
    QCOMPARE(root.ui.progressSteps, qtSteps);
    QCOMPARE(root.ui.messages.size(), 1);
    QCOMPARE(root.ui.messages.at(0).text, qtSummary);
    QCOMPARE(nativeReports, qtReports);
    QCOMPARE(nativeRows.keys(), qtRows.keys());
    for (auto it = qtRows.cbegin(); it != qtRows.cend(); ++it) {
        const StoredRow &n = nativeRows.value(it.key());
        QVERIFY2(n == it.value(), qPrintable(QStringLiteral("PLU %1: %2 / %3")
                                                 .arg(it.key())
                                                 .arg(n.record, it.value().record)));
    }

    // The runs met the rows built for them.
    QCOMPARE(native.selected, qtRows.size());
    QCOMPARE(native.failedPlus, (QVector<qint64>{base + 5, base + 6}));
    QCOMPARE(nativeRows.value(base + 5).record, QString());
    QCOMPARE(nativeRows.value(base + 5).recordType, QStringLiteral("text"));
    // "K", a umlaut, "se" in windows-1252
    QVERIFY(nativeRows.value(base + 1).record.contains(QStringLiteral("4BE47365")));
    QVERIFY(nativeRows.value(base + 3).record.contains(QStringLiteral("280209")));   // 28 February 2009
    QCOMPARE(nativeRows.value(base + 2).date.toString(), QStringLiteral("2010-11-25"));
    QCOMPARE(nativeRows.value(base + 2).time.toString(), QStringLiteral("10:30:15"));
}

QTEST_GUILESS_MAIN(TestRowStore)
#include "tst_rowstore.moc"
