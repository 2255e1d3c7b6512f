#pragma once
// The logic of the receive window frmReceivePLU without its widgets: the two
// filter lists, the paged view of RC_PLU through the PLU list's paged query,
// the request text of a Receive and the take-over of the prices, used-by
// dates and records that were changed on the scales.

#include "core/PluPage.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace korvo {

class AppState;

struct TakeOverResult {
    bool ok = false;
    int taken = 0;          // PLUs whose scale-side values went into PLU
    QStringList repeated;   // "PLU n: address, address" when a PLU came from two scales
};

class ReceivedPluBrowser {
public:
    ReceivedPluBrowser(AppState &state, PluListView &view);

    static inline const QString kAllScales = QStringLiteral("-1:ALL Scale");
    static inline const QString kAllMainGroups = QStringLiteral("-1:ALL MG");

    qint32 currentPage = 1;
    qint32 pageCount = 1;

    // "-1:ALL Scale", then "address: description" for every scale with
    // received rows (also one the SCALE table no longer knows), by address.
    QStringList scaleItems();
    // "-1:ALL MG", then "number: name" for every main group of received rows.
    QStringList mainGroupItems();

    // The WHERE condition of the two lists' texts: the scale is the text
    // before the first ":", the main group the number before it; "-1" (or
    // nothing) means all.
    static QString filterCondition(const QString &scaleText, const QString &mainGroupText);

    // Select/Reset: page 1 of the filtered rows, remembered for paging.
    bool select(const QString &scaleText, const QString &mainGroupText);
    bool firstPage();
    bool lastPage();
    bool nextPage();
    bool previousPage();
    // The remembered query again on the current page.
    bool redo();
    bool previousEnabled() const { return currentPage >= 2; }
    bool nextEnabled() const { return currentPage < pageCount; }

    // The remembered query without paging (for printing all filtered rows).
    QString filteredQuery() const { return m_query.savedQuery(); }

    // Received rows of the scale at address; -1 after a reported failure.
    int receivedCount(const QString &address);

    // The request of a Receive: "address,scale number" + CR LF per scale.
    static QString receiveRequest(const QStringList &addresses);
    // Writes the log line and hands the request to rdfplu (the scale
    // component's RDFPLU). False when rdfplu is missing or failed.
    bool receive(const QStringList &addresses, const std::function<bool(const QString &)> &rdfplu);

    // Import: every row with PLU_Compare 1 gives its price, used-by date and
    // record to the PLU of its number, and its PLU_Compare becomes 0; all in
    // one transaction. A PLU number with PLU_Compare 1 for two scales is
    // reported (source "TakeOverReceivedPLUs") and nothing changes.
    TakeOverResult takeOver();

private:
    bool run(QString condition, bool save);

    AppState &m_state;
    PluListView &m_view;
    PluPageQuery m_query;
};

} // namespace korvo
