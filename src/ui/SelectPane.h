#pragma once
// picFrameSelect: the PLUs collected for sending, with their six buttons.
// A pane at least 3000 by 1700 twips (200 by 113 pixels) shows the list
// above one row of buttons: Add, Remove and Remove all from the left, Send
// by scale, Send by department and Delete by scale from the right, 200
// twips apart; a smaller pane leaves the controls where they were.

#include <QWidget>

class QPushButton;

namespace korvo {

class PluListWidget;

class SelectPane : public QWidget {
    Q_OBJECT
public:
    explicit SelectPane(QWidget *parent = nullptr);

    // Appends the rows (76 items each) whose PLU number is not listed yet;
    // the list takes the focus and shows its last row.
    void addRows(const QVector<QStringList> &rows);
    void removeSelected();
    void removeAll();
    // Item 0 of every row, in list order.
    QVector<qint32> pluNumbers() const;

    static constexpr int kMinWidth = 200, kMinHeight = 113, kGap = 13;

    PluListWidget *wndSelectedPLU = nullptr;
    QPushButton *cmdSelectAdd = nullptr;
    QPushButton *cmdSelectRemove = nullptr;
    QPushButton *cmdSelectRemoveAll = nullptr;
    QPushButton *cmdSelectSendByDept = nullptr;
    QPushButton *cmdSelectSendByScale = nullptr;
    QPushButton *cmdSelectDelByScale = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void arrange(int width, int height);
};

} // namespace korvo
