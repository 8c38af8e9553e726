#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

/// Pure parsers of the Linux network configuration files the network items come from.
namespace SysProbe {

struct ResolverConfig
{
    QStringList nameservers; // in file order
    QString domain;          // "domain" line, else the first "search" entry
};

/// /etc/resolv.conf: nameserver, domain and search lines; "#" and ";" comments.
ResolverConfig parseResolvConf(QByteArrayView text);

struct RouteEntry
{
    QString interface;
    QString destination; // dotted
    QString gateway;     // dotted
    QString mask;        // dotted
    unsigned flags = 0;
    int metric = 0;
};

/// /proc/net/route: addresses are 32-bit hexadecimal in the kernel's (little-endian) order.
QList<RouteEntry> parseRoutes(QByteArrayView text);
/// The gateway of the interface's default route with the lowest metric; empty when none.
QString defaultGateway(const QList<RouteEntry> &routes, const QString &interface);

/// One DHCP lease as the lease files record it; times in seconds since 1970 (UTC), -1 unknown.
struct DhcpLease
{
    QString address;
    QString server;
    qint64 obtained = -1;
    qint64 expires = -1;
};

/// The lease blocks of a dhclient lease file for an interface, in file order (latest last).
/// Blocks without an "interface" statement count for every interface (per-interface files).
QList<DhcpLease> parseDhclientLeases(QByteArrayView text, const QString &interface);
/// A systemd-networkd (or NetworkManager internal client) lease file: KEY=value lines. The file
/// is rewritten whenever the lease is obtained or renewed, so its modification time is the
/// time the lease was obtained.
DhcpLease parseNetworkdLease(QByteArrayView text, qint64 fileModifiedSecs);
/// The lease among candidates that gave the interface its current address; the one obtained
/// last when several did. nullopt-like: an empty address when none matches.
DhcpLease matchingLease(const QList<DhcpLease> &candidates, const QString &currentAddress);

/// "yyyy/mm/dd hh:nn:ss" of seconds since 1970 taken as UTC fields; empty when unknown.
QString leaseTimeText(qint64 secondsSinceEpoch);

} // namespace SysProbe
