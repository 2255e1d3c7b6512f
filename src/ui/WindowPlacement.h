#pragma once
// Window positions in the per-user store, in twips (15 twips = 1 pixel at
// 96 dpi) under "<prefix>Left", "Top", "Width", "Height".

#include <QRect>
#include <QString>

class QSettings;

namespace korvo {

// The stored rectangle in pixels, the defaults (twips) where a key is absent
// or not a number; a place on no screen is moved onto the primary screen.
QRect ReadWindowPlacement(QSettings &store, const QString &prefix, const QRect &defaultTwips,
                          int minimumSize = 0);

void WriteWindowPlacement(QSettings &store, const QString &prefix, const QRect &pixels);

// True once a placement under the prefix was written.
bool HasWindowPlacement(QSettings &store, const QString &prefix);

// A window for a first start: the given share of the primary screen's
// available area, centred on it.
QRect ScreenShare(qreal share);

} // namespace korvo
