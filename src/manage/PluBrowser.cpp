#include "manage/PluBrowser.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"
#include "core/Values.h"

#include <cmath>
#include <limits>

namespace korvo {

namespace {

const QString kTable = QStringLiteral("PLU");
const QString kRedo = QStringLiteral("redo");

// A node's number as SQL: the numeric value of its tag in shortest form, so
// whatever the tag holds, only a number reaches the statement.
QString nodeNumber(const PluNode &node) { return NumberText(NumericPrefix(node.number)); }

QString departmentCondition(const PluNode &node)
{
    return QStringLiteral("PLU_MG in ( select MG_no from MG where DP_no=") + nodeNumber(node)
         + QStringLiteral(" )");
}

} // namespace

PluBrowser::PluBrowser(AppState &state, PluListView &view) : m_state(state), m_view(view) {}

QString PluBrowser::nodeCondition(const PluNode &node)
{
    switch (node.kind) {
    case PluNodeKind::Department:
        return departmentCondition(node);
    case PluNodeKind::MainGroup:
        return QStringLiteral("[PLU_MG]=") + nodeNumber(node);
    case PluNodeKind::Store:
    case PluNodeKind::None:
        break;
    }
    return {};
}

QString PluBrowser::limitToNode(const QString &condition, const PluNode &node)
{
    switch (node.kind) {
    case PluNodeKind::Department:
        return condition + QStringLiteral(" and ") + departmentCondition(node);
    case PluNodeKind::MainGroup:
        return condition + QStringLiteral(" and PLU_MG=") + nodeNumber(node);
    case PluNodeKind::Store:
    case PluNodeKind::None:
        break;
    }
    return condition;
}

QString PluBrowser::eanPattern(const QString &text)
{
    constexpr int kPlaces = 11;
    const QString s = text.trimmed();
    if (s.isEmpty())
        return text;
    bool digitsOnly = true;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            digitsOnly = false;
            break;
        }
    }
    if (digitsOnly) {
        // Done on the text: a long code would lose places as a double.
        qsizetype lead = 0;
        while (lead < s.size() - 1 && s.at(lead) == QLatin1Char('0'))
            ++lead;
        return s.mid(lead).rightJustified(kPlaces, QLatin1Char('0'));
    }
    const auto v = StrictNumber(s);
    if (!v || !std::isfinite(*v))
        return text; // not a number: the text as typed
    const double r = std::round(*v);
    const QString digits = NumberText(std::fabs(r)).rightJustified(kPlaces, QLatin1Char('0'));
    return r < 0 ? QLatin1Char('-') + digits : digits;
}

std::optional<SearchCondition> PluBrowser::searchCondition(PluSearchKind kind, const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    SearchCondition c;
    switch (kind) {
    case PluSearchKind::PluNo: {
        const double v = NumericPrefix(text);
        if (v == 0 || !std::isfinite(v))
            return std::nullopt;
        c.where = QStringLiteral("PLU_No=") + NumberText(v) + QLatin1Char(' ');
        break;
    }
    case PluSearchKind::ItemCode: {
        // Item codes are texts, but typed ones are compared by number value:
        // "00123" finds "123".
        const double v = NumericPrefix(text);
        c.where = QStringLiteral("PLU_ItemCode='") + SqlEscape(NumberText(v)) + QStringLiteral("' ");
        c.loadsHit = v != 0 && std::isfinite(v);
        break;
    }
    case PluSearchKind::EanData: {
        const QString e = eanPattern(text);
        c.where = QStringLiteral("PLU_EANData like'") + SqlEscape(e) + QStringLiteral("%%'");
        c.loadsHit = e.size() == 12;
        break;
    }
    case PluSearchKind::Name: {
        const QString n = text.trimmed();
        if (n.isEmpty())
            return std::nullopt;
        // LIKE ignores case for ASCII letters only: "äpfel" must find "ÄPFEL".
        c.where = QStringLiteral("ContainsFolded(PLU_Commodity,'") + SqlEscape(n) + QStringLiteral("')");
        break;
    }
    }
    return c;
}

qint32 PluBrowser::pageBoxValue(const QString &text) { return PrefixToInt32(text); }

