// bench_plulist: fills a temporary data root with PLUs and times the main
// list's queries through the list's own code, beside the time the sqlite3
// shell needs for the same statements on the same file.
//
//   bench_plulist [--plus N] [--stages A,B,...] [--keep DIR] [--reps R]
//                 [--sql STATEMENT]...   (run on the new database first, e.g.
//                                         to try an index)
//
// The PLUs are added in stages (default 100000 and then up to 999999, every
// PLU number there is) and every stage is measured, so the figures show how
// time and memory grow with the number of PLUs. Without the sqlite3 shell on
// PATH the shell column stays empty.

#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"
#include "manage/PluBrowser.h"
#include "core/PluPage.h"
#include "core/UserInterface.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace korvo;

namespace {

constexpr int kDepartments = 20;
constexpr int kGroupsPerDepartment = 15; // 300 main groups

QTextStream out(stdout);

// A list that keeps its page the way the window's list does: as texts.
class PageView : public PluListView {
public:
    QVector<SortColumn> sort;
    QVector<QStringList> rows;
    QVector<SortColumn> sortColumns() const override { return sort; }
    void clearRows() override { rows.clear(); }
    void addRow(const QStringList &cells, int) override { rows << cells; }
    void repaintList() override {}
};

long currentRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double median(QVector<double> v)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Demo PLU rows as templates: header and cells, NULL as a null QVariant.
struct Templates {
    QStringList columns;
    QVector<QVector<QVariant>> rows;
};

QString unescape(const QString &cell)
{
    QString o;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] == QLatin1Char('\\') && i + 1 < cell.size()) {
            const QChar n = cell[++i];
            o += n == QLatin1Char('t') ? QLatin1Char('\t')
               : n == QLatin1Char('n') ? QLatin1Char('\n')
               : n == QLatin1Char('r') ? QLatin1Char('\r')
                                       : n;
        } else {
            o += cell[i];
        }
    }
    return o;
}

