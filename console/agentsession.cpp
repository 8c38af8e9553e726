#include "console/agentsession.h"

#include "net/baswsock.h"
#include "net/socketnotifier.h"
#include "net/socketsender.h"

#include <QFile>
#include <QMetaObject>

using namespace basWSock;

AgentSession::AgentSession(quint32 maxReplyBytes, QObject *parent)
    : QObject(parent), m_assembler(maxReplyBytes)
{
}

AgentSession::~AgentSession()
{
    close();
}

bool AgentSession::create(QString &errorText)
{
    close();
    m_socket = CreateSocket(AfInet, SockStream, errorText);
    return m_socket != InvalidSocket;
}

void AgentSession::connectTo(const QString &address, const QString &port)
{
    m_notifier = new SocketNotifier(m_socket, FdConnect, this);
    connect(m_notifier, &SocketNotifier::notified, this, &AgentSession::onNotified);
    m_connecting = true;
    QString errorText;
    if (ConnectSocket(m_socket, address, port, errorText) == 0)
        return;
    // An unconnected socket looks writable: the notifier must not report it as connected.
    m_notifier->setEvents(0);
    m_connecting = false;
    m_lastError = LastError();
    const int code = m_lastError;
    QMetaObject::invokeMethod(this, [this, code, errorText] {
        Q_EMIT connectFailed(code, errorText);
    }, Qt::QueuedConnection);
}

void AgentSession::send(QByteArray frame)
{
    if (!m_sender) {
        m_sender = new SocketSender(m_socket, this);
        connect(m_sender, &SocketSender::sent, this, &AgentSession::onSent);
        connect(m_sender, &SocketSender::failed, this, &AgentSession::sendFailed);
    }
    m_sender->send(std::move(frame));
}

void AgentSession::sendWithFile(QByteArray head, const QString &filePath, qint64 fileBytes)
{
    m_file = std::make_unique<QFile>(filePath);
    if (!m_file->open(QIODevice::ReadOnly)) {
        m_file.reset();
        QMetaObject::invokeMethod(this, [this] { Q_EMIT fileFailed(); }, Qt::QueuedConnection);
        return;
    }
    m_fileLeft = fileBytes;
    m_sentTotal = 0;
    send(std::move(head));
}

void AgentSession::onSent(qint64 bytes)
{
    m_sentTotal += bytes;
    if (!m_file) {
        const qint64 total = m_sentTotal;
        m_sentTotal = 0;
        Q_EMIT sent(total);
        return;
    }
    if (bytes > 0)
        Q_EMIT chunkSent();
    if (m_fileLeft == 0) {
        m_file.reset();
        onSent(0);
        return;
    }
    sendNextFileChunk();
}

void AgentSession::sendNextFileChunk()
{
    // One chunk in flight at a time: memory stays at a chunk however large the file is.
    const qint64 wanted = qMin(m_fileLeft, StreamChunkBytes);
    QByteArray chunk = m_file->read(wanted);
    if (chunk.size() != wanted) {
        // The file shrank or cannot be read: the frame's length can no longer be honoured.
        m_file.reset();
        Q_EMIT fileFailed();
        return;
    }
    m_fileLeft -= wanted;
    m_sender->send(std::move(chunk));
}

void AgentSession::startReading()
{
    m_assembler.reset();
    m_reading = true;
    if (!m_notifier) {
        m_notifier = new SocketNotifier(m_socket, FdRead, this);
        connect(m_notifier, &SocketNotifier::notified, this, &AgentSession::onNotified);
    } else {
        m_notifier->setEvents(FdRead);
    }
}

void AgentSession::onNotified(int, int event, int error)
{
    if (event == FdConnect && m_connecting) {
        m_connecting = false;
        m_notifier->setEvents(0);
        m_lastError = error;
        if (error == 0)
            Q_EMIT connected();
        else
            Q_EMIT connectFailed(error, WsaErrorText(error));
        return;
    }
    if (event != FdRead || !m_reading)
        return;
    if (error != 0) {
        m_reading = false;
        m_notifier->setEvents(0);
        m_lastError = error;
        // A reset is the agent going away, as an orderly close is.
        if (error == WsaEConnReset)
            Q_EMIT closedByAgent(error);
        else
            Q_EMIT notificationFailed(error);
        return;
    }
    onReadable();
}

void AgentSession::onReadable()
{
    char buffer[Frame::ChunkSize];
    QString errorText;
    const qint64 n = Recv(m_socket, buffer, sizeof buffer, errorText);
    if (n < 0) {
        if (LastError() == WsaEWouldBlock)
            return;
        m_reading = false;
        m_notifier->setEvents(0);
        m_lastError = LastError();
        Q_EMIT receiveFailed(m_lastError, errorText);
        return;
    }
    if (n == 0) {
        m_reading = false;
        m_notifier->setEvents(0);
        Q_EMIT closedByAgent(0);
        return;
    }
    switch (m_assembler.feed(QByteArrayView(buffer, n))) {
    case FrameAssembler::Status::Incomplete:
        Q_EMIT receiving();
        return;
    case FrameAssembler::Status::Bad: {
        m_reading = false;
        m_notifier->setEvents(0);
        const quint32 declared = m_assembler.declaredLength();
        m_assembler.reset();
        Q_EMIT replyTooLarge(declared);
        return;
    }
    case FrameAssembler::Status::Complete:
        m_reading = false;
        m_notifier->setEvents(0);
        Q_EMIT replyReceived(m_assembler.takeMessage());
        return;
    }
}

void AgentSession::close()
{
    m_connecting = false;
    m_reading = false;
    m_file.reset();
    // Both may be inside their own signal right now: silenced at once, deleted later.
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
    if (m_socket != InvalidSocket) {
        QString errorText;
        CloseSocket(m_socket, errorText);
        m_socket = InvalidSocket;
    }
    m_assembler.reset();
}
