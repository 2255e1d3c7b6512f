#include "core/UserInterface.h"

#include <QTextStream>

namespace korvo {

MsgResult ConsoleUserInterface::message(const QString &text, const QString &title, MsgIcon,
                                        MsgButtons, MsgResult defaultButton)
{
    QTextStream err(stderr);
    err << title << ": " << text << Qt::endl;
    return defaultButton;
}

} // namespace korvo
