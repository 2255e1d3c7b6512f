#pragma once
// Helpers shared by the GUI tests: a signed-in main window over a data
// root, the driver of modal dialogs and the gestures of a person.

#include "common/TestSupport.h"
#include "core/Database.h"
#include "ui/MainWindow.h"
#include "ui/SignInProvider.h"
#include "ui/StoreTreePane.h"

#include <algorithm>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QList>
#include <QMenu>
#include <QSettings>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <memory>

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

// One data root, one signed-in state and its main window. Ending the
// program only counts.
struct Session {
    explicit Session(TestDataRoot &root, const QString &user = QStringLiteral("admin"))
    {
        state = root.loadedState(user);
        if (!state)
            return;
        window = std::make_unique<MainWindow>(*state, &signIn);
        window->setProgramEnder([this] { ++ended; });
    }
    bool ok() const { return state && window; }
    bool show()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    StoreTreePane *tree() const { return window->storeTree(); }

    QueuedSignIn signIn;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
    int ended = 0;
};

// Runs act on the modal dialog of type Dialog that the next call opens. A
// dialog act leaves open is rejected, so a failing test cannot hang.
template <typename Dialog>
void OnModal(std::function<void(Dialog *)> act)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if ((!d || !d->isVisible()) && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (!d)
            return;
        act(d);
        if (d->isVisible())
            d->reject();
    });
    timer->start();
}

// The command IDs of a menu in order, 0 for a separator.
inline QList<int> MenuIds(const QMenu *menu)
{
    QList<int> ids;
    for (const QAction *a : menu->actions())
        ids << (a->isSeparator() ? 0 : a->property("commandId").toInt());
    return ids;
}

// Takes a function from a user: the ID of its language row goes to UserProhibitFun.
inline bool Prohibit(AppState &state, const QString &user, const QString &caption)
{
    auto q = QueryDb(state, DbKind::Language,
                     QStringLiteral("select ID from tbl_LANGUAGE where E_NAME='Korvo2005.EXE' and Caption='")
                         + SqlEscape(caption) + QStringLiteral("'"));
    if (!q || !q->next())
        return false;
    return bool(QueryDb(state, DbKind::Users,
                        QStringLiteral("insert into UserProhibitFun(UserName,ProhibitFunID) values('%1',%2)")
                            .arg(SqlEscape(user))
                            .arg(q->value(0).toLongLong())));
}

inline void ClearUserStore(AppState &state)
{
    state.userStore().remove(QString()); // the store sits in its group "Settings"
    state.userStore().sync();
}

// Types into a box as a person does: focus, select all, delete, type.
inline void TypeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    // Key clicks exist for ASCII only; other text arrives as the input method gives it.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(box, text);
    else
        box->insert(text);
}

// Check boxes and option buttons take clicks on their mark and caption only.
inline void ClickMark(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

inline QPoint CenterOf(StoreTreePane *tree, QTreeWidgetItem *node)
{
    tree->scrollToItem(node);
    return tree->visualItemRect(node).center();
}

inline void ClickNode(StoreTreePane *tree, QTreeWidgetItem *node, Qt::KeyboardModifiers mods = {})
{
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, mods, CenterOf(tree, node));
}

inline QTreeWidgetItem *FirstNodeOfKind(StoreTreePane *tree, NodeKind kind)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (StoreTreePane::kindOf(*it) == kind)
            return *it;
    }
    return nullptr;
}

inline QStringList ChildKeys(const QTreeWidgetItem *node)
{
    QStringList keys;
    for (int i = 0; i < node->childCount(); ++i)
        keys << StoreTreePane::keyOf(node->child(i));
    return keys;
}

} // namespace korvo::test
