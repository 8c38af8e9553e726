#include "platform/probes/network_parsers.h"

#include "common/formats.h"

#include <QDateTime>

#include <limits>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

QList<QByteArray> linesOf(QByteArrayView text)
{
    return QByteArray(text.data(), text.size()).split('\n');
}

QString dottedFromKernelHex(const QByteArray &hex)
{
    bool ok = false;
    const quint32 value = hex.toUInt(&ok, 16);
    if (!ok || hex.size() != 8)
        return {};
    // The kernel prints the address as the host-order number of network-order bytes.
    return QString::number(value & 0xFF) + u'.' + QString::number((value >> 8) & 0xFF) + u'.'
        + QString::number((value >> 16) & 0xFF) + u'.' + QString::number(value >> 24);
}

} // namespace

ResolverConfig parseResolvConf(QByteArrayView text)
{
    ResolverConfig config;
    QString search;
    for (const QByteArray &raw : linesOf(text)) {
        const QByteArray line = raw.simplified();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        const QList<QByteArray> words = line.split(' ');
        if (words.size() < 2)
            continue;
        if (words[0] == "nameserver")
            config.nameservers << QString::fromLatin1(words[1]);
        else if (words[0] == "domain")
            config.domain = QString::fromUtf8(words[1]);
        else if (words[0] == "search")
            search = QString::fromUtf8(words[1]); // the resolver keeps only the last line
    }
    if (config.domain.isEmpty() && search != u"."_s)
        config.domain = search;
    return config;
}

QList<RouteEntry> parseRoutes(QByteArrayView text)
{
    QList<RouteEntry> routes;
    const QList<QByteArray> lines = linesOf(text);
    for (qsizetype i = 1; i < lines.size(); ++i) { // line 0 is the column header
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 8)
            continue;
        RouteEntry route;
        route.interface = QString::fromUtf8(fields[0]);
        route.destination = dottedFromKernelHex(fields[1]);
        route.gateway = dottedFromKernelHex(fields[2]);
        route.flags = fields[3].toUInt(nullptr, 16);
        route.metric = fields[6].toInt();
        route.mask = dottedFromKernelHex(fields[7]);
        if (route.destination.isEmpty() || route.gateway.isEmpty() || route.mask.isEmpty())
            continue;
        routes << route;
    }
    return routes;
}

QString defaultGateway(const QList<RouteEntry> &routes, const QString &interface)
{
    constexpr unsigned RouteUp = 0x1;
    constexpr unsigned RouteGateway = 0x2;
    QString gateway;
    int bestMetric = std::numeric_limits<int>::max();
    for (const RouteEntry &route : routes) {
        const bool isDefault = route.destination == u"0.0.0.0"_s && route.mask == u"0.0.0.0"_s;
        if (route.interface != interface || !isDefault || (route.flags & RouteUp) == 0
            || (route.flags & RouteGateway) == 0)
            continue;
        if (route.metric < bestMetric) {
            bestMetric = route.metric;
            gateway = route.gateway;
        }
    }
    return gateway;
}

QString leaseTimeText(qint64 secondsSinceEpoch)
{
    if (secondsSinceEpoch < 0)
        return {};
    // Seconds added to 1970-01-01 00:00:00 with no time-zone conversion: the UTC fields.
    return Formats::dateTime(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC));
}

DhcpLease matchingLease(const QList<DhcpLease> &candidates, const QString &currentAddress)
{
    DhcpLease best;
    if (currentAddress.isEmpty() || currentAddress == u"0.0.0.0"_s)
        return best;
    for (const DhcpLease &lease : candidates) {
        if (lease.address != currentAddress)
            continue;
        if (best.address.isEmpty() || lease.obtained >= best.obtained)
            best = lease;
    }
    return best;
}

} // namespace SysProbe
