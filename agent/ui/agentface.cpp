#include "agent/ui/agentface.h"

#include "platform/singleinstance.h"

AgentWindowFace::AgentWindowFace(AgentCore &core, SingleInstance &instance, const Clock &clock,
                                 const QString &programTitle, const QString &iniPath,
                                 std::function<bool()> hasTray)
    : m_panels(clock, StatusPanels::localComputerName()),
      m_window(core, m_panels, programTitle, iniPath, std::move(hasTray))
{
    QObject::connect(&instance, &SingleInstance::activationRequested, &m_window,
                     &frmTarvoAgent::restoreWindow);
    m_window.show();
}
