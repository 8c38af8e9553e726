#include "console/cli/queuecommands.h"

#include "common/clock.h"
#include "common/programfolder.h"
#include "console/batch/batchrun.h"
#include "console/cli/clitext.h"
#include "console/cli/runsettings.h"
#include "console/cli/stderrfrontend.h"
#include "console/consolecore.h"
#include "console/settings/consolesettings.h"
#include "console/batch/distributionrules.h"
#include "console/queue/jobqueue.h"
#include "console/network/macdirectory.h"
#include "console/queue/queueround.h"
#include "console/batch/resultcsv.h"
#include "console/settings/sqlsettings.h"
#include "net/frame.h"
#include "platform/processes.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 DefaultLifeSeconds = 7 * 86400;

QString timeText(const QDateTime &when)
{
    return when.isValid() ? when.toLocalTime().toString(u"yyyy/MM/dd HH:mm:ss"_s) : u"-"_s;
}

/// One queue command over the console's core: the console folder, its settings and inventory,
/// the queue.
class QueueCli
{
public:
    QueueCli(const CliOptions &options, ConsoleCore &core, std::FILE *out, std::FILE *err)
        : m_options(options), m_core(core), m_out(out), m_err(err), m_frontEnd(err),
          m_folder(options.folder.isEmpty() ? ProgramFolder::path() : options.folder),
          m_queue(m_folder, m_clock)
    {
        m_core.setFolder(m_folder);
        m_core.attach(&m_frontEnd);
    }
    ~QueueCli() { m_core.attach(nullptr); }

    int run();

private:
    int add(const QStringList &words);
    int runRound();
    int list(const QStringList &words);
    int drop(const QStringList &words);
    int retry(const QStringList &words);
    bool loadSettings();
    bool openQueue();
    std::optional<qint64> jobNumber(const QStringList &words);
    int usage(const QString &error);
    int failed(const QString &error);

    const CliOptions &m_options;
    ConsoleCore &m_core;
    std::FILE *m_out;
    std::FILE *m_err;
    StderrFrontEnd m_frontEnd;
    QString m_folder;
    Clock m_clock;
    JobQueue m_queue;
    bool m_csv = false;
};

int QueueCli::usage(const QString &error)
{
    WriteCliText(m_err, error + u'\n' + QueueUsage());
    return CliExit::Usage;
}

int QueueCli::failed(const QString &error)
{
    WriteCliText(m_err, error + u'\n');
    return CliExit::Failed;
}

bool QueueCli::loadSettings()
{
    return LoadCliRunSettings(m_options, m_folder, m_err, m_core.settings(), m_core.inventory(),
                              m_core.names());
}

bool QueueCli::openQueue()
{
    if (m_core.settings().IniFilePath.isEmpty() && !loadSettings())
        return false;
    if (m_queue.open(QueueConnectionString(m_core.settings())))
        return true;
    WriteCliText(m_err, m_queue.errorText() + u'\n');
    return false;
}

std::optional<qint64> QueueCli::jobNumber(const QStringList &words)
{
    bool ok = false;
    const qint64 number = words.size() == 1 ? words.first().toLongLong(&ok) : 0;
    if (!ok || number < 1)
        return std::nullopt;
    return number;
}

int QueueCli::run()
{
    QStringList words;
    for (const QString &word : m_options.arguments) {
        if (word == u"--csv")
            m_csv = true;
        else
            words.append(word);
    }
    m_csv = m_csv || m_options.csv;
    const QString sub = words.isEmpty() ? QString() : words.takeFirst();
    if (sub == u"add")
        return add(words);
    if (sub == u"run")
        return words.isEmpty() ? runRound() : usage(u"queue run takes no arguments"_s);
    if (sub == u"list")
        return list(words);
    if (sub == u"drop")
        return drop(words);
    if (sub == u"retry")
        return retry(words);
    return usage(sub.isEmpty() ? u"queue needs add, run, list, drop or retry"_s
                               : u"unknown queue command: "_s + sub);
}

