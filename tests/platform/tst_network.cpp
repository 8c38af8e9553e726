#include "platform/probes/network_adapters.h"
#include "platform/probes/network_parsers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace SysProbe;

using Adapters = QList<AdapterFacts>;
Q_DECLARE_METATYPE(NetworkFacts)

class TestNetwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void networkItems_data();
    void networkItems();
    void physicalAdapters_data();
    void physicalAdapters();
    void interfacesFromSysfs();
    void macText_data();
    void macText();
    void resolvConf_data();
    void resolvConf();
    void gateway();
    void dhclientLeases();
    void networkdLease();
    void leaseChoice();
};

namespace {

AdapterFacts lan(const QString &description, const QString &mac, const QString &ip)
{
    AdapterFacts adapter;
    adapter.description = description;
    adapter.mac = mac;
    adapter.ipAddress = ip;
    adapter.subnetMask = u"255.255.255.0"_s;
    adapter.gateway = u"192.168.1.1"_s;
    return adapter;
}

NetworkFacts facts(Adapters adapters)
{
    NetworkFacts f;
    f.adapters = std::move(adapters);
    f.computerName = u"PC-TARO"_s;
    f.hostName = u"pc-taro.example.jp"_s;
    f.resolver.nameservers = {u"192.168.1.1"_s, QString(), u"8.8.8.8"_s};
    return f;
}

NetInterface interface(const QString &name, int index, bool device = true)
{
    NetInterface i;
    i.name = name;
    i.index = index;
    i.type = 1;
    i.hasDevice = device;
    i.deviceKey = device ? u"/sys/devices/pci/"_s + name + u"#0"_s : QString();
    return i;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

void TestNetwork::networkItems_data()
{
    QTest::addColumn<NetworkFacts>("input");
    QTest::addColumn<QStringList>("expected"); // adapter, MAC, IP, lease obtained, lease expires

    QTest::newRow("no adapter: MAC is the computer name")
        << facts({}) << QStringList{u"アダプタ情報が存在しません！"_s, u"PC-TARO"_s, QString(), QString(), QString()};
    NetworkFacts unlisted = facts({});
    unlisted.adaptersListed = false;
    QTest::newRow("list unreadable") << unlisted
                                     << QStringList{u"情報取得に失敗しました！"_s, u"PC-TARO"_s,
                                                    QString(), QString(), QString()};
    QTest::newRow("dial-up only: items stay empty")
        << facts({lan(u"PPP Adapter"_s, u"444553540000"_s, u"10.64.0.2"_s)})
        << QStringList{QString(), u"PC-TARO"_s, QString(), QString(), QString()};
    QTest::newRow("ppp is case-sensitive")
        << facts({lan(u"ppp link"_s, u"444553540000"_s, u"10.64.0.2"_s)})
        << QStringList{u"ppp link"_s, u"444553540000"_s, u"10.64.0.2"_s, QString(), QString()};
    QTest::newRow("adapter without address")
        << facts({lan(u"Intel I219-V"_s, QString(), u"0.0.0.0"_s)})
        << QStringList{u"Intel I219-V"_s, u"PC-TARO"_s, u"0.0.0.0"_s, QString(), QString()};
    QTest::newRow("two LAN adapters: the last")
        << facts({lan(u"First"_s, u"001122334455"_s, u"192.168.1.10"_s),
                  lan(u"Second"_s, u"66778899AABB"_s, u"192.168.2.10"_s)})
        << QStringList{u"Second"_s, u"66778899AABB"_s, u"192.168.2.10"_s, QString(), QString()};
    QTest::newRow("dial-up after LAN is skipped")
        << facts({lan(u"LAN"_s, u"001122334455"_s, u"192.168.1.10"_s),
                  lan(u"PPP"_s, u"444553540000"_s, u"10.0.0.1"_s)})
        << QStringList{u"LAN"_s, u"001122334455"_s, u"192.168.1.10"_s, QString(), QString()};

    AdapterFacts dhcp = lan(u"LAN"_s, u"001122334455"_s, u"192.168.1.10"_s);
    dhcp.lease = DhcpLease{u"192.168.1.10"_s, u"192.168.1.1"_s, 1078993815, 1079598615};
    QTest::newRow("DHCP lease")
        << facts({dhcp})
        << QStringList{u"LAN"_s, u"001122334455"_s, u"192.168.1.10"_s, u"2004/03/11 08:30:15"_s,
                       u"2004/03/18 08:30:15"_s};
    AdapterFacts down = dhcp;
    down.ipAddress = u"0.0.0.0"_s;
    QTest::newRow("DHCP without address")
        << facts({down})
        << QStringList{u"LAN"_s, u"001122334455"_s, u"0.0.0.0"_s, QString(), QString()};
}

void TestNetwork::networkItems()
{
    QFETCH(NetworkFacts, input);
    QFETCH(QStringList, expected);
    ItemTexts items;
    SysProbe::networkItems(input, items);
    QCOMPARE(items.size(), 13);
    QCOMPARE(items.value(u"SysNetAdapter"_s), expected[0]);
    QCOMPARE(items.value(u"SysMACAddress"_s), expected[1]);
    QCOMPARE(items.value(u"SysIPAddress"_s), expected[2]);
    QCOMPARE(items.value(u"SysDHCPGetLease"_s), expected[3]);
    QCOMPARE(items.value(u"SysDHCPExpireLease"_s), expected[4]);
    QCOMPARE(items.value(u"SysDHCPAddress"_s), expected[3].isEmpty() ? QString() : u"192.168.1.1"_s);
    QCOMPARE(items.value(u"SysDNSAddress"_s), u"192.168.1.1/8.8.8.8"_s);
    QCOMPARE(items.value(u"SysHostName"_s), u"pc-taro"_s);
    QCOMPARE(items.value(u"SysDomainName"_s), u"example.jp"_s);
    QCOMPARE(items.value(u"SysPriWINSAddress"_s), QString());
    const bool reported = !expected[2].isEmpty();
    QCOMPARE(items.value(u"SysSubnetMasks"_s), reported ? u"255.255.255.0"_s : QString());
    QCOMPARE(items.value(u"SysGatewayAddress"_s), reported ? u"192.168.1.1"_s : QString());
}

void TestNetwork::physicalAdapters_data()
{
    QTest::addColumn<QList<NetInterface>>("interfaces");
    QTest::addColumn<QStringList>("adapters");

    NetInterface lo = interface(u"lo"_s, 1, false);
    lo.type = 772;
    NetInterface eth = interface(u"enp3s0"_s, 2);
    NetInterface wlan = interface(u"wlp2s0"_s, 3);
    wlan.devType = u"wlan"_s;
    NetInterface bridge = interface(u"br0"_s, 4, false);
    bridge.bridge = true;
    bridge.devType = u"bridge"_s;
    NetInterface docker = interface(u"docker0"_s, 5, false);
    docker.bridge = true;
    NetInterface veth = interface(u"veth1a2b"_s, 6, false);
    NetInterface tun = interface(u"tun0"_s, 7, false);
    tun.tun = true;
    tun.type = 65534;
    NetInterface tap = interface(u"tap0"_s, 8, true);
    tap.tun = true;
    NetInterface vlan = interface(u"enp3s0.10"_s, 9, false);
    vlan.devType = u"vlan"_s;
    NetInterface wg = interface(u"wg0"_s, 10, false);
    wg.devType = u"wireguard"_s;
    NetInterface station = interface(u"wlp2s0v1"_s, 11);
    station.deviceKey = wlan.deviceKey; // a second station on the same radio
    NetInterface usb = interface(u"enx001122334455"_s, 12);

    QTest::newRow("loopback only") << QList<NetInterface>{lo} << QStringList{};
    QTest::newRow("software interfaces are not adapters")
        << QList<NetInterface>{lo, bridge, docker, veth, tun, tap, vlan, wg} << QStringList{};
    QTest::newRow("hardware kept in index order")
        << QList<NetInterface>{usb, veth, wlan, lo, eth, docker}
        << QStringList{u"enp3s0"_s, u"wlp2s0"_s, u"enx001122334455"_s};
    QTest::newRow("one radio counts once")
        << QList<NetInterface>{station, wlan} << QStringList{u"wlp2s0"_s};
}

void TestNetwork::physicalAdapters()
{
    QFETCH(QList<NetInterface>, interfaces);
    QFETCH(QStringList, adapters);
    QStringList names;
    for (const NetInterface &adapter : SysProbe::physicalAdapters(interfaces))
        names << adapter.name;
    QCOMPARE(names, adapters);
}

void TestNetwork::interfacesFromSysfs()
{
    QTemporaryDir dir;
    const QString net = dir.filePath(u"net"_s);
    const QString devices = dir.filePath(u"devices"_s);
    const auto make = [&](const QString &name, int index, const QByteArray &address,
                          const QString &device) {
        writeFile(net + u'/' + name + u"/ifindex"_s, QByteArray::number(index) + '\n');
        writeFile(net + u'/' + name + u"/type"_s, index == 1 ? "772\n"_ba : "1\n"_ba);
        writeFile(net + u'/' + name + u"/address"_s, address + '\n');
        if (!device.isEmpty()) {
            writeFile(devices + u'/' + device + u"/uevent"_s, "DRIVER=e1000e\nPCI_ID=8086:15B8\n"_ba);
            QVERIFY(QFile::link(devices + u'/' + device, net + u'/' + name + u"/device"_s));
        }
    };
    make(u"lo"_s, 1, "00:00:00:00:00:00"_ba, {});
    make(u"eno1"_s, 2, "00:1b:21:aa:bb:0c"_ba, u"0000:00:1f.6"_s);
    make(u"docker0"_s, 3, "02:42:ac:11:00:01"_ba, {});
    QDir().mkpath(net + u"/docker0/bridge"_s);
    make(u"eno2"_s, 4, "00:1b:21:aa:bb:0d"_ba, u"0000:00:1f.7"_s);
    writeFile(dir.filePath(u"udev/n4"_s),
              "E:ID_VENDOR_FROM_DATABASE=Intel Corporation\nE:ID_MODEL_FROM_DATABASE=Ethernet I219-LM\n"_ba);

    bool ok = false;
    const QList<NetInterface> all = readInterfaces(net, dir.filePath(u"udev"_s), &ok);
    QVERIFY(ok);
    QCOMPARE(all.size(), 4);
    const QList<NetInterface> adapters = SysProbe::physicalAdapters(all);
    QCOMPARE(adapters.size(), 2);
    QCOMPARE(adapters[0].name, u"eno1"_s);
    QCOMPARE(adapters[0].mac, u"001B21AABB0C"_s);
    QCOMPARE(adapters[0].description, u"e1000e"_s);
    QCOMPARE(adapters[1].mac, u"001B21AABB0D"_s);
    QCOMPARE(adapters[1].description, u"Intel Corporation Ethernet I219-LM"_s);

    readInterfaces(dir.filePath(u"absent"_s), dir.filePath(u"udev"_s), &ok);
    QVERIFY(!ok);
}

void TestNetwork::macText_data()
{
    QTest::addColumn<QByteArray>("sysfs");
    QTest::addColumn<QString>("text");
    QTest::newRow("ethernet") << "02:fc:00:00:00:01\n"_ba << u"02FC00000001"_s;
    QTest::newRow("upper") << "AA:BB:CC:DD:EE:FF"_ba << u"AABBCCDDEEFF"_s;
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("garbage") << "zz:00"_ba << QString();
}

void TestNetwork::macText()
{
    QFETCH(QByteArray, sysfs);
    QFETCH(QString, text);
    QCOMPARE(macTextOf(sysfs), text);
}

void TestNetwork::resolvConf_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("servers");
    QTest::addColumn<QString>("domain");

    QTest::newRow("servers and domain")
        << "# generated\nnameserver 192.168.1.1\nnameserver  8.8.8.8 \ndomain example.jp\n"_ba
        << QStringList{u"192.168.1.1"_s, u"8.8.8.8"_s} << u"example.jp"_s;
    QTest::newRow("search when no domain") << "search corp.example.jp other.jp\nnameserver ::1\n"_ba
                                           << QStringList{u"::1"_s} << u"corp.example.jp"_s;
    QTest::newRow("comments") << "; nameserver 1.1.1.1\n#nameserver 2.2.2.2\n"_ba << QStringList{}
                              << QString();
    QTest::newRow("search dot") << "search .\n"_ba << QStringList{} << QString();
}

void TestNetwork::resolvConf()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, servers);
    QFETCH(QString, domain);
    const ResolverConfig config = parseResolvConf(text);
    QCOMPARE(config.nameservers, servers);
    QCOMPARE(config.domain, domain);
}

