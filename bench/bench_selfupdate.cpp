// Self-update round trip: from sending 510 with a new agent program (padded to 16 MB) to the
// first reply of the new agent on the same port, with the real TarvoAgent and TarvoUtil in a
// temporary folder on 127.0.0.1; unsigned, then signed (the signature sent first as a 500,
// checked by the agent and again by the updater), in the same run. Prints every round, p50/max
// of each and their ratio. Signing needs the minisign tool.
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
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int Rounds = 10;
constexpr int ReplyTimeoutMs = 15000;
constexpr int GiveUpMs = 30000;

QByteArray frame(int code, const QByteArray &body)
{
    return Frame::build(code, body);
}

QByteArray distributeAndRestart(const QByteArray &program)
{
    const QString time = u"2005/01/02 03:04:05"_s;
    const Frame::FileHeader header{u"TarvoAgent"_s, time, time, time};
    return frame(510, Frame::encodeFilePayload(header, program));
}

std::optional<QByteArray> exchange(QTcpSocket &socket, const QByteArray &request)
{
    socket.write(request);
    QByteArray reply;
    for (;;) {
        reply += socket.readAll();
        if (reply.size() >= 9) {
            const quint32 length = quint8(reply[4]) | quint8(reply[5]) << 8
                                   | quint8(reply[6]) << 16 | quint32(quint8(reply[7])) << 24;
            if (quint32(reply.size()) >= length)
                return reply.left(length);
        }
        if (!socket.waitForReadyRead(ReplyTimeoutMs))
            return std::nullopt;
    }
}

/// One session asking for the parameters; true when 101 came back.
bool answers(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(1000))
        return false;
    const auto reply = exchange(socket, frame(100, {}));
    if (!reply || !reply->startsWith("101;"))
        return false;
    exchange(socket, frame(900, {}));
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(ReplyTimeoutMs);
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeProgram(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
           && file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

/// One whole session carrying `request`; the reply, nullopt when none came.
std::optional<QByteArray> session(quint16 port, const QByteArray &request)
{
    std::optional<QByteArray> reply;
    for (int attempt = 0; attempt < 3 && !reply; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(ReplyTimeoutMs))
            reply = exchange(socket, request);
        if (reply) {
            exchange(socket, frame(900, {}));
            if (socket.state() != QAbstractSocket::UnconnectedState)
                socket.waitForDisconnected(ReplyTimeoutMs);
        }
    }
    return reply;
}

/// Milliseconds from the 510 (or the 500 of the signature before it) to the new agent's first
/// answer; nullopt when it went wrong.
std::optional<double> round(quint16 port, const QByteArray &program, const QString &folder,
                            double *replied, const QByteArray &signature = {})
{
    const QByteArray oldPid = readFile(folder + u"/.TarvoAgent.lock"_s);
    QElapsedTimer clock;
    clock.start();
    if (!signature.isEmpty()) {
        const QString time = u"2005/01/02 03:04:05"_s;
        const Frame::FileHeader header{u"TarvoAgent.minisig"_s, time, time, time};
        const auto stored = session(port, frame(500, Frame::encodeFilePayload(header, signature)));
        if (!stored || !stored->startsWith("501;")) {
            std::printf("  the signature was not stored\n");
            return std::nullopt;
        }
    }
    const QByteArray request = distributeAndRestart(program);
    // The agent listens afresh after each session: a connection that meets the old listening
    // socket as it closes is reset before any reply, and is made again.
    std::optional<QByteArray> reply;
    for (int attempt = 0; attempt < 3 && !reply; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(ReplyTimeoutMs))
            reply = exchange(socket, request);
    }
    if (!reply || !reply->startsWith("511;")) {
        std::printf("  reply %s\n", reply ? reply->left(40).toHex(' ').constData() : "none");
        return std::nullopt;
    }
    *replied = double(clock.nsecsElapsed()) / 1e6;
    // The new agent cannot be watched from here: knock until it answers (1 ms apart).
    while (!answers(port)) {
        if (clock.elapsed() > GiveUpMs)
            return std::nullopt;
        QThread::msleep(1);
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (readFile(folder + u"/.TarvoAgent.lock"_s) == oldPid) {
        std::printf("  the old agent answered\n");
        return std::nullopt;
    }
    return ms;
}

/// A program folder with the real agent and updater, its agent running.
struct Site
{
    QTemporaryDir dir;
    quint16 port = 0;
    QProcess first;

