#include "ui/FormTexts.h"

#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>
#include <exception>

namespace korvo {

namespace {

bool IsSkippedName(const QString &name)
{
    return name.isEmpty() || name.startsWith(QLatin1String("qt_"))
        || name.startsWith(QLatin1String("_q_"));
}

void AlignTextBox(QWidget *w, Qt::Alignment horizontal)
{
    const Qt::Alignment a = horizontal | Qt::AlignVCenter;
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->setAlignment(a);
    } else if (auto *s = qobject_cast<QAbstractSpinBox *>(w)) {
        s->setAlignment(a);
    } else if (auto *t = qobject_cast<QTextEdit *>(w)) {
        QTextOption o = t->document()->defaultTextOption();
        o.setAlignment(horizontal);
        t->document()->setDefaultTextOption(o);
    } else if (auto *p = qobject_cast<QPlainTextEdit *>(w)) {
        QTextOption o = p->document()->defaultTextOption();
        o.setAlignment(horizontal);
        p->document()->setDefaultTextOption(o);
    }
}

// Parts of Qt's own composite controls (a tab bar's scroll buttons, a spin
// box's line edit, a list's header) are not controls of the window.
bool IsInsideComposite(const QObject *o, const QObject *window)
{
    for (const QObject *p = o->parent(); p && p != window; p = p->parent()) {
        if (qobject_cast<const QTabBar *>(p) || qobject_cast<const QAbstractSpinBox *>(p)
            || qobject_cast<const QComboBox *>(p) || qobject_cast<const QAbstractItemView *>(p)
            || qobject_cast<const QLineEdit *>(p) || qobject_cast<const QAbstractButton *>(p))
            return true;
    }
    return false;
}

bool IsTextBox(QObject *o)
{
    return qobject_cast<QLineEdit *>(o) || qobject_cast<QAbstractSpinBox *>(o)
        || qobject_cast<QTextEdit *>(o) || qobject_cast<QPlainTextEdit *>(o);
}

} // namespace

bool IsFarsiLayout(const AppState &state)
{
    return state.settings.SetLanguageCodepage == 1 && state.settings.LangeCodepageToConvert == 2;
}

void SetFormLangString(AppState &state, QWidget *window)
{
    if (!window)
        return;
    const QString owner = window->objectName();
    try {
        const bool farsi = IsFarsiLayout(state);
        QFont font = QApplication::font(window);
        if (farsi)
            font.setFamily(QStringLiteral("Tahoma"));
        const Qt::Alignment boxAlign = farsi ? Qt::AlignRight : Qt::AlignLeft;

        window->setWindowTitle(GetLangString(state, owner, QStringLiteral("Caption")));

        const QList<QObject *> children = window->findChildren<QObject *>();
        for (QObject *child : children) {
            const QString name = child->objectName();
            if (IsSkippedName(name) || IsInsideComposite(child, window))
                continue;
            if (auto *action = qobject_cast<QAction *>(child)) {
                action->setText(GetLangString(state, owner, name));
                action->setEnabled(GetSecurityPermission(state, owner, name));
                continue;
            }
            auto *w = qobject_cast<QWidget *>(child);
            if (!w)
                continue;
            const bool captioned = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w)
                || qobject_cast<QGroupBox *>(w);
            if (captioned) {
                w->setFont(font);
                const QString text = GetLangString(state, owner, name);
                if (auto *b = qobject_cast<QAbstractButton *>(w))
                    b->setText(text);
                else if (auto *l = qobject_cast<QLabel *>(w))
                    l->setText(text);
                else
                    static_cast<QGroupBox *>(w)->setTitle(text);
                w->setEnabled(GetSecurityPermission(state, owner, name));
            } else if (IsTextBox(w)) {
                w->setFont(font);
                AlignTextBox(w, boxAlign);
            }
        }
    } catch (const std::exception &e) {
        state.errorSource = QStringLiteral("SetFormLangString (") + owner + QLatin1Char(')');
        ReportError(state, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        state.errorSource = QStringLiteral("SetFormLangString (") + owner + QLatin1Char(')');
        ReportError(state, QStringLiteral("unexpected failure"));
    }
}

} // namespace korvo
