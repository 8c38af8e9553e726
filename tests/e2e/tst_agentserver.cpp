// The agent's connection handling, its refusals and its ends, against a real agent process.
#include "support/agentprocess.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

using Keys = QMap<QString, QString>;

} // namespace

class TestAgentServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestsThatEndTheAgent_data();
    void requestsThatEndTheAgent();
    void unknownCodeGetsNoReply();
    void idleTimeOut();
    void secondConsoleWaitsInTheBacklog();
    void reconnectAtOnce_data();
    void reconnectAtOnce();
    void consoleLeavingWithout900();
    void badFrameLength_data();
    void badFrameLength();
    void frameInSeveralSegments();
    void peerOutsideAllowFrom();
    void startupRefusals_data();
    void startupRefusals();
    void portInUse();
    void terminationSignal();
    void secondInstanceEnds();
    void secondInstanceOfAnotherUserEnds();
    void goneDisplayRunsHeadless();
};

void TestAgentServer::requestsThatEndTheAgent_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    // A failed 130 or 510 leaves the agent running (see tst_agenthostile).
    QTest::newRow("150 terminate") << rawFrame(150, "\r\n") << rawFrame(151, "\r\n");
}

void TestAgentServer::requestsThatEndTheAgent()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QCOMPARE(console.exchange(request).value_or("no reply"), reply);
    int exitCode = -1;
    QVERIFY(agent.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 0);
    const QStringList texts = agent.texts();
    QVERIFY(texts.contains(console.peerLabel() + u' ' + QString::number(reply.size())
                           + u" バイト送信されました。"_s));
    QCOMPARE(texts.constLast(), u"Socketのリソース解放が完了しました。"_s);
    QVERIFY(console.waitForClose());
}

void TestAgentServer::unknownCodeGetsNoReply()
{
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QVERIFY(console.send(rawFrame(200, "\r\n")));
    QVERIFY(!console.receivesWithin(300));
    // The connection is still served.
    QCOMPARE(console.exchange(rawFrame(900, "\r\n")).value_or("no reply"),
             "901;\x0d\x00\x00\x00;\r\n\r\n"_ba);
    for (const QString &text : agent.texts())
        QVERIFY2(!text.contains(u"(200)"_s), qPrintable(text));
}

void TestAgentServer::idleTimeOut()
{
    AgentFolder folder({{u"TimeOut"_s, u"1"_s}});
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QVERIFY(console.waitForClose(5000));
    QVERIFY(agent.waitForLineCount(agent.listeningText(), 2));
    const QStringList texts = agent.texts();
    const qsizetype connected = texts.indexOf(console.peerLabel() + u" 接続されました。"_s);
    QVERIFY(connected > 0);
    QCOMPARE(texts.mid(connected + 1),
             (QStringList{u"SocketをCloseしています･･･"_s, u"SocketがCloseされました。"_s,
                          u"起動処理開始！"_s, u"Socketを生成しています･･･"_s,
                          u"Socketが生成されました。"_s, u"SocketをBindしています･･･"_s,
                          u"SocketのBindに成功しました。"_s, u"SocketのListenに成功しました。"_s,
                          agent.listeningText()}));
}

void TestAgentServer::secondConsoleWaitsInTheBacklog()
{
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole first;
    QVERIFY(first.connectTo(folder.port()));
    QVERIFY(agent.waitForLine(first.peerLabel() + u" 接続されました。"_s));
    RawConsole second;
    QVERIFY(second.connectTo(folder.port()));
    QVERIFY(second.send(rawFrame(100, "\r\n")));
    QVERIFY(!second.receivesWithin(300));
    QVERIFY(!agent.texts().contains(second.peerLabel() + u" 接続されました。"_s));

    QVERIFY(first.exchange(rawFrame(900, "\r\n")));
    // The waiting console is served once the first session has ended.
    QVERIFY(second.readFrame().value_or("").startsWith("101;"));
    QVERIFY(agent.waitForLine(second.peerLabel() + u" 接続されました。"_s));
    QVERIFY(second.exchange(rawFrame(900, "\r\n")));
    QVERIFY(agent.waitForLineCount(agent.listeningText(), 3));
    RawConsole third;
    QVERIFY(third.connectTo(folder.port()));
    QVERIFY(third.exchange(rawFrame(100, "\r\n")).value_or("").startsWith("101;"));
}

