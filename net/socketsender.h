#pragma once

#include "net/transport.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

/// Sends a whole buffer on a non-blocking socket: what one write leaves is sent when the socket
/// is ready again, so a partial send is never reported as done. sent() and failed() are
/// always emitted from the event loop, never from inside send(), so a caller can finish its
/// own bookkeeping (log lines, state) before the outcome arrives.
class SocketSender : public QObject
{
    Q_OBJECT
public:
    /// Sends on the bare socket.
    explicit SocketSender(int socket, QObject *parent = nullptr);
    /// Sends through `transport` (which must outlive the sender's use); `socket` is the
    /// descriptor under it, watched for the readiness the transport asks for.
    SocketSender(int socket, Transport &transport, QObject *parent = nullptr);
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
    void waitFor(QSocketNotifier::Type type);
    void dropNotifier();
    void finish();
    void fail(int wsaError, const QString &errorText);

    int m_socket;
    std::unique_ptr<Transport> m_ownTransport;
    Transport *m_transport;
    QByteArray m_pending;
    qint64 m_offset = 0;
    qint64 m_total = 0;          // bytes queued since the queue was last empty
    quint64 m_generation = 0;    // outcomes queued before cancel() belong to an old generation
    QSocketNotifier *m_ready = nullptr; // the readiness the transport waits for
};
