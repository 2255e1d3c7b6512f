#pragma once
// Controls are found by their names (texts, fonts and permissions come by
// window and control name), so every control is made with one.

#include <QString>
#include <QWidget>

namespace korvo {

template <typename W>
W *Named(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace korvo
