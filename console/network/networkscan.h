#pragma once

#include "net/frame.h"
#include "net/streamconnection.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

class QTimer;

/// An IPv4 range written as CIDR ("192.168.1.0/24", or one address).
struct ScanRange
{
    quint32 first = 0;
    quint32 last = 0;
    QString text;

    /// Parses one range; nullopt for bad text or a range wider than /16 (a scan stays gentle).
    static std::optional<ScanRange> parse(const QString &text);
    /// Every range of a list separated by commas or blanks; bad entries are skipped.
    static QList<ScanRange> parseList(const QString &text);
    quint32 count() const { return last - first + 1; }
};

/// Probes the addresses of one range for agents: each address gets a connection to the agent
/// port and only the end request 900; an address whose agent answers 901 is a computer.
/// At most `MaxConnections` connections are open at once and an address is given up after the
/// time-out. Everything runs on the event loop; nothing blocks.
class NetworkScan : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxConnections = 64;

    NetworkScan(ScanRange range, quint16 port, int timeoutMs, QObject *parent = nullptr);
    ~NetworkScan() override;
    /// The transport of each probe's connection (plain without one), as the agents are spoken to.
    void setTransportFactory(StreamConnection::TransportFactory factory)
    {
        m_factory = std::move(factory);
    }
    void start();
    bool isRunning() const { return m_running; }
    /// The addresses that answered so far, in ascending order once finished() is emitted.
    const QStringList &found() const { return m_found; }
    /// The largest number of connections that were open at the same time.
    int peakConnections() const { return m_peak; }

Q_SIGNALS:
    void finished(const QStringList &addresses);

private:
    struct Probe
    {
        StreamConnection *connection = nullptr;
        QTimer *timer = nullptr;
        FrameAssembler assembler{Frame::HeaderSize + 64};
    };
    void launchMore();
    void launch(quint32 address);
    void onReceived(Probe *probe, quint32 address, QByteArrayView chunk);
    void endProbe(Probe *probe, quint32 address, bool answered);

    ScanRange m_range;
    StreamConnection::TransportFactory m_factory;
    quint16 m_port;
    int m_timeoutMs;
    quint64 m_next;
    int m_open = 0;
    int m_peak = 0;
    bool m_running = false;
    QList<quint32> m_answered;
    QStringList m_found;
};
