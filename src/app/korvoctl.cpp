// korvoctl: the command line on the same core as the desktop program, for
// automation and for checking results without a window.

#include "app/CtlCommands.h"
#include "core/AppState.h"
#include "core/UserInterface.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"
#include "tools/ToolSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

using namespace korvo;

namespace {

struct Command {
    const char *name;
    const char *usage;
    int (*run)(AppState &, const QStringList &);
};

const Command kCommands[] = {
    {"encode", "encode --all | --plu N     encode PLUs into their scale records", &CtlEncode},
    {"list", "list [--dept N | --mg N] [--page P] [--sort COLUMN[:desc],...]\n"
             "       [--plu N | --item-code C | --ean E | --name TEXT]\n"
             "                             one page of the PLU list as CSV", &CtlList},
    {"plu", "plu get N                  print PLU N as one JSON object\n"
            "  plu save FILE|-            save the PLUs of a JSON object or array (- for\n"
            "                             standard input), one line per PLU", &CtlPlu},
    {"send", "send (--scales IP[,IP...] | --all-scales) (--plu N[,N...] | --dept N[,N...] | --all)\n"
             "                             send PLUs (with departments and main groups) to scales", &CtlSend},
    {"delete", "delete (--scales IP[,IP...] | --all-scales) (--plu N[,N...] | --all)\n"
               "                             delete PLUs on scales", &CtlDelete},
    {"receive", "receive (--scales IP[,IP...] | --all-scales)\n"
                "                             read the scales' PLUs into RC_PLU", &CtlReceive},
    {"sync", "sync (--scales IP[,IP...] | --all-scales) [--dept N[,N...] | --plu N[,N...]]\n"
             "                             bring scales in line with the database", &CtlSync},
    {"import", "import FILE [--mode 0|1|2]  import a PLU CSV file (0 replace, 1 add, 2 merge)", &CtlImport},
    {"export", "export --scale IP [FILE]   the PLUs received from a scale as a CSV file", &CtlExport},
};

// Commands on a data root that need none of the start-up.
const Command kToolCommands[] = {
    {"users", "users list | functions | add NAME [--admin] | passwd NAME | remove NAME\n"
              "       | admin NAME yes|no | prohibit NAME KEY... | allow NAME KEY...\n"
              "                             manage users; passwords are asked without echo,\n"
              "                             or read as one line with --password-stdin", &CtlUsers},
    {"backup", "backup DEST                copy settings, databases and descriptor files into a dated folder", &CtlBackup},
    {"restore", "restore SRC [--yes]        put a backup back (refused while Korvo 2005 runs on the data root)", &CtlRestore},
};

void usage()
{
    QTextStream err(stderr);
    err << "usage: korvoctl [--data-root DIR] COMMAND [ARGS]\n\n"
        << "  init DIR                   build a new data root from the installation data\n"
        << "  check                      full integrity check of the three databases\n";
    for (const Command &c : kCommands)
        err << "  " << c.usage << "\n";
    for (const Command &c : kToolCommands)
        err << "  " << c.usage << "\n";
    err << "\nWithout --data-root the data root is the parent of the program's folder.\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(AppState::appTitle());
    QStringList args = app.arguments().mid(1);

    QString dataRoot;
    const int at = args.indexOf(QStringLiteral("--data-root"));
    if (at >= 0) {
        if (at + 1 >= args.size()) {
            usage();
            return 2;
        }
        dataRoot = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage();
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();

    if (command == QLatin1String("init")) {
        if (args.size() == 1 && dataRoot.isEmpty())
            dataRoot = args.takeFirst();
        if (dataRoot.isEmpty() || !args.isEmpty()) {
            usage();
            return 2;
        }
        return CtlInit(dataRoot, args);
    }

    for (const Command &c : kToolCommands) {
        if (command != QLatin1String(c.name))
            continue;
        ConsoleUserInterface ui;
        AppState state(&ui);
        SetToolPaths(state, dataRoot, QCoreApplication::applicationDirPath());
        state.userName = QStringLiteral("korvoctl");
        return c.run(state, args);
    }

    ConsoleUserInterface ui;
    AppState state(&ui);
    if (dataRoot.isEmpty())
        state.setPaths(QCoreApplication::applicationDirPath(), QString());
    else
        state.setPaths(QString(), QDir(dataRoot).absolutePath());
    state.userName = QStringLiteral("korvoctl");
    if (command == QLatin1String("check")) {
        if (!args.isEmpty()) {
            usage();
            return 2;
        }
        return CtlCheck(state.dataPath);
    }

    for (const Command &c : kCommands) {
        if (command != QLatin1String(c.name))
            continue;
        // Nothing here builds a data root: that is init's work alone.
        QStringList missing;
        const DataRootContent content = InspectDataRoot(state.dataPath, &missing);
        if (content != DataRootContent::Complete || !QFileInfo::exists(state.iniFile)) {
            if (!QFileInfo::exists(state.iniFile))
                missing.prepend(QStringLiteral("Korvo2005.INI"));
            std::fprintf(stderr,
                         "korvoctl: %s is no %sdata root (%s missing); build one with \"korvoctl init DIR\"\n",
                         qPrintable(QDir::toNativeSeparators(state.dataPath)),
                         content == DataRootContent::None ? "" : "complete ",
                         qPrintable(missing.join(QStringLiteral(", "))));
            return 1;
        }
        if (!LoadSettings(state))
            return 1;
        return c.run(state, args);
    }
    std::fprintf(stderr, "korvoctl: unknown command \"%s\"\n", qPrintable(command));
    usage();
    return 2;
}
