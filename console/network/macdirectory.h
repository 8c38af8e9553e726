#pragma once

#include "console/settings/sqlsettings.h"

#include <QHash>
#include <QString>

#include <optional>

class NetworkInventory;

/// Where the MAC address of a computer is known: its inventory value ("address,MAC"), else the
/// console's database (SysMACAddress of the row whose SysComputerName or SysIPAddress matches).
/// The database is read once, at the first look-up that needs it.
class MacDirectory
{
public:
    MacDirectory(const NetworkInventory &inventory, SqlSettings sql);

    /// The MAC text as the source holds it (not yet checked); nullopt when no source has one.
    std::optional<QString> macText(const QString &host);
    /// Why the database could not be read ("" when it was, or was never needed or configured).
    const QString &databaseFailure() const { return m_failure; }

private:
    void readDatabase();

    const NetworkInventory &m_inventory;
    SqlSettings m_sql;
    bool m_read = false;
    QString m_failure;
    QHash<QString, QString> m_byName;    // lower-case SysComputerName -> SysMACAddress
    QHash<QString, QString> m_byAddress; // SysIPAddress -> SysMACAddress
};
