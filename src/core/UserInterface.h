#pragma once
// The seam between logic and the person at the screen. The core asks through
// this interface; ui/ answers with real dialogs, tests with scripted answers,
// korvoctl on the console.

#include <QString>
#include <QStringList>

namespace korvo {

enum class MsgIcon { None, Critical, Exclamation, Question, Information };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };

// What the scale selection brings back.
struct ScaleChoice {
    bool cancelled = true;
    QStringList addresses; // SC_IP of the chosen scales
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box. defaultButton is the preselected answer.
    virtual MsgResult message(const QString &text, const QString &title, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok,
                              MsgResult defaultButton = MsgResult::Ok) = 0;

    // "Let the user interface process its events" during long loops.
    virtual void processEvents() {}

    // Progress of long work; maximum 0 means unknown length.
    virtual void progressBegin(const QString &caption, int maximum) { (void)caption; (void)maximum; }
    virtual void progressStep(int value, const QString &text = {}) { (void)value; (void)text; }
    virtual void progressEnd() {}
    // The work is done: text says so; the progress window closes by itself
    // after a few seconds (or when closed), without holding the caller.
    virtual void progressFinish(const QString &text) { (void)text; progressEnd(); }

    // Open-file dialog; "" when cancelled. filter uses the "CSV (*.csv)|*.csv" form.
    virtual QString openFileName(const QString &title, const QString &filter)
    {
        (void)title; (void)filter;
        return {};
    }

    // Save-file dialog proposing a file name; "" when cancelled.
    virtual QString saveFileName(const QString &title, const QString &filter, const QString &proposed)
    {
        (void)title; (void)filter; (void)proposed;
        return {};
    }

    // The scale selection: the scales of department deptId (-1: all
    // scales), one or several.
    virtual ScaleChoice chooseScales(int deptId, bool multiSelect)
    {
        (void)deptId; (void)multiSelect;
        return {};
    }

    // Folder dialog; "" when cancelled.
    virtual QString chooseFolder(const QString &title)
    {
        (void)title;
        return {};
    }
};

// Answers every message with its default button and remembers nothing.
// Used where no person is present (korvoctl prints instead).
class ConsoleUserInterface : public UserInterface {
public:
    MsgResult message(const QString &text, const QString &title, MsgIcon icon,
                      MsgButtons buttons, MsgResult defaultButton) override;
};

} // namespace korvo
