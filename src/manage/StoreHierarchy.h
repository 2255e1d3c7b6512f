#pragma once
// The store hierarchy as the operator manages it: the store tree, renaming,
// deleting and moving its nodes, the main group of a new PLU, and the logic
// of the store, department and main-group property dialogs. No widgets: the
// tree pane and the dialogs in ui/ show what these functions decide.
//
// Invariants kept here:
// - every text typed by the user reaches SQL through SqlEscape, every number
//   typed by the user is parsed first and written from its value;
// - a write of several statements runs in one transaction: all or nothing;
// - every change of the hierarchy reloads the resolved main-group settings
//   and re-encodes the PLUs whose records depend on it, in the transaction
//   of the change (ReencodeAfterHierarchyChange);
// - department 97 and main group 997 are never deleted or renumbered;
// - a department or main group that changes its number takes its main
//   groups, section rows or PLUs along.

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

inline constexpr qint32 kProtectedDepartment = 97;
inline constexpr qint32 kProtectedMainGroup = 997;
// Main-group numbers travel in 16-bit fields of the scale record and the
// resolved settings table.
inline constexpr qint32 kMaxMainGroupNo = 32767;

// One node of the store tree. The kind doubles as the node's image index.
struct StoreNode {
    enum Kind { None = 0, Store = 1, Department = 2, MainGroup = 3 };
    Kind kind = None;
    qint32 number = 0; // the tag: ST_No, DP_No or MG_No
    QString key;       // "Root", "Dept" + DP_No, "MG" + MG_No
    QString text;      // the name; "" when null
    QVector<StoreNode> children;
};

// "Root", "Dept12", "MG103".
QString StoreNodeKey(StoreNode::Kind kind, qint32 number);
// Kind of a node from its key, upper-cased: "ROOT…" store, "DEPT…"
// department, "MG…" main group; anything else None.
StoreNode::Kind StoreNodeKindOfKey(const QString &key);

// The store (first row of STORE), its departments in the order the database
// returns them and, with UseMainGroup on, their main groups. A store without
// departments first gets department 1 named "DefaultDept" with main group 1
// named "DefaultMainGroup" (the first free numbers when 1 is taken
// elsewhere). No store row: root of kind None. False after a reported
// database failure; root then holds what could be read.
bool BuildStoreTree(AppState &state, StoreNode &root);

// Writes the new name of a store, department or main group node. A name of
// blanks is refused as the property dialogs refuse it (critical box with the
// dialog's key). False after a refusal or a reported failure.
bool RenameStoreNode(AppState &state, StoreNode::Kind kind, qint32 number, const QString &text);

// Names given to departments and main groups the program creates.
QString DefaultDepartmentName(AppState &state);
QString DefaultMainGroupName(AppState &state);

enum class DeleteOutcome {
    Deleted,   // rows gone
    Protected, // 97 / 997: the warning was shown, nothing changed
    Cancelled, // the operator did not confirm
    Failed,    // a statement failed (reported); everything as it was
};

// The delete commands: refuse the protected number with the exclamation box
// ("msgDelDFUDeptWarning" / "msgDelDFUMGWarning", titled with the
// application title), ask "msgDelDeptWarning" / "msgDelMGWarning" (OK and
// Cancel, Cancel preselected), then delete the PLUs, main groups and the
// department in one transaction. Main group 997, should it be in the
// department, goes back to department 97 with its PLUs instead.
DeleteOutcome DeleteDepartment(AppState &state, qint32 dpNo);
DeleteOutcome DeleteMainGroup(AppState &state, qint32 mgNo);

// What the pointer is over while a main group is dragged.
struct DropHover {
    StoreNode::Kind kind = StoreNode::None;
    qint32 number = 0;         // the hovered node's tag
    qint32 departmentNo = 0;   // for a hovered main group: its department
};

struct DropTarget {
    qint32 departmentNo = 0; // the department to highlight and drop into
    bool changes = false;    // a drop here moves the group
};

// A department under the pointer is the target; a main group under the
// pointer stands for its department; the store node or empty space fall back
// to the dragged group's own department, where a drop changes nothing.
DropTarget ResolveDropTarget(qint32 ownDepartmentNo, const DropHover &hover);

// "update mg set DP_No=…": moves main group mgNo into department dpNo.
// Main group 997 only goes to department 97; elsewhere it is refused with
// the exclamation box "msgMoveDFUMGWarning".
bool MoveMainGroup(AppState &state, qint32 mgNo, qint32 dpNo);

// The main group a new PLU goes into: the selected main group itself; for a
// selected department its first main group, creating one with the default
// name when it has none. nullopt for other nodes or after a reported
// failure.
std::optional<qint32> MainGroupForNewPlu(AppState &state, StoreNode::Kind kind, qint32 number);

