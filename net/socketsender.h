#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

/// Sends a whole buffer on a non-blocking socket: what one send() leaves is sent when the socket
/// is writable again, so a partial send is never reported as done.
class SocketSender : public QObject
{
    Q_OBJECT
public:
    explicit SocketSender(int socket, QObject *parent = nullptr);
    ~SocketSender() override;

    /// Queues `data`. Emits sent() once every byte has gone, or failed() on a socket error.
    void send(QByteArray data);
    bool busy() const { return !m_pending.isEmpty(); }
    /// Stops sending (before the socket is closed).
    void cancel();

Q_SIGNALS:
    void sent(qint64 bytes);
    void failed(int wsaError, const QString &errorText);

private:
    void pump();

    int m_socket;
    QByteArray m_pending;
    qint64 m_offset = 0;
    QSocketNotifier *m_writable = nullptr;
};
