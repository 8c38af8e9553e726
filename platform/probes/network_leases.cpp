#include "platform/probes/network_parsers.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

// "4 2024/05/16 10:11:03" (weekday, UTC date and time) or "epoch 1715853663"; -1 otherwise.
qint64 dhclientTime(const QList<QByteArray> &words)
{
    if (words.size() >= 2 && words[0] == "epoch") {
        bool ok = false;
        const qint64 seconds = words[1].toLongLong(&ok);
        return ok && seconds >= 0 ? seconds : -1;
    }
    if (words.size() < 3)
        return -1;
    const QDateTime when = QDateTime::fromString(
        QString::fromLatin1(words[1] + ' ' + words[2]), u"yyyy/M/d H:m:s"_s);
    if (!when.isValid())
        return -1;
    return QDateTime(when.date(), when.time(), Qt::UTC).toSecsSinceEpoch();
}

QByteArray withoutComments(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    bool quoted = false;
    bool comment = false;
    for (const char c : text) {
        if (c == '\n')
            comment = false;
        if (comment)
            continue;
        if (c == '"')
            quoted = !quoted;
        if (c == '#' && !quoted) {
            comment = true;
            continue;
        }
        out += c;
    }
    return out;
}

struct LeaseBlock
{
    DhcpLease lease;
    QString interface;
    qint64 leaseTime = -1;
};

void applyStatement(const QByteArray &statement, LeaseBlock &block)
{
    const QList<QByteArray> words = statement.simplified().split(' ');
    if (words.isEmpty())
        return;
    if (words[0] == "interface" && words.size() >= 2) {
        block.interface = QString::fromUtf8(QByteArray(words[1]).replace('"', QByteArray()));
    } else if (words[0] == "fixed-address" && words.size() >= 2) {
        block.lease.address = QString::fromLatin1(words[1]);
    } else if (words[0] == "expire") {
        block.lease.expires = dhclientTime(words.mid(1));
    } else if (words[0] == "option" && words.size() >= 3) {
        if (words[1] == "dhcp-server-identifier")
            block.lease.server = QString::fromLatin1(words[2]);
        else if (words[1] == "dhcp-lease-time")
            block.leaseTime = words[2].toLongLong();
    }
}

} // namespace

QList<DhcpLease> parseDhclientLeases(QByteArrayView text, const QString &interface)
{
    QList<DhcpLease> leases;
    QByteArray statement;
    LeaseBlock block;
    bool inLease = false;
    for (const char c : withoutComments(text)) {
        if (c == '{') {
            inLease = statement.simplified() == "lease";
            block = LeaseBlock();
            statement.clear();
        } else if (c == ';') {
            if (inLease)
                applyStatement(statement, block);
            statement.clear();
        } else if (c == '}') {
            if (inLease && (block.interface.isEmpty() || block.interface == interface)) {
                // The lease time counts back from the expiry to the moment it was granted.
                if (block.lease.expires >= 0 && block.leaseTime > 0
                    && block.leaseTime <= block.lease.expires)
                    block.lease.obtained = block.lease.expires - block.leaseTime;
                leases << block.lease;
            }
            inLease = false;
            statement.clear();
        } else {
            statement += c;
        }
    }
    return leases;
}

DhcpLease parseNetworkdLease(QByteArrayView text, qint64 fileModifiedSecs)
{
    DhcpLease lease;
    qint64 lifetime = -1;
    for (const QByteArray &raw : QByteArray(text.data(), text.size()).split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith('#') || equals <= 0)
            continue;
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "ADDRESS")
            lease.address = QString::fromLatin1(value);
        else if (key == "SERVER_ADDRESS")
            lease.server = QString::fromLatin1(value);
        else if (key == "LIFETIME")
            lifetime = value.toLongLong();
    }
    if (fileModifiedSecs >= 0) {
        lease.obtained = fileModifiedSecs;
        if (lifetime > 0)
            lease.expires = fileModifiedSecs + lifetime;
    }
    return lease;
}

} // namespace SysProbe
