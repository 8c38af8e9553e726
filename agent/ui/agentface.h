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
    /// `useTray`: where the desktop has no notification area, minimising leaves the window in
    /// the task bar, so that the agent can always be found again.
    AgentWindowFace(AgentCore &core, SingleInstance &instance, const Clock &clock,
                    const QString &programTitle, const QString &iniPath, bool useTray);

    FrmTarvoAgent &window() { return m_window; }

private:
    StatusPanels m_panels;
    FrmTarvoAgent m_window;
};
