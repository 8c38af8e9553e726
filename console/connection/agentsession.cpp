#include "console/connection/agentsession.h"

#include "net/baswsock.h"
#include "net/streamconnection.h"

#include <QFile>
#include <QMetaObject>

using namespace basWSock;

AgentSession::AgentSession(quint32 maxReplyBytes, QObject *parent)
    : QObject(parent), m_stream(new StreamConnection(this)), m_assembler(maxReplyBytes)
{
    connect(m_stream, &StreamConnection::connected, this, &AgentSession::connected);
    connect(m_stream, &StreamConnection::sent, this, &AgentSession::onSent);
    connect(m_stream, &StreamConnection::received, this, &AgentSession::onReceived);
    connect(m_stream, &StreamConnection::closed, this, [this] {
        m_reading = false;
        Q_EMIT closedByAgent(0);
    });
    connect(m_stream, &StreamConnection::failed, this,
            [this](StreamConnection::Failure failure, int wsaError, const QString &text) {
                onFailed(int(failure), wsaError, text);
            });
}

AgentSession::~AgentSession()
{
    close();
}

bool AgentSession::isOpen() const
{
    return m_stream->isOpen();
}

int AgentSession::lastError() const
{
    return m_stream->lastError();
}

void AgentSession::setTransportFactory(std::function<std::unique_ptr<Transport>(int)> factory)
{
    m_stream->setTransportFactory(std::move(factory));
}

bool AgentSession::create(QString &errorText)
{
    close();
    return m_stream->create(errorText);
}

void AgentSession::connectTo(const QString &address, const QString &port)
{
    QString errorText;
    if (m_stream->connectTo(address, port, errorText))
        return;
    const int code = m_stream->lastError();
    QMetaObject::invokeMethod(this, [this, code, errorText] {
        Q_EMIT connectFailed(code, errorText);
    }, Qt::QueuedConnection);
}

void AgentSession::failConnect(int wsaError)
{
    QMetaObject::invokeMethod(this, [this, wsaError] {
        Q_EMIT connectFailed(wsaError, WsaErrorText(wsaError));
    }, Qt::QueuedConnection);
}

void AgentSession::onFailed(int failure, int wsaError, const QString &errorText)
{
    using Failure = StreamConnection::Failure;
    switch (Failure(failure)) {
    case Failure::Connect:
        Q_EMIT connectFailed(wsaError, errorText);
        return;
    case Failure::Handshake:
        Q_EMIT handshakeFailed(errorText);
        return;
    case Failure::Send:
        Q_EMIT sendFailed(wsaError, errorText);
        return;
    case Failure::Notification:
        m_reading = false;
        // A reset is the agent going away, as an orderly close is.
        if (wsaError == WsaEConnReset)
            Q_EMIT closedByAgent(wsaError);
        else
            Q_EMIT notificationFailed(wsaError);
        return;
    case Failure::Receive:
        m_reading = false;
        Q_EMIT receiveFailed(wsaError, errorText);
        return;
    }
}

void AgentSession::send(QByteArray frame)
{
    m_stream->write(std::move(frame));
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
        Q_EMIT chunkSent(bytes);
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
    m_stream->write(std::move(chunk));
}

void AgentSession::startReading()
{
    m_assembler.reset();
    m_reading = true;
    m_stream->setReading(true);
}

void AgentSession::stopReading()
{
    m_reading = false;
    m_stream->setReading(false);
}

void AgentSession::onReceived(QByteArrayView chunk)
{
    if (!m_reading)
        return;
    switch (m_assembler.feed(chunk)) {
    case FrameAssembler::Status::Incomplete:
        Q_EMIT receiving(chunk.size());
        return;
    case FrameAssembler::Status::Bad: {
        stopReading();
        const quint32 declared = m_assembler.declaredLength();
        m_assembler.reset();
        Q_EMIT replyTooLarge(declared);
        return;
    }
    case FrameAssembler::Status::Complete:
        stopReading();
        Q_EMIT replyReceived(m_assembler.takeMessage());
        return;
    }
}

void AgentSession::close()
{
    m_reading = false;
    m_file.reset();
    m_stream->close();
    m_assembler.reset();
}
