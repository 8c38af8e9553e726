#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class HostResolver;

/// Addresses of computers that a provider knows (the inventory file, the database, a scan), and
/// the resolver the connections ask first. The connections fall back on a known address when
/// the resolver does not know a name (see NameLookup).
class NameTable
{
public:
    /// `resolver` is asked for names (not owned); without one, the system's resolver.
    explicit NameTable(HostResolver *resolver = nullptr);
    ~NameTable();

    /// The resolver the connections ask for names; the system's is made on first use, on the
    /// calling (event) thread.
    HostResolver &resolver() const;

    /// Remembers `address` for `name` (names compare without regard to case). An empty address
    /// is ignored.
    void add(const QString &name, const QString &address);
    /// The known address of `name`; "" when none.
    QString address(const QString &name) const;
    /// True when `host` is an IPv4 dotted address, used as it stands.
    static bool isDottedAddress(const QString &host);
    bool isEmpty() const { return m_addresses.isEmpty(); }

private:
    QHash<QString, QString> m_addresses; // key: name in lower case
    HostResolver *m_resolver = nullptr;
    // Shared, so that a copied table asks the same resolver.
    mutable std::shared_ptr<HostResolver> m_systemResolver;
};

/// The inventory file TarvoNetwork.ini of the console folder: a section per group, a key per
/// computer, the value an optional address, optionally followed by "," and the computer's MAC
/// address (for Wake-on-LAN). The section `Scan` holds scan ranges, not a group.
class NetworkInventory
{
public:
    struct Computer
    {
        QString name;
        QString address; // "" when the file gives none
        QString mac;     // the MAC text after the ","; "" when the file gives none
    };
    struct Group
    {
        QString name;
        QList<Computer> computers;
    };

    static constexpr char16_t FileName[] = u"TarvoNetwork.ini";
    static constexpr char16_t ScanSection[] = u"Scan";

    /// Reads the file; a missing file is an empty inventory.
    static NetworkInventory load(const QString &path);

    const QList<Group> &groups() const { return m_groups; }
    /// The group named `name` (case-insensitive); nullptr when there is none.
    const Group *group(const QString &name) const;
    /// The scan ranges (section Scan, key Ranges): CIDR texts.
    const QStringList &scanRanges() const { return m_scanRanges; }
    /// The computer named `host` or listed with the address `host`; nullptr when none is.
    const Computer *computer(const QString &host) const;
    /// Puts every known address into `table`.
    void fill(NameTable &table) const;

private:
    QList<Group> m_groups;
    QStringList m_scanRanges;
};

/// Expands target arguments: a name or dotted address stays as it is; "@GROUP" becomes the
/// computers of that inventory group in file order. Duplicates after the first are dropped.
/// Returns false with `error` set for an unknown group.
bool ExpandTargets(const QStringList &arguments, const NetworkInventory &inventory,
                   QStringList &hosts, QString &error);
