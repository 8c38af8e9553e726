#pragma once

#include <QList>
#include <QString>

#include <optional>

/// The consoles an agent serves (`AllowFrom`): IPv4 addresses and CIDR ranges. Empty: everyone.
class AllowList
{
public:
    /// Parses "a.b.c.d, a.b.c.d/n, ..."; nullopt when an entry is not an address or range.
    static std::optional<AllowList> parse(const QString &text);

    bool allows(const QString &dottedAddress) const;
    bool isEmpty() const { return m_ranges.isEmpty(); }

private:
    struct Range
    {
        quint32 network;
        quint32 mask;
    };
    QList<Range> m_ranges;
};
