#include "console/batch/queuehandoff.h"

#include "common/clock.h"
#include "console/batch/batchrun.h"
#include "console/settings/consolesettings.h"
#include "console/queue/jobqueue.h"
#include "net/frame.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 DefaultLifeSeconds = 7 * 86400;

} // namespace

QStringList UnreachableHosts(const QList<BatchResult> &rows)
{
    QStringList hosts;
    for (const BatchResult &row : rows) {
        if (row.result == u"NG" && !row.connected)
            hosts.append(row.host);
    }
    return hosts;
}

QueueHandOff HandUnreachableToQueue(const ConsoleSettings &settings, const QString &folder,
                                    int code, const QString &filePath,
                                    const QList<BatchResult> &rows)
{
    QueueHandOff result;
    const QStringList hosts = UnreachableHosts(rows);
    result.hosts = int(hosts.size());
    const QString command = QueueCommandWord(code);
    if (hosts.isEmpty() || command.isEmpty()) {
        result.text = u"再試行キューに登録する未到達のPCはありません。"_s;
        return result;
    }
    Clock clock;
    JobQueue queue(folder, clock);
    if (queue.open(QueueConnectionString(settings))) {
        result.job = queue.addJob(command, filePath, hosts, DefaultLifeSeconds, false, filePath,
                                  code == Frame::DistributeAndRestart);
    }
    result.text = result.job ? u"未到達のPC %1 台を再試行キューのジョブ %2 に登録しました！"_s
                                   .arg(hosts.size())
                                   .arg(*result.job)
                             : u"再試行キューに登録できませんでした！（"_s + queue.errorText()
                                   + u'）';
    return result;
}
