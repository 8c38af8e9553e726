#pragma once

#include <QStringList>

#include <functional>

class NetworkTree;
class ResultList;

/// The targets of a batch page: its result list holds the ticked computers of the tree, and the
/// page's controls are enabled while the list holds any.
class TickedTargets
{
public:
    TickedTargets(const NetworkTree &tree, ResultList &list, std::function<void(bool)> setEnabled);

    /// The page is shown: the list is the ticked computers, whatever happened on the other pages
    /// meanwhile.
    void refill();
    /// Ticks changed on the page: rows come and go with them.
    void apply(const QStringList &keys);

private:
    const NetworkTree &m_tree;
    ResultList &m_list;
    std::function<void(bool)> m_setEnabled;
};