bool loadTemplates(Templates *t)
{
    QFile f(QStringLiteral(":/data/rows/main/PLU.tsv"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    t->columns = lines.value(0).split(QLatin1Char('\t'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QStringList cells = lines[i].split(QLatin1Char('\t'));
        QVector<QVariant> row;
        for (qsizetype c = 0; c < t->columns.size(); ++c) {
            const QString cell = cells.value(c);
            row << (cell.isEmpty() ? QVariant() : QVariant(unescape(cell)));
        }
        t->rows << row;
    }
    return !t->rows.isEmpty();
}

const char *const kWords[] = {"Apples", "Pears", "Milk", "Cheese", "Ham", "Salami", "Bread",
                              "Rolls", "Carrots", "Tomatoes", "Salmon", "Trout", "Olives",
                              "Chicken", "Beef", "Pork", "Yoghurt", "Butter", "Grapes", "Cake"};
const char *const kKinds[] = {"organic", "fresh", "smoked", "sliced", "whole", "mild",
                              "spicy", "loose", "class I", "farmhouse", "aged", "light"};

// A scale record of the usual size (about 430 hex digits), different per PLU.
QString recordHex(quint32 n)
{
    QString s;
    s.reserve(432);
    quint32 x = n * 2654435761u + 12345u;
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < 432; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Records are mostly zero bytes with a few set ones.
        s += (x % 5 == 0) ? QLatin1Char(hex[x % 16]) : QLatin1Char('0');
    }
    return s;
}

bool exec(QSqlQuery &q, const QString &sql)
{
    if (q.exec(sql))
        return true;
    out << "failed: " << sql << ": " << q.lastError().text() << Qt::endl;
    return false;
}

// PLUs from+1 .. to; main groups skewed: low groups hold more PLUs.
bool fillPlus(const QString &connection, const Templates &t, int from, int to)
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    QSqlQuery q(db);
    if (!exec(q, QStringLiteral("PRAGMA synchronous=OFF")))
        return false;
    if (from == 0) {
        if (!exec(q, QStringLiteral("insert into STORE(ST_No,ST_Name) values(1,'Bench store')")))
            return false;
        for (int d = 1; d <= kDepartments; ++d) {
            if (!exec(q, QStringLiteral("insert into DEPT(DP_No,DP_Name,ST_No,BarFormat) "
                                        "values(%1,'Department %1',1,-1)")
                             .arg(d)))
                return false;
            for (int g = 1; g <= kGroupsPerDepartment; ++g) {
                const int mg = (d - 1) * kGroupsPerDepartment + g;
                if (!exec(q, QStringLiteral("insert into MG(MG_No,DP_No,MG_Name,BarFormat) "
                                            "values(%1,%2,'Group %1',-1)")
                                 .arg(mg)
                                 .arg(d)))
                    return false;
            }
        }
    }
    // The demo rows are not encoded yet: their record column is empty.
    QStringList names = t.columns;
    int cZent = int(names.indexOf(QStringLiteral("ZentBinData")));
    if (cZent < 0) {
        cZent = int(names.size());
        names << QStringLiteral("ZentBinData");
    }
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    db.transaction();
    if (!q.prepare(QStringLiteral("insert into PLU(%1) values(%2)")
                       .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))))) {
        out << "prepare failed: " << q.lastError().text() << Qt::endl;
        return false;
    }
    const int cNo = t.columns.indexOf(QStringLiteral("PLU_No"));
    const int cItem = t.columns.indexOf(QStringLiteral("PLU_ItemCode"));
    const int cPrice = t.columns.indexOf(QStringLiteral("PLU_UPrice"));
    const int cEan = t.columns.indexOf(QStringLiteral("PLU_EANData"));
    const int cMg = t.columns.indexOf(QStringLiteral("PLU_MG"));
    const int cName = t.columns.indexOf(QStringLiteral("PLU_Commodity"));
    const int groups = kDepartments * kGroupsPerDepartment;
    quint32 seed = 7;
    for (int n = from + 1; n <= to; ++n) {
        seed = seed * 1103515245u + 12345u;
        const quint32 r = seed >> 8;
        QVector<QVariant> row = t.rows[n % t.rows.size()];
        row[cNo] = n;
        row[cItem] = QString::number(200000 + n);
        row[cPrice] = double(r % 9999 + 1) / 100.0;
        row[cEan] = (r % 3 == 0) ? QVariant(QStringLiteral("27%1").arg(n, 11, 10, QLatin1Char('0')))
                                 : QVariant();
        // Square of a uniform number: group 1 is the biggest.
        const double u = double(r % 100000) / 100000.0;
        row[cMg] = 1 + int(u * u * groups);
        row[cName] = QStringLiteral("%1 %2 %3")
                         .arg(QLatin1String(kWords[r % 20]), QLatin1String(kKinds[(r / 20) % 12]))
                         .arg(n);
        row.resize(names.size());
        row[cZent] = recordHex(quint32(n));
        for (qsizetype c = 0; c < row.size(); ++c)
            q.bindValue(int(c), row[c]);
        if (!q.exec()) {
            out << "insert failed at PLU " << n << ": " << q.lastError().text() << Qt::endl;
            db.rollback();
            return false;
        }
    }
    q.finish();
    if (!db.commit()) {
        out << "commit failed: " << db.lastError().text() << Qt::endl;
        return false;
    }
    QSqlQuery c(db);
    exec(c, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    exec(c, QStringLiteral("PRAGMA synchronous=FULL"));
    return true;
}

struct Measure {
    QString name;
    double korvoMs = -1;
    double shellMs = -1;     // the same statements in the sqlite3 shell
    double plainShellMs = -1; // plain LIMIT/OFFSET on the whole row, for comparison
    int page = 0, pages = 0;
};

class Shell {
public:
    explicit Shell(QString db) : m_db(std::move(db))
    {
        m_program = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    }
    bool available() const { return !m_program.isEmpty(); }

