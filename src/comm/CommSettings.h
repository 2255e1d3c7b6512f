#pragma once
// The component's settings in section [ZentTCP] of the settings file, read
// at every call so that a change takes effect without a restart. DoLog is in
// the settings record (the options dialog writes it).

#include "comm/Protocol.h"

#include <QString>

namespace korvo {

class AppState;

struct CommSettings {
    quint16 port = proto::kDefaultPort; // Port: every scale listens on it
    int maxParallel = 32;         // MaxParallel: scales served at once
    int connectTimeoutMs = 3000;  // ConnectTimeoutMs
    int replyTimeoutMs = 15000;   // ReplyTimeoutMs: longest wait without progress
    int retries = 2;              // Retries: further attempts after a broken one
};

// An absent or empty key keeps its default. A value that is not a whole
// number in its range is named in *problem and false comes back: the call
// then contacts no scale rather than a wrong port.
bool ReadCommSettings(const AppState &state, CommSettings &out, QString *problem);

} // namespace korvo
