#include "platform/probes/network_adapters.h"

#include "platform/probes/os.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

QString ueventValue(QByteArrayView uevent, QByteArrayView key)
{
    for (const QByteArray &raw : QByteArray(uevent.data(), uevent.size()).split('\n')) {
        QByteArrayView line = QByteArrayView(raw).trimmed();
        if (line.startsWith("E:")) // udev database lines carry an "E:" prefix
            line = line.sliced(2);
        if (line.size() > key.size() && line.startsWith(key) && line[key.size()] == '=')
            return QString::fromUtf8(line.sliced(key.size() + 1)).trimmed();
    }
    return {};
}

} // namespace

QString macTextOf(QByteArrayView sysfsAddress)
{
    QString text;
    for (const QByteArray &part : QByteArray(sysfsAddress.data(), sysfsAddress.size()).trimmed().split(':')) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2)
            return {};
        text += QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper();
    }
    return text;
}

QString adapterDescription(QByteArrayView udevData, QByteArrayView deviceUevent, const QString &name)
{
    const QString model = ueventValue(udevData, "ID_MODEL_FROM_DATABASE");
    const QString vendor = ueventValue(udevData, "ID_VENDOR_FROM_DATABASE");
    if (!model.isEmpty())
        return vendor.isEmpty() ? model : vendor + u' ' + model;
    const QString driver = ueventValue(deviceUevent, "DRIVER");
    return driver.isEmpty() ? name : driver;
}

bool isPhysicalInterface(const NetInterface &interface)
{
    constexpr int loopbackType = 772;
    static const QStringList softwareTypes = {u"bridge"_s, u"vlan"_s, u"bond"_s, u"team"_s,
                                              u"macvlan"_s, u"wireguard"_s, u"vxlan"_s, u"dsa"_s};
    return interface.hasDevice && interface.type != loopbackType && !interface.bridge
        && !interface.tun && !softwareTypes.contains(interface.devType);
}

QList<NetInterface> physicalAdapters(QList<NetInterface> interfaces)
{
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const NetInterface &a, const NetInterface &b) { return a.index < b.index; });
    QList<NetInterface> adapters;
    QStringList devicesSeen;
    for (const NetInterface &interface : interfaces) {
        if (!isPhysicalInterface(interface))
            continue;
        if (!interface.deviceKey.isEmpty()) {
            if (devicesSeen.contains(interface.deviceKey))
                continue;
            devicesSeen << interface.deviceKey;
        }
        adapters << interface;
    }
    return adapters;
}

QList<NetInterface> readInterfaces(const QString &sysClassNet, const QString &udevFolder, bool *ok)
{
    const QDir folder(sysClassNet);
    if (ok)
        *ok = folder.exists() && folder.isReadable();
    QList<NetInterface> interfaces;
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString base = folder.filePath(name) + u'/';
        NetInterface interface;
        interface.name = name;
        interface.index = readSmallFile(base + u"ifindex"_s).trimmed().toInt();
        interface.type = readSmallFile(base + u"type"_s).trimmed().toInt();
        const QFileInfo device(base + u"device"_s);
        interface.hasDevice = device.exists();
        if (interface.hasDevice) {
            interface.deviceKey = device.canonicalFilePath() + u'#'
                + QString::fromLatin1(readSmallFile(base + u"dev_port"_s).trimmed());
        }
        interface.devType = ueventValue(readSmallFile(base + u"uevent"_s), "DEVTYPE");
        interface.bridge = QFileInfo(base + u"bridge"_s).isDir();
        interface.tun = QFileInfo::exists(base + u"tun_flags"_s);
        interface.mac = macTextOf(readSmallFile(base + u"address"_s));
        interface.description = adapterDescription(
            readSmallFile(udevFolder + u"/n"_s + QString::number(interface.index)),
            readSmallFile(base + u"device/uevent"_s), name);
        interfaces << interface;
    }
    return interfaces;
}

} // namespace SysProbe
