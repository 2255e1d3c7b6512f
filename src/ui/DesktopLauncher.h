#pragma once
// Launches of the Tools menu on this desktop: programs start detached, and
// documents and folders go to the desktop's "open".

#include "tools/Tools.h"

namespace korvo {

class DesktopLauncher : public ToolLauncher {
public:
    bool start(const QString &program, const QStringList &arguments, const QString &workingDir) override;
    bool open(const QString &path) override;
};

} // namespace korvo
