#include "console/network/scansource.h"

#include "console/connection/nametable.h"
#include "console/network/networkscan.h"

using namespace Qt::Literals::StringLiterals;

ScanSource::ScanSource(QString iniPath, quint16 port, int timeoutMs, QObject *parent)
    : NetworkSource(parent), m_iniPath(std::move(iniPath)), m_port(port), m_timeoutMs(timeoutMs)
{
}

QString ScanSource::sourceName()
{
    return u"ネットワークスキャン"_s;
}

NetworkResource ScanSource::resource() const
{
    NetworkResource network;
    network.displayType = NetworkResource::Network;
    network.remoteName = sourceName();
    network.provider = sourceName();
    return network;
}

void ScanSource::enumerate(const QStringList &path)
{
    if (path.size() == 2) {
        scanRange(path);
        return;
    }
    QList<NetworkResource> children;
    if (path.size() == 1) {
        const QStringList ranges = NetworkInventory::load(m_iniPath).scanRanges();
        for (const ScanRange &range : ScanRange::parseList(ranges.join(u','))) {
            NetworkResource group = groupResource(range.text, sourceName());
            group.comment = u"%1 addresses"_s.arg(range.count());
            children.append(group);
        }
    }
    Q_EMIT enumerated(path, children);
}

void ScanSource::scanRange(const QStringList &path)
{
    const auto range = ScanRange::parse(path.at(1));
    if (!range) {
        Q_EMIT enumerated(path, {});
        return;
    }
    auto *scan = new NetworkScan(*range, m_port, m_timeoutMs, this);
    scan->setTransportFactory(m_factory);
    connect(scan, &NetworkScan::finished, this, [this, scan, path](const QStringList &found) {
        QList<NetworkResource> children;
        for (const QString &address : found)
            children.append(computerResource(address, address, sourceName()));
        scan->deleteLater();
        Q_EMIT enumerated(path, children);
    });
    scan->start();
}
