#include "console/ui/pages/tickedtargets.h"

#include "console/network/networktree.h"
#include "console/batch/resultlist.h"

TickedTargets::TickedTargets(const NetworkTree &tree, ResultList &list,
                             std::function<void(bool)> setEnabled)
    : m_tree(tree), m_list(list), m_setEnabled(std::move(setEnabled))
{
}

void TickedTargets::refill()
{
    m_list.clear();
    for (const QString &computer : m_tree.tickedComputers())
        m_list.addTarget(computer);
    m_setEnabled(m_list.rowCount() > 0);
}

void TickedTargets::apply(const QStringList &keys)
{
    const ResultList::TickEffect effect = m_list.applyTicks(m_tree.computerTicks(keys));
    if (effect.rowAdded || effect.listEmptied)
        m_setEnabled(effect.rowAdded || m_list.rowCount() > 0);
}