void TestAgentServer::reconnectAtOnce_data()
{
    QTest::addColumn<bool>("with900");
    QTest::newRow("ending with 900") << true;
    QTest::newRow("just closing") << false;
}

void TestAgentServer::reconnectAtOnce()
{
    QFETCH(bool, with900);
    constexpr int Cycles = 500;
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        // Each console closes without waiting for the agent and the next connects at once.
        RawConsole console;
        QVERIFY2(console.connectTo(folder.port()), qPrintable(QString::number(cycle)));
        QVERIFY2(console.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"),
                 qPrintable(QString::number(cycle)));
        if (with900) {
            QCOMPARE(console.exchange(rawFrame(900, "\r\n")).value_or("no reply"),
                     "901;\x0d\x00\x00\x00;\r\n\r\n"_ba);
        }
        // Keeps the agent's status output flowing: a full pipe would stall the agent.
        QCoreApplication::processEvents();
    }
    // Every session ends as the log always showed it: how it ended, then the return to waiting.
    QVERIFY(agent.waitForLineCount(agent.listeningText(), Cycles + 1));
    const QStringList texts = agent.texts();
    QCOMPARE(texts.filter(u" 接続されました。"_s).size(), Cycles);
    QCOMPARE(texts.filter(with900 ? u" 受信(900)"_s : u" 切断されています！"_s).size(), Cycles);
    QCOMPARE(texts.count(u"起動処理開始！"_s), Cycles + 1);
    QVERIFY(agent.isRunning());
}

void TestAgentServer::consoleLeavingWithout900()
{
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    QString firstPeer;
    {
        RawConsole first;
        QVERIFY(first.connectTo(folder.port()));
        firstPeer = first.peerLabel();
        QVERIFY(agent.waitForLine(firstPeer + u" 接続されました。"_s));
    }
    QVERIFY(agent.waitForLine(firstPeer + u" 切断されています！"_s));
    // The time-out is 60 seconds: the next console is served long before it.
    QVERIFY(agent.waitForLineCount(agent.listeningText(), 2));
    RawConsole next;
    QVERIFY(next.connectTo(folder.port()));
    QVERIFY(next.exchange(rawFrame(400, "\r\n"), 5000).value_or("").startsWith("401;"));
}

void TestAgentServer::badFrameLength_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("length");
    QTest::newRow("shorter than a header") << "100;\x05\x00\x00\x00;"_ba << u"5"_s;
    QTest::newRow("beyond MaxFrameBytes") << "500;\x89\x13\x00\x00;"_ba << u"5001"_s;
    QTest::newRow("four gigabytes") << "500;\xff\xff\xff\xff;"_ba << u"4294967295"_s;
}

void TestAgentServer::badFrameLength()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, length);
    AgentFolder folder({{u"MaxFrameBytes"_s, u"5000"_s}});
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QVERIFY(console.send(header + "abc"));
    QVERIFY(console.waitForClose());
    QVERIFY(agent.waitForLine(console.peerLabel() + u" 不正なフレームを受信したため切断しました。(長さ "_s
                              + length + u')'));
    QVERIFY(agent.waitForLineCount(agent.listeningText(), 2));
}

void TestAgentServer::frameInSeveralSegments()
{
    AgentFolder folder({{u"MaxFrameBytes"_s, u"5000"_s}});
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    const QByteArray head = rawFileRequest(500, "split.bin", {});
    const QByteArray data(5000 - head.size(), 'z');
    const QByteArray frame = rawFileRequest(500, "split.bin", data);
    QCOMPARE(frame.size(), 5000);
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    console.socket().setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QVERIFY(console.send(frame.left(2048)));
    QVERIFY(!console.receivesWithin(100));
    QVERIFY(console.send(frame.mid(2048, 2048)));
    QVERIFY(!console.receivesWithin(100));
    QVERIFY(console.send(frame.mid(4096)));
    QCOMPARE(console.readFrame().value_or("no reply"), rawFrame(501, {}));
    QCOMPARE(folder.readFile(u"split.bin"_s), data);
}

