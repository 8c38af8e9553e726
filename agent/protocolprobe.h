#pragma once

#include <QObject>
#include <QTimer>

class SocketNotifier;

/// Tells which protocol an accepted console speaks from its first byte, without taking it off
/// the socket: a TLS handshake record starts with 0x16, our frames with an ASCII digit. The
/// wait is bounded, so a console that sends nothing cannot hold the agent.
class ProtocolProbe : public QObject
{
    Q_OBJECT
public:
    enum class Protocol { Plain, Tls, Unknown, Gone, TimedOut };

    static Protocol classify(unsigned char firstByte);

    /// Watches `socket` (the caller keeps it) for up to `timeoutMs` once started.
    ProtocolProbe(int socket, int timeoutMs, QObject *parent = nullptr);
    ~ProtocolProbe() override;

    void start();
    int socket() const { return m_socket; }

Q_SIGNALS:
    /// Once, from the event loop; the probe is idle afterwards.
    void decided(ProtocolProbe::Protocol protocol);

private:
    void onNotification(int socket, int event, int error);
    void decide(Protocol protocol);

    int m_socket;
    int m_timeoutMs;
    SocketNotifier *m_notifier = nullptr;
    QTimer m_timer;
    bool m_decided = false;
};
