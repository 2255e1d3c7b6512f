#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "manage/PluBrowser.h"
#include "core/Values.h"

#include <QHash>
#include <QTextStream>

#include <limits>
#include <tuple>

namespace korvo {

namespace {

const char kUsage[] =
    "usage: korvoctl [--data-root DIR] list [--dept N | --mg N] [--page P]\n"
    "                [--sort COLUMN[:desc],...]\n"
    "                [--plu N | --item-code C | --ean E | --name TEXT]";

// Keeps the page the list would show; printed once the query is done.
class PageRows : public PluListView {
public:
    QVector<SortColumn> sort;
    QVector<QStringList> rows;
    QVector<SortColumn> sortColumns() const override { return sort; }
    void clearRows() override { rows.clear(); }
    void addRow(const QStringList &cells, int) override { rows << cells; }
    void repaintList() override {}
};

QString csvCell(const QString &cell)
{
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"'))
        && !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')))
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A whole number as typed: figures with an optional sign, nothing else
// ("1.5", "abc", "2x" are refused rather than read as a prefix or rounded).
std::optional<qint32> wholeNumber(const QString &text)
{
    bool ok = false;
    const qint32 v = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<qint32>(v) : std::nullopt;
}

bool exists(AppState &state, const QString &sql, bool *ok)
{
    auto q = QueryKorvoDB(state, sql);
    *ok = q.has_value();
    return q && q->next();
}

} // namespace

int CtlList(AppState &state, const QStringList &args)
{
    QTextStream err(stderr);
    auto usage = [&](const QString &why) {
        if (!why.isEmpty())
            err << "korvoctl list: " << why << Qt::endl;
        err << kUsage << Qt::endl;
        return 2;
    };

    static const QHash<QString, PluSearchKind> searches{
        {QStringLiteral("--plu"), PluSearchKind::PluNo},
        {QStringLiteral("--item-code"), PluSearchKind::ItemCode},
        {QStringLiteral("--ean"), PluSearchKind::EanData},
        {QStringLiteral("--name"), PluSearchKind::Name},
    };
    QHash<QString, QString> options;
    for (qsizetype i = 0; i < args.size(); i += 2) {
        const QString &option = args.at(i);
        const bool known = option == QLatin1String("--dept") || option == QLatin1String("--mg")
                        || option == QLatin1String("--page") || option == QLatin1String("--sort")
                        || searches.contains(option);
        if (!known)
            return usage(QStringLiteral("unknown option \"%1\"").arg(option));
        if (i + 1 >= args.size())
            return usage(QStringLiteral("%1 needs a value").arg(option));
        if (options.contains(option))
            return usage(QStringLiteral("%1 given twice").arg(option));
        options.insert(option, args.at(i + 1));
    }
    if (options.contains(QStringLiteral("--dept")) && options.contains(QStringLiteral("--mg")))
        return usage(QStringLiteral("--dept and --mg exclude each other"));
    QString searchOption;
    for (auto it = searches.cbegin(); it != searches.cend(); ++it) {
        if (!options.contains(it.key()))
            continue;
        if (!searchOption.isEmpty())
            return usage(QStringLiteral("one search at a time"));
        searchOption = it.key();
    }

    PluNode node{PluNodeKind::Store, QString()};
    for (const auto &[option, kind, table, column, what] :
         {std::tuple{QStringLiteral("--dept"), PluNodeKind::Department, "DEPT", "DP_No",
                     "department"},
          std::tuple{QStringLiteral("--mg"), PluNodeKind::MainGroup, "MG", "MG_No",
                     "main group"}}) {
        if (!options.contains(option))
            continue;
        const auto number = wholeNumber(options.value(option));
        if (!number)
            return usage(QStringLiteral("%1 needs a number").arg(option));
        bool ok = true;
        const bool found = exists(state,
                                  QStringLiteral("select %1 from %2 where %1=%3")
                                      .arg(QLatin1String(column), QLatin1String(table))
                                      .arg(*number),
                                  &ok);
        if (!ok)
            return 1;
        if (!found) {
            err << "korvoctl list: there is no " << what << " " << *number << Qt::endl;
            return 1;
        }
        node = {kind, QString::number(*number)};
    }

    std::optional<qint32> page = 1;
    if (options.contains(QStringLiteral("--page"))) {
        page = wholeNumber(options.value(QStringLiteral("--page")));
        if (!page)
            return usage(QStringLiteral("--page needs a whole number"));
    }

    PageRows view;
    QString bad;
    const auto sort =
        PluBrowser::parseSortList(state.pluFields, options.value(QStringLiteral("--sort")), &bad);
    if (!sort)
        return usage(QStringLiteral("\"%1\" is no PLU column (COLUMN or COLUMN:desc)").arg(bad));
    view.sort = *sort;

    // The query clamps the page to the pages there are.
    PluBrowser browser(state, view);
    browser.currentPage = *page;
    browser.pageCount = std::numeric_limits<qint32>::max();
    if (!browser.showNode(node))
        return 1;
    if (!searchOption.isEmpty()) {
        const PluSearchResult r =
            browser.search(searches.value(searchOption), options.value(searchOption), node);
        if (r.failed)
            return 1;
        if (!r.ran)
            err << "korvoctl list: " << searchOption
                << " searches nothing for this text; the list is unchanged" << Qt::endl;
        else if (r.firstHit != 0)
            err << "first hit " << r.firstHit << Qt::endl;
        else
            err << "no hit" << Qt::endl;
    }

    QVector<int> columns;
    QStringList header;
    for (int i = 0; i < state.pluFields.size(); ++i) {
        if (state.pluFields.at(i).Visible) {
            columns << i;
            header << csvCell(state.pluFields.at(i).Name);
        }
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << header.join(QLatin1Char(',')) << '\n';
    for (const QStringList &row : std::as_const(view.rows)) {
        QStringList cells;
        for (int c : std::as_const(columns))
            cells << csvCell(row.value(c));
        out << cells.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
    err << "page " << browser.currentPage << " of " << browser.pageCount << Qt::endl;
    return 0;
}

} // namespace korvo
