#include "net/baswsock.h"
#include "net/tlscontext.h"
#include "net/tlstransport.h"

#include "support_loopback.h"
#include "support_tls.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray KeyA = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"_ba;
const QByteArray KeyB = "ffeeddccbbaa99887766554433221100ffeeddccbbaa99887766554433221100"_ba;
const QByteArray KeyOld = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"_ba;
constexpr int Bound = 10000;

// No text a peer or user sees ever carries a key.
bool holdsAKey(const QString &text)
{
    for (const QByteArray &key : {KeyA, KeyB, KeyOld}) {
        if (text.contains(QString::fromLatin1(key), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString openssl()
{
    return QStandardPaths::findExecutable(u"openssl"_s);
}

} // namespace

class TestTlsTransport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void handshake_data();
    void handshake();
    void plainPeer_data();
    void plainPeer();
    void servesStockClient();
    void talksToStockServer_data();
    void talksToStockServer();
};

void TestTlsTransport::handshake_data()
{
    QTest::addColumn<QByteArray>("consoleKey");
    QTest::addColumn<QByteArray>("agentKeys");
    QTest::addColumn<QString>("agentError"); // empty: the session comes up
    QTest::addColumn<QString>("consoleError");

    const QByteArray agentKeys = "old "_ba + KeyOld + "\nsite "_ba + KeyA + '\n';
    QTest::newRow("right key, second line") << "site "_ba + KeyA << agentKeys << QString()
                                            << QString();
    QTest::newRow("right key, first line") << "old "_ba + KeyOld << agentKeys << QString()
                                           << QString();
    QTest::newRow("wrong key") << "site "_ba + KeyB << agentKeys << u"鍵「site」が一致しません。"_s
                               << u"相手に鍵が受け入れられませんでした"_s;
    QTest::newRow("unknown identity")
        << "stranger "_ba + KeyA << agentKeys << u"鍵の識別名「stranger」は登録されていません。"_s
        << u"相手に鍵が受け入れられませんでした"_s;
}

void TestTlsTransport::handshake()
{
    QFETCH(QByteArray, consoleKey);
    QFETCH(QByteArray, agentKeys);
    QFETCH(QString, agentError);
    QFETCH(QString, consoleError);

    LoopbackPair pair;
    QVERIFY(pair.open());
    TlsEnd console(pair.client, testContext(TlsContext::Role::Client, consoleKey));
    TlsEnd agent(pair.server, testContext(TlsContext::Role::Server, agentKeys));
    // More than one record each way, so the data cross several reads and writes.
    const QByteArray request = patternBytes(300 * 1024);
    const QByteArray reply = "101;nnnn;[TarvoAgent]=\r\n"_ba;
    console.send(request);
    agent.send(reply);
    console.start();

    if (agentError.isEmpty()) {
        QVERIFY(waitUntil([&] { return agent.received.size() >= request.size()
                                       && console.received.size() >= reply.size(); }, Bound));
        QCOMPARE(agent.received, request);
        QCOMPARE(console.received, reply);
        const QString identity = QString::fromLatin1(consoleKey.split(' ').first());
        QCOMPARE(agent.transport().description(), u"TLS 1.3 "_s + identity);
        QCOMPARE(console.transport().description(), u"TLS 1.3 "_s + identity);
        // An orderly end reaches the other side as the end of the stream.
        console.finish();
        QVERIFY(waitUntil([&] { return agent.closed; }, Bound));
        return;
    }
    QVERIFY(waitUntil([&] { return agent.failed && console.failed; }, Bound));
    QVERIFY2(agent.error.startsWith(agentError), qPrintable(agent.error));
    QVERIFY2(console.error.startsWith(consoleError), qPrintable(console.error));
    QVERIFY(agent.received.isEmpty());
    QVERIFY(console.received.isEmpty());
    QVERIFY(!holdsAKey(agent.error) && !holdsAKey(console.error));
    QVERIFY(!holdsAKey(agent.transport().description()));
}

void TestTlsTransport::plainPeer_data()
{
    QTest::addColumn<bool>("peerIsAgent");
    QTest::addColumn<QByteArray>("peerSends"); // empty: the peer closes
    QTest::addColumn<QString>("error");

    QTest::newRow("plain console to a TLS agent")
        << false << "100;\x0b\0\0\0;\r\n"_ba << u"相手が暗号化通信（TLS）に対応していません。"_s;
    QTest::newRow("TLS console to a plain agent that replies")
        << true << "999;\x0b\0\0\0;\r\n"_ba << u"相手が暗号化通信（TLS）に対応していません。"_s;
    QTest::newRow("TLS console to a plain agent that hangs up")
        << true << QByteArray() << u"暗号化の確立中に相手が接続を閉じました"_s;
}

void TestTlsTransport::plainPeer()
{
    QFETCH(bool, peerIsAgent);
    QFETCH(QByteArray, peerSends);
    QFETCH(QString, error);

    LoopbackPair pair;
    QVERIFY(pair.open());
    const int tlsSocket = peerIsAgent ? pair.client : pair.server;
    const int plainSocket = peerIsAgent ? pair.server : pair.client;
    const auto role = peerIsAgent ? TlsContext::Role::Client : TlsContext::Role::Server;
    TlsEnd end(tlsSocket, testContext(role, "site "_ba + KeyA));
    end.start();
    QString text;
    if (peerSends.isEmpty())
        pair.closeServer();
    else
        QCOMPARE(basWSock::Send(plainSocket, peerSends.constData(), peerSends.size(), text),
                 qint64(peerSends.size()));
    QVERIFY(waitUntil([&] { return end.failed; }, Bound));
    QVERIFY2(end.error.startsWith(error), qPrintable(end.error));
}

void TestTlsTransport::servesStockClient()
{
    if (openssl().isEmpty())
        QSKIP("openssl is not installed");
    int listener = -1;
    QString text;
    sockaddr_in address {};
    listener = basWSock::CreateSocket(basWSock::AfInet, basWSock::SockStream, text);
    QCOMPARE(basWSock::BindSocket(listener, 0, u"127.0.0.1"_s, address, text), 0);
    QCOMPARE(basWSock::ListenSocket(listener, 1, text), 0);
    const int port = basWSock::GetLocalPort(listener);

    QProcess client;
    client.start(openssl(), {u"s_client"_s, u"-tls1_3"_s, u"-quiet"_s, u"-psk"_s,
                             QString::fromLatin1(KeyA), u"-psk_identity"_s, u"site"_s,
                             u"-connect"_s, u"127.0.0.1:"_s + QString::number(port)});
    QVERIFY(client.waitForStarted());
    client.write("900;\x0b\0\0\0;\r\n"_ba);
    int accepted = -1;
    QSocketNotifier incoming(listener, QSocketNotifier::Read); // wakes the loop to accept
    QVERIFY(waitUntil([&] {
        accepted = accepted >= 0 ? accepted : basWSock::AcceptSocket(listener, text);
        return accepted >= 0;
    }, Bound));
    {
        TlsEnd agent(accepted, testContext(TlsContext::Role::Server, "site "_ba + KeyA));
        agent.send("901;\x0d\0\0\0;\r\n\r\n"_ba);
        agent.start();
        QVERIFY(waitUntil([&] { return agent.received.size() >= 11 || agent.failed; }, Bound));
        QVERIFY2(!agent.failed, qPrintable(agent.error));
        QCOMPARE(agent.received, "900;\x0b\0\0\0;\r\n"_ba);
        QCOMPARE(QString::fromLatin1(agent.transport().identity()), u"site"_s);
        agent.finish();
    }
    basWSock::CloseSocket(accepted, text);
    basWSock::CloseSocket(listener, text);
    QVERIFY(client.waitForFinished(Bound));
    QCOMPARE(client.readAllStandardOutput(), "901;\x0d\0\0\0;\r\n\r\n"_ba);
}

void TestTlsTransport::talksToStockServer_data()
{
    QTest::addColumn<QByteArray>("consoleKey");
    QTest::addColumn<QString>("error");
    QTest::newRow("right key") << "site "_ba + KeyA << QString();
    QTest::newRow("wrong key") << "site "_ba + KeyB << u"相手に鍵が受け入れられませんでした"_s;
}

void TestTlsTransport::talksToStockServer()
{
    QFETCH(QByteArray, consoleKey);
    QFETCH(QString, error);
    if (openssl().isEmpty())
        QSKIP("openssl is not installed");
    QProcess server;
    // Its standard input stays open: what it holds goes to the client once connected.
    server.start(openssl(), {u"s_server"_s, u"-tls1_3"_s, u"-nocert"_s, u"-psk"_s,
                             QString::fromLatin1(KeyA), u"-psk_identity"_s, u"site"_s,
                             u"-accept"_s, u"127.0.0.1:0"_s, u"-naccept"_s, u"1"_s});
    QVERIFY(server.waitForStarted());
    server.write("141;\x0b\0\0\0;\r\n"_ba);
    static const QRegularExpression Accept(u"ACCEPT 127\\.0\\.0\\.1:(\\d+)"_s);
    QString banner;
    QRegularExpressionMatch match;
    QVERIFY(waitUntil([&] {
        banner += QString::fromLatin1(server.readAllStandardOutput());
        match = Accept.match(banner);
        return match.hasMatch();
    }, Bound));

    QString text;
    const int socket = basWSock::CreateSocket(basWSock::AfInet, basWSock::SockStream, text);
    QCOMPARE(basWSock::ConnectSocket(socket, u"127.0.0.1"_s, match.captured(1), text), 0);
    {
        TlsEnd console(socket, testContext(TlsContext::Role::Client, consoleKey));
        console.send("140;\x0b\0\0\0;\r\n"_ba);
        QVERIFY(waitUntil([&] {
            if (!console.established && !console.failed)
                console.start(); // the connect completes with write readiness
            return (console.received.size() >= 11 && console.allSent()) || console.failed;
        }, Bound));
        if (error.isEmpty()) {
            QVERIFY2(!console.failed, qPrintable(console.error));
            QCOMPARE(console.received, "141;\x0b\0\0\0;\r\n"_ba);
            // The server prints what it read; it must have read our request before its
            // standard input ends, as the end of that input makes it shut the session down.
            QByteArray printed;
            QVERIFY(waitUntil([&] {
                printed += server.readAllStandardOutput();
                return printed.contains("140;\x0b\0\0\0;\r\n"_ba);
            }, Bound));
        } else {
            QVERIFY2(console.error.startsWith(error), qPrintable(console.error));
        }
        console.finish();
    }
    server.closeWriteChannel();
    basWSock::CloseSocket(socket, text);
    server.kill();
    server.waitForFinished(Bound);
}

QTEST_GUILESS_MAIN(TestTlsTransport)
#include "tst_tlstransport.moc"
