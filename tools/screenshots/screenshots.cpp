// Makes README's pictures from the demo shop: the main window, the PLU
// editor and the report of a transfer to simulated scales (one of them
// offline). Run by scripts/screenshots; writes PNG files into the folder
// given as the only argument.

#include "UiTestSupport.h"
#include "comm/ScaleComm.h"
#include "comm/ScaleList.h"
#include "common/SimProcess.h"
#include "encoding/RecordBuilder.h"
#include "ui/PluEditorPane.h"
#include "ui/ScaleCommWindow.h"

#include <QDir>
#include <QImage>
#include <cstdio>

using namespace korvo;
using namespace korvo::test;

namespace {

// Palette images keep the files small; the windows use few colours.
bool save(QWidget *widget, const QString &path)
{
    QApplication::processEvents();
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    if (!image.save(path, "PNG", 0)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

int fail(const QString &why)
{
    std::fprintf(stderr, "screenshots: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return fail(QStringLiteral("usage: screenshots OUTPUT-FOLDER"));
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + u'/';
    if (!QDir().mkpath(out))
        return fail(QStringLiteral("cannot create ") + out);
    IsolateUserSettings();

    TestDataRoot root;
    if (!root.ok())
        return fail(root.error());
    // Every demo scale answers but 127.0.0.22, so the report shows a failure.
    SimProcess sim;
    QString error;
    if (!sim.start({QStringLiteral("--listen"), QStringLiteral("127.0.0.11"), QStringLiteral("--listen"),
                    QStringLiteral("127.0.0.12"), QStringLiteral("--listen"), QStringLiteral("127.0.0.13"),
                    QStringLiteral("--listen"), QStringLiteral("127.0.0.21"), QStringLiteral("--store"),
                    root.path() + QStringLiteral("scalesim")},
                   &error))
        return fail(error);
    if (!UseScalePort(root.iniPath(), sim.port(), 1500, 0))
        return fail(QStringLiteral("cannot set the scale port"));

    Session session(root);
    if (!session.ok())
        return fail(QStringLiteral("the demo shop does not open"));
    qint32 last = 0;
    if (!CreatePLUData(*session.state, QStringLiteral("ALL"), last).failedPlus.isEmpty())
        return fail(QStringLiteral("the demo PLUs cannot be encoded"));
    MainWindow *window = session.window.get();
    window->resize(1280, 800);
    if (!session.show())
        return fail(QStringLiteral("the main window is not shown"));

    StoreTreePane *tree = session.tree();
    QTreeWidgetItem *department = FirstNodeOfKind(tree, NodeKind::Department);
    if (!department)
        return fail(QStringLiteral("the demo shop has no department"));
    ClickNode(tree, department);
    // The first PLU the list shows after the department was chosen.
    const QString dept = StoreTreePane::keyOf(department).mid(4);
    window->editorPane()->editPlu(
        SqlScalar(*session.state,
                  QStringLiteral("select min(PLU_No) from PLU join MG on MG_No=PLU_MG where DP_No=") + dept)
            .toInt());
    if (!save(window, out + QStringLiteral("main-window.png")) || !save(window->editorPane(), out + QStringLiteral("plu-editor.png")))
        return 1;

    QString list;
    for (const char *address : {"127.0.0.11", "127.0.0.12", "127.0.0.13", "127.0.0.21", "127.0.0.22"})
        list += ScaleListLine(QString::fromLatin1(address));
    window->scaleComm()->WRFALLPLU(list);
    ScaleCommWindow *report = window->scaleCommWindow();
    report->resize(1000, 360);
    return save(report, out + QStringLiteral("transfer-report.png")) ? 0 : 1;
}
