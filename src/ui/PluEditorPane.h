#pragma once
// The PLU editor pane: the tab control picPLUEditor with the pages Item,
// Label and Discount over the five field groups, and the buttons New, Save,
// Delete and Upload. It keeps the PLU as a value row (a PluRecord), shows
// it in its controls and gathers it back for the save; the rules live in
// manage/PluEditorLogic and manage/PluRecord.

#include "manage/PluRecord.h"

#include <QHash>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRegularExpressionValidator;
class QTabWidget;

namespace korvo {

class AppState;
struct EditorBox;

// The letter after the last single "&" of a caption ("&&" is a literal
// ampersand), upper-cased; a null QChar when there is none.
QChar TabMnemonic(const QString &caption);

class PluEditorPane : public QWidget {
    Q_OBJECT
public:
    explicit PluEditorPane(AppState &state, QWidget *parent = nullptr);

    void setTabCaptions(const QString &item, const QString &label, const QString &discount);

    // Ctrl+Tab / Ctrl+Shift+Tab: the next or previous tab, wrapping around.
    void nextTab();
    void previousTab();
    // Alt+letter: selects the tab whose mnemonic is the letter; false if none.
    bool selectTabByMnemonic(QChar letter);
    // The tab whose mnemonic is the letter, or -1.
    int findTabByMnemonic(QChar letter) const;

    // The state after the main window's load: cleared, disabled, only New.
    void setIdle();

    // ClearPLUEditor: every control emptied and preset, the lists filled
    // again, the current main group's label and barcode settings applied.
    void clearEditor();
    // LoadPLUToEditor: false (editor cleared and disabled) when the PLU does
    // not exist.
    bool loadPlu(qint32 pluNo);
    // The road of a search hit or a picked row: clear, enable, load, "EDIT".
    void editPlu(qint32 pluNo);
    // PLUEditorEnabled: the field groups and the text Edit buttons.
    void setEditorEnabled(bool enabled);
    // PLUEditorCmdEnabled: "NEW", "SAVE-SUCCESS", "EDIT", other ("SAVE").
    void setEditorState(const QString &stateName);

    // The New command: an empty PLU in the current main group.
    void newPlu();
    // The Save button; true when the PLU was saved.
    bool savePlu();
    // The Delete button.
    void deletePlu();

    qint32 currentMainGroup() const { return m_currentMainGroup; }
    void setCurrentMainGroup(qint32 mgNo) { m_currentMainGroup = mgNo; }
    qint32 currentPluNo() const { return m_currentPluNo; }
    // The value row as shown, and as the controls give it back (nullopt with
    // *bad set when a box holds no value of its kind).
    const PluRecord &record() const { return m_record; }
    std::optional<PluRecord> gather(QWidget **bad = nullptr) const;

    // A named control of the pane (objectName), for the main window and tests.
    template <typename T>
    T *control(const char *name) const { return findChild<T *>(QLatin1String(name)); }

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

signals:
    // A PLU was saved: the list is refreshed.
    void saved(qint32 pluNo);
    // PLUs were deleted: the list query runs again.
    void deleted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct LongText {
        QLineEdit *box;
        QPushButton *edit;
        int textField, fontField;
    };

    void buildItemPage(QWidget *page);
    void buildLabelPage(QWidget *page);
    void buildDiscountPage(QWidget *page);
    QLineEdit *makeBox(const EditorBox &box, QWidget *parent);
    QLineEdit *tableBox(const char *name, QWidget *parent); // a box of EditorBoxes()
    QLineEdit *makeLineEdit(const char *name, QWidget *parent);
    QComboBox *makeCombo(const char *name, QWidget *parent);
    QCheckBox *makeCheck(const char *name, QWidget *parent);
    QLabel *makeLabel(const char *name, QWidget *buddy, QWidget *parent);

    void fillLists();
    // A list set to a value: the first item with that leading number, or no
    // selection, with the value kept to be gathered again unchanged.
    void setListValue(QComboBox *list, const QString &value, qint32 shownValue);
    void setListValue(QComboBox *list, const QString &value);
    QString listValue(QComboBox *list) const;

    void showRecord();
    void applyMainGroupBarcode();
    void showBarcodeFormat(int row);
    void setItemCodeLength(int length);
    void applyWeighed();
    void applyUseDiscount();
    void typeLongText(const LongText &t);
    void editLongText(const LongText &t);
    void refuse(QWidget *field, const QString &key, const QString &detail = {});
    void focusField(QWidget *field);
    QWidget *fieldWidget(const QString &column) const;
    void setButtons(bool newPlu, bool save, bool upload, bool remove);

    AppState &m_state;
    PluRecord m_record;
    qint32 m_currentPluNo = 0;
    qint32 m_currentMainGroup = 0;
    int m_itemCodeLength = 0;
    QRegularExpressionValidator *m_itemCodePattern = nullptr;

    QHash<QString, QLineEdit *> m_boxes;     // the value-row boxes by name
    QHash<QComboBox *, QString> m_unmatched; // lists whose value matched no item
    QVector<LongText> m_longTexts;
    QVector<QLineEdit *> m_discountBoxes;    // the eight discount boxes in column order

    QComboBox *combMGlist = nullptr;
    QComboBox *cboQuantitySymbol = nullptr;
    QComboBox *cbo2ndQuantitySymbol = nullptr;
    QComboBox *cboTraceability = nullptr;
    QComboBox *cbo1stLabelFormat = nullptr;
    QComboBox *cbo2ndLabelFormat = nullptr;
    QComboBox *cboBarcodeFormat = nullptr;
    QComboBox *cboBarcodeFlag = nullptr;
    QComboBox *cboDiscountType = nullptr;
    QComboBox *cboMarkdownType = nullptr;
    QLineEdit *txtFlagCode1 = nullptr;
    QLineEdit *txtFlagCode2 = nullptr;
    QLabel *lblFlagCode1 = nullptr;
    QLabel *lblFlagCode2 = nullptr;
    QCheckBox *chkBarcodeAddOn = nullptr;
    QCheckBox *chkWeighed = nullptr;
    QCheckBox *chkPriceBase = nullptr;
    QCheckBox *chkSBDatePrint = nullptr;
    QCheckBox *chkSBTimePrint = nullptr;
    QCheckBox *chkRTCSBTimePrint = nullptr;
    QCheckBox *chkUBDatePrint = nullptr;
    QCheckBox *chkPackDatePrint = nullptr;
    QCheckBox *chkPackTimePrint = nullptr;
    QCheckBox *chkRTCPackTimePrint = nullptr;
    QCheckBox *chkUseDiscount = nullptr;
    QList<QWidget *> m_tareWidgets, m_quantityWidgets;
    QPushButton *cmdPlaceNoEdit = nullptr;
    QPushButton *cmdPlaceNoSelect = nullptr;
};

} // namespace korvo
