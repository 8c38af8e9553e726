// The console's figures: a batch 140 from the command line to 200 agents (127.0.1.1-200,
// MaxControl 50): wall time and the console's CPU time; a 100 MiB distribution to 20 agents
// (MaxControl 10): the console's peak resident memory and the aggregate rate beside one single
// distribution's rate; the single connection's 400 round trip, command to dispatched view,
// p50 and p99; a status run (request 300 only) over the 200 agents (MaxControl 50) and over a
// /24 of which 3 answer; the batch again over TLS (TlsAccept=plain,psk, TlsConnect=psk).
// collect over 10,000 stand-ins named in TarvoNetwork.ini with a plugged resolver (50 ms, one name
// in a hundred never answered), MaxControl 256, Timeout 3, beside the same run given addresses.
// Run them all, or one: bench_console [batch|distribute|roundtrip|status|names [count]]
#include "console/connection/agentconnection.h"
#include "console/batch/batchrun.h"
#include "console/settings/consolesettings.h"
#include "console/frontend.h"
#include "console/connection/nametable.h"
#include "net/frame.h"
#include "net/hostresolver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString Listening = u"接続待ち状態"_s;

class SilentFrontEnd : public ConsoleFrontEnd
{
public:
    void showStatus(const QString &) override {}
    void showMessage(Icon, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void setBusy(bool) override {}
    QString chooseFile(const QString &, const QString &, const QString &, bool) override { return {}; }
};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

/// Agents on 127.0.1.1 and up, one program folder each (the program hard-linked, not copied).
class Fleet
{
public:
    /// `tls`: the agents also accept TLS, with one key made by the console's keygen.
    explicit Fleet(int count, bool tls = false) : m_port(freePort())
    {
        QByteArray tlsKeys;
        if (tls && makeKeyFile())
            tlsKeys = "TlsAccept=plain,psk\r\nTlsPskFile=" + keyFile().toUtf8() + "\r\n";
        const QString noop = m_dir.filePath(u"noop.sh"_s);
        QFile script(noop);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nexit 0\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        for (int i = 0; i < count; ++i) {
            const QString folder = m_dir.filePath(u"pc"_s + QString::number(i + 1));
            QDir().mkpath(folder);
            ::link(TARVO_BIN_DIR "/TarvoAgent", qPrintable(folder + u"/TarvoAgent"_s));
            ::link(qPrintable(noop), qPrintable(folder + u"/noop.sh"_s));
            QFile ini(folder + u"/TarvoAgent.ini"_s);
            ini.open(QIODevice::WriteOnly);
            ini.write("[TarvoAgent]\r\nPort=" + QByteArray::number(m_port)
                      + "\r\nTimeOut=60\r\nStatusLog=100\r\nAutoStart=0\r\nAutoExit=0\r\n"
                        "TimeStart=WEEK,23:59,\r\nExeFile=noop.sh\r\nDebugMode=0\r\n"
                        "ListenAddress=" + address(i).toLatin1()
                      + "\r\nAllowFrom=127.0.0.1\r\n" + tlsKeys
                      + "[TarvoInfo]\r\nSQLUpdate=0\r\n");
            ini.close();
            auto agent = std::make_unique<QProcess>();
            agent->setProgram(folder + u"/TarvoAgent"_s);
            agent->setArguments({u"--headless"_s});
            agent->setProcessChannelMode(QProcess::MergedChannels);
            agent->start();
            m_agents.push_back(std::move(agent));
            m_output.emplace_back();
        }
    }
    ~Fleet()
    {
        for (auto &agent : m_agents)
            agent->terminate();
        for (auto &agent : m_agents)
            agent->waitForFinished(5000);
    }

    static QString address(int i) { return u"127.0.1."_s + QString::number(i + 1); }
    quint16 port() const { return m_port; }
    QString folder(int i) const { return m_dir.filePath(u"pc"_s + QString::number(i + 1)); }
    QString keyFile() const { return m_dir.filePath(u"tarvo.psk"_s); }

