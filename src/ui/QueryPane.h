#pragma once
// fraQuery: the four searches of the PLU list.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class QueryPane : public QWidget {
    Q_OBJECT
public:
    explicit QueryPane(QWidget *parent = nullptr);

    QLabel *lblQueryByPLUNo = nullptr;
    QLineEdit *txtQueryByPLUNo = nullptr;
    QPushButton *cmdQuerybyPLUNo = nullptr;
    QLabel *lblQueryByItemCode = nullptr;
    QLineEdit *txtQueryByItemCode = nullptr;
    QPushButton *cmdQueryByItemCode = nullptr;
    QLabel *lblQueryByEANData = nullptr;
    QLineEdit *txtQueryByEANData = nullptr;
    QPushButton *cmdQueryByEANData = nullptr;
    QLabel *lblQueryByPLUName = nullptr;
    QLineEdit *txtQueryByPLUName = nullptr;
    QPushButton *cmdQueryByName = nullptr;
};

} // namespace korvo
