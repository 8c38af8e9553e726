#pragma once

#include <QString>

#include <memory>
#include <optional>

class ConsoleFrontEnd;
class TlsContext;

/// The console's settings (TarvoControl.ini, section TarvoControl): the texts as read, and the
/// two numbers computed from them.
struct ConsoleSettings
{
    QString IniFilePath;
    QString Port;
    QString Timeout;
    qint32 TimeoutMs = 0;
    QString MaxControl;
    qint16 MaxControlCount = 0;
    QString SqlConnection;
    QString SqlTable;
    QString SqlUserid;
    QString SqlPassword;
    // Where Wake-on-LAN packets go; not in the settings dialog (empty: the defaults).
    QString WakeAddress;
    QString WakePort;
    // Where the job queue lives: a connection string as SqlConnection (with SqlUserid and
    // SqlPassword); empty: TarvoQueue.sqlite in the console folder.
    QString QueueConnection;
    // Keys of our own, not edited by the dialog: the encrypted channel (console/consoletls.h).
    QString TlsConnect;
    QString TlsPskFile;
    /// The key of TlsPskFile, loaded with the texts when TlsConnect=psk and the file is usable.
    std::shared_ptr<const TlsContext> tlsContext;

    /// Port as a number; 0 when it is not a number in 1..65535.
    int portNumber() const;
};

/// The settings file's section and its name in the program folder.
inline constexpr char16_t SettingsSection[] = u"TarvoControl";
inline constexpr char16_t SettingsFileName[] = u"TarvoControl.ini";

/// One key read with the profile-file rules: at most 254 characters, "" when missing.
QString ReadIniString(const QString &section, const QString &key, const QString &file);
/// Writes one key (atomically). Returns 0, or -1 after the box
/// file + " ファイルの書き込み時にエラーが発生しました。" (exclamation icon).
int WriteIniString(const QString &section, const QString &key, const QString &value,
                   const QString &file, ConsoleFrontEnd &frontEnd);

/// Reads TarvoControl.ini of `folder` (the program folder) and computes TimeoutMs and
/// MaxControlCount (0 where the text is not a number in range).
ConsoleSettings LoadConsoleSettings(const QString &folder);
/// Re-reads the seven texts without recomputing the numbers, as the settings dialog does.
void RereadConsoleSettingsTexts(ConsoleSettings &settings);
/// Recomputes TimeoutMs and MaxControlCount from the texts.
void ComputeConsoleSettingsNumbers(ConsoleSettings &settings);

/// The first of Port, Timeout, MaxControl that is missing, not a number or out of range
/// (port 1..65535, time-out 1..86400 s, MaxControl 1..1000), then TlsConnect and its key
/// file when they cannot be used, as the message to show; nullopt when all are usable.
std::optional<QString> CheckConsoleSettings(const ConsoleSettings &settings);

/// The fields of the settings dialog, in the order it checks and writes them.
enum class SettingsField { Port, Timeout, MaxControl, SqlConnection, SqlTable, SqlUserid,
                           SqlPassword };

/// The seven texts as typed into the settings dialog.
struct SettingsForm
{
    QString port;
    QString timeout;
    QString maxControl;
    QString sqlConnection;
    QString sqlTable;
    QString sqlUserid;
    QString sqlPassword;

    static SettingsForm from(const ConsoleSettings &settings);
};

/// The outcome of a save: saved, or refused with the field that gets the focus.
struct SettingsSaveResult
{
    bool saved = false;
    SettingsField focus = SettingsField::Port;
};

/// The save of the settings dialog: trims the fields, refuses the first empty or unusable one of
/// port, time-out and maximum connections with a box, otherwise writes the seven keys in order
/// (a failing write shows its box and the next is still written) and takes the values over.
SettingsSaveResult SaveConsoleSettings(const SettingsForm &form, ConsoleSettings &settings,
                                       ConsoleFrontEnd &frontEnd);

/// The explanation file chosen last (TarvoControl.mm1 to .mm3), without folder.
struct Explanation
{
    QString file;
    /// The text shown: every line of the file followed by CR LF; "" when it cannot be read.
    static QString read(const QString &folder, const QString &file);
};

/// This computer's name, at most 15 characters; "" when it cannot be had.
QString GetLocalComputerName();
