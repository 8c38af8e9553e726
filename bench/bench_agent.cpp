// Agent throughput and footprint: request cycles per second on loopback with p50/p99 latency,
// consoles that reconnect the moment they close, a 110 of 4,000 lines, a 100 MiB distribution
// against a plain loopback copy of the same bytes, and the idle agent's resident memory and CPU
// time; then cycles of connect, one request, reply and close beside Debian's Zabbix agent
// answering agent.ping, when zabbix_agentd is installed. `--agent <program>` measures another
// build of the agent; `--compare <program>` adds the cycle figures of a second build.
#include "net/frame.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QByteArray frame(int code, const QByteArray &body)
{
    return Frame::build(code, body);
}

QByteArray readFrame(QTcpSocket &socket, int timeoutMs = 30000)
{
    QByteArray buffer;
    for (;;) {
        buffer += socket.readAll();
        if (buffer.size() >= 8) {
            quint32 length = 0;
            for (int i = 0; i < 4; ++i)
                length |= quint32(quint8(buffer.at(4 + i))) << (8 * i);
            if (buffer.size() >= qsizetype(length))
                return buffer;
        }
        if (!socket.waitForReadyRead(timeoutMs))
            return {};
    }
}

bool sendAll(QTcpSocket &socket, const QByteArray &bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(30000))
            return false;
    }
    return true;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString agentProgram = QStringLiteral(TARVO_BIN_DIR "/TarvoAgent");

struct Agent
{
    QTemporaryDir dir;
    quint16 port = freePort();
    QProcess process;

    bool start()
    {
        QFile ini(dir.filePath(u"TarvoAgent.ini"_s));
        QFile shipped(QStringLiteral(TARVO_SOURCE_DIR "/packaging/TarvoAgent.ini"));
        if (!shipped.open(QIODevice::ReadOnly) || !ini.open(QIODevice::WriteOnly))
            return false;
        QByteArray text = shipped.readAll();
        text.replace("Port=7710", QByteArray("Port=" + QByteArray::number(port)));
        ini.write(text + "[TarvoAgent]\r\nListenAddress=127.0.0.1\r\n");
        ini.close();
        QFile::copy(agentProgram, dir.filePath(u"TarvoAgent"_s));
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(dir.filePath(u"TarvoAgent"_s), {u"--headless"_s});
        if (!process.waitForStarted())
            return false;
        for (int attempt = 0; attempt < 200; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(50)) {
                sendAll(probe, frame(900, "\r\n"));
                readFrame(probe);
                probe.waitForDisconnected(1000);
                return true;
            }
            QThread::msleep(25);
        }
        return false;
    }
    ~Agent()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

qint64 procField(qint64 pid, const char *file, int field)
{
    QFile stat(u"/proc/%1/%2"_s.arg(pid).arg(QLatin1StringView(file)));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(field - 3).toLongLong();
}

qint64 residentKiB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct CycleFigures
{
    double perSecond = 0;
    double p50 = 0;
    double p99 = 0;
    int reconnects = 0;
    qsizetype replyBytes = 0;
};

CycleFigures cycles(quint16 port, int count)
{
    CycleFigures figures;
    QList<double> latencies;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < count; ++i) {
        QElapsedTimer one;
        one.start();
        for (;;) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            QByteArray reply;
            // A console that comes while the agent reopens its listening socket is dropped.
            if (!socket.waitForConnected(5000) || !sendAll(socket, frame(400, "\r\n"))
                || (reply = readFrame(socket)).isEmpty()) {
                ++figures.reconnects;
                continue;
            }
            figures.replyBytes = reply.size();
            sendAll(socket, frame(900, "\r\n"));
            readFrame(socket);
            socket.waitForDisconnected(5000);
            break;
        }
        latencies << one.nsecsElapsed() / 1e6;
    }
    figures.perSecond = count / (total.nsecsElapsed() / 1e9);
    std::sort(latencies.begin(), latencies.end());
    figures.p50 = latencies.at(count / 2);
    figures.p99 = latencies.at(count * 99 / 100);
    return figures;
}