    /// Waits until agent i has said `times` times that it listens (it listens anew after each
    /// session).
    bool waitListening(int i, int times)
    {
        while (QString::fromUtf8(m_output[i]).count(Listening) < times) {
            if (!m_agents[i]->waitForReadyRead(20000))
                return false;
            m_output[i] += m_agents[i]->readAll();
        }
        return true;
    }
    bool waitAllListening(int count, int times)
    {
        for (int i = 0; i < count; ++i) {
            if (!waitListening(i, times))
                return false;
        }
        return true;
    }

private:
    bool makeKeyFile() const
    {
        QProcess keygen;
        keygen.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                     {u"keygen"_s, keyFile(), u"bench"_s});
        return keygen.waitForFinished(10000) && keygen.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    quint16 m_port;
    std::vector<std::unique_ptr<QProcess>> m_agents;
    std::vector<QByteArray> m_output;
};

struct ConsoleRun
{
    double seconds = 0;
    double cpuSeconds = 0;
    long peakRssKiB = 0;
    int exitCode = -1;
};

double childCpuSeconds(long *maxRssKiB)
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    if (maxRssKiB)
        *maxRssKiB = usage.ru_maxrss;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// Runs TarvoControl with a console folder holding the settings; CPU and peak memory are those
/// of the console process (the only child that ends while the agents run).
ConsoleRun runConsole(const Fleet &fleet, const QString &maxControl, const QStringList &arguments,
                      bool tls = false)
{
    QTemporaryDir folder;
    QFile ini(folder.filePath(u"TarvoControl.ini"_s));
    ini.open(QIODevice::WriteOnly);
    ini.write("[TarvoControl]\r\nPort=" + QByteArray::number(fleet.port())
              + "\r\nTimeout=60\r\nMaxControl=" + maxControl.toLatin1() + "\r\n"
              + (tls ? "TlsConnect=psk\r\nTlsPskFile=" + fleet.keyFile().toUtf8() + "\r\n"
                     : QByteArray()));
    ini.close();
    QProcess console;
    const double cpuBefore = childCpuSeconds(nullptr);
    QElapsedTimer clock;
    clock.start();
    console.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  QStringList{u"--folder"_s, folder.path()} + arguments);
    console.waitForFinished(600000);
    ConsoleRun run;
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = childCpuSeconds(&run.peakRssKiB) - cpuBefore;
    run.exitCode = console.exitCode();
    return run;
}

void benchBatch(bool tls)
{
    constexpr int Agents = 200;
    Fleet fleet(Agents, tls);
    if (!fleet.waitAllListening(Agents, 1)) {
        std::printf("batch: the agents did not all start\n");
        return;
    }
    QStringList arguments{u"collect"_s};
    for (int i = 0; i < Agents; ++i)
        arguments.append(Fleet::address(i));
    const ConsoleRun run = runConsole(fleet, u"50"_s, arguments, tls);
    std::printf("batch 140 to %d agents, MaxControl 50, %s: %.3f s wall, console CPU %.3f s "
                "(%.0f%% of the wall time), exit %d\n",
                Agents, tls ? "TLS" : "plain", run.seconds, run.cpuSeconds, 100.0 * run.cpuSeconds / run.seconds,
                run.exitCode);
}

void benchStatus()
{
    constexpr int Agents = 200;
    {
        Fleet fleet(Agents);
        if (!fleet.waitAllListening(Agents, 1)) {
            std::printf("status: the agents did not all start\n");
            return;
        }
        QStringList arguments{u"status"_s};
        for (int i = 0; i < Agents; ++i)
            arguments.append(Fleet::address(i));
        const ConsoleRun run = runConsole(fleet, u"50"_s, arguments);
        std::printf("status over %d agents, MaxControl 50: %.3f s wall (target < 0.5 s), console "
                    "CPU %.3f s, exit %d\n",
                    Agents, run.seconds, run.cpuSeconds, run.exitCode);
    }
    // A /24 of which only three answer: the others refuse at once on loopback, where a
    // switched-off PC would instead hold its slot up to the time-out (60 s here).
    Fleet three(3);
    if (!three.waitAllListening(3, 1)) {
        std::printf("status /24: the agents did not start\n");
        return;
    }
    QStringList subnet{u"status"_s};
    for (int i = 0; i < 254; ++i)
        subnet.append(Fleet::address(i));
    const ConsoleRun sweep = runConsole(three, u"50"_s, subnet);
    std::printf("status over a /24 (254 addresses, 3 agents), MaxControl 50: %.3f s wall, exit %d\n",
                sweep.seconds, sweep.exitCode);
}