void TestNetwork::gateway()
{
    const QList<RouteEntry> routes = parseRoutes(
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t FE01A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t50\t00000000\t0\t0\t0\n"_ba);
    QCOMPARE(routes.size(), 4);
    QCOMPARE(routes[2].mask, u"255.255.255.0"_s);
    QCOMPARE(defaultGateway(routes, u"eth0"_s), u"192.168.1.254"_s);
    QCOMPARE(defaultGateway(routes, u"wlan0"_s), u"192.168.2.1"_s);
    QCOMPARE(defaultGateway(routes, u"eth1"_s), QString());
}

void TestNetwork::dhclientLeases()
{
    const QByteArray text =
        "lease {\n  interface \"eth0\";\n  fixed-address 192.168.1.10;\n"
        "  option dhcp-lease-time 86400;\n  option dhcp-server-identifier 192.168.1.1;\n"
        "  renew 4 2004/03/11 20:30:15;\n  expire 5 2004/03/12 08:30:15;\n}\n"
        "lease { interface \"wlan0\"; fixed-address 10.0.0.5; expire epoch 1079080215; }\n"
        "# lease { interface \"eth0\"; fixed-address 1.2.3.4; }\n"_ba;
    const QList<DhcpLease> eth = parseDhclientLeases(text, u"eth0"_s);
    QCOMPARE(eth.size(), 1);
    QCOMPARE(eth[0].address, u"192.168.1.10"_s);
    QCOMPARE(eth[0].server, u"192.168.1.1"_s);
    QCOMPARE(leaseTimeText(eth[0].expires), u"2004/03/12 08:30:15"_s);
    QCOMPARE(leaseTimeText(eth[0].obtained), u"2004/03/11 08:30:15"_s);
    const QList<DhcpLease> wlan = parseDhclientLeases(text, u"wlan0"_s);
    QCOMPARE(wlan.size(), 1);
    QCOMPARE(wlan[0].expires, 1079080215);
    QCOMPARE(wlan[0].obtained, -1);
    QCOMPARE(leaseTimeText(-1), QString());
    QCOMPARE(leaseTimeText(0), u"1970/01/01 00:00:00"_s);
}

void TestNetwork::networkdLease()
{
    const DhcpLease lease = parseNetworkdLease(
        "# This is private data. Do not parse.\nADDRESS=192.168.1.10\nNETMASK=255.255.255.0\n"
        "SERVER_ADDRESS=192.168.1.1\nLIFETIME=3600\n"_ba,
        1078993815);
    QCOMPARE(lease.address, u"192.168.1.10"_s);
    QCOMPARE(lease.server, u"192.168.1.1"_s);
    QCOMPARE(leaseTimeText(lease.obtained), u"2004/03/11 08:30:15"_s);
    QCOMPARE(leaseTimeText(lease.expires), u"2004/03/11 09:30:15"_s);
}

void TestNetwork::leaseChoice()
{
    const QList<DhcpLease> leases = {
        {u"192.168.1.10"_s, u"a"_s, 100, 200},
        {u"192.168.1.99"_s, u"b"_s, 300, 400},
        {u"192.168.1.10"_s, u"c"_s, 250, 350},
    };
    QCOMPARE(matchingLease(leases, u"192.168.1.10"_s).server, u"c"_s);
    QCOMPARE(matchingLease(leases, u"10.0.0.1"_s).address, QString());
    QCOMPARE(matchingLease(leases, u"0.0.0.0"_s).address, QString());
}

QTEST_APPLESS_MAIN(TestNetwork)
#include "tst_network.moc"
