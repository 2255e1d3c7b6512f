#pragma once
// frmReceivePLU: the PLUs received from the scales (table RC_PLU), page by
// page with filters by scale and main group, and what can be done with
// them: receive again, export, take the scale-side changes over, copy one
// scale's PLUs into PLU, print. Modeless; the logic is ReceivedPluBrowser's.

#include "exchange/ReceivedPlus.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class AppState;
class PluListWidget;

class ReceivePluWindow : public QWidget {
    Q_OBJECT
public:
    // rdfplu: the scale component's RDFPLU for the request text of the chosen scales
    using Receiver = std::function<bool(const QString &request)>;
    ReceivePluWindow(AppState &state, Receiver rdfplu, QWidget *parent = nullptr);

    ReceivedPluBrowser &browser() { return m_browser; }

    QGroupBox *fraFilter = nullptr;
    QLabel *lblScale = nullptr;
    QComboBox *cboScale = nullptr;
    QLabel *lblMG = nullptr;
    QComboBox *cboMG = nullptr;
    QPushButton *cmdSelect = nullptr;
    PluListWidget *wndRCPLU = nullptr;
    QPushButton *cmdFirst = nullptr;
    QPushButton *cmdPrevious = nullptr;
    QLabel *lblPageNo = nullptr;
    QLineEdit *txtPageNo = nullptr;
    QLabel *lblPageCount = nullptr;
    QLineEdit *txtPageCount = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdLast = nullptr;
    QPushButton *cmdReceive = nullptr;
    QPushButton *cmdExport = nullptr;
    QPushButton *cmdImport = nullptr;
    QPushButton *cmdUpdateToPLU = nullptr;
    QPushButton *cmdPrint = nullptr;
    QPushButton *cmdExit = nullptr;

signals:
    // PLU rows changed (take-over, Update to PLU): the main list reloads.
    void pluTableChanged();

private:
    void refillFilters();
    void select();
    void page(bool (ReceivedPluBrowser::*command)());
    void showPageBar();
    void receive();
    void takeOver();
    void updateToPlu();
    void print();
    void printRows();

    AppState &m_state;
    Receiver m_rdfplu;
    ReceivedPluBrowser m_browser;
};

} // namespace korvo