void benchDistribution()
{
    constexpr int Agents = 20;
    constexpr qint64 FileBytes = 100LL << 20;
    Fleet fleet(Agents);
    QTemporaryDir files;
    const QString path = files.filePath(u"payload.bin"_s);
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 7 + 3);
        for (qint64 written = 0; written < FileBytes; written += block.size())
            file.write(block);
    }
    if (!fleet.waitAllListening(Agents, 1)) {
        std::printf("distribute: the agents did not all start\n");
        return;
    }
    QStringList arguments{u"distribute"_s, path};
    for (int i = 0; i < Agents; ++i)
        arguments.append(Fleet::address(i));
    const ConsoleRun batch = runConsole(fleet, u"10"_s, arguments);
    if (!fleet.waitListening(0, 2)) {
        std::printf("distribute: agent 1 did not listen again\n");
        return;
    }
    const ConsoleRun single = runConsole(fleet, u"10"_s, {u"distribute"_s, path, Fleet::address(0)});
    const double mib = double(FileBytes) / double(1 << 20);
    std::printf("distribute 100 MiB to %d agents, MaxControl 10: %.2f s, aggregate %.0f MiB/s, "
                "console peak RSS %ld KiB, exit %d\n",
                Agents, batch.seconds, mib * Agents / batch.seconds, batch.peakRssKiB,
                batch.exitCode);
    std::printf("distribute 100 MiB to one agent: %.2f s, %.0f MiB/s, exit %d\n", single.seconds,
                mib / single.seconds, single.exitCode);
}

void benchRoundTrip()
{
    constexpr int Rounds = 200;
    Fleet fleet(1);
    ConsoleSettings settings;
    settings.Port = QString::number(fleet.port());
    settings.Timeout = u"10"_s;
    settings.MaxControl = u"1"_s;
    ComputeConsoleSettingsNumbers(settings);
    NameTable names;
    SilentFrontEnd frontEnd;
    AgentConnection connection(settings, names, frontEnd);
    QElapsedTimer clock;
    std::vector<double> micros;
    QEventLoop loop;
    QObject::connect(&connection, &AgentConnection::ShowStatusLog, &loop, [&] {
        micros.push_back(double(clock.nsecsElapsed()) / 1e3);
    });
    QObject::connect(&connection, &AgentConnection::commandFinished, &loop, &QEventLoop::quit);
    for (int round = 0; round < Rounds; ++round) {
        // The agent listens anew after each session: the next command waits for that.
        if (!fleet.waitListening(0, round + 1))
            break;
        clock.start();
        connection.SendCommand(Fleet::address(0), 400, {});
        loop.exec();
    }
    std::sort(micros.begin(), micros.end());
    if (micros.empty()) {
        std::printf("roundtrip: no reply\n");
        return;
    }
    auto at = [&micros](double q) { return micros[size_t(q * double(micros.size() - 1))]; };
    std::printf("400 round trip, command to dispatched view, %zu rounds: p50 %.0f us, p99 %.0f us\n",
                micros.size(), at(0.5), at(0.99));
}

// --- Names looked up through a plugged resolver ---------------------------------------------

// The stand-ins of the names bench: one listening socket per address, all in one child process
// with one epoll loop, since thousands of agent processes would not fit beside the console on a
// small machine. Each answers the first bytes of a connection with 141 and closes when the
// console does.
QString standInAddress(int i)
{
    return u"127.10.%1.%2"_s.arg(i / 250).arg(i % 250 + 1);
}

QString standInName(int i)
{
    return u"pc%1"_s.arg(i, 5, 10, QChar(u'0'));
}

