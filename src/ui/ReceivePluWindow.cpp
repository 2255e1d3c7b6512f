#include "ui/ReceivePluWindow.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/UserInterface.h"
#include "exchange/PluExchange.h"
#include "i18n/Language.h"
#include "ui/FormTexts.h"
#include "ui/Named.h"
#include "ui/PluListWidget.h"
#include "tools/Tools.h"
#include "ui/DesktopLauncher.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmReceivePLU");
constexpr int kPluPrintTool = 161;

} // namespace

ReceivePluWindow::ReceivePluWindow(AppState &state, Receiver rdfplu, QWidget *parent)
    // The list exists before the browser that fills it.
    : QWidget(parent, Qt::Window), m_state(state), m_rdfplu(std::move(rdfplu)),
      m_browser(state, *(wndRCPLU = new PluListWidget(this)))
{
    setObjectName(kOwner);
    setAttribute(Qt::WA_DeleteOnClose);
    wndRCPLU->setObjectName(QStringLiteral("wndRCPLU"));

    fraFilter = Named<QGroupBox>(this, "fraFilter");
    lblScale = Named<QLabel>(fraFilter, "lblScale");
    cboScale = Named<QComboBox>(fraFilter, "cboScale");
    lblMG = Named<QLabel>(fraFilter, "lblMG");
    cboMG = Named<QComboBox>(fraFilter, "cboMG");
    cmdSelect = Named<QPushButton>(fraFilter, "cmdSelect");
    lblScale->setBuddy(cboScale);
    lblMG->setBuddy(cboMG);
    cboScale->setMinimumContentsLength(24);
    cboMG->setMinimumContentsLength(20);
    auto *filter = new QHBoxLayout(fraFilter);
    filter->addWidget(lblScale);
    filter->addWidget(cboScale, 1);
    filter->addWidget(lblMG);
    filter->addWidget(cboMG, 1);
    filter->addWidget(cmdSelect);

    cmdFirst = Named<QPushButton>(this, "cmdFirst");
    cmdPrevious = Named<QPushButton>(this, "cmdPrevious");
    lblPageNo = Named<QLabel>(this, "lblPageNo");
    txtPageNo = Named<QLineEdit>(this, "txtPageNo");
    lblPageCount = Named<QLabel>(this, "lblPageCount");
    txtPageCount = Named<QLineEdit>(this, "txtPageCount");
    cmdNext = Named<QPushButton>(this, "cmdNext");
    cmdLast = Named<QPushButton>(this, "cmdLast");
    for (QLineEdit *box : {txtPageNo, txtPageCount}) {
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
        box->setMaximumWidth(70);
    }
    auto *pages = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{cmdFirst, cmdPrevious, lblPageNo, txtPageNo,
                                                        lblPageCount, txtPageCount, cmdNext, cmdLast})
        pages->addWidget(w);
    pages->addStretch(1);

    cmdReceive = Named<QPushButton>(this, "cmdReceive");
    cmdExport = Named<QPushButton>(this, "cmdExport");
    cmdImport = Named<QPushButton>(this, "cmdImport");
    cmdUpdateToPLU = Named<QPushButton>(this, "cmdUpdateToPLU");
    cmdPrint = Named<QPushButton>(this, "cmdPrint");
    cmdExit = Named<QPushButton>(this, "cmdExit");
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdReceive, cmdExport, cmdImport, cmdUpdateToPLU, cmdPrint})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);

    auto *box = new QVBoxLayout(this);
    box->addWidget(fraFilter);
    box->addWidget(wndRCPLU, 1);
    box->addLayout(pages);
    box->addLayout(buttons);
    resize(900, 560);

    SetFormLangString(state, this);
    wndRCPLU->setupColumns(state.pluFields, QString());

    connect(cmdSelect, &QPushButton::clicked, this, &ReceivePluWindow::select);
    connect(wndRCPLU, &PluListWidget::sortOrderChanged, this, &ReceivePluWindow::select);
    connect(cmdFirst, &QPushButton::clicked, this, [this] { page(&ReceivedPluBrowser::firstPage); });
    connect(cmdPrevious, &QPushButton::clicked, this, [this] { page(&ReceivedPluBrowser::previousPage); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { page(&ReceivedPluBrowser::nextPage); });
    connect(cmdLast, &QPushButton::clicked, this, [this] { page(&ReceivedPluBrowser::lastPage); });
    connect(cmdReceive, &QPushButton::clicked, this, &ReceivePluWindow::receive);
    connect(cmdExport, &QPushButton::clicked, this, [this] { ExportReceivedPLUsToCSV(m_state); });
    connect(cmdImport, &QPushButton::clicked, this, &ReceivePluWindow::takeOver);
    connect(cmdUpdateToPLU, &QPushButton::clicked, this, &ReceivePluWindow::updateToPlu);
    connect(cmdPrint, &QPushButton::clicked, this, &ReceivePluWindow::print);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);

    refillFilters();
    select();
}

