#include "ui/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace korvo {

namespace {
constexpr int kTwipsPerPixel = 15;
}

QRect ReadWindowPlacement(QSettings &store, const QString &prefix, const QRect &defaultTwips,
                          int minimumSize)
{
    auto read = [&](const char *key, int fallback) {
        bool ok = false;
        const double v = store.value(prefix + QLatin1String(key)).toDouble(&ok);
        return qRound((ok ? v : fallback) / double(kTwipsPerPixel));
    };
    QRect r(read("Left", defaultTwips.x()), read("Top", defaultTwips.y()),
            qMax(minimumSize, read("Width", defaultTwips.width())),
            qMax(minimumSize, read("Height", defaultTwips.height())));
    // A place saved on a screen that is gone would leave the window out of reach.
    const QList<QScreen *> screens = QGuiApplication::screens();
    bool onScreen = screens.isEmpty();
    for (const QScreen *s : screens)
        onScreen = onScreen || s->availableGeometry().contains(r.topLeft());
    if (!onScreen && QGuiApplication::primaryScreen())
        r.moveTopLeft(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    return r;
}

void WriteWindowPlacement(QSettings &store, const QString &prefix, const QRect &g)
{
    store.setValue(prefix + QStringLiteral("Left"), g.x() * kTwipsPerPixel);
    store.setValue(prefix + QStringLiteral("Top"), g.y() * kTwipsPerPixel);
    store.setValue(prefix + QStringLiteral("Width"), g.width() * kTwipsPerPixel);
    store.setValue(prefix + QStringLiteral("Height"), g.height() * kTwipsPerPixel);
    store.sync();
}

bool HasWindowPlacement(QSettings &store, const QString &prefix)
{
    return store.contains(prefix + QStringLiteral("Width")) && store.contains(prefix + QStringLiteral("Height"));
}

QRect ScreenShare(qreal share)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect r(0, 0, qRound(avail.width() * share), qRound(avail.height() * share));
    r.moveCenter(avail.center());
    return r;
}

} // namespace korvo
