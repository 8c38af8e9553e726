#include "console/connection/requestexchange.h"

#include "console/connection/agentsession.h"
#include "console/settings/consolesettings.h"
#include "console/connection/consoletls.h"
#include "console/connection/namelookup.h"
#include "net/protocol.h"
#include "net/requestbuilder.h"

using namespace Qt::StringLiterals;

RequestExchange::RequestExchange(const ConsoleSettings &settings, quint32 maxReplyBytes,
                                 QObject *parent)
    : QObject(parent), m_settings(settings), m_maxReplyBytes(maxReplyBytes)
{
    connect(&m_timeout, &TransferDeadline::expired, this, [this] { fail(Failure::Timeout); });
}

RequestExchange::~RequestExchange() = default;

void RequestExchange::makeSession()
{
    m_session = new AgentSession(m_maxReplyBytes, this);
    connect(m_session, &AgentSession::connected, this, &RequestExchange::onConnected);
    connect(m_session, &AgentSession::connectFailed, this,
            [this](int wsaError, const QString &text) { fail(Failure::Connect, wsaError, text); });
    connect(m_session, &AgentSession::handshakeFailed, this,
            [this](const QString &reason) { fail(Failure::Handshake, 0, reason); });
    connect(m_session, &AgentSession::sent, this, &RequestExchange::onSent);
    connect(m_session, &AgentSession::sendFailed, this,
            [this](int wsaError, const QString &text) { fail(Failure::Send, wsaError, text); });
    connect(m_session, &AgentSession::fileFailed, this, [this] { fail(Failure::File); });
    // A large file or reply earns time as it moves at a steady rate; a trickle does not.
    connect(m_session, &AgentSession::chunkSent, &m_timeout, &TransferDeadline::addBytes);
    connect(m_session, &AgentSession::receiving, this, [this](qint64 bytes) {
        m_timeout.addBytes(bytes);
        Q_EMIT receiving(bytes);
    });
    connect(m_session, &AgentSession::replyReceived, this, &RequestExchange::onReply);
    connect(m_session, &AgentSession::replyTooLarge, this, [this] { fail(Failure::TooLarge); });
    connect(m_session, &AgentSession::closedByAgent, this,
            [this](int wsaError) { fail(Failure::Closed, wsaError); });
    connect(m_session, &AgentSession::receiveFailed, this,
            [this](int wsaError, const QString &text) { fail(Failure::Receive, wsaError, text); });
    connect(m_session, &AgentSession::notificationFailed, this,
            [this](int wsaError) { fail(Failure::Notification, wsaError); });
}

void RequestExchange::startTimeout()
{
    if (!m_timeout.isActive())
        m_timeout.start(m_settings.TimeoutMs);
}

bool RequestExchange::begin(NameLookup &lookup, const QString &host, int requestCode,
                            QString &errorText)
{
    m_requestCode = requestCode;
    m_roundTripMs = -1;
    startTimeout();
    if (!m_session)
        makeSession();
    m_session->setTransportFactory(ConsoleTransportFactory(m_settings));
    if (!m_session->create(errorText))
        return false;
    Q_EMIT socketStatus(u"ソケットが生成されました！"_s);
    setState(Connecting);
    lookup.find(host, this, [this](const NameLookup::Target &target) {
        onTargetFound(target.address, target.wsaError);
    });
    Q_EMIT socketStatus(u"接続しています･･･"_s);
    return true;
}

void RequestExchange::onTargetFound(const QString &address, int wsaError)
{
    // An answer after the time-out finds the exchange over: it is dropped.
    if (m_state != Connecting)
        return;
    m_roundTrip.start();
    if (address.isEmpty())
        m_session->failConnect(wsaError);
    else
        m_session->connectTo(address, m_settings.Port);
}

void RequestExchange::onConnected()
{
    if (m_state != Connecting)
        return;
    setState(Idle);
    Q_EMIT socketStatus(u"接続しました！"_s);
    Q_EMIT connected();
}

void RequestExchange::send(QByteArray request)
{
    m_session->send(std::move(request));
}

void RequestExchange::sendWithFile(QByteArray head, const QString &filePath, qint64 fileBytes)
{
    // A stalled or trickling transfer must not hold its slot for ever: the time-out runs while
    // sending, and only a steady rate earns more time.
    m_timeout.start(m_settings.TimeoutMs);
    m_session->sendWithFile(std::move(head), filePath, fileBytes);
}

void RequestExchange::onSent(qint64 bytes)
{
    setState(WaitingForReply);
    m_timeout.start(m_settings.TimeoutMs);
    m_session->startReading();
    Q_EMIT sent(bytes);
}

void RequestExchange::onReply(const Frame::Message &message)
{
    Q_EMIT receiving(0);
    const int endReply = Protocol::successReply(Frame::EndSession);
    if (!Protocol::answers(message.code, m_requestCode) && message.code != endReply) {
        // Not an answer to this request: the wait goes on (until the time-out, at the latest).
        m_session->startReading();
        return;
    }
    m_roundTripMs = m_roundTrip.elapsed();
    setState(message.code == endReply ? ClosedByAgent : Idle);
    Q_EMIT replied(message);
}

void RequestExchange::endAfterReply(int replyCode)
{
    if (Protocol::consoleSendsEndAfter(replyCode))
        sendEnd();
    close();
}

void RequestExchange::sendEnd()
{
    m_session->send(RequestBuilder::text(Frame::EndSession));
}

void RequestExchange::close()
{
    m_timeout.stop();
    Q_EMIT socketStatus(u"ソケットをクローズしています･･･"_s);
    if (m_session)
        m_session->close();
    Q_EMIT socketStatus(u"ソケットのクローズが完了しました！"_s);
}

void RequestExchange::closeQuietly()
{
    m_timeout.stop();
    if (m_session)
        m_session->close();
}

void RequestExchange::cancel()
{
    setState(Failed);
    close();
}

bool RequestExchange::isOpen() const
{
    return m_session && m_session->isOpen();
}

void RequestExchange::fail(Failure failure, int wsaError, const QString &text)
{
    // A request that could not go out leaves the state where it was.
    if (failure == Failure::Closed)
        setState(ClosedByAgent);
    else if (failure != Failure::Send && failure != Failure::File)
        setState(Failed);
    Q_EMIT failed(failure, wsaError, text);
}

void RequestExchange::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}
