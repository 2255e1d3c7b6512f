#pragma once
// The commands that hand scale lists to the scale communication component:
// the selection pane's sends and deletes, the editor's Upload and the four
// whole-scale commands (send by department, send by scale, delete all,
// synchronise). Each decides which scales to address, builds the list,
// writes its log line and makes its calls; the component reads the encoded
// records from the database and shows its own progress and report.
//
// Every function returns the scale list it handed over ("" when it made no
// call), for korvoctl-style callers and tests.

#include <QString>
#include <QVector>

namespace korvo {

class AppState;

// The store tree node a whole-scale command acts on.
struct NodeContext {
    enum class Kind { None, Store, Department, MainGroup };
    Kind kind = Kind::None;
    qint32 dept = 0; // the department, or the main group's department
    qint32 mg = 0;   // the main group
};

// A row of the selection list: its PLU number (item 0) and main group (item 7).
struct SelectedPlu {
    qint32 no = 0;
    qint32 mg = 0;
};

// "," before each number, joined without separators: ",5,7".
QString PluItemText(const QVector<qint32> &plus);

// The component, or nullptr after a word to the user while another transfer
// runs: the window stays usable during a transfer, and the component takes
// one call at a time.
class ScaleComm;
ScaleComm *IdleScaleComm(AppState &state);

// Each PLU to the in-use scales of the sections that serve its department.
QString SendSelectedByDept(AppState &state, const QVector<SelectedPlu> &rows);
// The PLUs to the scales the user chooses.
QString SendSelectedByScale(AppState &state, const QVector<qint32> &plus);
// After a question: the PLUs deleted on the scales the user chooses.
QString DeleteSelectedByScale(AppState &state, const QVector<qint32> &plus);
// The editor's PLU (txtPluNo as typed) to the scales the user chooses.
QString UploadPlu(AppState &state, const QString &pluNoText);

// 139, 140, 141 and 631.
QString SendByDeptCommand(AppState &state, const NodeContext &node);
QString SendByScaleCommand(AppState &state, const NodeContext &node);
QString DeleteAllByScaleCommand(AppState &state);
QString SyncCommand(AppState &state, const NodeContext &node);

} // namespace korvo
