#pragma once

#include <QStringList>

/// A page of the main window as the window sees it: when the toolbar shows the page, a target
/// is chosen or the ticks change, the page enables its own controls for what it acts on.
class ConsolePage
{
public:
    virtual ~ConsolePage() = default;

    /// The toolbar showed the page.
    virtual void pageShown() {}
    /// A computer was clicked or an address typed: whether a usable single target is chosen.
    virtual void targetChosen(bool /*chosen*/) {}
    /// Nodes of the tree were ticked or unticked (their keys) while the page is on show.
    virtual void ticksChanged(const QStringList & /*keys*/) {}
};
