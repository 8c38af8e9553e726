// The queue's figures: one `queue run` over 1,000 pending PCs of which 50 answer (stand-in agents
// on 127.0.7.1-50 answering 140; nobody listens on the other 950 addresses), MaxControl 50:
// the wall time of the round, the time per recorded outcome, and the size of TarvoQueue.sqlite
// before and after the round. A second round (nothing answers any more: every PC that answered
// is done) shows the cost of the PCs that stay pending: a PC that does not answer holds its slot
// until the time-out. Last, the store alone (no network): claim and record for 1,000 entries,
// once as done (each commit synced to the disk) and once as still pending (not synced).
#include "common/clock.h"
#include "console/queue/jobqueue.h"
#include "support/agentprocess.h"
#include "support/scriptedagent.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int Pcs = 1000;
constexpr int Answering = 50;

QString address(int i)
{
    // 127.0.7.1-50 answer; 127.0.8.x onward is silent loopback space.
    return i < Answering ? u"127.0.7.%1"_s.arg(i + 1)
                         : u"127.0.%1.%2"_s.arg(8 + (i - Answering) / 250).arg(1 + (i - Answering) % 250);
}

struct Round
{
    int exitCode = -1;
    qint64 ms = 0;
    QString summary;
};

Round console(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  QStringList{u"--folder"_s, folder} + arguments);
    loop.exec(); // the stand-in agents answer from this loop meanwhile
    Round round{process.exitCode(), clock.elapsed(),
                QString::fromUtf8(process.readAllStandardError()).trimmed()};
    return round;
}

// The database with its write-ahead log.
qint64 databaseBytes(const QString &path)
{
    return QFileInfo(path).size() + QFileInfo(path + u"-wal"_s).size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    std::vector<std::unique_ptr<ScriptedAgent>> agents;
    for (int i = 0; i < Answering; ++i) {
        agents.push_back(std::make_unique<ScriptedAgent>(address(i), i == 0 ? 0 : agents[0]->port()));
        agents.back()->on(140, {{rawFrame(141, "\r\n")}, false});
        if (!agents.back()->isListening()) {
            std::fprintf(stderr, "stand-in agent %s does not listen\n", qPrintable(address(i)));
            return 1;
        }
    }
    QByteArray inventory = "[All]\r\n";
    for (int i = 0; i < Pcs; ++i)
        inventory += "pc" + QByteArray::number(i) + '=' + address(i).toLatin1() + "\r\n";
    const QByteArray ini = "[TarvoControl]\r\nPort=" + QByteArray::number(agents[0]->port())
                           + "\r\nTimeout=5\r\nMaxControl=50\r\n";
    for (const auto &[name, bytes] : {std::pair{u"TarvoControl.ini"_s, ini},
                                      std::pair{u"TarvoNetwork.ini"_s, inventory}}) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
    }
    const QString database = folder.filePath(u"TarvoQueue.sqlite"_s);
    const Round add = console(folder.path(), {u"queue"_s, u"add"_s, u"collect"_s, u"@All"_s});
    if (add.exitCode != 0) {
        std::fprintf(stderr, "queue add: %s\n", qPrintable(add.summary));
        return 1;
    }
    const qint64 sizeBefore = databaseBytes(database);
    std::printf("queue add of %d PCs: %lld ms, TarvoQueue.sqlite and its log %lld bytes\n", Pcs,
                static_cast<long long>(add.ms), static_cast<long long>(sizeBefore));
    for (const char *label : {"first round (50 answer)", "second round (none answers)"}) {
        const Round round = console(folder.path(), {u"queue"_s, u"run"_s});
        std::printf("%s: %lld ms, %.2f ms per PC, exit %d, %s; database and log %lld bytes\n",
                    label, static_cast<long long>(round.ms), double(round.ms) / Pcs,
                    round.exitCode, qPrintable(round.summary.section(u'\n', -1)),
                    static_cast<long long>(databaseBytes(database)));
    }
    QTemporaryDir storeFolder;
    Clock clock;
    JobQueue store(storeFolder.path(), clock);
    QStringList hosts;
    for (int i = 0; i < Pcs; ++i)
        hosts.append(address(i));
    if (!store.open())
        return 1;
    for (const char *state : {"done", "pending"}) {
        const auto job = store.addJob(u"collect"_s, {}, hosts, 3600, false, {}, false);
        const auto entries = job ? store.triable(60) : std::nullopt;
        if (!entries)
            return 1;
        QElapsedTimer timer;
        timer.start();
        for (const QueueEntry &entry : *entries) {
            if (entry.job == *job
                && !(store.claim(entry, u"bench"_s, 60)
                     && store.record(entry, u"bench"_s, QString::fromLatin1(state), u"OK"_s)))
                return 1;
        }
        std::printf("store: claim and record %d entries as %s: %.2f ms per entry\n", Pcs, state,
                    double(timer.elapsed()) / Pcs);
    }
    int served = 0;
    for (const auto &agent : agents)
        served += int(agent->requestCodes().count(140));
    std::printf("requests 140 received by the %d stand-ins: %d\n", Answering, served);
    return served == Answering ? 0 : 1;
}
