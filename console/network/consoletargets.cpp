#include "console/network/consoletargets.h"

#include "console/ipaddressboxes.h"

using namespace Qt::Literals::StringLiterals;

void ConsoleTargets::setPage(int page)
{
    if (page >= 1 && page <= PageCount)
        m_page = page;
}

bool ConsoleTargets::isSingleTargetPage() const
{
    return m_page == 1 || m_page == 3 || m_page == 4;
}

bool ConsoleTargets::isBatchPage() const
{
    return m_page == 2 || m_page == 5;
}

bool ConsoleTargets::treeEnabled() const
{
    return m_page <= 5;
}

std::optional<bool> ConsoleTargets::nodeClicked(const QString &image, const QString &text)
{
    if (!isSingleTargetPage())
        return std::nullopt;
    const bool computer = image == u"server"_s && text != u"FAKE"_s;
    m_targetHost = computer ? text : QString();
    return computer;
}

std::optional<bool> ConsoleTargets::addressChanged(const QStringList &boxes)
{
    m_targetHost = IpAddressBoxes::targetHost(boxes);
    if (!isSingleTargetPage())
        return std::nullopt;
    return IpAddressBoxes::isComplete(boxes);
}
