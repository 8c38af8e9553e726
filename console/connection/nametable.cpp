#include "console/connection/nametable.h"

#include "common/codepage.h"
#include "common/profilefile.h"
#include "net/hostresolver.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace {

// The inventory is our own file, not read through a Windows buffer: no size cut applies.
constexpr int WholeFile = 1 << 24;

} // namespace

NameTable::NameTable(HostResolver *resolver) : m_resolver(resolver) {}

NameTable::~NameTable() = default;

HostResolver &NameTable::resolver() const
{
    if (m_resolver)
        return *m_resolver;
    if (!m_systemResolver)
        m_systemResolver = std::make_shared<SystemHostResolver>();
    return *m_systemResolver;
}

bool NameTable::isDottedAddress(const QString &host)
{
    QHostAddress address;
    return address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

void NameTable::add(const QString &name, const QString &address)
{
    if (!name.isEmpty() && !address.trimmed().isEmpty())
        m_addresses.insert(name.toLower(), address.trimmed());
}

QString NameTable::address(const QString &name) const
{
    return m_addresses.value(name.toLower());
}

NetworkInventory NetworkInventory::load(const QString &path)
{
    NetworkInventory inventory;
    ProfileFile file(path);
    if (!file.load())
        return inventory;
    for (const QByteArray &sectionName : file.sectionNames(WholeFile)) {
        const QString name = CodePage::fromAnsi(sectionName);
        if (name.compare(QString::fromUtf16(ScanSection), Qt::CaseInsensitive) == 0) {
            const QString ranges = CodePage::fromAnsi(file.value(sectionName, "Ranges", WholeFile));
            for (const QString &range : ranges.split(u',', Qt::SkipEmptyParts))
                inventory.m_scanRanges.append(range.trimmed());
            continue;
        }
        Group group{name, {}};
        for (const QByteArray &entry : file.sectionEntries(sectionName, WholeFile)) {
            const qsizetype equals = entry.indexOf('=');
            const QByteArray key = (equals < 0 ? entry : entry.first(equals)).trimmed();
            const QString value = CodePage::fromAnsi(
                equals < 0 ? QByteArray() : entry.mid(equals + 1).trimmed());
            const qsizetype comma = value.indexOf(u',');
            if (!key.isEmpty())
                group.computers.append({CodePage::fromAnsi(key), value.left(comma).trimmed(),
                                        comma < 0 ? QString() : value.mid(comma + 1).trimmed()});
        }
        inventory.m_groups.append(group);
    }
    return inventory;
}

const NetworkInventory::Group *NetworkInventory::group(const QString &name) const
{
    for (const Group &group : m_groups) {
        if (group.name.compare(name, Qt::CaseInsensitive) == 0)
            return &group;
    }
    return nullptr;
}

const NetworkInventory::Computer *NetworkInventory::computer(const QString &host) const
{
    for (const Group &group : m_groups) {
        for (const Computer &computer : group.computers) {
            if (computer.name.compare(host, Qt::CaseInsensitive) == 0
                || (!computer.address.isEmpty() && computer.address == host))
                return &computer;
        }
    }
    return nullptr;
}

void NetworkInventory::fill(NameTable &table) const
{
    for (const Group &group : m_groups) {
        for (const Computer &computer : group.computers)
            table.add(computer.name, computer.address);
    }
}

bool ExpandTargets(const QStringList &arguments, const NetworkInventory &inventory,
                   QStringList &hosts, QString &error)
{
    auto addHost = [&hosts](const QString &host) {
        if (!hosts.contains(host, Qt::CaseInsensitive))
            hosts.append(host);
    };
    for (const QString &argument : arguments) {
        if (!argument.startsWith(u'@')) {
            addHost(argument);
            continue;
        }
        const NetworkInventory::Group *group = inventory.group(argument.mid(1));
        if (!group) {
            error = u"unknown group: "_s + argument.mid(1);
            return false;
        }
        for (const NetworkInventory::Computer &computer : group->computers)
            addHost(computer.name);
    }
    return true;
}
