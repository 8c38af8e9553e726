#include "console/cli/consolecli.h"

#include "common/programfolder.h"
#include "console/connection/agentconnection.h"
#include "console/batch/batchrun.h"
#include "console/cli/clitext.h"
#include "console/cli/databasecommands.h"
#include "console/cli/fleetcommands.h"
#include "console/cli/keygencommand.h"
#include "console/cli/queuecommands.h"
#include "console/cli/runsettings.h"
#include "console/cli/stderrfrontend.h"
#include "console/cli/verifycommand.h"
#include "console/consolecore.h"
#include "console/settings/consolesettings.h"
#include "console/batch/distributionrules.h"
#include "console/network/macdirectory.h"
#include "console/settings/parametermodel.h"
#include "console/batch/resultcsv.h"
#include "console/settings/sqlsettings.h"
#include "console/batch/wakingbatchrun.h"
#include "net/frame.h"
#include "net/protocol.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The wake command sends no request.
constexpr int WakeCommand = -1;
// Waking and retrying for two minutes unless --wake says otherwise.
constexpr int DefaultWakeSeconds = 120;
constexpr int MaxWakeSeconds = 86400;

struct CommandInfo
{
    const char16_t *name;
    int code;
    int minArguments; // after the command word
    bool batch;
};

const CommandInfo Commands[] = {
    {u"params", Frame::GetParameters, 1, false},
    {u"set", Frame::UpdateParameters, 4, false},
    {u"restart", Frame::RestartAgent, 1, true},
    {u"collect", Frame::RunCollector, 1, true},
    {u"terminate", Frame::TerminateAgent, 1, true},
    {u"files", Frame::GetFileInfo, 1, false},
    {u"show", Frame::GetDataFile, 2, false},
    {u"log", Frame::GetStatusLog, 1, false},
    {u"distribute", Frame::DistributeFile, 2, true},
    {u"distribute-restart", Frame::DistributeAndRestart, 2, true},
    {u"distribute-collect", Frame::DistributeAndCollect, 2, true},
    {u"status", Frame::GetFileInfo, 1, true},
    {u"wake", WakeCommand, 1, false},
};

const CommandInfo *findCommand(const QString &name)
{
    for (const CommandInfo &command : Commands) {
        if (name == QStringView(command.name))
            return &command;
    }
    return nullptr;
}

/// One run of the command line over the console's core.
class CliRun
{
public:
    CliRun(const CliOptions &options, ConsoleCore &core, std::FILE *out, std::FILE *err)
        : m_options(options), m_core(core), m_out(out), m_err(err), m_frontEnd(err)
    {
        m_core.attach(&m_frontEnd);
    }
    ~CliRun() { m_core.attach(nullptr); }

    int run();

private:
    bool loadSettings();
    bool targets(const QStringList &arguments, QStringList &hosts);
    int runSingle(const CommandInfo &command);
    int runBatch(const CommandInfo &command);
    int runWake();
    void printReply(int code, const QString &body);
    int usage(const QString &error);

    const CliOptions &m_options;
    ConsoleCore &m_core;
    std::FILE *m_out;
    std::FILE *m_err;
    StderrFrontEnd m_frontEnd;
};

int CliRun::usage(const QString &error)
{
    WriteCliText(m_err, error + u'\n' + CliUsage());
    return CliExit::Usage;
}

bool CliRun::loadSettings()
{
    m_core.setFolder(m_options.folder.isEmpty() ? ProgramFolder::path() : m_options.folder);
    return LoadCliRunSettings(m_options, m_core.folder(), m_err, m_core.settings(),
                              m_core.inventory(), m_core.names());
}

bool CliRun::targets(const QStringList &arguments, QStringList &hosts)
{
    QString error;
    if (!ExpandTargets(arguments, m_core.inventory(), hosts, error)) {
        WriteCliText(m_err, error + u'\n');
        return false;
    }
    return true;
}

int CliRun::run()
{
    const CommandInfo *command = findCommand(m_options.command);
    if (!command)
        return usage(u"unknown command: "_s + m_options.command);
    if (m_options.arguments.size() < command->minArguments
        || (command->code == Frame::UpdateParameters && (m_options.arguments.size() - 1) % 3 != 0)
        || (!command->batch && command->code != Frame::UpdateParameters
            && command->code != WakeCommand && m_options.arguments.size() != command->minArguments))
        return usage(u"wrong arguments for "_s + m_options.command);
    if (m_options.wakeSeconds && !command->batch)
        return usage(u"--wake is for the batch commands and status"_s);
    if (!loadSettings())
        return CliExit::Usage;
    if (command->code == WakeCommand)
        return runWake();
    return command->batch ? runBatch(*command) : runSingle(*command);
}

