#pragma once

#include <QString>

struct AgentSettings;
class ProgramLauncher;
class StatusLog;

/// What the request handlers work with: the agent's folder and files, its settings, its status
/// log and the programs it starts. Passed by reference; handlers never see the socket.
struct AgentContext
{
    QString folder;      // the agent folder (absolute)
    QString iniPath;     // folder + "/TarvoAgent.ini"
    QString programName; // the agent's own program file name (AgentProgramName)
    const AgentSettings &settings;
    StatusLog &log;
    ProgramLauncher &launcher;
    bool UpdatePending = false;
};