void PluBrowser::clampCurrentPage()
{
    if (currentPage < 1)
        currentPage = 1;
    if (currentPage > pageCount)
        currentPage = pageCount;
}

bool PluBrowser::runPage(QString condition, bool wantFirst, qint32 *first)
{
    const auto r =
        m_query.run(m_state, m_view, currentPage, pageCount, condition, true, wantFirst, kTable);
    if (!r)
        return false;
    if (first)
        *first = *r;
    return true;
}

bool PluBrowser::runRedo(qint32 page)
{
    currentPage = page;
    return runPage(kRedo, false);
}

bool PluBrowser::showNode(const PluNode &node)
{
    clampCurrentPage();
    if (node.kind == PluNodeKind::None)
        return true;
    if (node.kind == PluNodeKind::MainGroup)
        currentMainGroup = PrefixToInt32(node.number);
    return runPage(nodeCondition(node), false);
}

bool PluBrowser::firstPage() { return runRedo(1); }

bool PluBrowser::lastPage() { return runRedo(pageCount); }

bool PluBrowser::nextPage()
{
    return runRedo(currentPage < std::numeric_limits<qint32>::max() ? currentPage + 1 : currentPage);
}

bool PluBrowser::previousPage()
{
    return runRedo(currentPage > std::numeric_limits<qint32>::min() ? currentPage - 1 : currentPage);
}

bool PluBrowser::pageBox(const QString &text) { return runRedo(pageBoxValue(text)); }

bool PluBrowser::redo() { return runRedo(currentPage); }

PluSearchResult PluBrowser::search(PluSearchKind kind, const QString &text, const PluNode &node)
{
    PluSearchResult r;
    if (node.kind == PluNodeKind::None)
        return r;
    const auto c = searchCondition(kind, text);
    if (!c)
        return r;
    r.ran = true;
    // The page is not reset: the result shows the current page, clamped.
    clampCurrentPage();
    qint32 first = 0;
    if (!runPage(limitToNode(c->where, node), true, &first)) {
        r.failed = true;
        return r;
    }
    firstHit = first;
    r.firstHit = first;
    r.hit = first != 0 && c->loadsHit;
    if (r.hit)
        r.editorState = QStringLiteral("EDIT");
    else
        r.editorState = kind == PluSearchKind::PluNo ? QStringLiteral("SAVE") : QStringLiteral("NEW");
    return r;
}

QVector<SortColumn> PluBrowser::sortAfterHeaderPress(const QVector<SortColumn> &sort, int column,
                                                     bool ctrl, bool *changed)
{
    QVector<SortColumn> out;
    if (ctrl)
        out = sort;
    bool present = false;
    for (const SortColumn &s : std::as_const(out))
        present = present || s.column == column;
    if (!present)
        out.push_back({column, true});
    if (changed) {
        bool same = out.size() == sort.size();
        for (qsizetype i = 0; same && i < out.size(); ++i)
            same = out[i].column == sort[i].column && out[i].ascending == sort[i].ascending;
        *changed = !same;
    }
    return out;
}

std::optional<QVector<SortColumn>> PluBrowser::parseSortList(const PluFieldTable &fields,
                                                             const QString &text, QString *bad)
{
    QVector<SortColumn> out;
    if (text.trimmed().isEmpty())
        return out;
    for (const QString &raw : text.split(QLatin1Char(','))) {
        const QString item = raw.trimmed();
        QString name = item;
        bool ascending = true;
        const qsizetype colon = item.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            name = item.left(colon).trimmed();
            const QString dir = item.mid(colon + 1).trimmed();
            if (dir.compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
                ascending = false;
            else if (dir.compare(QLatin1String("asc"), Qt::CaseInsensitive) != 0)
                name.clear();
        }
        const int column = name.isEmpty() ? -1 : fields.indexOf(name);
        bool duplicate = false;
        for (const SortColumn &s : std::as_const(out))
            duplicate = duplicate || s.column == column;
        if (column < 0 || column >= kPluFieldCount || duplicate) {
            if (bad)
                *bad = item;
            return std::nullopt;
        }
        out.push_back({column, ascending});
    }
    return out;
}

} // namespace korvo
