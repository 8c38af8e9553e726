#pragma once

#include <QString>

/// The agent's own program file name ("TarvoAgent" on Linux).
QString AgentProgramFileName();
