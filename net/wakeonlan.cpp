#include "net/wakeonlan.h"

#include "net/baswsock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace WakeOnLan {

namespace {

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The digits of the text when its separators stand in one of the accepted patterns.
std::optional<QString> digitsOf(QStringView text)
{
    if (text.size() == 2 * MacBytes)
        return text.toString();
    int group = 0;
    QChar separator;
    if (text.size() == 17 && (text[2] == u':' || text[2] == u'-')) {
        group = 2;
        separator = text[2];
    } else if (text.size() == 14 && text[4] == u'.') {
        group = 4;
        separator = u'.';
    } else {
        return std::nullopt;
    }
    QString digits;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool separatorPlace = (i + 1) % (group + 1) == 0;
        if (separatorPlace != (text[i] == separator))
            return std::nullopt;
        if (!separatorPlace)
            digits.append(text[i]);
    }
    return digits;
}

} // namespace

std::optional<QByteArray> parseMac(QStringView text)
{
    const auto digits = digitsOf(text.trimmed());
    if (!digits || digits->size() != 2 * MacBytes)
        return std::nullopt;
    for (const QChar c : *digits) {
        if (!isHex(c))
            return std::nullopt;
    }
    return QByteArray::fromHex(digits->toLatin1());
}

QString macText(QByteArrayView mac)
{
    return QString::fromLatin1(mac.toByteArray().toHex()).toUpper();
}

QByteArray magicPacket(QByteArrayView mac)
{
    QByteArray packet(6, char(0xFF));
    packet.reserve(PacketBytes);
    for (int i = 0; i < 16; ++i)
        packet.append(mac.data(), mac.size());
    return packet;
}

} // namespace WakeOnLan

WakeSender::WakeSender(QString address, quint16 port, int maxPerSecond, QObject *parent)
    : QObject(parent), m_address(std::move(address)), m_port(port),
      m_maxPerSecond(qMax(1, maxPerSecond))
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WakeSender::pump);
}

WakeSender::~WakeSender()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

bool WakeSender::open(QString &errorText)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, m_address.toLatin1().constData(), &parsed) != 1) {
        errorText = u"WakeAddressはIPv4アドレスで指定してください。("_s + m_address + u')';
        return false;
    }
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (m_socket < 0
        || ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        errorText = basWSock::WsaErrorText(basWSock::WsaCodeFromErrno(errno));
        return false;
    }
    return true;
}

void WakeSender::wake(int tag, const QByteArray &mac)
{
    m_queue.append({tag, WakeOnLan::magicPacket(mac)});
    // Sent from the event loop, never from inside wake(): the caller finishes its bookkeeping
    // before the outcomes arrive.
    if (!m_timer.isActive())
        m_timer.start(0);
}

void WakeSender::pump()
{
    // A sliding second: a packet goes only while fewer than the limit went in the last 1000 ms.
    while (!m_queue.isEmpty()) {
        const qint64 now = m_clock.elapsed();
        while (!m_sentAt.isEmpty() && now - m_sentAt.first() >= 1000)
            m_sentAt.removeFirst();
        if (m_sentAt.size() >= m_maxPerSecond) {
            m_timer.start(int(1000 - (now - m_sentAt.first())));
            return;
        }
        const Packet packet = m_queue.takeFirst();
        m_sentAt.append(now);
        QString errorText;
        if (sendOne(packet, errorText))
            Q_EMIT sent(packet.tag);
        else
            Q_EMIT failed(packet.tag, errorText);
    }
    Q_EMIT drained();
}

bool WakeSender::sendOne(const Packet &packet, QString &errorText)
{
    if (m_socket < 0) {
        errorText = basWSock::WsaErrorText(basWSock::WsaCodeFromErrno(EBADF));
        return false;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(m_port);
    ::inet_pton(AF_INET, m_address.toLatin1().constData(), &target.sin_addr);
    // A datagram goes whole or not at all; the socket blocks only while the kernel's send
    // buffer is full, which a hundred bytes a packet never makes it.
    const ssize_t count = ::sendto(m_socket, packet.bytes.constData(), size_t(packet.bytes.size()),
                                   MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&target),
                                   sizeof target);
    if (count == packet.bytes.size())
        return true;
    errorText = basWSock::WsaErrorText(basWSock::WsaCodeFromErrno(count < 0 ? errno : EMSGSIZE));
    return false;
}
