#include "platform/probes/network_adapters.h"

#include "platform/probes/os.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

using namespace Qt::StringLiterals;

namespace SysProbe {

void networkItems(const NetworkFacts &facts, ItemTexts &items)
{
    QString adapterText;
    AdapterFacts reported;
    if (!facts.adaptersListed)
        adapterText = u"情報取得に失敗しました！"_s;
    else if (facts.adapters.isEmpty())
        adapterText = u"アダプタ情報が存在しません！"_s;
    // A later adapter overwrites an earlier one: the last non-dial-up adapter is reported.
    for (const AdapterFacts &adapter : facts.adapters) {
        if (adapter.description.startsWith(u"PPP"_s))
            continue;
        adapterText = adapter.description;
        reported = adapter;
    }
    const bool dhcp = !reported.lease.address.isEmpty() && !reported.ipAddress.isEmpty()
        && reported.ipAddress != u"0.0.0.0"_s;

    items[u"SysNetAdapter"_s] = adapterText;
    items[u"SysMACAddress"_s] = reported.mac.isEmpty() ? facts.computerName : reported.mac;
    items[u"SysIPAddress"_s] = reported.ipAddress;
    items[u"SysSubnetMasks"_s] = reported.subnetMask;
    items[u"SysGatewayAddress"_s] = reported.gateway;
    QStringList servers = facts.resolver.nameservers;
    servers.removeAll(QString());
    items[u"SysDNSAddress"_s] = servers.join(u'/');
    items[u"SysHostName"_s] = computerNameOf(facts.hostName);
    const QString domain = domainPartOf(facts.hostName);
    items[u"SysDomainName"_s] = domain.isEmpty() ? facts.resolver.domain : domain;
    items[u"SysDHCPAddress"_s] = dhcp ? reported.lease.server : QString();
    // Linux machines keep no WINS servers of their own.
    items[u"SysPriWINSAddress"_s] = QString();
    items[u"SysSecWINSAddress"_s] = QString();
    items[u"SysDHCPGetLease"_s] = dhcp ? leaseTimeText(reported.lease.obtained) : QString();
    items[u"SysDHCPExpireLease"_s] = dhcp ? leaseTimeText(reported.lease.expires) : QString();
}

namespace {

struct Ipv4Address
{
    QString address;
    QString mask;
};

QString dotted(const sockaddr *address)
{
    if (!address || address->sa_family != AF_INET)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto *in = reinterpret_cast<const sockaddr_in *>(address);
    return inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) ? QString::fromLatin1(text) : QString();
}

// The first IPv4 address of every interface, in the kernel's order.
QHash<QString, Ipv4Address> firstIpv4Addresses()
{
    QHash<QString, Ipv4Address> addresses;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name || !entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        // Labelled secondary addresses appear as "eth0:1"; they belong to eth0.
        const QString name = QString::fromLocal8Bit(entry->ifa_name).section(u':', 0, 0);
        if (!addresses.contains(name))
            addresses.insert(name, {dotted(entry->ifa_addr), dotted(entry->ifa_netmask)});
    }
    freeifaddrs(list);
    return addresses;
}

qint64 modifiedSecs(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toSecsSinceEpoch() : -1;
}

// Every lease the DHCP clients of Debian may have left for the interface.
QList<DhcpLease> leasesFor(const NetInterface &interface)
{
    QList<DhcpLease> leases;
    const QString networkd = u"/run/systemd/netif/leases/"_s + QString::number(interface.index);
    if (QFileInfo::exists(networkd))
        leases << parseNetworkdLease(readSmallFile(networkd), modifiedSecs(networkd));

    const QDir manager(u"/var/lib/NetworkManager"_s);
    for (const QString &file : manager.entryList({u"internal-*-"_s + interface.name + u".lease"_s}, QDir::Files)) {
        const QString path = manager.filePath(file);
        leases << parseNetworkdLease(readSmallFile(path), modifiedSecs(path));
    }
    for (const QString &file : manager.entryList({u"dhclient-*-"_s + interface.name + u".lease"_s}, QDir::Files))
        leases << parseDhclientLeases(readSmallFile(manager.filePath(file)), interface.name);

    for (const QString &folderPath : {u"/var/lib/dhcp"_s, u"/var/lib/dhclient"_s}) {
        const QDir folder(folderPath);
        for (const QString &file : folder.entryList({u"dhclient*.leases"_s}, QDir::Files))
            leases << parseDhclientLeases(readSmallFile(folder.filePath(file)), interface.name);
    }
    return leases;
}

ResolverConfig readResolver()
{
    ResolverConfig config = parseResolvConf(readSmallFile(u"/etc/resolv.conf"_s));
    // Behind systemd-resolved's local stub the real servers are listed in its own file.
    if (config.nameservers == QStringList{u"127.0.0.53"_s}) {
        const ResolverConfig upstream =
            parseResolvConf(readSmallFile(u"/run/systemd/resolve/resolv.conf"_s));
        if (!upstream.nameservers.isEmpty())
            config.nameservers = upstream.nameservers;
        if (config.domain.isEmpty())
            config.domain = upstream.domain;
    }
    return config;
}

} // namespace

void probeNetwork(ItemTexts &items)
{
    NetworkFacts facts;
    facts.hostName = hostName();
    facts.computerName = computerNameOf(facts.hostName);
    facts.resolver = readResolver();

    bool listed = false;
    const QList<NetInterface> adapters =
        physicalAdapters(readInterfaces(u"/sys/class/net"_s, u"/run/udev/data"_s, &listed));
    facts.adaptersListed = listed;
    const QHash<QString, Ipv4Address> addresses = firstIpv4Addresses();
    const QList<RouteEntry> routes = parseRoutes(readSmallFile(u"/proc/net/route"_s));
    for (const NetInterface &adapter : adapters) {
        AdapterFacts entry;
        entry.description = adapter.description;
        entry.mac = adapter.mac;
        const Ipv4Address ip = addresses.value(adapter.name);
        entry.ipAddress = ip.address.isEmpty() ? u"0.0.0.0"_s : ip.address;
        entry.subnetMask = ip.mask.isEmpty() ? u"0.0.0.0"_s : ip.mask;
        entry.gateway = defaultGateway(routes, adapter.name);
        entry.lease = matchingLease(leasesFor(adapter), entry.ipAddress);
        facts.adapters << entry;
    }
    networkItems(facts, items);
}

} // namespace SysProbe
