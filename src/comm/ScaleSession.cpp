#include "comm/ScaleSession.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace korvo {

using namespace proto;

namespace {

constexpr quint32 kHelloSeq = 0;
constexpr quint32 kByeSeq = 0xFFFFFFFFu;
const QString kClient = QStringLiteral("Korvo 2005");

// Codes after which a new attempt may succeed.
bool retryable(quint16 code) { return code == BadFrame || code == StoreFailed; }

} // namespace

ScaleSession::ScaleSession(SessionConfig config, std::unique_ptr<SessionPlan> plan, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_plan(std::move(plan))
{
    m_result.address = m_config.address;
    m_result.scaleNo = m_config.scaleNo;
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        switch (m_phase) {
        case Phase::Pausing: attempt(); break;
        case Phase::Connecting:
            broken(QStringLiteral("no connection within %1 ms").arg(m_config.settings.connectTimeoutMs));
            break;
        case Phase::Greeting:
        case Phase::Working:
        case Phase::Closing:
            broken(QStringLiteral("no reply within %1 ms").arg(m_config.settings.replyTimeoutMs));
            break;
        default: break;
        }
    });
}

ScaleSession::~ScaleSession() { dropSocket(false); }

void ScaleSession::log(const QString &text)
{
    if (m_config.detailLog)
        emit logLine(QStringLiteral("%1 (%2): %3").arg(m_config.address).arg(m_config.scaleNo).arg(text));
}

void ScaleSession::start()
{
    m_clock.start();
    m_result.state = ScaleResult::State::Running;
    emit progress(QStringLiteral("connecting"), 0, m_plan->total());
    attempt();
}

void ScaleSession::cancel()
{
    if (m_phase != Phase::Finished)
        finish(ScaleResult::State::Cancelled, QStringLiteral("cancelled"));
}

void ScaleSession::attempt()
{
    ++m_result.attempts;
    m_reader = FrameReader();
    m_phase = Phase::Connecting;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &ScaleSession::connected);
    connect(m_socket, &QTcpSocket::readyRead, this, &ScaleSession::readReplies);
    // Data going out is progress too: a large batch may take a while.
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_phase == Phase::Greeting || m_phase == Phase::Working || m_phase == Phase::Closing)
            m_timer.start(m_config.settings.replyTimeoutMs);
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (m_phase == Phase::Closing && e == QAbstractSocket::RemoteHostClosedError)
            return finish(ScaleResult::State::Done); // it closed after our goodbye
        switch (e) {
        case QAbstractSocket::ConnectionRefusedError: broken(QStringLiteral("connection refused")); break;
        case QAbstractSocket::RemoteHostClosedError: broken(QStringLiteral("the scale closed the connection")); break;
        default: broken(m_socket->errorString()); break;
        }
    });
    m_timer.start(m_config.settings.connectTimeoutMs);
    m_socket->connectToHost(QHostAddress(m_config.ipv4), m_config.settings.port);
}

void ScaleSession::connected()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_phase = Phase::Greeting;
    log(QStringLiteral("connected (attempt %1)").arg(m_result.attempts));
    HelloInfo h;
    h.scaleNo = m_config.scaleNo;
    h.client = kClient;
    send(Hello, kHelloSeq, BuildFrame(Hello, kHelloSeq, HelloPayload(h)));
}

void ScaleSession::send(quint8 type, quint32 seq, const QByteArray &frame)
{
    m_expectType = type | kReplyBit;
    m_expectSeq = seq;
    m_timer.start(m_config.settings.replyTimeoutMs);
    m_socket->write(frame);
}

void ScaleSession::sendNext()
{
    const SessionRequest *r = m_plan->current();
    if (!r) {
        m_phase = Phase::Closing;
        send(Bye, kByeSeq, BuildFrame(Bye, kByeSeq, {}));
        return;
    }
    m_phase = Phase::Working;
    send(r->type, r->seq, r->frame);
}

