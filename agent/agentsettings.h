#pragma once

#include "agent/allowlist.h"
#include "agent/schedule.h"

#include <QString>

#include <memory>
#include <optional>

class TlsContext;

/// Which consoles the agent serves (`TlsAccept`): plain ones, encrypted ones, or both.
struct TlsAcceptModes
{
    bool plain = true;
    bool psk = false;

    /// "plain", "psk", "plain,psk" (any order and case, blanks ignored); "" is "plain".
    static std::optional<TlsAcceptModes> parse(const QString &text);
};

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
    TlsAcceptModes TlsAccept;
    QString TlsPskFile;     // absolute; "" when none is named
    /// The keys of TlsPskFile, loaded when TlsAccept names psk.
    std::shared_ptr<const TlsContext> tls;

    bool autoStart() const;
    bool autoExit() const;
};

/// Reads and checks the settings. nullopt (with the reason) when the agent must not start:
/// `TimeStart` without two commas, `Port`, `TimeOut` or `StatusLog` empty or not a number,
/// `TimeOut` × 1000 beyond a signed 32-bit integer, or one of our own keys malformed; also when
/// `TlsAccept` names psk and the key file cannot be used (missing, unreadable, readable by
/// others than owner and group, empty, a short key or a long identity).
std::optional<AgentSettings> LoadAgentSettings(const QString &iniPath, QString *reason = nullptr);
