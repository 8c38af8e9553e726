#pragma once

#include "agent/statuspanels.h"
#include "agent/ui/frmtarvoagent.h"

class AgentCore;
class Clock;
class SingleInstance;

/// The agent with its window: the main window over the core, shown at start, and brought back
/// to the front when the agent is started a second time in the same folder.
class AgentWindowFace
{
public:
    /// `hasTray`: whether the desktop has a notification area; where it has none, minimising
    /// leaves the window in the task bar, so that the agent can always be found again.
    AgentWindowFace(AgentCore &core, SingleInstance &instance, const Clock &clock,
                    const QString &programTitle, const QString &iniPath,
                    std::function<bool()> hasTray);

    frmTarvoAgent &window() { return m_window; }

private:
    StatusPanels m_panels;
    frmTarvoAgent m_window;
};