    // Median "Run Time: real" of each statement over reps runs, summed.
    double time(const QStringList &statements, int reps) const
    {
        if (!available() || statements.isEmpty())
            return -1;
        QString script = QStringLiteral(".timer on\n.output /dev/null\n");
        for (const QString &s : statements)
            for (int i = 0; i < reps; ++i)
                script += TranslateSql(s) + QStringLiteral(";\n");
        QProcess p;
        p.start(m_program, {m_db});
        if (!p.waitForStarted())
            return -1;
        p.write(script.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(600000);
        static const QRegularExpression re(QStringLiteral(R"(Run Time: real ([0-9.]+))"));
        QVector<double> times;
        auto it = re.globalMatch(QString::fromUtf8(p.readAllStandardOutput()));
        while (it.hasNext())
            times << it.next().captured(1).toDouble() * 1000.0;
        if (times.size() != statements.size() * reps)
            return -1;
        double sum = 0;
        for (qsizetype s = 0; s < statements.size(); ++s)
            sum += median(times.mid(s * reps, reps));
        return sum;
    }

private:
    QString m_db;
    QString m_program;
};

void printRow(const Measure &m)
{
    // The shell's timer counts whole milliseconds.
    const bool fast = m.korvoMs < 100 && (m.shellMs < 0 || m.korvoMs <= 2 * m.shellMs + 1.0);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6")
               .arg(m.name, -34)
               .arg(QStringLiteral("%1/%2").arg(m.page).arg(m.pages), 12)
               .arg(m.korvoMs, 10, 'f', 1)
               .arg(m.shellMs < 0 ? QStringLiteral("-") : QString::number(m.shellMs, 'f', 1), 10)
               .arg(m.plainShellMs < 0 ? QStringLiteral("-") : QString::number(m.plainShellMs, 'f', 1), 12)
               .arg(fast ? QStringLiteral("ok") : QStringLiteral("SLOW"), 5)
        << Qt::endl;
}

// Largest department and a main group of middling size.
std::pair<int, int> pickNodes(AppState &state)
{
    int dept = 1, mg = 1;
    if (auto q = QueryKorvoDB(state, QStringLiteral("select MG.DP_No, count(*) c from PLU join MG on "
                                                    "MG.MG_No=PLU.PLU_MG group by MG.DP_No order by c desc limit 1"));
        q && q->next())
        dept = q->value(0).toInt();
    if (auto q = QueryKorvoDB(state, QStringLiteral("select PLU_MG, count(*) c from PLU group by PLU_MG "
                                                    "order by c desc")); q) {
        QVector<int> groups;
        while (q->next())
            groups << q->value(0).toInt();
        if (!groups.isEmpty())
            mg = groups[groups.size() / 4];
    }
    return {dept, mg};
}

void measureStage(AppState &state, const Shell &shell, int reps, long *peakQueryRss)
{
    PageView view;
    PluBrowser browser(state, view);
    const auto [dept, mg] = pickNodes(state);
    const PluNode store{PluNodeKind::Store, QStringLiteral("1")};
    const PluNode department{PluNodeKind::Department, QString::number(dept)};
    const PluNode group{PluNodeKind::MainGroup, QString::number(mg)};

    auto timeIt = [&](const QString &name, const std::function<bool()> &step) {
        Measure m;
        m.name = name;
        QVector<double> times;
        for (int i = 0; i < reps; ++i) {
            QElapsedTimer t;
            t.start();
            if (!step()) {
                out << name << ": the query failed" << Qt::endl;
                return;
            }
            times << t.nsecsElapsed() / 1e6;
            *peakQueryRss = std::max(*peakQueryRss, currentRssKb());
        }
        m.korvoMs = median(times);
        m.page = browser.currentPage;
        m.pages = browser.pageCount;
        const QStringList statements = browser.pageQuery().lastStatements();
        // The shell has not our SQL functions: it fails such statements at once.
        if (statements.join(QLatin1Char(' ')).contains(QLatin1String("ContainsFolded"))) {
            printRow(m);
            return;
        }
        m.shellMs = shell.time(statements, reps);
        // What one statement with LIMIT/OFFSET over the whole rows costs.
        const qint64 size = state.settings.PLUPageSize;
        QStringList plain{statements.value(0),
                          browser.pageQuery().savedQuery()
                              + QStringLiteral(" limit %1 offset %2").arg(size).arg((m.page - 1) * size)};
        m.plainShellMs = shell.time(plain, std::min(reps, 3));
        printRow(m);
    };

    struct NodeCase {
        QString name;
        PluNode node;
    };
    const NodeCase nodes[] = {{QStringLiteral("store"), store},
                              {QStringLiteral("department %1").arg(dept), department},
                              {QStringLiteral("main group %1").arg(mg), group}};
    for (const NodeCase &c : nodes) {
        browser.currentPage = 1;
        browser.showNode(c.node);
        const qint32 pages = browser.pageCount;
        timeIt(c.name + QStringLiteral(", first page"), [&] {
            browser.currentPage = 1;
            return browser.showNode(c.node);
        });
        timeIt(c.name + QStringLiteral(", middle page"), [&] {
            browser.currentPage = (pages + 1) / 2;
            return browser.showNode(c.node);
        });
        timeIt(c.name + QStringLiteral(", last page"), [&] {
            browser.currentPage = pages;
            return browser.showNode(c.node);
        });
    }

    timeIt(QStringLiteral("store, name search \"milk\" p.1"), [&] {
        browser.currentPage = 1;
        browser.pageCount = 1;
        return !browser.search(PluSearchKind::Name, QStringLiteral(" milk "), store).failed;
    });
    timeIt(QStringLiteral("store, name search \"milk\" last p."), [&] {
        browser.currentPage = std::numeric_limits<qint32>::max();
        browser.pageCount = std::numeric_limits<qint32>::max();
        return !browser.search(PluSearchKind::Name, QStringLiteral(" milk "), store).failed;
    });
    timeIt(QStringLiteral("dept, name search \"milk\" p.1"), [&] {
        browser.currentPage = 1;
        return !browser.search(PluSearchKind::Name, QStringLiteral("milk"), department).failed;
    });
    timeIt(QStringLiteral("store, item code search"), [&] {
        browser.currentPage = 1;
        return !browser.search(PluSearchKind::ItemCode, QStringLiteral("200123"), store).failed;
    });
    timeIt(QStringLiteral("store, EAN search (prefix)"), [&] {
        browser.currentPage = 1;
        return !browser.search(PluSearchKind::EanData, QStringLiteral("270000001234"), store).failed;
    });
    timeIt(QStringLiteral("dept, item code search"), [&] {
        browser.currentPage = 1;
        return !browser.search(PluSearchKind::ItemCode, QStringLiteral("200123"), department).failed;
    });
    timeIt(QStringLiteral("dept, EAN search (prefix)"), [&] {
        browser.currentPage = 1;
        return !browser.search(PluSearchKind::EanData, QStringLiteral("270000001234"), department).failed;
    });
    timeIt(QStringLiteral("main group, name search"), [&] {
        browser.currentPage = 1;
        return !browser.search(PluSearchKind::Name, QStringLiteral("milk"), group).failed;
    });

    view.sort = {{2, true}}; // PLU_UPrice
    browser.currentPage = 1;
    browser.showNode(store);
    const qint32 pages = browser.pageCount;
    timeIt(QStringLiteral("store by price, first page"), [&] {
        browser.currentPage = 1;
        return browser.showNode(store);
    });
    timeIt(QStringLiteral("store by price, middle page"), [&] {
        browser.currentPage = (pages + 1) / 2;
        return browser.showNode(store);
    });
    view.sort = {{2, false}};
    timeIt(QStringLiteral("store by price desc, last page"), [&] {
        browser.currentPage = pages;
        return browser.showNode(store);
    });
    view.sort = {{2, true}};
    browser.currentPage = 1;
    browser.showNode(department);
    const qint32 deptPages = browser.pageCount;
    timeIt(QStringLiteral("department by price, middle page"), [&] {
        browser.currentPage = (deptPages + 1) / 2;
        return browser.showNode(department);
    });
    view.sort.clear();
}

double timeLoadSettings(const QString &root, UserInterface *ui)
{
    QVector<double> times;
    for (int i = 0; i < 3; ++i) {
        AppState state(ui);
        state.setPaths(QString(), root);
        state.userName = QStringLiteral("bench");
        QElapsedTimer t;
        t.start();
        if (!LoadSettings(state))
            return -1;
        times << t.nsecsElapsed() / 1e6;
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QList<int> stages{100000, kPluNoMax};
    QString keep;
    QStringList extraSql;
    int reps = 5;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--plus")) {
            stages = {args[i + 1].toInt()};
        } else if (args[i] == QLatin1String("--stages")) {
            stages.clear();
            for (const QString &s : args[i + 1].split(QLatin1Char(',')))
                stages << s.toInt();
        } else if (args[i] == QLatin1String("--keep")) {
            keep = args[i + 1];
        } else if (args[i] == QLatin1String("--sql")) {
            extraSql << args[i + 1];
        } else if (args[i] == QLatin1String("--reps")) {
            reps = std::max(1, args[i + 1].toInt());
        } else {
            std::fprintf(stderr, "usage: bench_plulist [--plus N] [--stages A,B] [--keep DIR] [--reps R] [--sql STATEMENT]...\n");
            return 2;
        }
    }
    std::sort(stages.begin(), stages.end());

