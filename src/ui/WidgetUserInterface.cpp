#include "ui/WidgetUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>

namespace korvo {

QString QtFileFilter(const QString &pipeFilter)
{
    if (!pipeFilter.contains(QLatin1Char('|')))
        return pipeFilter;
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The description usually names its patterns already.
        if (desc.contains(QLatin1Char('(')))
            out << desc;
        else
            out << desc + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QLatin1String(";;"));
}

WidgetUserInterface::WidgetUserInterface() = default;

WidgetUserInterface::~WidgetUserInterface()
{
    delete m_progress.data();
}

namespace {

QMessageBox::StandardButton ToStandard(MsgResult r)
{
    switch (r) {
    case MsgResult::Ok: return QMessageBox::Ok;
    case MsgResult::Cancel: return QMessageBox::Cancel;
    case MsgResult::Yes: return QMessageBox::Yes;
    case MsgResult::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

} // namespace

MsgResult WidgetUserInterface::message(const QString &text, const QString &title, MsgIcon icon,
                                       MsgButtons buttons, MsgResult defaultButton)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    QMessageBox::StandardButtons set;
    MsgResult escape = MsgResult::Ok;
    switch (buttons) {
    case MsgButtons::Ok: set = QMessageBox::Ok; escape = MsgResult::Ok; break;
    case MsgButtons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; escape = MsgResult::Cancel; break;
    case MsgButtons::YesNo: set = QMessageBox::Yes | QMessageBox::No; escape = MsgResult::No; break;
    }
    box.setStandardButtons(set);
    if (set & ToStandard(defaultButton))
        box.setDefaultButton(ToStandard(defaultButton));
    box.setEscapeButton(ToStandard(escape));
    switch (box.exec()) {
    case QMessageBox::Ok: return MsgResult::Ok;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return escape;
    }
}

void WidgetUserInterface::processEvents()
{
    QCoreApplication::processEvents();
}

void WidgetUserInterface::progressBegin(const QString &caption, int maximum)
{
    progressEnd();
    auto *dlg = new QProgressDialog(QApplication::activeWindow());
    dlg->setWindowTitle(caption);
    dlg->setLabelText(caption);
    dlg->setWindowModality(Qt::WindowModal);
    dlg->setCancelButton(nullptr); // the long runs cannot be interrupted half way
    dlg->setMinimumDuration(0);
    dlg->setAutoClose(false);
    dlg->setAutoReset(false);
    dlg->setRange(0, maximum > 0 ? maximum : 0);
    dlg->setValue(0);
    dlg->show();
    m_progress = dlg;
    QCoreApplication::processEvents();
}

void WidgetUserInterface::progressStep(int value, const QString &text)
{
    if (!m_progress)
        return;
    if (!text.isEmpty())
        m_progress->setLabelText(text);
    if (m_progress->maximum() > 0)
        m_progress->setValue(qMin(value, m_progress->maximum()));
    QCoreApplication::processEvents();
}

void WidgetUserInterface::progressEnd()
{
    if (m_progress) {
        m_progress->close();
        m_progress->deleteLater();
    }
    m_progress = nullptr;
}

QString WidgetUserInterface::openFileName(const QString &title, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, QString(),
                                        QtFileFilter(filter));
}

QString WidgetUserInterface::chooseFolder(const QString &title)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title);
}

} // namespace korvo