int QueueCli::add(const QStringList &given)
{
    qint64 life = DefaultLifeSeconds;
    bool wake = m_options.wakeSeconds.has_value();
    QStringList words;
    for (qsizetype i = 0; i < given.size(); ++i) {
        if (given[i] == u"--wake") {
            wake = true;
        } else if (given[i] == u"--until") {
            const auto seconds = i + 1 < given.size() ? ParseQueueDuration(given[i + 1])
                                                      : std::nullopt;
            if (!seconds)
                return usage(u"--until needs a duration such as 90s, 30m, 12h or 7d"_s);
            life = *seconds;
            ++i;
        } else if (given[i].startsWith(u"--"_s)) {
            return usage(u"unknown option of queue add: "_s + given[i]);
        } else {
            words.append(given[i]);
        }
    }
    if (words.isEmpty())
        return usage(u"queue add needs a command and targets"_s);
    const QString command = words.takeFirst();
    const int code = QueueCommandCode(command);
    if (code == 0)
        return usage(u"unknown command for the queue: "_s + command + u" (one of "_s
                     + QueueCommandWords().join(u", "_s) + u')');
    QString file;
    if (IsFileRequest(code)) {
        if (words.isEmpty())
            return usage(u"queue add "_s + command + u" needs a file"_s);
        file = QFileInfo(words.takeFirst()).absoluteFilePath();
        if (!QFileInfo(file).isFile())
            return usage(file + u": no such file"_s);
    }
    if (words.isEmpty())
        return usage(u"no computer to run on"_s);
    if (!loadSettings())
        return CliExit::Usage;
    QStringList hosts;
    QString error;
    if (!ExpandTargets(words, m_core.inventory(), hosts, error))
        return usage(error);
    if (hosts.isEmpty())
        return usage(u"no computer to run on"_s);
    if (!file.isEmpty()) {
        if (const auto refusal = DistributionRefusal(code, QFileInfo(file).fileName())) {
            m_frontEnd.showMessage(ConsoleFrontEnd::Icon::Exclamation, *refusal);
            return CliExit::Failed;
        }
    }
    if (!openQueue())
        return CliExit::Failed;
    const auto number = m_queue.addJob(command, file, hosts, life, wake, file,
                                       code == Frame::DistributeAndRestart);
    if (!number)
        return failed(m_queue.errorText());
    WriteCliText(m_out, QString::number(*number) + u'\n');
    WriteCliText(m_err, u"job "_s + QString::number(*number) + u": "_s + command + u" on "_s
                     + QString::number(hosts.size()) + u" computers until "_s
                     + timeText(m_clock.now().addSecs(life)) + u'\n');
    return CliExit::Ok;
}

int QueueCli::runRound()
{
    if (!loadSettings())
        return CliExit::Usage;
    if (!openQueue())
        return CliExit::Failed;
    MacDirectory macs(m_core.inventory(), sqlSettingsOf(m_core.settings(), m_folder));
    QueueRound round(m_queue, m_core.settings(), m_core.names(), m_core.frontEnd(), macs,
                     Processes::isRunning);
    QEventLoop loop;
    QObject::connect(&round, &QueueRound::entryFinished, &round, [&](const QueueOutcome &o) {
        WriteCliText(m_out, QString::number(o.entry.job) + u'\t' + o.entry.host + u'\t' + o.state
                         + u'\t' + o.status + u'\n');
    });
    QObject::connect(&round, &QueueRound::finished, &loop, &QEventLoop::quit);
    QString error;
    if (!round.start(error))
        return failed(error);
    if (!round.isFinished())
        loop.exec(); // every try ends by its reply, an error or its time-out
    if (!round.wakeProblem().isEmpty())
        WriteCliText(m_err, m_core.settings().IniFilePath + u": no wake: "_s + round.wakeProblem() + u'\n');
    int done = 0, pending = 0, failures = 0, unrecorded = 0;
    for (const QueueOutcome &outcome : round.outcomes()) {
        done += outcome.state == QStringView(QueueState::Done);
        failures += outcome.state == QStringView(QueueState::Failed);
        pending += outcome.state == QStringView(QueueState::Pending);
        unrecorded += !outcome.recorded;
    }
    QString summary = u"queue: "_s + QString::number(done) + u" done, "_s
                      + QString::number(pending) + u" still pending, "_s
                      + QString::number(failures) + u" failed, "_s
                      + QString::number(round.expiredCount()) + u" expired"_s;
    if (round.heldElsewhere() > 0)
        summary += u", "_s + QString::number(round.heldElsewhere())
                   + u" taken by another run"_s;
    if (unrecorded > 0)
        summary += u", "_s + QString::number(unrecorded) + u" not recorded"_s;
    WriteCliText(m_err, summary + u'\n');
    return failures == 0 && unrecorded == 0 ? CliExit::Ok : CliExit::Failed;
}