int CliRun::runSingle(const CommandInfo &command)
{
    QStringList hosts;
    if (!targets({m_options.arguments.first()}, hosts))
        return CliExit::Usage;
    if (hosts.size() != 1)
        return usage(u"one computer expected, the group gives "_s + QString::number(hosts.size()));
    QString data;
    if (command.code == Frame::GetDataFile) {
        data = m_options.arguments[1].trimmed();
    } else if (command.code == Frame::UpdateParameters) {
        QList<ParameterRow> rows;
        for (qsizetype i = 1; i + 2 < m_options.arguments.size(); i += 3) {
            rows.append({u" "_s, u'[' + m_options.arguments[i] + u']', QString()});
            rows.append({u"X"_s, m_options.arguments[i + 1].trimmed(),
                         m_options.arguments[i + 2].trimmed()});
        }
        data = ParameterUpdateData(rows);
    }
    AgentConnection &connection = m_core.connection();
    if (!connection.InitSockets())
        return CliExit::Failed;
    int replyCode = 0;
    QEventLoop loop;
    QObject::connect(&connection, &AgentConnection::commandFinished, &loop,
                     [&](int, int reply) { replyCode = reply; loop.quit(); });
    if (!connection.SendCommand(hosts.first(), command.code, data))
        return CliExit::Failed;
    loop.exec(); // the connection's time-out bounds the wait
    const Protocol::Reply *reply = Protocol::findReply(replyCode);
    if (!reply || !reply->success)
        return CliExit::Failed;
    printReply(replyCode, connection.ReplyBody());
    return CliExit::Ok;
}

void CliRun::printReply(int code, const QString &body)
{
    using Protocol::successReply;
    QString text;
    if (code == successReply(Frame::GetParameters)) {
        for (const ParameterRow &row : ParseParameters(body))
            text += (row.isSection() ? row.key : row.key + u'=' + row.value) + u'\n';
    } else if (code == successReply(Frame::GetFileInfo)) {
        for (const FileRow &row : ParseFileList(body))
            text += row.fields().join(u'\t') + u'\n';
    } else if (code == successReply(Frame::GetDataFile)
               || code == successReply(Frame::GetStatusLog)) {
        text = body;
        text.replace(u"\r\n"_s, u"\n"_s);
    }
    WriteCliText(m_out, text);
}

int CliRun::runBatch(const CommandInfo &command)
{
    const bool file = IsFileRequest(command.code);
    const QString filePath = file ? QFileInfo(m_options.arguments.first()).absoluteFilePath()
                                  : QString();
    QStringList hosts;
    if (!targets(m_options.arguments.mid(file ? 1 : 0), hosts))
        return CliExit::Usage;
    if (hosts.isEmpty())
        return usage(u"no computer to run on"_s);
    if (file) {
        if (const auto refusal = DistributionRefusal(command.code, QFileInfo(filePath).fileName())) {
            m_frontEnd.showMessage(ConsoleFrontEnd::Icon::Exclamation, *refusal);
            return CliExit::Failed;
        }
    }
    // The command line starts its workers at once; the windows wait a second.
    MacDirectory macs(m_core.inventory(), sqlSettingsOf(m_core.settings(), m_core.folder()));
    WakingBatchRun batch(m_core.settings(), m_core.names(), m_core.frontEnd(), macs,
                         m_options.wakeSeconds.value_or(0));
    QEventLoop loop;
    QObject::connect(&batch, &WakingBatchRun::rowFinished, &batch, [&](int row) {
        if (!m_options.csv)
            WriteCliText(m_out, BatchRowFields(command.code, batch.rows().at(row)).join(u'\t') + u'\n');
    });
    QObject::connect(&batch, &WakingBatchRun::finished, &loop, &QEventLoop::quit);
    QString errorText;
    if (!batch.start(hosts, command.code, filePath, errorText)) {
        if (!errorText.isEmpty())
            WriteCliText(m_err, m_core.settings().IniFilePath + u": "_s + errorText + u'\n');
        return CliExit::Usage;
    }
    if (batch.isRunning())
        loop.exec(); // every worker ends by its reply, an error or its time-out
    if (m_options.csv) {
        QList<QStringList> csvRows;
        for (const BatchResult &row : batch.rows())
            csvRows.append(BatchRowFields(command.code, row));
        WriteCliText(m_out, ResultListCsvText(BatchHeaders(command.code, file), csvRows)
                         .replace(u"\r\n"_s, u"\n"_s));
    }
    bool allGood = false;
    WriteCliText(m_err, BatchSummary(command.code, batch.rows(), allGood) + u'\n');
    return allGood ? CliExit::Ok : CliExit::Failed;
}

