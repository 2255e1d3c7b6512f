#pragma once
// One simulated scale: listens on its address, speaks the scale side of our
// protocol and keeps what it gets in its SimStore. It lives in a thread of
// its own, so that the scales of one simulator work side by side as real
// scales do.

#include "SimStore.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace scalesim {

// How a faulty scale misbehaves (all off: a healthy scale).
struct Faults {
    bool refuse = false;   // every request refused with REFUSED
    int delayMs = 0;       // every reply held back this long
    int dropAfter = -1;    // after this many replies a connection is dropped
    bool garbage = false;  // every reply is bytes that are no frame
    quint32 capacity = 0;  // most PLUs held, 0: no limit
};

// One line on stdout, whole even when several scales print at once.
void Say(const QString &line);

class SimScale : public QObject {
    Q_OBJECT
public:
    SimScale(const QHostAddress &address, quint32 scaleNo, const QString &storeDir, const Faults &faults);
    ~SimScale() override;

    // Call in the scale's thread. port 0 picks a free one.
    bool listen(quint16 port, QString *error);
    quint16 port() const { return m_port; }
    QString name() const;

private:
    struct Conn;
    void accept();
    void readFrom(QTcpSocket *socket);
    void handle(Conn &c, const korvo::proto::Frame &f);
    void reply(Conn &c, quint8 type, quint32 seq, quint16 code, const QString &text, const QByteArray &body = {});
    QByteArray page(quint32 after, quint16 max, bool digests, int &count);

    QHostAddress m_address;
    quint32 m_scaleNo;
    Faults m_faults;
    SimStore m_store;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    QHash<QTcpSocket *, std::shared_ptr<Conn>> m_conns;
};

} // namespace scalesim
