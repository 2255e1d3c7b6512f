#include "ui/WidgetUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/ScaleSelectDialog.h"
#include "ui/StatusProcessWindow.h"

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

StatusProcessWindow *WidgetUserInterface::progressWindow()
{
    if (!m_progress)
        m_progress = new StatusProcessWindow(m_state, QApplication::activeWindow());
    return m_progress;
}

void WidgetUserInterface::progressBegin(const QString &caption, int maximum)
{
    progressWindow()->begin(caption, maximum);
    QCoreApplication::processEvents();
}

void WidgetUserInterface::progressStep(int value, const QString &text)
{
    if (!m_progress)
        return;
    m_progress->step(value, text);
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

void WidgetUserInterface::progressFinish(const QString &text)
{
    StatusProcessWindow *w = progressWindow();
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->finish(text);
    // The finished window lives on its own; the next work gets a new one.
    m_progress = nullptr;
}

QString WidgetUserInterface::openFileName(const QString &title, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, QString(),
                                        QtFileFilter(filter));
}

QString WidgetUserInterface::saveFileName(const QString &title, const QString &filter,
                                          const QString &proposed)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, proposed, QtFileFilter(filter));
}

ScaleChoice WidgetUserInterface::chooseScales(int deptId, bool multiSelect)
{
    if (!m_state)
        return {};
    ScaleSelectDialog dialog(*m_state, deptId, multiSelect, QApplication::activeWindow());
    dialog.Show();
    return dialog.choice();
}

QString WidgetUserInterface::chooseFolder(const QString &title)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title);
}

} // namespace korvo
