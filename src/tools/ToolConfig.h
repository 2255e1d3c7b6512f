#pragma once
// The editing logic of the tool configuration dialog: the ordered list of
// user tools, the selected line, the rules that enable its buttons and the
// edits they make. The dialog mirrors it line for line.

#include "tools/Tools.h"

namespace korvo {

class ToolConfigList {
public:
    struct ButtonStates {
        bool insert = false;
        bool replace = false;
        bool remove = false;
        bool up = false;
        bool down = false;

        bool operator==(const ButtonStates &) const = default;
    };

    ToolConfigList() = default;
    explicit ToolConfigList(QVector<UserTool> tools) : m_tools(std::move(tools)) {}

    const QVector<UserTool> &tools() const { return m_tools; }
    int count() const { return int(m_tools.size()); }
    int selected() const { return m_selected; }
    // -1 or out of range: no line selected.
    void select(int row) { m_selected = row >= 0 && row < count() ? row : -1; }

    // Insert needs a name and a command line (and room for another command
    // ID); Replace that and a selected line; Delete a selected line; Up a
    // selected line that is not the first; Down one that is not the last.
    ButtonStates buttonStates(const UserTool &boxes) const;

    // Each edit does nothing (false) when its button would be disabled.
    // Insert goes before the selected line, else at the end; the new line is
    // selected.
    bool insert(const UserTool &boxes);
    bool replace(const UserTool &boxes);
    // The list may become empty; afterwards no line is selected.
    bool remove();
    // The selected tool changes places with its neighbour and stays selected.
    bool moveUp();
    bool moveDown();

private:
    QVector<UserTool> m_tools;
    int m_selected = -1;
};

} // namespace korvo
