// The encrypted channel's cost, plain and TLS in the same run against one agent that accepts
// both (TlsAccept=plain,psk): cycles of connect (and handshake), 400, 900, close per second with
// p50/p99, and a 100 MiB distribution (500). The client is the console's own session, with and
// without the TLS transport, so the two figures differ only by the channel.
//   bench_tls [cycles|distribute] [cycle count]
#include "console/connection/agentsession.h"
#include "console/settings/consolesettings.h"
#include "console/connection/consoletls.h"
#include "net/frame.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString Listening = u"接続待ち状態"_s;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

/// One agent in a folder of its own, with a key made by the console's keygen.
struct Agent
{
    QTemporaryDir dir;
    quint16 port = freePort();
    QString keyFile = dir.filePath(u"tarvo.psk"_s);
    QProcess process;

    bool start()
    {
        QProcess keygen;
        keygen.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                     {u"keygen"_s, keyFile, u"bench"_s});
        if (!keygen.waitForFinished(10000) || keygen.exitCode() != 0)
            return false;
        QFile ini(dir.filePath(u"TarvoAgent.ini"_s));
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write("[TarvoAgent]\r\nPort=" + QByteArray::number(port)
                  + "\r\nTimeOut=60\r\nStatusLog=100\r\nAutoStart=0\r\nAutoExit=0\r\n"
                    "TimeStart=WEEK,23:59,\r\nDebugMode=0\r\nListenAddress=127.0.0.1\r\n"
                    "AllowFrom=127.0.0.1\r\nTlsAccept=plain,psk\r\nTlsPskFile=tarvo.psk\r\n"
                    "[TarvoInfo]\r\nSQLUpdate=0\r\n");
        ini.close();
        QFile::copy(QStringLiteral(TARVO_BIN_DIR "/TarvoAgent"), dir.filePath(u"TarvoAgent"_s));
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(dir.filePath(u"TarvoAgent"_s), {u"--headless"_s});
        return process.waitForStarted() && waitListening();
    }
    /// Waits for the next "listening" line: the agent listens anew after each session.
    bool waitListening()
    {
        while (!m_output.contains(Listening)) {
            if (!process.waitForReadyRead(20000))
                return false;
            m_output += QString::fromUtf8(process.readAll());
        }
        m_output = m_output.mid(m_output.indexOf(Listening) + Listening.size());
        return true;
    }
    ~Agent()
    {
        process.terminate();
        process.waitForFinished(5000);
    }

private:
    QString m_output;
};

/// The console's session driven step by step: each call runs the event loop until its outcome.
class Client
{
public:
    Client(const QString &keyFile, bool tls)
    {
        if (tls) {
            ConsoleSettings settings;
            settings.TlsConnect = u"psk"_s;
            settings.TlsPskFile = keyFile;
            m_factory = ConsoleTransportFactory(settings);
        }
        QObject::connect(&m_session, &AgentSession::connected, &m_loop, [this] { end(true); });
        QObject::connect(&m_session, &AgentSession::replyReceived, &m_loop,
                         [this](const Frame::Message &message) {
                             m_reply = message;
                             end(true);
                         });
        QObject::connect(&m_session, &AgentSession::connectFailed, &m_loop, [this] { end(false); });
        QObject::connect(&m_session, &AgentSession::handshakeFailed, &m_loop,
                         [this](const QString &reason) {
                             std::printf("handshake failed: %s\n", qPrintable(reason));
                             end(false);
                         });
        QObject::connect(&m_session, &AgentSession::sendFailed, &m_loop, [this] { end(false); });
        QObject::connect(&m_session, &AgentSession::closedByAgent, &m_loop, [this] { end(false); });
        QObject::connect(&m_session, &AgentSession::receiveFailed, &m_loop, [this] { end(false); });
        QObject::connect(&m_session, &AgentSession::replyTooLarge, &m_loop, [this] { end(false); });
    }

