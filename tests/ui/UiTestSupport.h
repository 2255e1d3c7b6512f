#pragma once
// Helpers shared by the GUI tests.

#include "ui/SignInProvider.h"

#include <QAction>
#include <QFile>
#include <QList>
#include <QMenu>
#include <QStringList>

namespace korvo::test {

// A sign-in that answers from a queue ("" once it is empty).
class QueuedSignIn : public SignInProvider {
public:
    QString show() override
    {
        ++calls;
        return names.isEmpty() ? QString() : names.takeFirst();
    }
    QStringList names;
    int calls = 0;
};

// The command IDs of a menu in order, 0 for a separator.
inline QList<int> MenuIds(const QMenu *menu)
{
    QList<int> ids;
    for (const QAction *a : menu->actions())
        ids << (a->isSeparator() ? 0 : a->property("commandId").toInt());
    return ids;
}

inline QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace korvo::test
