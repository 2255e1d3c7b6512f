#include "comm/CommSettings.h"

#include "core/AppState.h"
#include "core/IniFile.h"

namespace korvo {

bool ReadCommSettings(const AppState &state, CommSettings &out, QString *problem)
{
    out = CommSettings{};
    struct Key {
        const char *name;
        int min, max;
        int *target;
    };
    int port = out.port;
    const Key keys[] = {
        {"Port", 1, 65535, &port},
        {"MaxParallel", 1, 1000, &out.maxParallel},
        {"ConnectTimeoutMs", 100, 600000, &out.connectTimeoutMs},
        {"ReplyTimeoutMs", 100, 3600000, &out.replyTimeoutMs},
        {"Retries", 0, 10, &out.retries},
    };
    for (const Key &k : keys) {
        const QString text = ReadIniString(QStringLiteral("ZentTCP"), QLatin1String(k.name), state.iniFile).trimmed();
        if (text.isEmpty())
            continue;
        bool ok = false;
        const int v = text.toInt(&ok);
        if (!ok || v < k.min || v > k.max) {
            if (problem)
                *problem = QStringLiteral("[ZentTCP] %1 must be a whole number from %2 to %3 (found \"%4\")")
                               .arg(QLatin1String(k.name)).arg(k.min).arg(k.max).arg(text);
            return false;
        }
        *k.target = v;
    }
    out.port = quint16(port);
    return true;
}

} // namespace korvo
