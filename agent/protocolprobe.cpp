#include "agent/protocolprobe.h"

#include "net/baswsock.h"
#include "net/socketnotifier.h"

ProtocolProbe::Protocol ProtocolProbe::classify(unsigned char firstByte)
{
    if (firstByte == 0x16)
        return Protocol::Tls;
    if (firstByte >= '0' && firstByte <= '9')
        return Protocol::Plain;
    return Protocol::Unknown;
}

ProtocolProbe::ProtocolProbe(int socket, int timeoutMs, QObject *parent)
    : QObject(parent), m_socket(socket), m_timeoutMs(timeoutMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { decide(Protocol::TimedOut); });
}

ProtocolProbe::~ProtocolProbe()
{
    delete m_notifier; // before the owner closes the socket
}

void ProtocolProbe::start()
{
    m_notifier = new SocketNotifier(m_socket, basWSock::FdRead);
    connect(m_notifier, &SocketNotifier::notified, this, &ProtocolProbe::onNotification);
    if (m_timeoutMs > 0)
        m_timer.start(m_timeoutMs);
}

void ProtocolProbe::onNotification(int socket, int, int error)
{
    if (error != 0) {
        decide(Protocol::Gone);
        return;
    }
    char first = 0;
    QString errorText;
    const qint64 got = basWSock::Peek(socket, &first, 1, errorText);
    if (got == 1)
        decide(classify(static_cast<unsigned char>(first)));
    else if (got == 0 || basWSock::LastError() != basWSock::WsaEWouldBlock)
        decide(Protocol::Gone);
}

void ProtocolProbe::decide(Protocol protocol)
{
    if (m_decided)
        return;
    m_decided = true;
    m_timer.stop();
    m_notifier->setEvents(0);
    Q_EMIT decided(protocol);
}