int runStandIns(int count, quint16 port)
{
    const int poll = ::epoll_create1(EPOLL_CLOEXEC);
    constexpr quint64 ListenBit = 1ULL << 32;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        ::inet_pton(AF_INET, qPrintable(standInAddress(i)), &address.sin_addr);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(fd, 64) != 0) {
            std::printf("failed %s\n", qPrintable(standInAddress(i)));
            std::fflush(stdout);
            return 1;
        }
        epoll_event event{EPOLLIN, {}};
        event.data.u64 = ListenBit | quint64(fd);
        ::epoll_ctl(poll, EPOLL_CTL_ADD, fd, &event);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const QByteArray reply = Frame::build(Frame::RunCollector + 1, "\r\n");
    std::vector<bool> answered(1 << 20, false);
    epoll_event events[256];
    char buffer[4096];
    for (;;) {
        const int n = ::epoll_wait(poll, events, 256, -1);
        for (int k = 0; k < n; ++k) {
            const int fd = int(events[k].data.u64 & 0xFFFFFFFF);
            if (events[k].data.u64 & ListenBit) {
                for (int client; (client = ::accept4(fd, nullptr, nullptr,
                                                     SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                    epoll_event event{EPOLLIN, {}};
                    event.data.u64 = quint64(client);
                    ::epoll_ctl(poll, EPOLL_CTL_ADD, client, &event);
                }
                continue;
            }
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                answered[size_t(fd)] = false;
                ::close(fd);
                continue;
            }
            if (!answered[size_t(fd)]) {
                answered[size_t(fd)] = true;
                ::send(fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
            }
        }
    }
}

/// Answers every name after `delayMs` with its stand-in's address, except one name in a hundred,
/// which it never answers: a site whose secondary name server is down.
class BenchResolver : public HostResolver
{
public:
    explicit BenchResolver(int delayMs) : m_delayMs(delayMs) {}
    void lookUp(const QString &name) override
    {
        const int i = name.mid(2).toInt();
        if (i % 100 == 99)
            return;
        QTimer::singleShot(m_delayMs, this, [this, name, i] {
            Q_EMIT lookedUp(name, standInAddress(i), 0);
        });
    }

private:
    int m_delayMs;
};

/// The console side, in a process of its own so that its peak RSS is its own: collect over the
/// stand-ins named in TarvoNetwork.ini (or given as addresses), MaxControl 256, Timeout 3.
int runNamesConsole(int count, quint16 port, bool named)
{
    QTemporaryDir folder;
    QFile ini(folder.filePath(QString::fromUtf16(NetworkInventory::FileName)));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Fleet]\r\n");
    for (int i = 0; i < count; ++i)
        ini.write(standInName(i).toLatin1() + "=\r\n");
    ini.close();
    const NetworkInventory inventory = NetworkInventory::load(ini.fileName());
    BenchResolver resolver(50);
    NameTable names(&resolver);
    inventory.fill(names);
    QStringList hosts;
    QString error;
    ExpandTargets({u"@Fleet"_s}, inventory, hosts, error);
    if (!named) {
        for (int i = 0; i < hosts.size(); ++i)
            hosts[i] = standInAddress(i);
    }
    ConsoleSettings settings;
    settings.Port = QString::number(port);
    settings.Timeout = u"3"_s;
    settings.MaxControl = u"256"_s;
    ComputeConsoleSettingsNumbers(settings);
    SilentFrontEnd frontEnd;
    BatchRun batch(settings, names, frontEnd, 0);
    QEventLoop loop;
    QObject::connect(&batch, &BatchRun::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    if (!batch.start(hosts, Frame::RunCollector))
        return 1;
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    int ok = 0, timedOut = 0;
    for (const BatchResult &row : batch.rows()) {
        ok += row.result == u"OK";
        timedOut += row.status == u"タイムアウト！";
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %ld %d %d %d\n", seconds, usage.ru_maxrss, ok, timedOut, batch.lookups());
    return 0;
}

void benchNames(int count)
{
    const quint16 port = freePort();
    QProcess standIns;
    standIns.start(QCoreApplication::applicationFilePath(),
                   {u"standins"_s, QString::number(count), QString::number(port)});
    if (!standIns.waitForReadyRead(120000) || !standIns.readLine().startsWith("ready")) {
        std::printf("names: the stand-ins did not start\n");
        return;
    }
    for (const bool named : {false, true}) {
        QProcess console;
        console.start(QCoreApplication::applicationFilePath(),
                      {u"names-console"_s, QString::number(count), QString::number(port),
                       named ? u"named"_s : u"addresses"_s});
        console.waitForFinished(600000);
        const QStringList figures = QString::fromLatin1(console.readAll()).split(u' ');
        if (figures.size() < 5) {
            std::printf("names: the console run failed\n");
            continue;
        }
        std::printf("collect over %d stand-ins %s, MaxControl 256, Timeout 3: %s s, console peak "
                    "RSS %.1f MiB, %s OK, %s timed out, %s lookups\n",
                    count,
                    named ? "named in TarvoNetwork.ini (lookups 50 ms, 1 in 100 never answered)"
                          : "given as addresses",
                    qPrintable(figures[0]), figures[1].toDouble() / 1024.0,
                    qPrintable(figures[2]), qPrintable(figures[3]),
                    qPrintable(figures[4].trimmed()));
    }
    standIns.kill();
    standIns.waitForFinished(10000);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    // The names bench's own children: the stand-ins, and the console runs.
    if (only == u"standins" && argc > 3)
        return runStandIns(std::atoi(argv[2]), quint16(std::atoi(argv[3])));
    if (only == u"names-console" && argc > 4)
        return runNamesConsole(std::atoi(argv[2]), quint16(std::atoi(argv[3])),
                               std::strcmp(argv[4], "named") == 0);
    if (only.isEmpty() || only == u"roundtrip")
        benchRoundTrip();
    if (only.isEmpty() || only == u"batch") {
        benchBatch(false);
        benchBatch(true);
    }
    if (only.isEmpty() || only == u"distribute")
        benchDistribution();
    if (only.isEmpty() || only == u"status")
        benchStatus();
    if (only.isEmpty() || only == u"names")
        benchNames(argc > 2 ? std::atoi(argv[2]) : 10000);
    return 0;
}
