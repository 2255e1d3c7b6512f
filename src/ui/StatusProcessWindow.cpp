#include "ui/StatusProcessWindow.h"

#include "ui/FormTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace korvo {

StatusProcessWindow::StatusProcessWindow(AppState *state, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmStatusprocess"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(236, 242, 250));
    setPalette(pal);

    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setWordWrap(true);
    lblCaption->setMinimumWidth(420);
    prgStatus = new QProgressBar(this);
    prgStatus->setObjectName(QStringLiteral("prgStatus"));
    prgStatus->setTextVisible(false);
    lblPercent = new QLabel(this);
    lblPercent->setObjectName(QStringLiteral("lblPercent"));
    lblPercent->setMinimumWidth(40);
    cmdClose = new QPushButton(this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(prgStatus, 1);
    bar->addWidget(lblPercent);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *box = new QVBoxLayout(this);
    box->addWidget(lblCaption);
    box->addLayout(bar);
    box->addLayout(buttons);

    if (state)
        SetFormLangString(*state, this);
    m_closer = new QTimer(this);
    m_closer->setSingleShot(true);
    connect(m_closer, &QTimer::timeout, this, &QDialog::close);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    cmdClose->hide();
}

void StatusProcessWindow::begin(const QString &caption, int maximum)
{
    m_closer->stop();
    cmdClose->hide();
    prgStatus->show();
    lblPercent->show();
    prgStatus->setRange(0, maximum > 0 ? maximum : 0);
    prgStatus->setValue(0);
    lblPercent->setText(maximum > 0 ? QStringLiteral("0%") : QString());
    lblCaption->setText(caption);
    if (!isVisible()) {
        // Nothing else may change the data while the work runs.
        setWindowModality(Qt::ApplicationModal);
        show();
    }
}

void StatusProcessWindow::step(int value, const QString &caption)
{
    if (!caption.isEmpty())
        lblCaption->setText(caption);
    const int max = prgStatus->maximum();
    if (max <= 0)
        return;
    value = qBound(0, value, max);
    prgStatus->setValue(value);
    lblPercent->setText(QString::number(qRound(100.0 * value / max)) + u'%');
}

void StatusProcessWindow::finish(const QString &text)
{
    lblCaption->setText(text);
    prgStatus->hide();
    lblPercent->hide();
    cmdClose->show();
    cmdClose->setDefault(true);
    // The finished window holds nobody up.
    hide();
    setWindowModality(Qt::NonModal);
    show();
    m_closer->start(kFinishedMs);
}

} // namespace korvo
