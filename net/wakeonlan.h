#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

/// Wake-on-LAN: the MAC address text, the magic packet and its paced sending by UDP.
namespace WakeOnLan {

constexpr int MacBytes = 6;
constexpr int PacketBytes = 6 + 16 * MacBytes;
constexpr quint16 DefaultPort = 9;
inline constexpr char16_t DefaultAddress[] = u"255.255.255.255";

/// The six bytes of a MAC address text: twelve hexadecimal digits, either without separators or
/// in equal groups of two (":" or "-") or four ("."), one kind of separator throughout. Blanks
/// around the text are ignored; anything else gives nullopt.
std::optional<QByteArray> parseMac(QStringView text);
/// Twelve upper-case hexadecimal digits, as the collector writes SysMACAddress.
QString macText(QByteArrayView mac);
/// Six bytes 0xFF, then the six bytes of `mac` sixteen times.
QByteArray magicPacket(QByteArrayView mac);

} // namespace WakeOnLan

/// Sends magic packets by UDP to one address and port with broadcasting allowed, never more than
/// `maxPerSecond` in any second: packets beyond that wait in a queue for a timer.
class WakeSender : public QObject
{
    Q_OBJECT
public:
    WakeSender(QString address, quint16 port, int maxPerSecond, QObject *parent = nullptr);
    ~WakeSender() override;

    /// Creates the socket. The address must be a dotted IPv4 address (no name is looked up);
    /// false with `errorText` otherwise or when the socket cannot be made.
    bool open(QString &errorText);
    /// Queues the packet for `mac` (six bytes); `tag` comes back in sent() or failed().
    void wake(int tag, const QByteArray &mac);
    /// Packets queued and not yet sent.
    qsizetype pending() const { return m_queue.size(); }

Q_SIGNALS:
    void sent(int tag);
    void failed(int tag, const QString &errorText);
    /// The queue has become empty.
    void drained();

private:
    struct Packet
    {
        int tag;
        QByteArray bytes;
    };

    void pump();
    bool sendOne(const Packet &packet, QString &errorText);

    QString m_address;
    quint16 m_port;
    int m_maxPerSecond;
    int m_socket = -1;
    QList<Packet> m_queue;
    QList<qint64> m_sentAt; // send times of the last second, oldest first
    QElapsedTimer m_clock;
    QTimer m_timer;
};
