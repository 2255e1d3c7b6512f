#include "ui/DesktopLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace korvo {

bool DesktopLauncher::start(const QString &program, const QStringList &arguments, const QString &workingDir)
{
    return QProcess::startDetached(program, arguments, workingDir);
}

bool DesktopLauncher::open(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace korvo
