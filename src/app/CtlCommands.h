#pragma once
// Commands of korvoctl. Each gets a state whose paths point at the data root
// and returns the process exit status.

#include <QStringList>

namespace korvo {
class AppState;

// init DIR: builds a data root (refuses to overwrite databases) and encodes
// its demo PLUs.
int CtlInit(const QString &dataRoot, const QStringList &args);
// check: the full integrity check of the three databases of the root; each
// problem on stdout, status 1 when any database is missing or damaged.
int CtlCheck(const QString &dataRoot);
// encode --all | --plu N
int CtlEncode(AppState &state, const QStringList &args);
// list [--dept N | --mg N] [--page P] [--sort COLUMN[:desc],...] [a search]:
// one page of the PLU list as CSV, page and page count on stderr
int CtlList(AppState &state, const QStringList &args);
// send, delete, receive, sync: one call of the scale communication component
// (send: departments and main groups first) for the listed or the used
// scales; one result line per scale on stdout. 0 when every scale is done
// completely, 2 when any failed or left something out, 1 for a usage,
// settings or database error.
int CtlSend(AppState &state, const QStringList &args);
int CtlDelete(AppState &state, const QStringList &args);
int CtlReceive(AppState &state, const QStringList &args);
int CtlSync(AppState &state, const QStringList &args);
// plu get N: the PLU as one JSON object; plu save FILE|-: saves one object
// or an array of them through the editor's save, one line per PLU
int CtlPlu(AppState &state, const QStringList &args);
// import FILE [--mode 0|1|2]: the CSV import (default mode: SetImportType)
int CtlImport(AppState &state, const QStringList &args);
// export --scale IP [FILE]: the received PLUs of one scale as CSV
int CtlExport(AppState &state, const QStringList &args);

// The tool commands get a state with its paths only: they open what they
// need themselves and work on a data root the program would refuse.
// users list | functions | add NAME [--admin] | passwd NAME | remove NAME
//   | admin NAME yes|no | prohibit NAME KEY... | allow NAME KEY...
int CtlUsers(AppState &state, const QStringList &args);
// backup DEST
int CtlBackup(AppState &state, const QStringList &args);
// restore SRC [--yes]
int CtlRestore(AppState &state, const QStringList &args);
} // namespace korvo