/// The least a server can do for the same cycle: a thread that answers 400 with a reply of
/// `replyBytes` and 900 with 901, keeping its listening socket, logging nothing.
CycleFigures referenceCycles(int count, qsizetype replyBytes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    QThread *responder = QThread::create([&server, count, replyBytes] {
        const QByteArray statusReply = frame(401, QByteArray(replyBytes - 9, 'x'));
        for (int i = 0; i < count; ++i) {
            if (!server.hasPendingConnections() && !server.waitForNewConnection(30000))
                return;
            QTcpSocket *socket = server.nextPendingConnection();
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            readFrame(*socket);
            sendAll(*socket, statusReply);
            readFrame(*socket);
            sendAll(*socket, frame(901, "\r\n\r\n"));
            socket->disconnectFromHost();
            delete socket;
        }
    });
    server.moveToThread(responder);
    responder->start();
    const CycleFigures figures = cycles(port, count);
    responder->wait();
    delete responder;
    return figures;
}

void cycles(Agent &agent, int count)
{
    const CycleFigures measured = cycles(agent.port, count);
    std::printf("cycles (connect, 400, 900, close): %d, %.0f cycles/s; p50 %.3f ms, "
                "p99 %.3f ms; %d reconnects; 401 reply of %lld bytes\n",
                count, measured.perSecond, measured.p50, measured.p99, measured.reconnects,
                qlonglong(measured.replyBytes));
    const CycleFigures reference = referenceCycles(count, measured.replyBytes);
    std::printf("  same cycles against a bare responder thread: %.0f cycles/s; p50 %.3f ms, "
                "p99 %.3f ms (agent at %.0f %%)\n",
                reference.perSecond, reference.p50, reference.p99,
                100 * measured.perSecond / reference.perSecond);
}

/// Consoles as a script drives them: connect, 400, optionally 900, close without waiting for the
/// agent's close, and connect again at once. A cycle fails when the connection is refused or
/// reset, or a reply does not come.
int immediateReconnectFailures(quint16 port, int count, bool with900)
{
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        bool served = socket.waitForConnected(5000) && sendAll(socket, frame(400, "\r\n"))
            && readFrame(socket).startsWith("401;");
        if (served && with900)
            served = sendAll(socket, frame(900, "\r\n")) && readFrame(socket).startsWith("901;");
        if (!served)
            ++failures;
        socket.close();
    }
    return failures;
}

void immediateReconnects(Agent &agent)
{
    constexpr int Count = 1000;
    const int with900 = immediateReconnectFailures(agent.port, Count, true);
    const int without900 = immediateReconnectFailures(agent.port, Count, false);
    std::printf("immediate reconnects: %d failures per 1,000 with 900, %d per 1,000 without\n",
                with900, without900);
}

/// Request 110 with 4,000 changed keys: the time to its reply.
void largeUpdate(Agent &agent)
{
    constexpr int Lines = 4000;
    QByteArray payload;
    for (int i = 0; i < Lines; ++i)
        payload += "TarvoInfo;BenchKey" + QByteArray::number(i) + "=value " + QByteArray::number(i) + "\r\n";
    payload += "\r\n";
    // An agent that reopens its listening socket may refuse or reset the first attempt.
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, agent.port);
        if (!socket.waitForConnected(5000))
            continue;
        QElapsedTimer timer;
        timer.start();
        if (!sendAll(socket, frame(110, payload)))
            continue;
        const QByteArray reply = readFrame(socket, 600000);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (reply.isEmpty())
            continue;
        sendAll(socket, frame(900, "\r\n"));
        readFrame(socket);
        std::printf("110 with %d lines: %.1f ms (reply %s)\n", Lines, ms,
                    reply.left(3).constData());
        return;
    }
    std::printf("110 with %d lines: no reply\n", Lines);
}

