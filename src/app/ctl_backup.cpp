// korvoctl backup / restore: the data backup program on the command line.

#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "tools/DataBackup.h"

#include <QDir>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace korvo {

int CtlBackup(AppState &state, const QStringList &args)
{
    if (args.size() != 1) {
        std::fputs("usage: korvoctl [--data-root DIR] backup DEST\n", stderr);
        return 2;
    }
    const BackupOutcome out = BackupDataRoot(state, args.first());
    if (!out.error.isEmpty()) {
        std::fprintf(stderr, "korvoctl backup: %s\n", qPrintable(out.error));
        return 1;
    }
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(out.folder)));
    return 0;
}

int CtlRestore(AppState &state, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool yes = args.removeAll(QStringLiteral("--yes")) > 0;
    if (args.size() != 1) {
        std::fputs("usage: korvoctl [--data-root DIR] restore SRC [--yes]\n", stderr);
        return 2;
    }
    const RestorePlan plan = PlanRestore(state, args.first());
    if (!plan.error.isEmpty()) {
        std::fprintf(stderr, "korvoctl restore: %s\n", qPrintable(plan.error));
        return 1;
    }
    const QByteArray running = QStringLiteral("korvoctl restore: refused, Korvo 2005 is running on %1; close it first\n")
                                   .arg(QDir::toNativeSeparators(state.dataPath))
                                   .toLocal8Bit();
    if (DataRootInUse(state)) {
        std::fputs(running.constData(), stderr);
        return 1;
    }
    std::printf("Restoring %s into %s replaces (current  <-  backup):\n",
                qPrintable(QDir::toNativeSeparators(plan.backupFolder)),
                qPrintable(QDir::toNativeSeparators(state.dataPath)));
    for (const QString &line : DescribeRestore(plan))
        std::printf("  %s\n", qPrintable(line));
    std::fflush(stdout);
    if (!yes) {
#ifdef Q_OS_UNIX
        const bool terminal = isatty(STDIN_FILENO);
#else
        const bool terminal = false;
#endif
        if (!terminal) {
            std::fputs("korvoctl restore: add --yes to replace these files\n", stderr);
            return 1;
        }
        std::fputs("Replace these files? [y/N] ", stderr);
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") {
            std::fputs("korvoctl restore: nothing changed\n", stderr);
            return 1;
        }
    }
    QString safety, error;
    switch (RestoreDataRoot(state, plan, &safety, &error)) {
    case RestoreResult::Restored:
        if (!safety.isEmpty())
            std::printf("The replaced files are kept in %s\n", qPrintable(QDir::toNativeSeparators(safety)));
        return 0;
    case RestoreResult::ProgramRunning:
        std::fputs(running.constData(), stderr);
        return 1;
    case RestoreResult::Failed:
        break;
    }
    std::fprintf(stderr, "korvoctl restore: %s\n", qPrintable(error));
    return 1;
}

} // namespace korvo
