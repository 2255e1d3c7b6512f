#pragma once
// The rules of the PLU editor pane that need no widget: the boxes and their
// limits, the item lists, the second label-format list, the barcode fields
// composing and splitting PLU_EANData, first-line editing of the long texts,
// the exchange text of the text editor and the editor states. The pane in
// ui/ maps them onto its controls.

#include "core/Records.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

// ---------------------------------------------------------------- boxes

enum class BoxKind {
    Integer, // figures only, at most `places` of them
    Price,   // six figures, "." and two figures
    Time,    // "HH:MM" shown, "HH:MM:SS" gathered
    Text,
};

// One text box of the value row.
struct EditorBox {
    const char *name; // the control's objectName
    int field;        // value-row index
    BoxKind kind;
    int places;       // Integer: most figures (0: the item-code length)
    // Gathered from an empty box: "0" for the numeric boxes, "" (null) for
    // the boxes whose text is taken as it stands.
    bool emptyIsZero;
    const char *cleared; // shown after clearing; nullptr: left as it is
};

const QVector<EditorBox> &EditorBoxes();

// A stored value as a box shows it: prices with two decimals (more when
// stored so), times "HH:MM", everything else as stored.
QString BoxShownText(BoxKind kind, const QString &stored);
// A box's text as the value row takes it: numbers without leading zeros and
// with "." as decimal separator, times "HH:MM:SS"; nullopt when the text is
// no value of the box (the save refuses it with the focus on the box).
std::optional<QString> BoxGatheredText(const EditorBox &box, const QString &text);

// ---------------------------------------------------------------- lists

// "MG_No: MG_Name" by number.
QStringList MainGroupItems(AppState &state);
// "Null: No Print", then the label formats whose code is 17 or more.
QStringList SecondLabelFormatItems(AppState &state);
// The lines of a language text of the editor ("QuantitySymbolComboBox", ...).
QStringList LanguageListItems(AppState &state, const QString &key);

// Position of the first item whose leading number is value, -1 when none.
int ItemIndexOfValue(const QStringList &items, qint32 value);

// The second label-format list shows a stored value v of 1 or more as the
// label format v + 16 and 0 as its first item; it saves a chosen code of 17
// or more as code - 16 and anything else as 0.
qint32 SecondLabelListValue(qint32 stored);
qint32 SecondLabelStoredValue(qint32 listValue);

// ---------------------------------------------------------------- barcode

// Which flag boxes and the add-on box a barcode format offers.
struct BarcodeBoxes {
    bool flag1Visible = false, flag1Enabled = false;
    bool flag2Visible = false, flag2Enabled = false;
    bool addOnEnabled = false;
};
// A flag box is visible unless its FlagStat character is "9" and enabled
// when it is "1"; the add-on box only for EAN formats of 13 places.
BarcodeBoxes BarcodeBoxesOf(const BarcodeListEntry &format);

// PLU_EANData: flag 1 and flag 2 (where the format has them; "0" for a
// fixed zero or an empty box), the item code padded with "0" on the left to
// the item-code length, "0" up to 12 characters, then "9" for ITF, "8" for
// EAN with the add-on, "0" without it, then the barcode flag.
QString ComposeEanData(const BarcodeListEntry &format, const QString &flag1, const QString &flag2,
                       const QString &itemCode, bool addOn, qint32 barFlag);

// Stored EAN data taken apart for the editor.
struct EanParts {
    QString type = QStringLiteral("EAN"); // from the 13th character: "9" ITF, else EAN
    bool addOn = false;                   // 13th character "8"
    std::optional<qint32> barFlag;        // the 14th character
    int format = -1;                      // barcode-list row of PLU_BarFormat and type
    QString flag1, flag2;                 // from the body, where the format has them
};
EanParts SplitEanData(const QVector<BarcodeListEntry> &list, qint32 barFormat, const QString &ean);

// ---------------------------------------------------------------- long texts

// The text up to the first carriage return.
QString FirstLine(const QString &text);

// The operator typed box into the first line of a long text: an empty text
// becomes the box text and gets the default font when it has none; a
// one-line text is replaced; otherwise only its first line is. A text that
// becomes empty loses its fonts too.
void TypeFirstLine(QString &text, QString &fonts, const QString &box, qint32 defaultFont);

// The exchange text of the text editor: lines, CR LF, fonts.
QString ExchangeText(const QString &text, const QString &fonts);
// Takes the text editor's answer apart; the empty answer (every line
// deleted) empties both columns.
void ApplyExchangeText(QString &text, QString &fonts, const QString &answer);

// ---------------------------------------------------------------- states

struct EditorButtons {
    bool newPlu = false, save = false, upload = false, remove = false;
    bool startNew = false; // "NEW" runs the New command
};
// The buttons of a state name, compared without regard to case: "NEW",
// "SAVE-SUCCESS", "EDIT", and any other ("SAVE") with only New. A refused
// or failed save changes no state: what the operator typed stays.
EditorButtons EditorStateButtons(const QString &stateName);

// The resolved settings of a main group, nullptr when it has none.
const MGSettings *MainGroupSettings(const AppState &state, qint32 mgNo);

} // namespace korvo
