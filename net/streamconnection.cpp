#include "net/streamconnection.h"

#include "net/baswsock.h"
#include "net/frame.h"
#include "net/plaintransport.h"
#include "net/socketnotifier.h"
#include "net/socketsender.h"

#include <QMetaObject>

#include <utility>

using namespace basWSock;
using namespace Qt::StringLiterals;

namespace {
constexpr int WsaENotSock = 10038;
}

StreamConnection::StreamConnection(QObject *parent)
    : QObject(parent), m_readChunk(Frame::ChunkSize)
{
}

StreamConnection::~StreamConnection()
{
    close();
}

bool StreamConnection::create(QString &errorText)
{
    close();
    const int socket = CreateSocket(AfInet, SockStream, errorText);
    if (socket == InvalidSocket)
        return false;
    open(socket);
    return true;
}

bool StreamConnection::connectTo(const QString &host, const QString &port, QString &errorText)
{
    if (m_socket == InvalidSocket) {
        m_lastError = WsaENotSock;
        errorText = WsaErrorText(m_lastError);
        return false;
    }
    m_state = State::Connecting;
    updateEvents();
    if (ConnectSocket(m_socket, host, port, errorText) == 0)
        return true;
    // An unconnected socket looks writable: it must not be reported as connected.
    m_lastError = LastError();
    m_state = State::Ended;
    updateEvents();
    return false;
}

void StreamConnection::adopt(int socket)
{
    close();
    open(socket);
    m_state = State::Handshaking;
    handshake();
}

void StreamConnection::open(int socket)
{
    m_socket = socket;
    m_lastError = 0;
    m_transport = m_factory ? m_factory(socket) : std::make_unique<PlainTransport>(socket);
    m_notifier = new SocketNotifier(socket, 0, this);
    connect(m_notifier, &SocketNotifier::notified, this, &StreamConnection::onNotified);
    attachSender();
}

void StreamConnection::attachSender()
{
    m_sender = new SocketSender(m_socket, *m_transport, this);
    connect(m_sender, &SocketSender::sent, this, &StreamConnection::sent);
    connect(m_sender, &SocketSender::failed, this, [this](int wsaError, const QString &text) {
        Q_EMIT failed(Failure::Send, wsaError, text);
    });
}

void StreamConnection::startTransport(std::unique_ptr<Transport> transport)
{
    if (m_state != State::Open || isSending() || !transport) {
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(this, [this, generation] {
            if (generation == m_generation)
                fail(Failure::Handshake, 0, u"暗号化通信を開始できる状態ではありません。"_s);
        }, Qt::QueuedConnection);
        return;
    }
    // The old sender holds the old transport: cancelled, it never touches it again.
    m_sender->cancel();
    m_sender->disconnect(this);
    m_sender->deleteLater();
    m_transport = std::move(transport);
    attachSender();
    m_upgrading = true;
    m_state = State::Handshaking;
    handshake();
}

void StreamConnection::write(QByteArray data)
{
    if (m_sender) {
        m_sender->send(std::move(data));
        return;
    }
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(this, [this, generation] {
        if (generation == m_generation)
            Q_EMIT failed(Failure::Send, WsaENotSock, WsaErrorText(WsaENotSock));
    }, Qt::QueuedConnection);
}

bool StreamConnection::isSending() const
{
    return m_sender && m_sender->busy();
}

void StreamConnection::setReading(bool on)
{
    m_reading = on;
    updateEvents();
    if (on)
        drainLater();
}

QString StreamConnection::description() const
{
    return m_transport ? m_transport->description() : QString();
}

void StreamConnection::updateEvents()
{
    if (!m_notifier)
        return;
    int events = 0;
    switch (m_state) {
    case State::Connecting: events = FdConnect; break;
    case State::Handshaking: events = m_waitEvent; break;
    case State::Open: events = m_waitEvent ? m_waitEvent : (m_reading ? FdRead : 0); break;
    case State::Closed:
    case State::Ended: break;
    }
    m_notifier->setEvents(events);
}