int QueueCli::list(const QStringList &words)
{
    if (words.size() > 1)
        return usage(u"queue list takes at most one job number"_s);
    const auto number = words.isEmpty() ? std::optional<qint64>(0) : jobNumber(words);
    if (!number)
        return usage(u"not a job number: "_s + words.first());
    if (!openQueue())
        return CliExit::Failed;
    QStringList headers;
    QList<QStringList> rows;
    if (*number == 0) {
        const auto jobs = m_queue.jobs();
        if (!jobs)
            return failed(m_queue.errorText());
        headers = {u"ジョブ"_s, u"コマンド"_s, u"引数"_s, u"登録"_s, u"期限"_s, u"起動"_s,
                   u"完了"_s, u"待機"_s, u"失敗"_s, u"期限切れ"_s};
        for (const QueueJob &job : *jobs)
            rows.append({QString::number(job.number), job.command, job.arguments,
                         timeText(job.created), timeText(job.expires),
                         job.wake ? u"wake"_s : u"-"_s, QString::number(job.done),
                         QString::number(job.pending), QString::number(job.failed),
                         QString::number(job.expired)});
    } else {
        if (!m_queue.job(*number))
            return usage(m_queue.errorText());
        const auto entries = m_queue.entries(*number);
        if (!entries)
            return failed(m_queue.errorText());
        headers = {u"コンピュータ名"_s, u"状態"_s, u"ステータス"_s, u"最終試行"_s};
        for (const QueueEntry &entry : *entries)
            rows.append({entry.host, entry.state, entry.status, timeText(entry.lastTry)});
    }
    if (m_csv) {
        WriteCliText(m_out, ResultListCsvText(headers, rows).replace(u"\r\n"_s, u"\n"_s));
        return CliExit::Ok;
    }
    for (const QStringList &row : std::as_const(rows))
        WriteCliText(m_out, row.join(u'\t') + u'\n');
    return CliExit::Ok;
}

int QueueCli::drop(const QStringList &words)
{
    const auto number = jobNumber(words);
    if (!number)
        return usage(u"queue drop needs one job number"_s);
    if (!openQueue())
        return CliExit::Failed;
    if (!m_queue.job(*number))
        return usage(m_queue.errorText());
    if (!m_queue.drop(*number))
        return failed(m_queue.errorText());
    WriteCliText(m_err, u"job "_s + QString::number(*number) + u" dropped\n"_s);
    return CliExit::Ok;
}

int QueueCli::retry(const QStringList &words)
{
    const auto number = jobNumber(words);
    if (!number)
        return usage(u"queue retry needs one job number"_s);
    if (!openQueue())
        return CliExit::Failed;
    if (!m_queue.job(*number))
        return usage(m_queue.errorText());
    const auto count = m_queue.retry(*number);
    if (!count)
        return failed(m_queue.errorText());
    WriteCliText(m_err, u"job "_s + QString::number(*number) + u": "_s + QString::number(*count)
                     + u" failed computers pending again\n"_s);
    return CliExit::Ok;
}

} // namespace

bool IsQueueCommand(const QString &command)
{
    return command == u"queue";
}

QString QueueUsage()
{
    return u"  queue add COMMAND [FILE] HOST... [--until DURATION] [--wake]\n"
           "                                      a job that retries the computers not served\n"
           "                                      (COMMAND: collect, restart, terminate,\n"
           "                                      distribute, distribute-restart,\n"
           "                                      distribute-collect; DURATION 90s, 30m, 12h,\n"
           "                                      7d (default 7d)); prints the job number\n"
           "  queue run                           one round over every pending computer\n"
           "  queue list [JOB]                    the jobs, or the computers of one job\n"
           "  queue drop JOB                      remove a job and its copied file\n"
           "  queue retry JOB                     put the failed computers back to pending\n"_s;
}

int RunQueueCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out, std::FILE *err)
{
    QueueCli run(options, core, out, err);
    return run.run();
}