void TestAgentServer::peerOutsideAllowFrom()
{
    AgentFolder folder({{u"AllowFrom"_s, u"10.0.0.0/8, 192.168.1.7"_s}});
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    for (int attempt = 0; attempt < 2; ++attempt) {
        RawConsole console;
        QVERIFY(console.connectTo(folder.port()));
        QVERIFY(console.waitForClose());
        QVERIFY(agent.waitForLine(console.peerLabel()
                                  + u" 接続が許可されていないアドレスのため切断しました。"_s));
        QVERIFY(!agent.texts().contains(console.peerLabel() + u" 接続されました。"_s));
    }
    QVERIFY(agent.isRunning());
}

void TestAgentServer::startupRefusals_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("TimeStart one comma") << u"TimeStart"_s << u","_s;
    QTest::newRow("Port not a number") << u"Port"_s << u"seven"_s;
    QTest::newRow("StatusLog empty") << u"StatusLog"_s << QString();
    QTest::newRow("TimeOut too large") << u"TimeOut"_s << u"2147484"_s;
    QTest::newRow("AllowFrom malformed") << u"AllowFrom"_s << u"localhost"_s;
}

void TestAgentServer::startupRefusals()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    AgentFolder folder({{key, value}});
    AgentProcess agent(folder);
    agent.startOnly();
    int exitCode = 0;
    QVERIFY(agent.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 1);
    QVERIFY(agent.texts().isEmpty());
    QVERIFY(agent.standardError().startsWith(u"TarvoAgent: not started: "_s));
    RawConsole console;
    QVERIFY(!console.connectTo(folder.port(), 1000));
}

void TestAgentServer::portInUse()
{
    AgentFolder folder;
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost, folder.port()));
    AgentProcess agent(folder);
    agent.startOnly();
    int exitCode = 0;
    QVERIFY(agent.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 1);
    const QStringList texts = agent.texts();
    QVERIFY(texts.contains(u"SocketのBind失敗：指定されたアドレスは使用中。"_s));
    QVERIFY(texts.contains(u"アプリケーションを終了します。"_s));
}

void TestAgentServer::terminationSignal()
{
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    QVERIFY(agent.signal(SIGTERM));
    int exitCode = -1;
    QVERIFY(agent.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 0);
    QCOMPARE(agent.texts().constLast(), u"Socketのリソース解放が完了しました。"_s);
}

void TestAgentServer::secondInstanceEnds()
{
    AgentFolder folder;
    AgentProcess first(folder);
    QVERIFY(first.start());
    AgentProcess second(folder);
    second.startOnly();
    int exitCode = -1;
    QVERIFY(second.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY(second.texts().isEmpty());
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QVERIFY(console.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"));
}

// A user's session start beside the service's agent: the folder and its lock file belong to the
// service's user, yet the second start must see the first and end.
void TestAgentServer::secondInstanceOfAnotherUserEnds()
{
    const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root and setpriv to start the agent as another user");
    AgentFolder folder;
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
    AgentProcess first(folder);
    QVERIFY(first.start());
    QProcess second;
    second.start(setpriv, {u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s,
                           folder.file(u"TarvoAgent"_s), u"--headless"_s});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardOutput(), QByteArray());
    QVERIFY(first.isRunning());
}

// A session whose X server has gone (DISPLAY still set) must still get its agent, headless.
void TestAgentServer::goneDisplayRunsHeadless()
{
    QVERIFY(!QFile::exists(u"/tmp/.X11-unix/X987"_s));
    AgentFolder folder;
    QProcess agent;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"QT_QPA_PLATFORM"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.insert(u"DISPLAY"_s, u":987"_s);
    agent.setProcessEnvironment(environment);
    agent.start(folder.file(u"TarvoAgent"_s), {});
    // The listening line names the port: "Socket(port)は接続待ち状態になりました。"
    const QByteArray listening = "Socket(" + QByteArray::number(folder.port()) + ")";
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += agent.readAllStandardOutput()).contains(listening)
                                 || agent.state() == QProcess::NotRunning,
                             10000);
    QCOMPARE(agent.state(), QProcess::Running);
    agent.terminate();
    QVERIFY(agent.waitForFinished(10000));
    QCOMPARE(agent.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestAgentServer)
#include "tst_agentserver.moc"