void StreamConnection::onNotified(int, int event, int error)
{
    switch (m_state) {
    case State::Connecting:
        if (event != FdConnect)
            return;
        if (error != 0)
            return fail(Failure::Connect, error, WsaErrorText(error));
        m_state = State::Handshaking;
        return handshake();
    case State::Handshaking:
        if (error != 0)
            return fail(Failure::Handshake, error, WsaErrorText(error));
        return handshake();
    case State::Open:
        if (error != 0)
            return fail(Failure::Notification, error, WsaErrorText(error));
        if (m_waitEvent != 0 || m_reading) // a read that had to wait for writability, too
            return receive();
        return;
    case State::Closed:
    case State::Ended:
        return;
    }
}

void StreamConnection::handshake()
{
    const Transport::Result result = m_transport->handshake();
    switch (result.io) {
    case Transport::Io::Done:
        m_state = State::Open;
        m_waitEvent = 0;
        updateEvents();
        if (std::exchange(m_upgrading, false))
            Q_EMIT encrypted();
        else
            Q_EMIT connected();
        drainLater();
        return;
    case Transport::Io::WantRead:
    case Transport::Io::WantWrite:
        m_waitEvent = result.io == Transport::Io::WantRead ? FdRead : FdWrite;
        updateEvents();
        return;
    case Transport::Io::Closed:
        return fail(Failure::Handshake, WsaEConnReset, WsaErrorText(WsaEConnReset));
    case Transport::Io::Failed:
        return fail(Failure::Handshake, result.wsaError, result.errorText);
    }
}

void StreamConnection::receive()
{
    m_waitEvent = 0;
    if (!m_reading)
        return updateEvents();
    if (m_buffer.size() < m_readChunk)
        m_buffer.resize(m_readChunk);
    const Transport::Result result = m_transport->read(m_buffer.data(), m_readChunk);
    switch (result.io) {
    case Transport::Io::Done:
        updateEvents();
        if (result.bytes > 0) {
            const quint64 generation = m_generation;
            Q_EMIT received(QByteArrayView(m_buffer.constData(), result.bytes));
            if (generation == m_generation)
                drainLater();
        }
        return;
    case Transport::Io::WantRead:
        return updateEvents();
    case Transport::Io::WantWrite:
        m_waitEvent = FdWrite;
        return updateEvents();
    case Transport::Io::Closed:
        m_reading = false;
        m_state = State::Ended;
        updateEvents();
        Q_EMIT closed();
        return;
    case Transport::Io::Failed:
        return fail(Failure::Receive, result.wsaError, result.errorText);
    }
}

void StreamConnection::drainLater()
{
    // Bytes a transport has already taken off the socket raise no notification: read them from
    // the event loop, so each chunk is still delivered on its own pass.
    if (!m_transport || m_state != State::Open || !m_reading || m_transport->pendingBytes() <= 0)
        return;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(this, [this, generation] {
        if (generation == m_generation && m_state == State::Open && m_reading
            && m_transport->pendingBytes() > 0)
            receive();
    }, Qt::QueuedConnection);
}

void StreamConnection::fail(Failure failure, int wsaError, const QString &errorText)
{
    // Sending goes on where it can: a reply may still leave after a broken read.
    m_reading = false;
    m_state = State::Ended;
    m_waitEvent = 0;
    m_lastError = wsaError;
    updateEvents();
    Q_EMIT failed(failure, wsaError, errorText);
}

void StreamConnection::close()
{
    ++m_generation;
    m_state = State::Closed;
    m_upgrading = false;
    m_reading = false;
    m_waitEvent = 0;
    // Sender and notifier may be inside their own signals: silenced now, deleted later.
    if (m_sender) {
        m_sender->cancel();
        m_sender->disconnect(this);
        m_sender->deleteLater();
        m_sender = nullptr;
    }
    if (m_notifier) {
        m_notifier->setEvents(0);
        m_notifier->disconnect(this);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_transport) {
        m_transport->shutdown();
        m_transport.reset();
    }
    if (m_socket != InvalidSocket) {
        QString errorText;
        CloseSocket(m_socket, errorText);
        m_socket = InvalidSocket;
    }
}
