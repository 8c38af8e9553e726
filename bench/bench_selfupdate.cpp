// Self-update round trip: from sending 510 with a new agent program to the first reply of the
// new agent on the same port, with the real TarvoAgent and TarvoUtil in a temporary folder on
// 127.0.0.1. Prints every round and p50/max.
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

/// Milliseconds from the 510 to the new agent's first answer; nullopt when it went wrong.
std::optional<double> round(quint16 port, const QByteArray &program, const QString &folder,
                            double *replied)
{
    const QByteArray oldPid = readFile(folder + u"/.TarvoAgent.lock"_s);
    QElapsedTimer clock;
    clock.start();
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();

    const QByteArray agent = readFile(QStringLiteral(TARVO_BIN_DIR "/TarvoAgent"));
    const QByteArray ini = "[TarvoAgent]\r\nPort=" + QByteArray::number(port)
                           + "\r\nTimeOut=60\r\nStatusLog=1000\r\nAutoStart=0\r\nAutoExit=0\r\n"
                             "TimeStart=WEEK,23:59,\r\nExeFile=collect.sh\r\nDebugMode=0\r\n"
                             "ListenAddress=127.0.0.1\r\nAllowFrom=127.0.0.1\r\n";
    QFile iniFile(dir.filePath(u"TarvoAgent.ini"_s));
    if (agent.isEmpty() || !iniFile.open(QIODevice::WriteOnly) || iniFile.write(ini) != ini.size()
        || !writeProgram(dir.filePath(u"TarvoAgent"_s), agent)
        || !writeProgram(dir.filePath(u"TarvoUtil"_s),
                         readFile(QStringLiteral(TARVO_BIN_DIR "/TarvoUtil")))) {
        std::fprintf(stderr, "bench_selfupdate: cannot prepare %s\n", qPrintable(dir.path()));
        return 1;
    }
    iniFile.close();

    QProcess first;
    first.setStandardOutputFile(QProcess::nullDevice());
    first.setStandardErrorFile(QProcess::nullDevice());
    first.start(dir.filePath(u"TarvoAgent"_s), {});
    QElapsedTimer started;
    started.start();
    while (!answers(port) && started.elapsed() < GiveUpMs)
        QThread::msleep(1);

    std::printf("bench_selfupdate: 510 with a %.1f MB agent program -> first reply of the new agent\n",
                double(agent.size()) / (1 << 20));
    QList<double> times;
    for (int i = 1; i <= Rounds; ++i) {
        const QByteArray program = agent + "\nbench-round=" + QByteArray::number(i) + '\n';
        double replied = 0;
        const auto ms = round(port, program, dir.path(), &replied);
        if (!ms) {
            std::printf("  round %d: failed\n", i);
            break;
        }
        std::printf("  round %2d: %7.1f ms (reply 511 after %.1f ms)\n", i, *ms, replied);
        times.append(*ms);
    }
    QProcess::execute(dir.filePath(u"TarvoUtil"_s), {u"terminate"_s, u"TarvoAgent"_s});
    first.waitForFinished();
    if (times.isEmpty())
        return 1;
    std::sort(times.begin(), times.end());
    std::printf("bench_selfupdate: rounds %lld  p50 %.1f ms  max %.1f ms\n",
                static_cast<long long>(times.size()), times.at(times.size() / 2), times.last());
    return times.size() == Rounds ? 0 : 1;
}
