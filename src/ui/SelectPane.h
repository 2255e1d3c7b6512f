#pragma once
// picFrameSelect: the PLUs collected for sending, with their six buttons.

#include <QWidget>

class QPushButton;

namespace korvo {

class PluListWidget;

class SelectPane : public QWidget {
    Q_OBJECT
public:
    explicit SelectPane(QWidget *parent = nullptr);

    PluListWidget *wndSelectedPLU = nullptr;
    QPushButton *cmdSelectAdd = nullptr;
    QPushButton *cmdSelectRemove = nullptr;
    QPushButton *cmdSelectRemoveAll = nullptr;
    QPushButton *cmdSelectSendByDept = nullptr;
    QPushButton *cmdSelectSendByScale = nullptr;
    QPushButton *cmdSelectDelByScale = nullptr;
};

} // namespace korvo
