#include "app/CtlCommands.h"

#include "core/Database.h"
#include "core/DatabaseCheck.h"
#include "startup/DataRoot.h"

#include <QDir>
#include <cstdio>

namespace korvo {

int CtlInit(const QString &dataRoot, const QStringList &)
{
    const QString root = QDir(dataRoot).absolutePath();
    DataRootOptions options;
    options.encodeRecords = true; // the demo PLUs can be sent at once
    QString error;
    if (!CreateDataRoot(root, options, &error)) {
        std::fprintf(stderr, "korvoctl init: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Data root ready: %s\n", qPrintable(QDir::toNativeSeparators(root)));
    return 0;
}

int CtlCheck(const QString &dataRoot)
{
    bool sound = true;
    for (DbKind kind : {DbKind::Language, DbKind::Main, DbKind::Users}) {
        const QString name = DatabaseFileName(kind);
        const QStringList problems = CheckDatabaseFile(QDir(dataRoot).filePath(QStringLiteral("Database/") + name));
        if (problems.isEmpty())
            std::printf("%s: ok\n", qPrintable(name));
        for (const QString &p : problems)
            std::printf("%s: %s\n", qPrintable(name), qPrintable(p));
        sound = sound && problems.isEmpty();
    }
    if (!sound)
        std::fprintf(stderr, "korvoctl check: damage found; restore the damaged files from a backup\n");
    return sound ? 0 : 1;
}

} // namespace korvo
