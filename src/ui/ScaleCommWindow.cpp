#include "ui/ScaleCommWindow.h"

#include "core/AppState.h"
#include "i18n/Language.h"
#include "ui/FormTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmScaleComm");

const char *methodKey(CommMethod m)
{
    switch (m) {
    case CommMethod::WriteDept: return "msgWriteDept";
    case CommMethod::WriteMg: return "msgWriteMg";
    case CommMethod::WritePlu: return "msgWritePlu";
    case CommMethod::WritePluByDept: return "msgWritePluByDept";
    case CommMethod::WriteAllPlu: return "msgWriteAllPlu";
    case CommMethod::DeletePlu: return "msgDeletePlu";
    case CommMethod::DeleteAllPlu: return "msgDeleteAllPlu";
    case CommMethod::ReadPlu: return "msgReadPlu";
    case CommMethod::Sync: return "msgSync";
    }
    return "";
}

const char *stateKey(const ScaleResult &r)
{
    switch (r.state) {
    case ScaleResult::State::Waiting: return "stWaiting";
    case ScaleResult::State::Running: return "stRunning";
    case ScaleResult::State::Done: return r.skipped.isEmpty() ? "stDone" : "stIncomplete";
    case ScaleResult::State::Failed: return "stFailed";
    case ScaleResult::State::Cancelled: return "stCancelled";
    }
    return "";
}

} // namespace

ScaleCommWindow::ScaleCommWindow(AppState &state, ScaleComm *comm, QWidget *parent)
    : QDialog(parent), m_state(state), m_comm(comm)
{
    setObjectName(kOwner);
    setModal(false);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lstScales = new QTableWidget(0, ColumnCount, this);
    lstScales->setObjectName(QStringLiteral("lstScales"));
    lstScales->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstScales->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstScales->verticalHeader()->hide();
    lstScales->horizontalHeader()->setStretchLastSection(true);
    lblFailures = new QLabel(this);
    lblFailures->setObjectName(QStringLiteral("lblFailures"));
    txtFailures = new QPlainTextEdit(this);
    txtFailures->setObjectName(QStringLiteral("txtFailures"));
    txtFailures->setReadOnly(true);
    txtFailures->setMaximumBlockCount(2000);
    cmdCancel = new QPushButton(this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdClose = new QPushButton(this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdClose);
    auto *main = new QVBoxLayout(this);
    main->addWidget(lblStatus);
    main->addWidget(lstScales, 3);
    main->addWidget(lblFailures);
    main->addWidget(txtFailures, 1);
    main->addLayout(buttons);
    resize(760, 420);

    SetFormLangString(state, this);
    const char *headers[ColumnCount] = {"colAddress", "colScale", "colState", "colProgress", "colWritten",
                                        "colDeleted", "colRead", "colTime", "colReason"};
    QStringList labels;
    for (const char *h : headers)
        labels << text(h);
    lstScales->setHorizontalHeaderLabels(labels);
    cmdCancel->setEnabled(false);

    connect(cmdCancel, &QPushButton::clicked, m_comm, &ScaleComm::cancel);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(m_comm, &ScaleComm::callStarted, this, &ScaleCommWindow::started);
    connect(m_comm, &ScaleComm::scaleProgress, this, &ScaleCommWindow::progress);
    connect(m_comm, &ScaleComm::scaleFinished, this, &ScaleCommWindow::scaleFinished);
    connect(m_comm, &ScaleComm::callFinished, this, &ScaleCommWindow::finished);
    // Closing forgets the failures shown; a running call goes on.
    connect(this, &QDialog::finished, txtFailures, &QPlainTextEdit::clear);
}

QString ScaleCommWindow::text(const char *key) const
{
    return GetLangString(m_state, kOwner, QLatin1String(key));
}

void ScaleCommWindow::setCell(int row, int column, const QString &value)
{
    QTableWidgetItem *item = lstScales->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        lstScales->setItem(row, column, item);
    }
    item->setText(value);
}

void ScaleCommWindow::started(CommMethod method, const QStringList &addresses, bool showProgress)
{
    m_method = method;
    m_done = 0;
    m_failed = 0;
    m_running = true;
    lstScales->setRowCount(int(addresses.size()));
    for (int i = 0; i < addresses.size(); ++i) {
        ScaleResult r;
        r.address = addresses.at(i);
        showResult(i, r);
    }
    cmdCancel->setEnabled(true);
    updateStatus();
    if (showProgress) {
        show();
        raise();
    }
}

void ScaleCommWindow::progress(int index, const QString &step, int done, int total)
{
    if (index < 0 || index >= lstScales->rowCount())
        return;
    setCell(index, ColState, text("stRunning"));
    setCell(index, ColProgress, total > 0 ? QStringLiteral("%1 / %2 (%3)").arg(done).arg(total).arg(step) : step);
}

void ScaleCommWindow::showResult(int row, const ScaleResult &r)
{
    setCell(row, ColAddress, r.address);
    setCell(row, ColScale, r.scaleNo ? QString::number(r.scaleNo) : QString());
    setCell(row, ColState, text(stateKey(r)));
    if (r.state == ScaleResult::State::Waiting || !lstScales->item(row, ColProgress))
        setCell(row, ColProgress, QString());
    const bool ended = r.state != ScaleResult::State::Waiting && r.state != ScaleResult::State::Running;
    setCell(row, ColWritten, ended ? QString::number(r.written) : QString());
    setCell(row, ColDeleted, ended ? QString::number(r.deleted) : QString());
    setCell(row, ColRead, ended ? QString::number(r.read) : QString());
    setCell(row, ColTime, ended ? QString::number(r.ms / 1000.0, 'f', 2) : QString());
    QStringList reason;
    if (!r.failure.isEmpty())
        reason << r.failure;
    reason += r.skipped;
    setCell(row, ColReason, reason.join(QStringLiteral("; ")));
    const bool bad = ended && !r.complete();
    for (int c = 0; c < ColumnCount; ++c)
        lstScales->item(row, c)->setForeground(bad ? QColor(0xB0, 0x00, 0x00) : palette().color(QPalette::Text));
}

void ScaleCommWindow::scaleFinished(int index, const ScaleResult &result)
{
    if (index < 0 || index >= lstScales->rowCount())
        return;
    ++m_done;
    if (!result.complete())
        ++m_failed;
    showResult(index, result);
    updateStatus();
}

void ScaleCommWindow::updateStatus()
{
    const QString status = (m_running ? text("msgRunning") : text("msgFinished"))
                               .arg(text(methodKey(m_method)))
                               .arg(m_done)
                               .arg(lstScales->rowCount())
                               .arg(m_failed);
    lblStatus->setText(status);
}

void ScaleCommWindow::finished(const CommCallResult &result, bool showProgress)
{
    m_running = false;
    cmdCancel->setEnabled(false);
    for (int i = 0; i < result.scales.size() && i < lstScales->rowCount(); ++i)
        showResult(i, result.scales.at(i));
    updateStatus();
    QStringList failed = result.problems;
    for (const ScaleResult &s : result.scales)
        if (!s.complete())
            failed << s.summary();
    for (const QString &line : std::as_const(failed))
        txtFailures->appendPlainText(text(methodKey(result.method)) + QStringLiteral(": ") + line);
    if (showProgress || !failed.isEmpty()) {
        show();
        raise();
    }
}

} // namespace korvo
