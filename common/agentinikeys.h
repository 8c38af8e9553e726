#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <limits>

/// The sections and keys of TarvoAgent.ini with their defaults and ranges. The agent reads
/// section TarvoAgent, the collector section TarvoInfo; the agent's settings dialogs and the
/// console's agent-settings page write both. Key names compare without regard to case, but a
/// write keeps the spelling it is given, so each writer keeps its own where the two differ.
namespace AgentIni {

inline constexpr char AgentSection[] = "TarvoAgent";
inline constexpr char InfoSection[] = "TarvoInfo";

/// Keys of section TarvoAgent.
namespace AgentKey {
inline constexpr char Port[] = "Port";
inline constexpr char TimeOut[] = "TimeOut"; // seconds
inline constexpr char StatusLog[] = "StatusLog"; // lines the status log shows
inline constexpr char AutoStart[] = "AutoStart";
inline constexpr char AutoExit[] = "AutoExit";
inline constexpr char ExeFile[] = "ExeFile";
inline constexpr char TimeStart[] = "TimeStart"; // "WEEK,08:30,MON,WED,FRI", "DAY,..."
inline constexpr char DebugMode[] = "DebugMode";
// Keys of our own; missing means the original behaviour.
inline constexpr char ListenAddress[] = "ListenAddress";
inline constexpr char AllowFrom[] = "AllowFrom";
inline constexpr char MaxFrameBytes[] = "MaxFrameBytes";
inline constexpr char UpdateKeyFile[] = "UpdateKeyFile";
inline constexpr char TlsAccept[] = "TlsAccept";
inline constexpr char TlsPskFile[] = "TlsPskFile";
} // namespace AgentKey

/// Keys of section TarvoInfo.
namespace InfoKey {
// The three steps of a collection pass, each on when its key is "1".
inline constexpr char SqlUpdate[] = "SQLUpdate";
inline constexpr char FtpUpload[] = "FtpUpload";
/// The console's page writes the same key as "FTPUpload", the spelling its files always had.
inline constexpr char FtpUploadOfConsole[] = "FTPUpload";
inline constexpr char SmtpMail[] = "SmtpMail";

inline constexpr char SqlConnection[] = "SqlConnection";
inline constexpr char SqlTable[] = "SqlTable";
inline constexpr char SqlUserid[] = "SqlUserid";
inline constexpr char SqlPassword[] = "SqlPassword";

inline constexpr char FtpAddress[] = "FtpAddress";
inline constexpr char FtpPort[] = "FtpPort";
inline constexpr char FtpUser[] = "FtpUser";
inline constexpr char FtpPassword[] = "FtpPassword";
inline constexpr char FtpProxy[] = "FtpProxy";
inline constexpr char FtpDirectory[] = "FtpDirectory";
inline constexpr char FtpPassive[] = "FtpPassive"; // passive unless "0"
inline constexpr char FtpType[] = "FtpType";       // FtpTypeAscii or FtpTypeBinary
inline constexpr char FtpTls[] = "FtpTls";         // "1": AUTH TLS; "0" or missing: plain
inline constexpr char FtpCaFile[] = "FtpCaFile";

inline constexpr char SmtpServer[] = "SmtpServer";
inline constexpr char SmtpPort[] = "SmtpPort";
inline constexpr char From[] = "From";
inline constexpr char To[] = "To";
inline constexpr char Subject[] = "Subject";
inline constexpr char SmtpTls[] = "SmtpTls"; // "1": STARTTLS; "2": TLS from the first byte
inline constexpr char SmtpUser[] = "SmtpUser"; // empty: no login
inline constexpr char SmtpPassword[] = "SmtpPassword";
inline constexpr char SmtpCaFile[] = "SmtpCaFile";
} // namespace InfoKey

/// The list-box index a dialog shows for a three-way key such as SmtpTls: "1" and "2" as they
/// are, anything else (missing, "0", a "yes") as "0".
inline QString choiceIndex(QStringView value)
{
    const QStringView trimmed = value.trimmed();
    return trimmed == u"1" || trimmed == u"2" ? trimmed.toString() : QStringLiteral("0");
}

inline constexpr int FtpTypeAscii = 1;
inline constexpr int FtpTypeBinary = 2;
/// The FTP step's port when FtpPort names none (empty, 0 or text).
inline constexpr long DefaultFtpPort = 21;

// The ranges the settings dialogs accept, each from 1.
inline constexpr qint64 MaxPort = 65535; // Port, FtpPort, SmtpPort
inline constexpr qint64 MaxTimeOutSeconds = std::numeric_limits<int>::max() / 1000;
inline constexpr qint64 MaxStatusLogLines = 100000;

/// Whether a TimeOut of `seconds` still fits the signed 32-bit milliseconds the agent waits with.
constexpr bool timeOutFitsMilliseconds(qint64 seconds)
{
    return seconds * 1000 <= std::numeric_limits<int>::max()
           && seconds * 1000 >= std::numeric_limits<int>::min();
}
static_assert(timeOutFitsMilliseconds(MaxTimeOutSeconds)
              && !timeOutFitsMilliseconds(MaxTimeOutSeconds + 1));

} // namespace AgentIni
