#include "console/network/macdirectory.h"

#include "console/connection/nametable.h"
#include "db/database.h"

using namespace Qt::StringLiterals;

MacDirectory::MacDirectory(const NetworkInventory &inventory, SqlSettings sql)
    : m_inventory(inventory), m_sql(std::move(sql))
{
}

std::optional<QString> MacDirectory::macText(const QString &host)
{
    if (const NetworkInventory::Computer *computer = m_inventory.computer(host)) {
        if (!computer->mac.isEmpty())
            return computer->mac;
    }
    readDatabase();
    if (const auto found = m_byName.constFind(host.toLower()); found != m_byName.cend())
        return *found;
    if (const auto found = m_byAddress.constFind(host); found != m_byAddress.cend())
        return *found;
    // A name given on the command line may be known to the database by its inventory address.
    if (const NetworkInventory::Computer *computer = m_inventory.computer(host)) {
        if (const auto found = m_byAddress.constFind(computer->address); found != m_byAddress.cend())
            return *found;
    }
    return std::nullopt;
}

void MacDirectory::readDatabase()
{
    if (m_read)
        return;
    m_read = true;
    if (m_sql.connection.trimmed().isEmpty() || m_sql.table.trimmed().isEmpty())
        return;
    const auto records = Database::queryOnce(
        m_sql.baseFolder, m_sql.connectionString(),
        u"SELECT SysComputerName, SysIPAddress, SysMACAddress FROM "_s + m_sql.table, m_failure);
    if (!records)
        return;
    for (const QStringList &record : records->records) {
        const QString mac = record.value(2).trimmed();
        if (mac.isEmpty())
            continue;
        // The first row of a name wins, as the tree shows the first one.
        if (const QString name = record.value(0).trimmed().toLower(); !name.isEmpty())
            m_byName.insert(name, m_byName.value(name, mac));
        if (const QString address = record.value(1).trimmed(); !address.isEmpty())
            m_byAddress.insert(address, m_byAddress.value(address, mac));
    }
}
