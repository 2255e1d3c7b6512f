// bench_startup: the time from a signed-in user to the shown main window
// over a data root: LoadSettings, the main window's load (tree, first PLU
// page, panes) and its first paint. Run it on a large data root, e.g. one
// kept by "bench_plulist --keep DIR":
//
//   QT_QPA_PLATFORM=offscreen bench_startup [--data-root DIR] [--runs N] [--changed 1]
//
// Without --data-root it builds a demo data root in a temporary folder.
// --changed 1 touches the main database before every run, as a crash or
// another program would leave it, so the opening runs its quick check.

#include "core/AppState.h"
#include "core/Database.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"
#include "ui/MainWindow.h"
#include "ui/SignInProvider.h"
#include "ui/WidgetUserInterface.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cstdio>

using namespace korvo;

namespace {

class FixedSignIn : public SignInProvider {
public:
    QString show() override { return QStringLiteral("admin"); }
};

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The window position lives in the per-user store: keep the real one out.
    QTemporaryDir settingsDir;
    qputenv("XDG_CONFIG_HOME", settingsDir.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);

    QStringList args = app.arguments().mid(1);
    QString root;
    int runs = 5;
    bool changed = false;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--data-root"))
            root = QDir(args[i + 1]).absolutePath();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--changed"))
            changed = args[i + 1] == QLatin1String("1");
    }
    QTemporaryDir tmp;
    if (root.isEmpty()) {
        root = tmp.path();
        QString error;
        if (!CreateDataRoot(root, DataRootOptions{}, &error)) {
            std::fprintf(stderr, "cannot build a data root: %s\n", qPrintable(error));
            return 1;
        }
    }

    WidgetUserInterface ui;
    FixedSignIn signIn;
    QVector<double> load, window, shown;
    qint64 plus = 0;
    for (int i = 0; i < runs; ++i) {
        if (changed) {
            QFile db(root + QStringLiteral("/Database/KORVO2005.db"));
            if (!db.open(QIODevice::ReadWrite)
                || !db.setFileTime(QDateTime::currentDateTime().addSecs(-i - 1), QFileDevice::FileModificationTime)) {
                std::fprintf(stderr, "cannot touch the main database\n");
                return 1;
            }
        }
        AppState state(&ui);
        state.setPaths(QString(), root);
        state.userName = QStringLiteral("admin");
        QElapsedTimer t;
        t.start();
        if (!LoadSettings(state))
            return 1;
        load << t.nsecsElapsed() / 1e6;
        if (auto q = QueryKorvoDB(state, QStringLiteral("select count(*) from PLU")); q && q->next())
            plus = q->value(0).toLongLong();
        t.restart();
        {
            MainWindow w(state, &signIn);
            window << t.nsecsElapsed() / 1e6;
            w.show();
            // Until the first paint has happened.
            while (!w.windowHandle() || !w.windowHandle()->isExposed())
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            QApplication::processEvents();
            shown << t.nsecsElapsed() / 1e6;
        }
    }
    QTextStream out(stdout);
    out << "data root " << root << ": " << plus << " PLUs, median of " << runs << " runs"
        << (changed ? ", main database changed before each run (quick check)" : "") << Qt::endl
        << "LoadSettings                      " << QString::number(median(load), 'f', 1) << " ms" << Qt::endl
        << "main window constructed           " << QString::number(median(window), 'f', 1) << " ms" << Qt::endl
        << "main window shown and painted     " << QString::number(median(shown), 'f', 1) << " ms" << Qt::endl
        << "start-up (LoadSettings + shown)   "
        << QString::number(median(load) + median(shown), 'f', 1) << " ms" << Qt::endl;
    return 0;
}
