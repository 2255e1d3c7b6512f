#pragma once
// fraPage: the page bar of the PLU list.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class PagePane : public QWidget {
    Q_OBJECT
public:
    explicit PagePane(QWidget *parent = nullptr);

    // Shows page and count; Previous/Next follow them.
    void showPage(qint32 page, qint32 pageCount);

    QPushButton *cmdFirstPage = nullptr;
    QPushButton *cmdPrevious = nullptr;
    QLabel *lblPageNo = nullptr;
    QLineEdit *txtPageNo = nullptr;
    QLabel *lblPageCount = nullptr;
    QLineEdit *txtPageCount = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdLastPage = nullptr;
};

} // namespace korvo
