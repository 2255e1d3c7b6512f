#pragma once

#include <QByteArray>
#include <QString>

namespace korvo {

// Farsi text to the Iran System code page, with contextual letter forms.
// The bytes go to the scale unchanged.
QByteArray Uni2IrSys(const QString &text);

} // namespace korvo
