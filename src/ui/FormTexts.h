#pragma once
// Applies a window's language texts, fonts and permissions.

class QWidget;

namespace korvo {

class AppState;

// Caption from key "Caption" of the window's objectName; then, for every
// named child control in creation order, buttons, labels and group boxes get
// the text of key = control name and are enabled by the permission of
// (window name, control name); text boxes get the font and alignment of the
// language (right-aligned with Tahoma for Farsi). QActions with a name are
// treated like buttons. Children without a name or named "qt_..." are
// skipped. A missing text shows as ""; any other failure ends the pass with
// a report "SetFormLangString (" + window + ")".
void SetFormLangString(AppState &state, QWidget *window);

// True when the settings ask for Farsi texts (code page 1 with target 2).
bool IsFarsiLayout(const AppState &state);

} // namespace korvo