    bool start(const QByteArray &agent, const QByteArray &agentKeys)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        const QByteArray ini = "[TarvoAgent]\r\nPort=" + QByteArray::number(port)
                               + "\r\nTimeOut=60\r\nStatusLog=1000\r\nAutoStart=0\r\nAutoExit=0\r\n"
                                 "TimeStart=WEEK,23:59,\r\nExeFile=collect.sh\r\nDebugMode=0\r\n"
                                 "ListenAddress=127.0.0.1\r\nAllowFrom=127.0.0.1\r\n"
                               + agentKeys;
        QFile iniFile(dir.filePath(u"TarvoAgent.ini"_s));
        if (agent.isEmpty() || !iniFile.open(QIODevice::WriteOnly)
            || iniFile.write(ini) != ini.size() || !writeProgram(dir.filePath(u"TarvoAgent"_s), agent)
            || !writeProgram(dir.filePath(u"TarvoUtil"_s),
                             readFile(QStringLiteral(TARVO_BIN_DIR "/TarvoUtil")))) {
            std::fprintf(stderr, "bench_selfupdate: cannot prepare %s\n", qPrintable(dir.path()));
            return false;
        }
        iniFile.close();
        first.setStandardOutputFile(QProcess::nullDevice());
        first.setStandardErrorFile(QProcess::nullDevice());
        first.start(dir.filePath(u"TarvoAgent"_s), {});
        QElapsedTimer started;
        started.start();
        while (!answers(port) && started.elapsed() < GiveUpMs)
            QThread::msleep(1);
        return answers(port);
    }
    ~Site()
    {
        QProcess::execute(dir.filePath(u"TarvoUtil"_s), {u"terminate"_s, u"TarvoAgent"_s});
        first.waitForFinished();
    }
};

int minisign(const QStringList &arguments)
{
    QProcess tool;
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(u"minisign"_s, arguments);
    return tool.waitForFinished(GiveUpMs) && tool.exitStatus() == QProcess::NormalExit
               ? tool.exitCode()
               : -1;
}

/// The signature of `program` made by the key in `keys`, timestamped `timestamp`.
QByteArray sign(const QTemporaryDir &keys, const QByteArray &program, qint64 timestamp)
{
    const QString file = keys.filePath(u"TarvoAgent"_s);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(program) != program.size())
        return {};
    out.close();
    const QString trusted = u"timestamp:%1\tfile:TarvoAgent"_s.arg(timestamp);
    if (minisign({u"-S"_s, u"-s"_s, keys.filePath(u"k.sec"_s), u"-m"_s, file, u"-t"_s, trusted}) != 0)
        return {};
    return readFile(file + u".minisig"_s);
}

/// The rounds of one site: each p50 in `times`; false when a round failed.
bool rounds(Site &site, const QByteArray &agent, const QTemporaryDir *keys, QList<double> &times)
{
    for (int i = 1; i <= Rounds; ++i) {
        const QByteArray program = agent + "\nbench-round=" + QByteArray::number(i) + '\n';
        QByteArray signature;
        if (keys) {
            signature = sign(*keys, program, 1000 + i);
            if (signature.isEmpty()) {
                std::printf("  round %d: cannot sign (is minisign installed?)\n", i);
                return false;
            }
        }
        double replied = 0;
        const auto ms = round(site.port, program, site.dir.path(), &replied, signature);
        if (!ms) {
            std::printf("  round %d: failed\n", i);
            return false;
        }
        std::printf("  round %2d: %7.1f ms (reply 511 after %.1f ms)\n", i, *ms, replied);
        times.append(*ms);
    }
    std::sort(times.begin(), times.end());
    return true;
}

double p50(const QList<double> &times)
{
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QByteArray agent = readFile(QStringLiteral(TARVO_BIN_DIR "/TarvoAgent"));
    constexpr qsizetype ProgramBytes = 16 << 20;
    // The padding follows the program's end, so the padded file still runs.
    if (!agent.isEmpty() && agent.size() < ProgramBytes)
        agent += QByteArray(ProgramBytes - agent.size(), '\0');

    QTemporaryDir keys;
    if (minisign({u"-G"_s, u"-W"_s, u"-f"_s, u"-p"_s, keys.filePath(u"k.pub"_s), u"-s"_s,
                  keys.filePath(u"k.sec"_s)}) != 0) {
        std::fprintf(stderr, "bench_selfupdate: minisign cannot make a key\n");
        return 1;
    }
    Site plain;
    Site verified;
    if (!plain.start(agent, {})
        || !verified.start(agent, "UpdateKeyFile=" + keys.filePath(u"k.pub"_s).toUtf8() + "\r\n"))
        return 1;

    std::printf("bench_selfupdate: 510 with a %.1f MB agent program -> first reply of the new agent\n",
                double(agent.size()) / (1 << 20));
    QList<double> unsignedTimes;
    QList<double> signedTimes;
    std::printf(" unsigned:\n");
    const bool plainDone = rounds(plain, agent, nullptr, unsignedTimes);
    std::printf(" signed (500 of the signature, then 510):\n");
    const bool signedDone = plainDone && rounds(verified, agent, &keys, signedTimes);
    if (!signedDone)
        return 1;
    std::printf("bench_selfupdate: rounds %d  unsigned p50 %.1f ms max %.1f ms  signed p50 %.1f ms "
                "max %.1f ms  signed/unsigned %.2fx\n",
                Rounds, p50(unsignedTimes), unsignedTimes.last(), p50(signedTimes),
                signedTimes.last(), p50(signedTimes) / p50(unsignedTimes));
    return 0;
}