void ReceivePluWindow::refillFilters()
{
    for (auto [combo, items] : {std::pair{cboScale, m_browser.scaleItems()},
                                std::pair{cboMG, m_browser.mainGroupItems()}}) {
        const QString current = combo->currentText();
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(qMax(0, combo->findText(current)));
    }
}

void ReceivePluWindow::select()
{
    m_browser.select(cboScale->currentText(), cboMG->currentText());
    showPageBar();
}

void ReceivePluWindow::page(bool (ReceivedPluBrowser::*command)())
{
    (m_browser.*command)();
    showPageBar();
}

void ReceivePluWindow::showPageBar()
{
    txtPageNo->setText(QString::number(m_browser.currentPage));
    txtPageCount->setText(QString::number(m_browser.pageCount));
    cmdPrevious->setEnabled(m_browser.previousEnabled());
    cmdNext->setEnabled(m_browser.nextEnabled());
}

void ReceivePluWindow::receive()
{
    const ScaleChoice choice = m_state.ui->chooseScales(-1, true);
    if (choice.cancelled || choice.addresses.isEmpty())
        return;
    m_browser.receive(choice.addresses, m_rdfplu);
    refillFilters();
    select();
}

void ReceivePluWindow::takeOver()
{
    const TakeOverResult r = m_browser.takeOver();
    if (!r.ok)
        return;
    m_browser.redo();
    showPageBar();
    if (r.taken > 0)
        emit pluTableChanged();
    m_state.ui->message(GetLangString(m_state, kOwner, QStringLiteral("msgTakeOverDone")) + u' '
                            + QString::number(r.taken),
                        AppState::appTitle(), MsgIcon::Information, MsgButtons::Ok, MsgResult::Ok);
}

void ReceivePluWindow::updateToPlu()
{
    const ScaleChoice choice = m_state.ui->chooseScales(-1, false);
    if (choice.cancelled || choice.addresses.isEmpty())
        return;
    const QString address = choice.addresses.first();
    const int rows = m_browser.receivedCount(address);
    if (rows < 0)
        return;
    if (rows == 0) {
        m_state.ui->message(GetLangString(m_state, QStringLiteral("Global"), QStringLiteral("msgNoReceivedPLUs"))
                                + u' ' + address,
                            AppState::appTitle(), MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
        return;
    }
    const int type = m_state.settings.SetImportType;
    if (!ConfirmImportType(m_state, type))
        return;
    if (!UpdateReceivedPLUsToPLU(m_state, address, type).ok)
        return;
    m_browser.redo();
    showPageBar();
    emit pluTableChanged();
}

void ReceivePluWindow::print()
{
    const FixedTool *tool = FindFixedTool(kPluPrintTool);
    const LaunchRequest request = tool ? FixedToolLaunch(m_state, *tool) : LaunchRequest{};
    DesktopLauncher launcher;
    if (request.kind != LaunchRequest::Kind::Nothing && RunLaunch(request, launcher))
        return;
    printRows();
}

// Without the PLU-print tool: the filtered rows, shown columns only, through
// the print dialog with its preview.
void ReceivePluWindow::printRows()
{
    QVector<int> columns;
    QString html = QStringLiteral("<h3>") + windowTitle().toHtmlEscaped() + QStringLiteral("</h3>");
    const QString filter = cboScale->currentText() + QStringLiteral(" / ") + cboMG->currentText();
    html += QStringLiteral("<p>") + filter.toHtmlEscaped() + QStringLiteral("</p><table border=1 cellspacing=0 cellpadding=2><tr>");
    QHeaderView *header = wndRCPLU->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int c = header->logicalIndex(visual);
        if (header->isSectionHidden(c))
            continue;
        columns << c;
        html += QStringLiteral("<th>") + wndRCPLU->horizontalHeaderItem(c)->text().toHtmlEscaped()
              + QStringLiteral("</th>");
    }
    html += QStringLiteral("</tr>");
    auto q = QueryKorvoDB(m_state, m_browser.filteredQuery());
    while (q && q->next()) {
        html += QStringLiteral("<tr>");
        for (const int c : std::as_const(columns))
            html += QStringLiteral("<td>") + q->value(c).toString().toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");

    QPrinter printer;
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&html](QPrinter *p) {
        QTextDocument doc;
        doc.setHtml(html);
        doc.print(p);
    });
    preview.exec();
}

} // namespace korvo
