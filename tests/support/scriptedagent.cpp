#include "support/scriptedagent.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

// Spacing between the chunks of one reply, so that each arrives as its own read on the console.
constexpr int ChunkGapMs = 30;

quint32 frameLength(const QByteArray &bytes)
{
    quint32 length = 0;
    for (int i = 3; i >= 0; --i)
        length = (length << 8) | quint8(bytes[4 + i]);
    return length;
}

} // namespace

ScriptedAgent::ScriptedAgent(const QString &address, quint16 port)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedAgent::onNewConnection);
    m_server.listen(QHostAddress(address), port);
}

ScriptedAgent::~ScriptedAgent()
{
    // The sockets die with the server, after this object's members: they must not call back.
    for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
        socket->disconnect(this);
}

QList<int> ScriptedAgent::requestCodes() const
{
    QList<int> codes;
    for (const QByteArray &request : m_requests)
        codes.append(request.left(3).toInt());
    return codes;
}

void ScriptedAgent::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++m_connections;
        m_peakOpen = qMax(m_peakOpen, ++m_open);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_open;
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void ScriptedAgent::onReadable(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    while (buffer.size() >= 9 && quint32(buffer.size()) >= frameLength(buffer)) {
        const QByteArray frame = buffer.left(frameLength(buffer));
        buffer.remove(0, frame.size());
        m_requests.append(frame);
        const int code = frame.left(3).toInt();
        Q_EMIT requestReceived(code);
        const auto script = m_scripts.constFind(code);
        if (script != m_scripts.constEnd())
            play(socket, *script, 0);
    }
}

void ScriptedAgent::play(QTcpSocket *socket, const Script &script, qsizetype next)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (next < script.chunks.size()) {
        socket->write(script.chunks[next]);
        socket->flush();
    }
    if (next + 1 < script.chunks.size()) {
        QTimer::singleShot(ChunkGapMs, socket, [this, socket, script, next] {
            play(socket, script, next + 1);
        });
        return;
    }
    if (script.close)
        socket->disconnectFromHost();
}
