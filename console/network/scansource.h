#pragma once

#include "console/network/networkresource.h"
#include "net/streamconnection.h"

/// The computers found by scanning the ranges of TarvoNetwork.ini (section "Scan", key
/// "Ranges"): one group per range; expanding a range scans it in the background.
class ScanSource : public NetworkSource
{
    Q_OBJECT
public:
    ScanSource(QString iniPath, quint16 port, int timeoutMs, QObject *parent = nullptr);
    /// The transport of the scan's connections (plain without one).
    void setTransportFactory(StreamConnection::TransportFactory factory)
    {
        m_factory = std::move(factory);
    }
    NetworkResource resource() const override;
    void enumerate(const QStringList &path) override;

    static QString sourceName();

private:
    void scanRange(const QStringList &path);

    QString m_iniPath;
    quint16 m_port;
    int m_timeoutMs;
    StreamConnection::TransportFactory m_factory;
};
