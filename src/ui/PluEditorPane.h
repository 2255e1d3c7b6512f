#pragma once
// The PLU editor pane: the tab control picPLUEditor over the five field
// groups, and the buttons New, Save, Delete and Upload. The fields and their
// behaviour slot into the groups.

#include <QWidget>

class QGroupBox;
class QPushButton;
class QTabWidget;

namespace korvo {

// The letter after the last single "&" of a caption ("&&" is a literal
// ampersand), upper-cased; a null QChar when there is none.
QChar TabMnemonic(const QString &caption);

class PluEditorPane : public QWidget {
    Q_OBJECT
public:
    explicit PluEditorPane(QWidget *parent = nullptr);

    void setTabCaptions(const QString &item, const QString &label, const QString &discount);

    // Ctrl+Tab / Ctrl+Shift+Tab: the next or previous tab, wrapping around.
    void nextTab();
    void previousTab();
    // Alt+letter: selects the tab whose mnemonic is the letter; false if none.
    bool selectTabByMnemonic(QChar letter);
    // The tab whose mnemonic is the letter, or -1.
    int findTabByMnemonic(QChar letter) const;

    // Initial state: every field group and button disabled.
    void setIdle();

    QTabWidget *picPLUEditor = nullptr;
    QGroupBox *fraItemPage = nullptr;
    QGroupBox *fraLabelPage = nullptr;
    QGroupBox *fraImageTextPage = nullptr;
    QGroupBox *fraOtherPage = nullptr;
    QGroupBox *fraDiscountPage = nullptr;
    QPushButton *cmdNewPLU = nullptr;
    QPushButton *cmdSavePLU = nullptr;
    QPushButton *cmdDeletePLU = nullptr;
    QPushButton *cmdUploadPLU = nullptr;
};

} // namespace korvo
