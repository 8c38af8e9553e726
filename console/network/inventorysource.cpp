#include "console/network/inventorysource.h"

#include "console/connection/nametable.h"

using namespace Qt::Literals::StringLiterals;

InventorySource::InventorySource(QString iniPath, QObject *parent)
    : NetworkSource(parent), m_iniPath(std::move(iniPath))
{
}

QString InventorySource::sourceName()
{
    return QString::fromUtf16(NetworkInventory::FileName);
}

NetworkResource InventorySource::resource() const
{
    NetworkResource network;
    network.displayType = NetworkResource::Network;
    network.remoteName = sourceName();
    network.comment = m_iniPath;
    network.provider = sourceName();
    return network;
}

void InventorySource::enumerate(const QStringList &path)
{
    const NetworkInventory inventory = NetworkInventory::load(m_iniPath);
    QList<NetworkResource> children;
    if (path.size() == 1) {
        for (const NetworkInventory::Group &group : inventory.groups())
            children.append(groupResource(group.name, sourceName()));
    } else if (path.size() == 2) {
        if (const NetworkInventory::Group *group = inventory.group(path.at(1))) {
            children.reserve(group->computers.size());
            for (const NetworkInventory::Computer &computer : group->computers)
                children.append(computerResource(computer.name, computer.address, sourceName()));
        }
    }
    Q_EMIT enumerated(path, children);
}
