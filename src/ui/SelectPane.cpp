#include "ui/SelectPane.h"

#include "ui/PluListWidget.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvo {

SelectPane::SelectPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picFrameSelect"));
    wndSelectedPLU = new PluListWidget(this);
    wndSelectedPLU->setObjectName(QStringLiteral("wndSelectedPLU"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(wndSelectedPLU, 1);
    auto *buttons = new QVBoxLayout;
    auto make = [&](const char *name) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    cmdSelectAdd = make("cmdSelectAdd");
    cmdSelectRemove = make("cmdSelectRemove");
    cmdSelectRemoveAll = make("cmdSelectRemoveAll");
    buttons->addSpacing(8);
    cmdSelectSendByDept = make("cmdSelectSendByDept");
    cmdSelectSendByScale = make("cmdSelectSendByScale");
    cmdSelectDelByScale = make("cmdSelectDelByScale");
    buttons->addStretch(1);
    row->addLayout(buttons);
}

} // namespace korvo
