#pragma once

#include "net/transport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class SocketNotifier;
class SocketSender;

/// One stream socket and all that watches it: its notifications, the sender, the receive path
/// and the transport the bytes pass through (plain, or an encrypted session). It closes in one
/// place, in the order a reused descriptor needs: sender cancelled, notifications silenced,
/// stream ended, descriptor closed. Users see connect, write, reading on or off, close and the
/// signals; which transport carries the bytes is chosen before the socket opens.
class StreamConnection : public QObject
{
    Q_OBJECT
public:
    /// Builds the transport over a descriptor; without one the bytes go plain.
    using TransportFactory = std::function<std::unique_ptr<Transport>(int socket)>;

    /// The step that failed: callers word their status texts by it.
    enum class Failure {
        Connect,      // the connect's outcome carried an error
        Handshake,    // the transport could not open the stream
        Notification, // the read notification itself carried an error
        Receive,      // reading failed
        Send,         // sending failed
    };

    explicit StreamConnection(QObject *parent = nullptr);
    ~StreamConnection() override;

    /// The transport of every socket created or adopted afterwards.
    void setTransportFactory(TransportFactory factory) { m_factory = std::move(factory); }

    /// Creates a socket (closing any before it); false with the socket layer's text.
    bool create(QString &errorText);
    /// Starts connecting the created socket. False when the connect cannot even start
    /// (`errorText`, lastError()); otherwise connected() or failed(Connect or Handshake) follows.
    bool connectTo(const QString &host, const QString &port, QString &errorText);
    /// Takes an accepted descriptor (closed with the connection) and opens its stream.
    /// connected() follows once the stream is open: before adopt() returns when plain.
    void adopt(int socket);

    /// Puts `transport` between the open socket and the byte stream from here on (an upgrade
    /// such as STARTTLS), with nothing left to send; encrypted() follows once it is open, or
    /// failed(Handshake). Bytes the old transport read stay its caller's to drop.
    void startTransport(std::unique_ptr<Transport> transport);

    /// Queues bytes; sent() once every byte queued has gone, or failed(Send).
    void write(QByteArray data);
    /// Turns the receive path on or off. While on, each chunk read is given to received();
    /// asked for before the stream is open, reading starts when it opens.
    void setReading(bool on);
    /// The most bytes one received() carries.
    void setReadChunk(qint64 bytes) { m_readChunk = qMax<qint64>(1, bytes); }
    /// Ends everything and closes the descriptor (idempotent); no signal follows.
    void close();

    bool isOpen() const { return m_socket >= 0; }
    bool isSending() const;
    int descriptor() const { return m_socket; }
    /// The Windows Sockets code of the last connect or receive failure; 0 when none.
    int lastError() const { return m_lastError; }
    /// The transport's description for log lines ("" for plain).
    QString description() const;

Q_SIGNALS:
    void connected();
    /// The transport given to startTransport() is open.
    void encrypted();
    void received(QByteArrayView chunk);
    void sent(qint64 bytes);
    /// The peer ended the stream in order; reading has stopped.
    void closed();
    void failed(StreamConnection::Failure failure, int wsaError, const QString &errorText);

private:
    enum class State { Closed, Connecting, Handshaking, Open, Ended };

    void open(int socket);
    void attachSender();
    void onNotified(int socket, int event, int error);
    void handshake();
    void receive();
    void drainLater();
    void updateEvents();
    void fail(Failure failure, int wsaError, const QString &errorText);

    TransportFactory m_factory;
    std::unique_ptr<Transport> m_transport;
    SocketNotifier *m_notifier = nullptr;
    SocketSender *m_sender = nullptr;
    int m_socket = -1;
    State m_state = State::Closed;
    int m_waitEvent = 0;      // the readiness the transport asked for, while it needs one
    bool m_reading = false;
    bool m_upgrading = false; // the handshake is that of startTransport()
    int m_lastError = 0;
    quint64 m_generation = 0; // queued calls made before close() belong to an old socket
    qint64 m_readChunk;
    QByteArray m_buffer;
};