    QTemporaryDir tmp;
    const QString root = keep.isEmpty() ? tmp.path() : QDir(keep).absolutePath();
    QString error;
    // A kept data root is measured again as it is, with PLUs added only up
    // to the stages beyond what it holds.
    const bool reuse = QFileInfo::exists(root + QStringLiteral("/Database/KORVO2005.db"));
    if (!reuse && !CreateDataRoot(root, DataRootOptions{false}, &error)) {
        out << "cannot build the data root: " << error << Qt::endl;
        return 1;
    }
    Templates templates;
    if (!loadTemplates(&templates)) {
        out << "no demo PLU rows in the program" << Qt::endl;
        return 1;
    }

    ConsoleUserInterface ui;
    const double loadEmpty = timeLoadSettings(root, &ui);
    AppState state(&ui);
    state.setPaths(QString(), root);
    state.userName = QStringLiteral("bench");
    if (!LoadSettings(state))
        return 1;
    const QString dbFile = state.dataPath + QStringLiteral("Database/KORVO2005.db");
    for (const QString &sql : std::as_const(extraSql)) {
        if (!QueryKorvoDB(state, sql))
            return 1;
        out << "ran: " << sql << Qt::endl;
    }
    const Shell shell(dbFile);
    out << "data root " << root << ", page size " << state.settings.PLUPageSize
        << (shell.available() ? "" : " (no sqlite3 shell found)") << Qt::endl;
    out << "LoadSettings, no PLUs: " << QString::number(loadEmpty, 'f', 1) << " ms" << Qt::endl;

