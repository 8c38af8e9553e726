#pragma once

#include "platform/probes/network_parsers.h"
#include "platform/probes/sysprobe.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

/// The PC's physical network adapters and the network items made of them.
namespace SysProbe {

/// What /sys/class/net tells about one interface.
struct NetInterface
{
    QString name;
    int index = 0;
    int type = 0;           // ARPHRD_* of the "type" file (1 Ethernet, 772 loopback, ...)
    bool hasDevice = false; // a "device" link: backed by hardware (PCI, USB, SDIO, virtio ...)
    QString deviceKey;      // the hardware it is backed by, plus its port on that hardware
    QString devType;        // DEVTYPE of the interface's uevent ("bridge", "vlan", "wlan", ...)
    bool bridge = false;    // has a "bridge" folder
    bool tun = false;       // has "tun_flags" (tun/tap: VPNs and emulators)
    QString mac;            // twelve upper-case hex digits, empty when the interface has none
    QString description;
};

/// "02:fc:00:00:00:01" -> "02FC00000001"; empty for an address of no bytes.
QString macTextOf(QByteArrayView sysfsAddress);
/// Windows-style description: "vendor model" from the udev hardware database, else the driver
/// name of the device's uevent, else the interface name.
QString adapterDescription(QByteArrayView udevData, QByteArrayView deviceUevent, const QString &name);
/// True for a network device of the PC itself: backed by hardware and none of loopback,
/// bridge, tun/tap, VLAN, bond or other software-made interface.
bool isPhysicalInterface(const NetInterface &interface);
/// The physical interfaces in the system's (index) order; interfaces that share one port of
/// one device (virtual stations added on a wireless card) count once, as the first of them.
QList<NetInterface> physicalAdapters(QList<NetInterface> interfaces);

/// Every interface of a /sys/class/net-like folder; udevFolder is /run/udev/data.
/// ok is false when the folder cannot be listed.
QList<NetInterface> readInterfaces(const QString &sysClassNet, const QString &udevFolder, bool *ok);

/// One physical adapter with its addresses, as the items report it.
struct AdapterFacts
{
    QString description;
    QString mac;
    QString ipAddress; // "0.0.0.0" when the adapter has no IPv4 address
    QString subnetMask;
    QString gateway;
    DhcpLease lease;   // empty address: not configured by DHCP
};

struct NetworkFacts
{
    bool adaptersListed = true;  // false: the adapter list could not be read at all
    QList<AdapterFacts> adapters; // physical adapters in the system's order
    ResolverConfig resolver;
    QString hostName;             // whole host name, possibly with a domain part
    QString computerName;         // the MAC item's stand-in when no adapter address is known
};

/// Fills the thirteen network items (SysNetAdapter ... SysDHCPExpireLease) (pure).
void networkItems(const NetworkFacts &facts, ItemTexts &items);

void probeNetwork(ItemTexts &items);

} // namespace SysProbe
