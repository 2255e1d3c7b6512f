#pragma once
// Shared test fixtures: a scripted user interface, a fresh data root and
// small readers of files and of the main database.

#include "core/AppState.h"
#include "core/UserInterface.h"

#include <QStringList>
#include <QVariantList>
#include <QTemporaryDir>
#include <QVector>
#include <deque>
#include <memory>

namespace korvo {
struct Settings;
}

namespace korvo::test {

struct ShownMessage {
    QString text;
    QString title;
    MsgIcon icon;
    MsgButtons buttons;
    MsgResult defaultButton;
};

// Records every message and answers from a queue (default button when empty).
class ScriptedUi : public UserInterface {
public:
    MsgResult message(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      MsgResult defaultButton) override;
    QString openFileName(const QString &title, const QString &filter) override;
    // File dialogs of both kinds answer from fileAnswers ("" when empty).
    QString saveFileName(const QString &title, const QString &filter, const QString &proposed) override;
    // The scale selection answers from scaleAnswers; an empty list or none cancels.
    ScaleChoice chooseScales(int deptId, bool multiSelect) override;
    void progressBegin(const QString &caption, int maximum) override;
    void progressStep(int value, const QString &text) override;

    std::deque<MsgResult> answers;
    QStringList fileAnswers;
    QList<QStringList> scaleAnswers;
    QVector<int> scaleDepts; // m_iDeptID of every scale selection asked
    QVector<ShownMessage> messages;
    int progressSteps = 0;
};

// A temporary data root built from the installation data, with an AppState
// whose paths point into it. Per-user settings go to a private folder.
class TestDataRoot {
public:
    // demoRows: the demo shop; otherwise reference rows only.
    explicit TestDataRoot(bool demoRows = true);
    ~TestDataRoot();

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    QString path() const; // the data root, ending in "/"
    QString iniPath() const { return path() + QStringLiteral("Korvo2005.INI"); }

    // A fresh state over this data root (paths set, nothing loaded).
    std::unique_ptr<AppState> newState();
    // A state with LoadSettings done and userName set; nullptr on failure.
    std::unique_ptr<AppState> loadedState(const QString &userName = QStringLiteral("admin"));

    ScriptedUi ui;

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
    QString m_error;
};

// Points QSettings' per-user store into a temporary folder for this process.
void IsolateUserSettings();

// A file's bytes ("" when it cannot be read); WriteFile makes the folders.
QByteArray FileBytes(const QString &path);
bool WriteFile(const QString &path, const QByteArray &bytes);
// Permission bits of a file (-1: no such file).
int FileMode(const QString &path);

// Readers of the main database through QueryKorvoDB. SqlScalar gives the
// first value ("<none>" without a row, "<null>" for null), SqlCount counts
// "select count(*) from <from>", SqlColumn the first value of every row.
QString SqlScalar(AppState &state, const QString &sql);
int SqlCount(AppState &state, const QString &from);
QStringList SqlColumn(AppState &state, const QString &sql);
// Runs one statement with bound values on a connection (the main database's
// when none is named), straight through QtSql: also setup the program's own
// path refuses. False, with a warning naming the statement, on failure.
bool SqlExec(const QString &connection, const QString &sql, const QVariantList &values = {});
inline bool SqlExec(AppState &state, const QString &sql, const QVariantList &values = {})
{
    return SqlExec(state.connMain, sql, values);
}

// The PLUs of copyWhere as if read from the scale at address into RC_PLU,
// PLU_Compare 0.
bool ReceiveFromPlu(AppState &state, const QString &address, const QString &copyWhere = QStringLiteral("1=1"));

// A run of the built korvoctl (beside the tests' folder) with input on its
// standard input, killed after killAfterMs when that is not negative;
// exitCode -1 when it did not finish normally.
struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ProgramRun RunKorvoctl(const QStringList &args, const QByteArray &input = {}, int killAfterMs = -1);

// Index in state.enc.barcodeList of a barcode format, -1 when absent.
int BarcodeFormatIndex(const AppState &state, int code, const QString &type);

// The values the options dialog owns, as "Key=value", for comparisons that
// name the field that differs.
QStringList OptionValues(const Settings &s);

} // namespace korvo::test
