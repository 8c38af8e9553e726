#include "agent/allowlist.h"

#include <QStringList>

namespace {

std::optional<quint32> parseAddress(QStringView text)
{
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (QStringView part : parts) {
        bool ok = false;
        const uint byte = part.toUInt(&ok);
        if (!ok || byte > 255 || part.isEmpty() || part.size() > 3)
            return std::nullopt;
        address = (address << 8) | byte;
    }
    return address;
}

} // namespace

std::optional<AllowList> AllowList::parse(const QString &text)
{
    AllowList list;
    const bool blank = text.trimmed().isEmpty();
    for (const QString &rawEntry : text.split(u',', Qt::SkipEmptyParts)) {
        const QString entry = rawEntry.trimmed();
        if (entry.isEmpty())
            continue;
        const qsizetype slash = entry.indexOf(u'/');
        const auto address = parseAddress(QStringView(entry).left(slash < 0 ? entry.size() : slash));
        if (!address)
            return std::nullopt;
        int prefix = 32;
        if (slash >= 0) {
            bool ok = false;
            prefix = QStringView(entry).mid(slash + 1).toInt(&ok);
            if (!ok || prefix < 0 || prefix > 32)
                return std::nullopt;
        }
        const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
        list.m_ranges.append({*address & mask, mask});
    }
    // "," or " , ,," names nobody: read as "everyone" it would open the agent to all.
    if (!blank && list.m_ranges.isEmpty())
        return std::nullopt;
    return list;
}

bool AllowList::allows(const QString &dottedAddress) const
{
    if (m_ranges.isEmpty())
        return true;
    const auto address = parseAddress(dottedAddress);
    if (!address)
        return false;
    for (const Range &range : m_ranges) {
        if ((*address & range.mask) == range.network)
            return true;
    }
    return false;
}
