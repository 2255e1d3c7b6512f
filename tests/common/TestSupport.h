#pragma once
// Shared test fixtures: a scripted user interface and a fresh data root.

#include "core/AppState.h"
#include "core/UserInterface.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QVector>
#include <deque>
#include <memory>

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
    void progressBegin(const QString &caption, int maximum) override;
    void progressStep(int value, const QString &text) override;

    std::deque<MsgResult> answers;
    QStringList fileAnswers;
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

} // namespace korvo::test