int CliRun::runWake()
{
    QStringList hosts;
    if (!targets(m_options.arguments, hosts))
        return CliExit::Usage;
    MacDirectory macs(m_core.inventory(), sqlSettingsOf(m_core.settings(), m_core.folder()));
    return RunWakeCommand(hosts, m_core.settings(), macs, m_options.csv, m_out, m_err);
}

} // namespace

bool HasCliCommand(const QStringList &arguments)
{
    QString error;
    const auto options = ParseCliArguments(arguments, error);
    return !options || !options->command.isEmpty();
}

std::optional<CliOptions> ParseCliArguments(const QStringList &arguments, QString &error)
{
    CliOptions options;
    qsizetype i = 0;
    auto value = [&](std::optional<QString> &target) {
        if (i + 1 >= arguments.size()) {
            error = arguments[i] + u" needs a value"_s;
            return false;
        }
        target = arguments[++i];
        return true;
    };
    for (; i < arguments.size() && arguments[i].startsWith(u"--"_s); ++i) {
        const QString &option = arguments[i];
        std::optional<QString> folder;
        if (option == u"--csv") {
            options.csv = true;
        } else if (option == u"--wake" || option.startsWith(u"--wake="_s)) {
            bool ok = true;
            const int seconds = option == u"--wake" ? DefaultWakeSeconds
                                                    : option.mid(7).toInt(&ok);
            if (!ok || seconds < 1 || seconds > MaxWakeSeconds) {
                error = u"--wake needs a number of seconds, 1 to "_s
                        + QString::number(MaxWakeSeconds);
                return std::nullopt;
            }
            options.wakeSeconds = seconds;
        } else if (option == u"--folder") {
            if (!value(folder))
                return std::nullopt;
            options.folder = *folder;
        } else if (option == u"--port") {
            if (!value(options.port))
                return std::nullopt;
        } else if (option == u"--timeout") {
            if (!value(options.timeout))
                return std::nullopt;
        } else if (option == u"--max-control") {
            if (!value(options.maxControl))
                return std::nullopt;
        } else {
            error = u"unknown option: "_s + option;
            return std::nullopt;
        }
    }
    if (i < arguments.size()) {
        options.command = arguments[i];
        options.arguments = arguments.mid(i + 1);
    }
    return options;
}

QString CliUsage()
{
    return u"usage: TarvoControl [--folder DIR] [--port N] [--timeout S] [--max-control N] [--csv]"
           " [--wake[=SECONDS]] COMMAND ...\n"
           "  params HOST                         the agent's settings\n"
           "  set HOST SECTION KEY VALUE [...]    change settings\n"
           "  restart|collect|terminate HOST...   restart, run the collector, end the agent\n"
           "  files HOST                          the files of the agent's folder\n"
           "  show HOST FILE                      one file of the agent's folder\n"
           "  log HOST                            the agent's status log\n"
           "  distribute|distribute-restart|distribute-collect FILE HOST...\n"
           "                                      send a file (then restart / run the collector)\n"_s
           + VerifyCommandUsage()
           + u"  status HOST...                      up or down, agent version, last collector pass\n"
           "  wake HOST...                        send a Wake-on-LAN packet (MAC from\n"
           "                                      TarvoNetwork.ini \"address,MAC\" or the database)\n"
           "--wake[=SECONDS]: batch commands and status wake the computers they cannot reach and\n"
           "                  try them again until they answer or SECONDS (120) have passed\n"
           "HOST: a computer name, a dotted address, or @GROUP of TarvoNetwork.ini\n"_s
           + DatabaseCommandsUsage() + KeygenUsage() + QueueUsage();
}

int RunCliCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out, std::FILE *err)
{
    if (IsDatabaseCommand(options.command))
        return RunDatabaseCommand(options, core, out, err);
    if (IsVerifyCommand(options.command))
        return RunVerifyCommand(options, out, err);
    if (IsKeygenCommand(options.command))
        return RunKeygenCommand(options, out, err);
    if (IsQueueCommand(options.command))
        return RunQueueCommand(options, core, out, err);
    CliRun run(options, core, out, err);
    return run.run();
}
