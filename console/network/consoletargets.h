#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// Which page is shown and which target the single-target pages act on: the computer clicked in
/// the tree or the address typed into the four boxes, whichever was used last.
class ConsoleTargets
{
public:
    static constexpr int PageCount = 7;

    /// Switches to page 1 to 7 (as the toolbar does).
    void setPage(int page);
    int page() const { return m_page; }
    /// Pages 1, 3 and 4 act on one target.
    bool isSingleTargetPage() const;
    /// Pages 2 and 5 act on the ticked computers: the tree shows check boxes.
    bool isBatchPage() const;
    /// Pages 6 and 7 do not use the tree.
    bool treeEnabled() const;

    /// A tree node was clicked (or the tree took the focus with it selected). On a single-target
    /// page: returns whether the single-target frames are enabled; nullopt on any other page.
    std::optional<bool> nodeClicked(const QString &image, const QString &text);
    /// The address boxes changed (or took the focus), the same way.
    std::optional<bool> addressChanged(const QStringList &boxes);

    const QString &targetHost() const { return m_targetHost; }

private:
    int m_page = 1;
    QString m_targetHost;
};