    bool open(quint16 port)
    {
        QString error;
        m_session.setTransportFactory(m_factory);
        if (!m_session.create(error))
            return false;
        m_session.connectTo(u"127.0.0.1"_s, QString::number(port));
        return run();
    }
    std::optional<Frame::Message> request(QByteArray frame)
    {
        m_session.send(std::move(frame));
        m_session.startReading();
        if (!run())
            return std::nullopt;
        return m_reply;
    }
    void close() { m_session.close(); }

private:
    bool run()
    {
        m_ok = false;
        m_loop.exec();
        return m_ok;
    }
    void end(bool ok)
    {
        m_ok = ok;
        m_loop.quit();
    }

    StreamConnection::TransportFactory m_factory;
    AgentSession m_session;
    QEventLoop m_loop;
    Frame::Message m_reply;
    bool m_ok = false;
};

struct CycleFigures
{
    double perSecond = 0;
    double p50 = 0;
    double p99 = 0;
    int reconnects = 0;
};

CycleFigures cycles(Agent &agent, bool tls, int count)
{
    CycleFigures figures;
    std::vector<double> latencies;
    Client client(agent.keyFile, tls);
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < count; ++i) {
        QElapsedTimer one;
        one.start();
        // A console that comes while the agent reopens its listening socket is turned away.
        while (!client.open(agent.port) || !client.request(Frame::build(400, "\r\n"))) {
            client.close();
            ++figures.reconnects;
        }
        client.request(Frame::build(900, "\r\n"));
        client.close();
        latencies.push_back(double(one.nsecsElapsed()) / 1e6);
    }
    figures.perSecond = count / (double(total.nsecsElapsed()) / 1e9);
    std::sort(latencies.begin(), latencies.end());
    figures.p50 = latencies.at(latencies.size() / 2);
    figures.p99 = latencies.at(latencies.size() * 99 / 100);
    return figures;
}

void benchCycles(Agent &agent, int count)
{
    const CycleFigures plain = cycles(agent, false, count);
    const CycleFigures tls = cycles(agent, true, count);
    for (const auto &[name, f] : {std::pair{"plain", plain}, std::pair{"TLS  ", tls}})
        std::printf("cycles (connect, 400, 900, close) %s: %d, %.0f cycles/s; p50 %.3f ms, "
                    "p99 %.3f ms, %d reconnects\n",
                    name, count, f.perSecond, f.p50, f.p99, f.reconnects);
    std::printf("TLS cycles at %.0f %% of the plain rate (target at least 50 %%)\n",
                100 * tls.perSecond / plain.perSecond);
}

/// Best of three 100 MiB distributions, in MiB/s; 0 when one fails.
double distributionRate(Agent &agent, bool tls, const QByteArray &request)
{
    double best = 0;
    Client client(agent.keyFile, tls);
    for (int round = 0; round < 3; ++round) {
        // The agent reopens its listening socket after each session.
        for (int tries = 0; !client.open(agent.port); ++tries) {
            client.close();
            if (tries == 1000)
                return 0;
        }
        QElapsedTimer timer;
        timer.start();
        const auto reply = client.request(request);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (!reply || reply->code != 501) {
            std::printf("distribution failed: %s\n", reply ? reply->codeText.constData() : "none");
            return 0;
        }
        best = std::max(best, 100 / seconds);
        client.request(Frame::build(900, "\r\n"));
        client.close();
    }
    return best;
}

void benchDistribution(Agent &agent)
{
    const QByteArray data(100 * 1048576, 'd');
    const QString time = u"2024/01/02 03:04:05"_s;
    const QByteArray request =
        Frame::build(500, Frame::encodeFilePayload({u"big.bin"_s, time, time, time}, data));
    const double plain = distributionRate(agent, false, request);
    const double tls = distributionRate(agent, true, request);
    std::printf("distribution of 100 MiB with 500: plain %.0f MiB/s, TLS %.0f MiB/s (%.0f %%, "
                "target at least 80 %%)\n",
                plain, tls, plain > 0 ? 100 * tls / plain : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int count = argc > 2 ? std::max(100, atoi(argv[2])) : 1000;
    Agent agent;
    if (!agent.start()) {
        std::printf("the agent did not start\n");
        return 1;
    }
    if (only.isEmpty() || only == u"cycles")
        benchCycles(agent, count);
    if (only.isEmpty() || only == u"distribute")
        benchDistribution(agent);
    return 0;
}