// ---------------------------------------------------------------- dialogs

enum class PropertyTarget { Store, Department, MainGroup };

enum class PropertyField { None, Number, Name, Flag1, Flag2, BarcodeFlag, BarcodeFormat, LabelFormat };

// The dialog's values as shown: texts as typed, lists as item positions
// (-1 nothing selected).
struct PropertyValues {
    QString number;
    QString name;
    QString flag1;
    QString flag2;
    int barcodeFlag = -1;
    int barcodeFormat = -1;
    int labelFormat = -1;
};

// Which barcode controls a barcode-format choice shows.
struct FlagVisibility {
    bool flagLabel = false;   // the flag label
    bool flag1 = false;       // flag 1 box and its label
    bool flag2 = false;       // flag 2 box and its label
    bool barcodeFlag = false; // the barcode-flag list and its label
};

struct PropertyOutcome {
    enum Status { Saved, Invalid, Failed } status = Failed;
    PropertyField field = PropertyField::None; // Invalid: where the focus goes
    QString key;                               // Invalid: the message key shown
};

// The logic behind frmStoreProperty, frmDeptProperty and
// frmMainGroupProperty. The caller sets the interface members, calls load(),
// lets the operator edit values, and calls accept() on OK; the dialog closes
// when accept() says Saved.
class PropertyDialogModel {
public:
    PropertyDialogModel(AppState &state, PropertyTarget target);

    // Interface of the dialog.
    bool addMode = false;
    qint32 parentNo = 0;   // add: ST_No of a new department, DP_No of a new main group
    qint32 number = 0;     // edit: the row to edit; after Saved: its number now
    bool cancelled = true; // false only after Saved

    PropertyTarget target() const { return m_target; }
    // "frmStoreProperty", "frmDeptProperty" or "frmMainGroupProperty".
    QString owner() const;

    // Fills the three item lists and the values (add: first free number,
    // default name, flags "0", first items; edit: the row). Sets cancelled.
    void load();

    const QStringList &barcodeFlagItems() const { return m_barcodeFlagItems; }
    const QStringList &barcodeFormatItems() const { return m_barcodeFormatItems; }
    const QStringList &labelFormatItems() const { return m_labelFormatItems; }

    PropertyValues values;       // after load(): what the dialog shows first
    bool numberEnabled = true;   // false for the protected 97 / 997 and the store
    bool rowFound = true;        // edit: false when the row was missing

    // Visibility of the barcode controls for the item at this position of
    // barcodeFormatItems(): all hidden for a format with BAR_Code -1 (or no
    // format); otherwise the flag label and the barcode-flag list shown,
    // flag 1 when FlagStat starts with "1", flag 2 when it ends with "1".
    FlagVisibility flagVisibility(int barcodeFormat) const;

    // The checks of OK in their order, without a message: the first failing
    // field and its key, or nullopt.
    std::optional<PropertyOutcome> validate(const PropertyValues &v) const;

    // OK: validate, test the number for existence, save in one transaction,
    // rebuild the resolved main-group settings and re-encode what they
    // change (also for the store).
    // Invalid shows the critical message box of its key.
    PropertyOutcome accept(const PropertyValues &v);

private:
    std::optional<bool> exists(qint32 no); // nullopt after a reported failure
    bool save(const PropertyValues &v, qint32 newNo);
    QString listValueSql(const QStringList &items, int index) const;

    AppState &m_state;
    PropertyTarget m_target;
    QStringList m_barcodeFlagItems;
    QStringList m_barcodeFormatItems;
    QStringList m_labelFormatItems;
};

// Whole number > 0 and <= max typed by the user, or nullopt ("abc", "0",
// "1.5", "", "-3").
std::optional<qint32> ParsePositiveNumber(const QString &text, qint32 max = 2147483647);

// A flag code: exactly one character, a figure 0 to 9.
bool IsValidFlagCode(const QString &text);

// Items of the label-format lists ("LBF_Code: LBF_Name" by code) and of the
// barcode-format lists (position in state.enc.barcodeList " : " BAR_Type
// " : " Descriptions), shared by the property dialogs and the PLU editor.
QStringList LabelFormatItems(AppState &state);
QStringList BarcodeFormatItems(const AppState &state);

// Runs statements in one transaction, with progress between them when a
// caption is given. With hierarchyChanges the resolved main-group settings
// are reloaded and the records of the PLUs they touch re-encoded in the same
// transaction. False after a reported failure (source as given); nothing of
// them stays then.
bool RunInTransaction(AppState &state, const QString &source, const QString &caption,
                      const QStringList &statements, bool hierarchyChanges = true);

} // namespace korvo
