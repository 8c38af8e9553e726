#pragma once

#include <QIcon>

/// The agent's icon (window, notification area, About box): the picture of
/// packaging/icons/tarvo-agent.svg, drawn here so that no image plugin is needed.
QIcon agentIcon();
