#pragma once

#include "agent/allowlist.h"
#include "agent/schedule.h"

#include <QString>

#include <optional>

/// The agent's copy of section `TarvoAgent` of TarvoAgent.ini, read once at start-up.
struct AgentSettings
{
    int Port = 0;
    int TimeOut = 0;   // milliseconds
    int StatusLog = 0;
    QString AutoStart;
    QString AutoExit;
    QString ExeFile;
    QString DebugMode;
    Schedule schedule;
    // Keys of our own; empty means the original behaviour.
    QString ListenAddress;
    AllowList AllowFrom;
    quint32 MaxFrameBytes = 0;
    QString UpdateKeyFile; // public keys a new agent program must be signed with; "": unchecked

    bool autoStart() const;
    bool autoExit() const;
};

/// Reads and checks the settings. nullopt (with the reason) when the agent must not start:
/// `TimeStart` without two commas, `Port`, `TimeOut` or `StatusLog` empty or not a number,
/// `TimeOut` × 1000 beyond a signed 32-bit integer, or one of our own keys malformed.
std::optional<AgentSettings> LoadAgentSettings(const QString &iniPath, QString *reason = nullptr);
