#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

/// Sends a whole buffer on a non-blocking socket: what one send() leaves is sent when the socket
/// is writable again, so a partial send is never reported as done. sent() and failed() are
/// always emitted from the event loop, never from inside send(), so a caller can finish its
/// own bookkeeping (log lines, state) before the outcome arrives.
class SocketSender : public QObject
{
    Q_OBJECT
public:
    explicit SocketSender(int socket, QObject *parent = nullptr);
    ~SocketSender() override;

    /// Queues `data`. Emits sent() once every byte has gone, or failed() on a socket error.
    void send(QByteArray data);
    bool busy() const { return !m_pending.isEmpty(); }
    /// Stops sending and drops what is queued; no sent() or failed() follows for it. Call it
    /// (or delete the sender) before the socket is closed.
    void cancel();

Q_SIGNALS:
    void sent(qint64 bytes);
    void failed(int wsaError, const QString &errorText);

private:
    void pump();
    void waitWritable();
    void dropNotifier();
    void finish();
    void fail(int wsaError, const QString &errorText);

    int m_socket;
    QByteArray m_pending;
    qint64 m_offset = 0;
    qint64 m_total = 0;          // bytes queued since the queue was last empty
    quint64 m_generation = 0;    // outcomes queued before cancel() belong to an old generation
    QSocketNotifier *m_writable = nullptr;
};
