#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

class ConsoleCore;

/// Exit statuses of the command line.
namespace CliExit {
constexpr int Ok = 0;     // every host OK, or the single command got its success reply
constexpr int Failed = 1; // any host NG, or the single command failed
constexpr int Usage = 2;  // a usage error or unusable settings
} // namespace CliExit

/// The parsed command line: options before the command, then the command and its arguments.
struct CliOptions
{
    QString folder; // the console folder; "" for the program's own
    std::optional<QString> port;
    std::optional<QString> timeout;
    std::optional<QString> maxControl;
    bool csv = false;
    std::optional<int> wakeSeconds; // --wake[=SECONDS]: wake and retry what does not connect
    QString command;
    QStringList arguments;
};

/// True when the arguments (without the program name) name a command: the program then runs on
/// the command line instead of opening its window.
bool HasCliCommand(const QStringList &arguments);
/// Parses the arguments (without the program name); nullopt with `error` on a usage error.
std::optional<CliOptions> ParseCliArguments(const QStringList &arguments, QString &error);
/// The usage text.
QString CliUsage();

/// Runs one command over the console's core (opened here on the folder of the options) and
/// returns the exit status. Results go to `out`, status texts, messages and the summary to
/// `err`. Needs a running QCoreApplication.
int RunCliCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out = stdout,
                  std::FILE *err = stderr);
