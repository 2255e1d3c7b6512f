#include "tools/ToolConfig.h"

namespace korvo {

ToolConfigList::ButtonStates ToolConfigList::buttonStates(const UserTool &boxes) const
{
    ButtonStates b;
    const bool line = m_selected >= 0;
    // Past the last user command ID a new tool could not be chosen.
    b.insert = !boxes.MenuItemName.isEmpty() && !boxes.CmdLine.isEmpty() && count() < kMaxUserTools;
    b.replace = !boxes.MenuItemName.isEmpty() && !boxes.CmdLine.isEmpty() && line;
    b.remove = line;
    b.up = line && m_selected > 0;
    b.down = line && m_selected < count() - 1;
    return b;
}

bool ToolConfigList::insert(const UserTool &boxes)
{
    if (!buttonStates(boxes).insert)
        return false;
    const int at = m_selected >= 0 ? m_selected : count();
    m_tools.insert(at, boxes);
    m_selected = at;
    return true;
}

bool ToolConfigList::replace(const UserTool &boxes)
{
    if (!buttonStates(boxes).replace)
        return false;
    m_tools[m_selected] = boxes;
    return true;
}

bool ToolConfigList::remove()
{
    if (m_selected < 0)
        return false;
    m_tools.removeAt(m_selected);
    m_selected = -1;
    return true;
}

bool ToolConfigList::moveUp()
{
    if (m_selected <= 0)
        return false;
    m_tools.swapItemsAt(m_selected, m_selected - 1);
    --m_selected;
    return true;
}

bool ToolConfigList::moveDown()
{
    if (m_selected < 0 || m_selected >= count() - 1)
        return false;
    m_tools.swapItemsAt(m_selected, m_selected + 1);
    ++m_selected;
    return true;
}

} // namespace korvo
