// korvoctl users: the user management of the user-management program on the
// command line.

#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "i18n/UserAdmin.h"
#include "tools/ToolSession.h"

#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace korvo {

namespace {

int usageError()
{
    std::fputs("usage: korvoctl [--data-root DIR] users list | functions\n"
               "       | add NAME [--admin] [--password-stdin] | passwd NAME [--password-stdin]\n"
               "       | remove NAME | admin NAME yes|no\n"
               "       | prohibit NAME KEY... | allow NAME KEY...\n",
               stderr);
    return 2;
}

// One line; without its line end. nullopt at end of input.
std::optional<QString> readLine()
{
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

#ifdef Q_OS_UNIX
std::optional<QString> readHidden(const char *prompt)
{
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    termios old {};
    tcgetattr(STDIN_FILENO, &old);
    termios quiet = old;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    const std::optional<QString> line = readLine();
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputc('\n', stderr);
    return line;
}
#endif

// From standard input when asked to, else typed twice at the terminal
// without echo. nullopt (reported) when there is no password.
std::optional<QString> readPassword(bool fromStdin)
{
    if (fromStdin) {
        std::optional<QString> line = readLine();
        if (!line)
            std::fputs("korvoctl users: no password on standard input\n", stderr);
        return line;
    }
#ifdef Q_OS_UNIX
    if (isatty(STDIN_FILENO)) {
        const std::optional<QString> first = readHidden("New password: ");
        const std::optional<QString> second = first ? readHidden("Repeat the password: ") : std::nullopt;
        if (first && second && *first == *second)
            return first;
        std::fputs("korvoctl users: the two passwords differ\n", stderr);
        return std::nullopt;
    }
#endif
    std::fputs("korvoctl users: no terminal to ask for the password; use --password-stdin\n", stderr);
    return std::nullopt;
}

QString functionName(const FunctionInfo &f)
{
    return f.owner == QLatin1String("frmMain") ? f.key : f.owner + QLatin1Char('.') + f.key;
}

int failed(UserAdmin &admin)
{
    std::fprintf(stderr, "korvoctl users: %s\n", qPrintable(admin.errorMessage()));
    return 1;
}

} // namespace

int CtlUsers(AppState &state, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool passwordStdin = args.removeAll(QStringLiteral("--password-stdin")) > 0;
    const bool makeAdmin = args.removeAll(QStringLiteral("--admin")) > 0;
    if (args.isEmpty())
        return usageError();
    const QString op = args.takeFirst();
    QString error;
    if (!OpenToolSession(state, false, &error)) {
        std::fprintf(stderr, "korvoctl users: %s\n", qPrintable(error));
        return 1;
    }
    UserAdmin admin(state);
    QTextStream out(stdout);

    if (op == QLatin1String("list") && args.isEmpty()) {
        QHash<qint32, QString> names;
        for (const FunctionInfo &f : admin.functions())
            names.insert(f.id, functionName(f));
        const QVector<UserInfo> users = admin.users();
        if (admin.error() != UserAdmin::Error::None)
            return failed(admin);
        for (const UserInfo &u : users) {
            QStringList keys;
            for (qint32 id : u.prohibited)
                keys << names.value(id, QString::number(id));
            out << u.name << '\t' << (u.administrator ? kAdministratorType : kUserType) << '\t'
                << keys.join(QLatin1Char(',')) << '\n';
        }
        return 0;
    }
    if (op == QLatin1String("functions") && args.isEmpty()) {
        for (const FunctionInfo &f : admin.functions())
            out << functionName(f) << '\t' << f.text << '\n';
        return 0;
    }
    if (args.isEmpty())
        return usageError();
    const QString name = args.takeFirst();

    if ((op == QLatin1String("add") || op == QLatin1String("passwd")) && args.isEmpty()) {
        if (op == QLatin1String("passwd") && !admin.user(name))
            return failed(admin); // before asking for a password in vain
        const std::optional<QString> password = readPassword(passwordStdin);
        if (!password)
            return 1;
        const bool ok = op == QLatin1String("add") ? admin.addUser(name, *password, makeAdmin)
                                                   : admin.setPassword(name, *password);
        return ok ? 0 : failed(admin);
    }
    if (op == QLatin1String("remove") && args.isEmpty())
        return admin.removeUser(name) ? 0 : failed(admin);
    if (op == QLatin1String("admin") && args.size() == 1
        && (args.first() == QLatin1String("yes") || args.first() == QLatin1String("no")))
        return admin.setAdministrator(name, args.first() == QLatin1String("yes")) ? 0 : failed(admin);
    if ((op == QLatin1String("prohibit") || op == QLatin1String("allow")) && !args.isEmpty()) {
        QVector<qint32> ids;
        for (const QString &key : args) {
            const std::optional<qint32> id = admin.functionId(key);
            if (!id)
                return failed(admin);
            ids << *id;
        }
        const bool ok = op == QLatin1String("prohibit") ? admin.prohibit(name, ids) : admin.allow(name, ids);
        return ok ? 0 : failed(admin);
    }
    return usageError();
}

} // namespace korvo