void ScaleSession::readReplies()
{
    if (!m_socket)
        return;
    m_reader.feed(m_socket->readAll());
    Frame f;
    for (;;) {
        switch (m_reader.next(f)) {
        case FrameReader::Status::NeedMore: return;
        case FrameReader::Status::Error:
            return broken(QStringLiteral("the scale's reply is unreadable: ") + m_reader.error());
        case FrameReader::Status::Frame:
            handle(f);
            if (m_phase == Phase::Finished || m_phase == Phase::Pausing || !m_socket)
                return;
            break;
        }
    }
}

void ScaleSession::handle(const Frame &frame)
{
    if (frame.type != m_expectType || frame.seq != m_expectSeq)
        return broken(QStringLiteral("the scale answered %1 #%2 to %3 #%4")
                          .arg(TypeName(frame.type)).arg(frame.seq).arg(TypeName(m_expectType)).arg(m_expectSeq));
    const std::optional<Reply> reply = ParseReply(frame.payload);
    if (!reply)
        return broken(QStringLiteral("the scale's reply to %1 is malformed").arg(TypeName(frame.type)));
    if (reply->code != Ok) {
        const QString why = QStringLiteral("the scale refused %1: %2 %3")
                                .arg(TypeName(frame.type), CodeName(reply->code), reply->text);
        log(why);
        if (retryable(reply->code))
            return broken(why);
        return finish(ScaleResult::State::Failed, why);
    }
    switch (m_phase) {
    case Phase::Greeting: {
        const std::optional<HelloReplyInfo> h = ParseHelloReply(reply->body);
        if (!h)
            return broken(QStringLiteral("the scale's greeting is malformed"));
        if (h->scaleNo != m_config.scaleNo)
            return finish(ScaleResult::State::Failed,
                          QStringLiteral("the scale answers as scale %1, not %2").arg(h->scaleNo).arg(m_config.scaleNo));
        log(QStringLiteral("greeted, %1 PLUs held").arg(h->pluCount));
        m_plan->greeted(*h);
        return sendNext();
    }
    case Phase::Working: {
        QString error;
        if (!m_plan->accepted(reply->body, &error))
            return broken(error);
        log(QStringLiteral("%1 accepted").arg(TypeName(frame.type)));
        emit progress(m_plan->step(), m_plan->done(), m_plan->total());
        return sendNext();
    }
    case Phase::Closing:
        return finish(ScaleResult::State::Done);
    default:
        return;
    }
}

void ScaleSession::broken(const QString &reason)
{
    if (m_phase == Phase::Finished || m_phase == Phase::Pausing)
        return;
    dropSocket(false);
    log(QStringLiteral("attempt %1 failed: %2").arg(m_result.attempts).arg(reason));
    if (m_result.attempts > m_config.settings.retries) {
        const QString failure = m_result.attempts > 1
            ? QStringLiteral("%1 (%2 attempts)").arg(reason).arg(m_result.attempts)
            : reason;
        return finish(ScaleResult::State::Failed, failure);
    }
    m_phase = Phase::Pausing;
    m_timer.start(qMin(2000, 200 * m_result.attempts));
    emit progress(QStringLiteral("retrying"), m_plan->done(), m_plan->total());
}

void ScaleSession::dropSocket(bool graceful)
{
    if (!m_socket)
        return;
    QTcpSocket *s = m_socket;
    m_socket = nullptr;
    s->disconnect(this);
    if (graceful) {
        s->setParent(nullptr);
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        s->disconnectFromHost();
        if (s->state() == QAbstractSocket::UnconnectedState)
            s->deleteLater();
    } else {
        s->abort();
        s->deleteLater();
    }
}

void ScaleSession::finish(ScaleResult::State state, const QString &failure)
{
    if (m_phase == Phase::Finished)
        return;
    m_phase = Phase::Finished;
    m_timer.stop();
    dropSocket(state == ScaleResult::State::Done);
    m_result.state = state;
    m_result.failure = failure;
    m_result.written = m_plan->written;
    m_result.deleted = m_plan->deleted;
    m_result.read = m_plan->read;
    m_result.ms = m_clock.isValid() ? m_clock.elapsed() : 0;
    emit finished();
}

} // namespace korvo