double plainCopyMiBps(const QByteArray &data)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    // The receiver reads into one reused buffer and keeps nothing: the bare cost of the bytes
    // crossing loopback, without a file to write.
    QThread *receiver = QThread::create([&server, size = data.size()] {
        server.waitForNewConnection(30000);
        QTcpSocket *socket = server.nextPendingConnection();
        QByteArray buffer(256 * 1024, Qt::Uninitialized);
        qint64 received = 0;
        while (received < size) {
            if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(30000))
                break;
            received += socket->read(buffer.data(), buffer.size());
        }
        socket->write("k");
        socket->waitForBytesWritten(30000);
        socket->waitForDisconnected(30000);
    });
    server.moveToThread(receiver);
    receiver->start();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    client.waitForConnected(5000);
    QElapsedTimer timer;
    timer.start();
    sendAll(client, data);
    client.waitForReadyRead(30000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    client.disconnectFromHost();
    receiver->wait();
    delete receiver;
    return data.size() / 1048576.0 / seconds;
}

void distribution(Agent &agent)
{
    const QByteArray data(100 * 1048576, 'd');
    const QString time = u"2024/01/02 03:04:05"_s;
    const QByteArray request =
        frame(500, Frame::encodeFilePayload({u"big.bin"_s, time, time, time}, data));

    double best = 0;
    for (int round = 0; round < 3; ++round) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, agent.port);
        socket.waitForConnected(5000);
        QElapsedTimer timer;
        timer.start();
        sendAll(socket, request);
        const QByteArray reply = readFrame(socket);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!reply.startsWith("501;")) {
            std::printf("distribution failed: %s\n", reply.left(40).constData());
            return;
        }
        best = std::max(best, 100 / seconds);
        sendAll(socket, frame(900, "\r\n"));
        readFrame(socket);
        socket.waitForDisconnected(5000);
        QThread::msleep(100);
    }
    double copy = 0;
    for (int round = 0; round < 3; ++round)
        copy = std::max(copy, plainCopyMiBps(data));
    std::printf("distribution of 100 MiB with 500: %.0f MiB/s; plain loopback copy %.0f MiB/s "
                "(%.0f %%)\n",
                best, copy, 100 * best / copy);
}

/// Cycles as a monitoring client makes them: connect, send `requests` one after another (each
/// answered before the next), then read until the server closes. Failures: no reply or no close.
double closingCycles(quint16 port, const QList<QByteArray> &requests, int count, int *failures)
{
    *failures = 0;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < count; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        bool served = socket.waitForConnected(5000);
        for (qsizetype r = 0; served && r + 1 < requests.size(); ++r)
            served = sendAll(socket, requests.at(r)) && !readFrame(socket, 5000).isEmpty();
        served = served && sendAll(socket, requests.last());
        QByteArray last;
        while (served && socket.waitForReadyRead(5000))
            last += socket.readAll();
        last += socket.readAll();
        if (!served || last.isEmpty() || socket.state() == QAbstractSocket::ConnectedState)
            ++*failures;
    }
    return count / (total.nsecsElapsed() / 1e9);
}

QByteArray zabbixRequest(const QByteArray &key)
{
    QByteArray request = "ZBXD\x01"_ba;
    for (int i = 0; i < 8; ++i)
        request += char((quint64(key.size()) >> (8 * i)) & 0xff);
    return request + key;
}

/// Debian's Zabbix agent on a free loopback port, three listeners, run by this bench.
struct ZabbixAgent
{
    static constexpr char Program[] = "/usr/sbin/zabbix_agentd";
    QTemporaryDir dir;
    quint16 port = portZabbixTakes();
    QProcess process;

    // ListenPort must lie from 1024 to 32767, below the ephemeral ports the OS hands out.
    static quint16 portZabbixTakes()
    {
        for (quint16 candidate = 20000 + quint16(QCoreApplication::applicationPid() % 10000);
             candidate < 32768; ++candidate) {
            QTcpServer probe;
            if (probe.listen(QHostAddress::LocalHost, candidate))
                return candidate;
        }
        return 0;
    }

