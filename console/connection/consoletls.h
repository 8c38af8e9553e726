#pragma once

#include "net/streamconnection.h"

#include <QString>

#include <memory>
#include <optional>

struct ConsoleSettings;
class TlsContext;

/// How the console talks to agents (`TlsConnect`, `TlsPskFile` of TarvoControl.ini): plain, or
/// TLS 1.3 with the first key of the key file. With psk there is no way back to plain: a key
/// file that cannot be used stops every request instead.
struct ConsoleTls
{
    bool psk = false;
    std::shared_ptr<const TlsContext> context; // set when psk
    QString identity;

    /// The mode in force, or nullopt with the reason: TlsConnect other than plain or psk, or
    /// (with psk) a key file that is missing, open to others, empty or holds a bad line.
    static std::optional<ConsoleTls> load(const ConsoleSettings &settings, QString *error);
};

/// The key file of the settings: TlsPskFile relative to the console folder, or absolute.
QString ConsoleKeyFilePath(const ConsoleSettings &settings);
/// What the settings dialog shows of the mode in force.
QString ConsoleTlsModeText(const ConsoleSettings &settings);

/// The transport of every connection to an agent under `settings`: plain; TLS with the
/// settings' key; or, when TlsConnect=psk and the key cannot be used, one that refuses to open,
/// so that nothing ever goes out plain by mistake.
StreamConnection::TransportFactory ConsoleTransportFactory(const ConsoleSettings &settings);
