#include "ui/AboutDialog.h"

#include "core/AppState.h"
#include "ui/FormTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvo {

AboutDialog::AboutDialog(AppState &state, QWidget *parent) : QDialog(parent), m_info(CollectAboutInfo(state))
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    auto *main = new QVBoxLayout(this);

    auto *title = new QLabel(AppState::appTitle(), this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    title->setFont(big);
    main->addWidget(title);
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    main->addWidget(lblVersion);

    const std::pair<const char *, const QVector<AboutLine> *> groups[] = {
        {"fraLibraries", &m_info.libraries}, {"fraData", &m_info.data}, {"fraSystem", &m_info.system}};
    for (const auto &[name, lines] : groups) {
        auto *box = new QGroupBox(this);
        box->setObjectName(QLatin1String(name));
        auto *form = new QFormLayout(box);
        for (const AboutLine &l : *lines) {
            auto *value = new QLabel(l.value, box);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(l.label + QLatin1Char(':'), value);
        }
        main->addWidget(box);
    }

    cmdCopy = new QPushButton(this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setAutoDefault(false);
    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    main->addLayout(buttons);

    SetFormLangString(state, this);
    setWindowTitle(m_info.caption);
    lblVersion->setText(m_info.versionLine);
    connect(cmdCopy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(AboutText(m_info)); });
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace korvo