    bool start()
    {
        QFile conf(dir.filePath(u"zabbix_agentd.conf"_s));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("Server=127.0.0.1\nListenIP=127.0.0.1\nListenPort=" + QByteArray::number(port)
                   + "\nStartAgents=3\nHostname=bench\nAllowRoot=1\nLogType=console\n"
                     "PidFile=" + dir.filePath(u"zabbix_agentd.pid"_s).toUtf8() + "\n");
        conf.close();
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QString::fromLatin1(Program), {u"-f"_s, u"-c"_s, conf.fileName()});
        if (!process.waitForStarted())
            return false;
        for (int attempt = 0; attempt < 200; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(50))
                return true;
            QThread::msleep(25);
        }
        return false;
    }
    ~ZabbixAgent()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

void requestCycles(Agent &agent, Agent *compared, int count)
{
    const QByteArray end = frame(900, "\r\n");
    const QByteArray params = frame(100, "\r\n");
    int failures = 0;
    const double endAlone = closingCycles(agent.port, {end}, count, &failures);
    int failuresWith100 = 0;
    const double with100 = closingCycles(agent.port, {params, end}, count, &failuresWith100);
    std::printf("cycles (connect, request, reply, close): 900 alone %.0f/s, 100 then 900 %.0f/s "
                "(%d and %d failures of %d)\n",
                endAlone, with100, failures, failuresWith100, count);
    if (compared) {
        const double before = closingCycles(compared->port, {end}, count, &failures);
        const double beforeWith100 = closingCycles(compared->port, {params, end}, count, &failures);
        std::printf("  compared build: 900 alone %.0f/s, 100 then 900 %.0f/s (this build at %.0f %% "
                    "and %.0f %%)\n",
                    before, beforeWith100, 100 * endAlone / before, 100 * with100 / beforeWith100);
    }
    if (!QFile::exists(QString::fromLatin1(ZabbixAgent::Program))) {
        std::printf("  zabbix_agentd not installed (package zabbix-agent): comparison skipped\n");
        return;
    }
    ZabbixAgent zabbix;
    if (!zabbix.start()) {
        std::printf("  zabbix_agentd did not start: comparison skipped\n");
        return;
    }
    const double ping = closingCycles(zabbix.port, {zabbixRequest("agent.ping")}, count, &failures);
    std::printf("  zabbix_agentd (3 listeners) agent.ping: %.0f/s, %d failures (900 alone at "
                "%.0f %%)\n",
                ping, failures, 100 * endAlone / ping);
}

void idle(Agent &agent)
{
    const qint64 pid = agent.process.processId();
    QThread::sleep(1);
    const qint64 before = procField(pid, "stat", 14) + procField(pid, "stat", 15);
    QThread::sleep(5);
    const qint64 after = procField(pid, "stat", 14) + procField(pid, "stat", 15);
    std::printf("idle agent: resident %.1f MiB; CPU over 5 s idle: %lld clock ticks\n",
                residentKiB(pid) / 1024.0, after - before);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (const qsizetype at = arguments.indexOf(u"--agent"_s); at > 0 && at + 1 < arguments.size()) {
        agentProgram = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    QString comparedProgram;
    if (const qsizetype at = arguments.indexOf(u"--compare"_s); at > 0 && at + 1 < arguments.size()) {
        comparedProgram = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    Agent fresh;
    if (!fresh.start()) {
        std::printf("agent did not start\n");
        return 1;
    }
    idle(fresh);
    Agent agent;
    if (!agent.start()) {
        std::printf("agent did not start\n");
        return 1;
    }
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 5000;
    cycles(agent, count);
    {
        std::unique_ptr<Agent> compared;
        if (!comparedProgram.isEmpty()) {
            const QString ours = std::exchange(agentProgram, comparedProgram);
            compared = std::make_unique<Agent>();
            if (!compared->start())
                compared.reset();
            agentProgram = ours;
        }
        requestCycles(agent, compared.get(), count);
    }
    immediateReconnects(agent);
    largeUpdate(agent);
    distribution(agent);
    return 0;
}