    int have = 0;
    if (reuse) {
        if (auto q = QueryKorvoDB(state, QStringLiteral("select count(*) from PLU")); q && q->next())
            have = q->value(0).toInt();
        stages.removeIf([&](int s) { return s < have; });
        if (stages.isEmpty() || stages.first() > have)
            stages.prepend(have);
    }
    for (int target : stages) {
        if (target < have || (target == have && !reuse))
            continue;
        QElapsedTimer fill;
        fill.start();
        if (target > have && !fillPlus(state.connMain, templates, have, target))
            return 1;
        const double fillSeconds = fill.elapsed() / 1000.0;
        have = target;
        out << Qt::endl
            << "== " << have << " PLUs, " << QFileInfo(dbFile).size() / (1024 * 1024)
            << " MB database, filled in " << QString::number(fillSeconds, 'f', 1) << " s" << Qt::endl;
        const long rssBefore = currentRssKb();
        long peak = rssBefore;
        out << QStringLiteral("%1 %2 %3 %4 %5 %6")
                   .arg(QStringLiteral("case"), -34)
                   .arg(QStringLiteral("page"), 12)
                   .arg(QStringLiteral("korvo ms"), 10)
                   .arg(QStringLiteral("sqlite3 ms"), 10)
                   .arg(QStringLiteral("plain sql ms"), 12)
                   .arg(QStringLiteral(""), 5)
            << Qt::endl;
        measureStage(state, shell, reps, &peak);
        const double load = timeLoadSettings(root, &ui);
        out << "LoadSettings: " << QString::number(load, 'f', 1) << " ms" << Qt::endl;
        out << "memory: RSS before the queries " << rssBefore / 1024 << " MB, highest during them "
            << peak / 1024 << " MB; peak of the process " << peakRssKb() / 1024 << " MB"
            << Qt::endl;
    }
    out << Qt::endl
        << "korvo ms: through PluBrowser/PluPageQuery (median of " << reps
        << "); sqlite3 ms: the same statements in the sqlite3 shell; plain sql ms: the remembered "
           "query with LIMIT/OFFSET in one statement. ok = under 100 ms and at most twice sqlite3."
        << Qt::endl;
    return 0;
}
