// The agent's TlsAccept and TlsPskFile, against a real agent process: which consoles it serves
// or turns away (with the log lines), the real TarvoControl and a stock openssl s_client over
// the encrypted channel, the bound on a console that never speaks, the key file kept from
// every request, and the start refused for each unusable key file.
#include "support/agentprocess.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

using Keys = QMap<QString, QString>;

const QByteArray KeyLine = "site "_ba + QByteArray(32, 'k').toHex() + '\n';
// The first bytes of a TLS ClientHello record.
const QByteArray HelloStart = "\x16\x03\x01\x00\x05\x01\x00\x00\x01\x00"_ba;

const QByteArray NewKeyLine = "site2 "_ba + QByteArray(32, 'n').toHex() + '\n';

void writeKey(const AgentFolder &folder, const QByteArray &content, int mode)
{
    folder.writeFile(u"tarvo.psk"_s, content);
    QVERIFY(::chmod(QFile::encodeName(folder.file(u"tarvo.psk"_s)).constData(), mode_t(mode)) == 0);
}

struct ConsoleRun
{
    int exitCode = -1;
    QString output; // standard output and error, merged
};

/// The real TarvoControl with its own folder: TlsConnect `mode`, the key `keyLine`.
ConsoleRun runConsole(quint16 port, const QString &mode, const QByteArray &keyLine,
                      const QStringList &command)
{
    QTemporaryDir folder;
    QFile ini(folder.filePath(u"TarvoControl.ini"_s));
    QFile key(folder.filePath(u"console.psk"_s));
    if (!ini.open(QIODevice::WriteOnly) || !key.open(QIODevice::WriteOnly)
        || !key.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return {};
    ini.write("[TarvoControl]\r\nPort=" + QByteArray::number(port)
              + "\r\nTimeout=2\r\nMaxControl=2\r\nTlsConnect=" + mode.toLatin1()
              + "\r\nTlsPskFile=console.psk\r\n");
    key.write(keyLine);
    ini.close();
    key.close();
    QProcess console;
    console.setProcessChannelMode(QProcess::MergedChannels);
    console.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  QStringList{u"--folder"_s, folder.path()} + command);
    if (!console.waitForFinished(20000))
        return {};
    return {console.exitCode(), QString::fromUtf8(console.readAll())};
}

} // namespace

class TestAgentTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void consoles_data();
    void consoles();
    void channel_data();
    void channel();
    void openSslClient();
    void silentConsoleIsBounded_data();
    void silentConsoleIsBounded();
    void keyFileStaysOnThePc();
    void badKeyFileRefusesTheStart_data();
    void badKeyFileRefusesTheStart();
};

void TestAgentTls::consoles_data()
{
    QTest::addColumn<QString>("accept");
    QTest::addColumn<QByteArray>("first"); // what the console sends first
    QTest::addColumn<QString>("refusal");  // the log line's text after the peer; empty: served

    const QString plainRefused = u" 暗号化されていない接続は受け付けないため切断しました。"_s;
    QTest::newRow("plain agent, plain console") << u"plain"_s << rawFrame(900, "\r\n") << QString();
    QTest::newRow("both, plain console") << u"plain,psk"_s << rawFrame(900, "\r\n") << QString();
    QTest::newRow("psk only, plain console") << u"psk"_s << rawFrame(900, "\r\n") << plainRefused;
    QTest::newRow("psk only, neither protocol") << u"psk"_s << "GET / HTTP/1.0\r\n"_ba
                                                << plainRefused;
}

void TestAgentTls::consoles()
{
    QFETCH(QString, accept);
    QFETCH(QByteArray, first);
    QFETCH(QString, refusal);
    AgentFolder folder({{u"TlsAccept"_s, accept}, {u"TlsPskFile"_s, u"tarvo.psk"_s}});
    writeKey(folder, KeyLine, 0600);
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    for (int attempt = 0; attempt < 2; ++attempt) {
        RawConsole console;
        QVERIFY(console.connectTo(folder.port()));
        QVERIFY(console.send(first));
        if (refusal.isEmpty()) {
            QCOMPARE(console.readFrame(), rawFrame(901, "\r\n\r\n"));
            QVERIFY(agent.waitForLine(console.peerLabel() + u" 接続されました。"_s));
        } else {
            QVERIFY(console.waitForClose());
            QVERIFY(agent.waitForLine(console.peerLabel() + refusal));
            QVERIFY(!agent.texts().contains(console.peerLabel() + u" 接続されました。"_s));
        }
    }
    QVERIFY(agent.isRunning());
}

void TestAgentTls::channel_data()
{
    QTest::addColumn<QString>("accept");     // the agent's TlsAccept
    QTest::addColumn<QString>("connect");    // the console's TlsConnect
    QTest::addColumn<QByteArray>("key");     // the console's key line
    QTest::addColumn<QString>("agentLine");  // after the peer label; "" for none
    QTest::addColumn<QString>("consoleText"); // in the console's output; "" when served

    const QString encrypted = u" 暗号化された接続です。(TLS 1.3 site)"_s;
    const QString failed = u" 暗号化接続を確立できないため切断しました。"_s;
    const QString refusedText = u"暗号化接続を確立できませんでした！"_s;
    const QByteArray wrongKey = "site "_ba + QByteArray(32, 'w').toHex() + '\n';
    const QByteArray unknown = "other "_ba + QByteArray(32, 'k').toHex() + '\n';
    QTest::newRow("plain, plain") << u"plain"_s << u"plain"_s << KeyLine << QString() << QString();
    // An agent that speaks plain only waits for a frame that never comes: the time-out ends it.
    QTest::newRow("plain, psk") << u"plain"_s << u"psk"_s << KeyLine << QString()
                                << u"タイムアウトしました！"_s;
    QTest::newRow("both, plain") << u"plain,psk"_s << u"plain"_s << KeyLine << QString()
                                 << QString();
    QTest::newRow("both, psk") << u"plain,psk"_s << u"psk"_s << KeyLine << encrypted << QString();
    QTest::newRow("psk, the new key of a rotation")
        << u"psk"_s << u"psk"_s << NewKeyLine << u" 暗号化された接続です。(TLS 1.3 site2)"_s
        << QString();
    QTest::newRow("psk, plain") << u"psk"_s << u"plain"_s << KeyLine
                                << u" 暗号化されていない接続は受け付けないため切断しました。"_s
                                << u"down"_s;
    QTest::newRow("psk, wrong key") << u"psk"_s << u"psk"_s << wrongKey
                                    << failed + u"鍵「site」が一致しません。"_s << refusedText;
    QTest::newRow("psk, unknown identity")
        << u"psk"_s << u"psk"_s << unknown << failed + u"鍵の識別名「other」は登録されていません。"_s
        << refusedText;
}

void TestAgentTls::channel()
{
    QFETCH(QString, accept);
    QFETCH(QString, connect);
    QFETCH(QByteArray, key);
    QFETCH(QString, agentLine);
    QFETCH(QString, consoleText);
    AgentFolder folder({{u"TlsAccept"_s, accept}, {u"TlsPskFile"_s, u"tarvo.psk"_s}});
    writeKey(folder, KeyLine + NewKeyLine, 0600);
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    // The single connection and a batch worker, each over the channel in force.
    const ConsoleRun files = runConsole(folder.port(), connect, key, {u"files"_s, u"127.0.0.1"_s});
    const ConsoleRun status = runConsole(folder.port(), connect, key, {u"status"_s, u"127.0.0.1"_s});
    const bool served = consoleText.isEmpty();
    QCOMPARE(files.exitCode, served ? 0 : 1);
    QCOMPARE(status.exitCode, served ? 0 : 1);
    QCOMPARE(files.output.contains(u"TarvoAgent.ini\t"_s), served);
    QVERIFY2(status.output.startsWith(served ? u"127.0.0.1\tup\t"_s : u"127.0.0.1\tdown\t"_s),
             qPrintable(status.output));
    if (!served && consoleText != u"down")
        QVERIFY2(files.output.contains(consoleText), qPrintable(files.output));
    if (!agentLine.isEmpty()) // one line for each of the two runs
        QTRY_COMPARE_WITH_TIMEOUT(agent.texts().filter(agentLine).size(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(agent.texts().filter(u"受信(300)"_s).size(), served ? 2 : 0, 5000);
    const QStringList lines = agent.texts();
    QVERIFY(!lines.filter(u"暗号化された接続です。"_s).isEmpty() == agentLine.contains(u"暗号化された"_s));
    for (const QString &output : {files.output, status.output, lines.join(u'\n')})
        QVERIFY(!output.contains(QString::fromLatin1(QByteArray(32, 'k').toHex())));
}

void TestAgentTls::openSslClient()
{
    const QString openssl = QStandardPaths::findExecutable(u"openssl"_s);
    if (openssl.isEmpty())
        QSKIP("openssl is not installed (scripts/install-deps.sh installs it)");
    AgentFolder folder({{u"TlsAccept"_s, u"psk"_s}, {u"TlsPskFile"_s, u"tarvo.psk"_s}});
    writeKey(folder, KeyLine, 0600);
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    QProcess client;
    client.start(openssl, {u"s_client"_s, u"-tls1_3"_s, u"-quiet"_s, u"-psk_identity"_s, u"site"_s,
                           u"-psk"_s, QString::fromLatin1(QByteArray(32, 'k').toHex()),
                           u"-connect"_s, u"127.0.0.1:"_s + QString::number(folder.port())});
    QVERIFY(client.waitForStarted());
    client.write(rawFrame(900, "\r\n"));
    QVERIFY(client.waitForFinished(10000)); // the agent ends the session after 901
    QCOMPARE(client.readAllStandardOutput(), rawFrame(901, "\r\n\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(agent.texts().filter(u"] 暗号化された接続です。(TLS 1.3 site)"_s).size(),
                              1, 5000);
}

void TestAgentTls::silentConsoleIsBounded_data()
{
    QTest::addColumn<QByteArray>("first"); // what the console sends before it stalls
    QTest::addColumn<QString>("line");     // the agent's line about it; "" for none
    QTest::newRow("nothing") << QByteArray() << u" 接続後にデータが届かないため切断しました。"_s;
    // A record header that announces 512 bytes, and a few of them.
    QTest::newRow("half a hello") << "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03"_ba << QString();
}

void TestAgentTls::silentConsoleIsBounded()
{
    QFETCH(QByteArray, first);
    QFETCH(QString, line);
    AgentFolder folder({{u"TlsAccept"_s, u"plain,psk"_s}, {u"TlsPskFile"_s, u"tarvo.psk"_s},
                        {u"TimeOut"_s, u"1"_s}});
    writeKey(folder, KeyLine, 0640);
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole silent;
    QVERIFY(silent.connectTo(folder.port()));
    if (!first.isEmpty())
        QVERIFY(silent.send(first));
    RawConsole next;
    QVERIFY(next.connectTo(folder.port())); // waits in the backlog meanwhile
    QVERIFY(silent.waitForClose(5000));
    if (!line.isEmpty())
        QVERIFY(agent.waitForLine(silent.peerLabel() + line));
    QCOMPARE(next.exchange(rawFrame(900, "\r\n")), rawFrame(901, "\r\n\r\n"));
}

void TestAgentTls::keyFileStaysOnThePc()
{
    AgentFolder folder({{u"TlsAccept"_s, u"plain,psk"_s}, {u"TlsPskFile"_s, u"tarvo.psk"_s}});
    writeKey(folder, KeyLine, 0600);
    folder.writeFile(u"notes.txt"_s, "hello\r\n");
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    const QByteArray hex = QByteArray(32, 'k').toHex();

    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    const auto listing = console.exchange(rawFrame(300, "\r\n"));
    QVERIFY(listing && listing->startsWith("301;") && listing->contains("notes.txt;"));
    QVERIFY(!listing->contains("tarvo.psk"));
    const auto fetched = console.exchange(rawFrame(310, "tarvo.psk\r\n\r\n"));
    QVERIFY(fetched && fetched->startsWith("312;") && !fetched->contains(hex));
    const auto replaced = console.exchange(rawFileRequest(500, "tarvo.psk", "x"));
    QVERIFY(replaced && replaced->startsWith("502;"));
    QVERIFY(replaced->contains(cp932(u"鍵ファイルは暗号化されていない接続では配信できません。"_s)));
    QCOMPARE(folder.readFile(u"tarvo.psk"_s), KeyLine);
    const auto log = console.exchange(rawFrame(400, "\r\n"));
    QVERIFY(log && !log->contains(hex));
}

void TestAgentTls::badKeyFileRefusesTheStart_data()
{
    QTest::addColumn<QByteArray>("content"); // empty with mode 0: no file
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << QByteArray() << 0 << u"No such file or directory"_s;
    QTest::newRow("readable by others") << KeyLine << 0644 << u"readable or writable by others"_s;
    QTest::newRow("empty") << ""_ba << 0600 << u"the file holds no key"_s;
    QTest::newRow("short key") << "site "_ba + QByteArray(31, 'k').toHex() << 0600
                               << u"key shorter than 32 bytes"_s;
    QTest::newRow("long identity") << QByteArray(129, 'n') + ' ' + QByteArray(32, 'k').toHex()
                                   << 0600 << u"identity longer than 128 characters"_s;
}

void TestAgentTls::badKeyFileRefusesTheStart()
{
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, reason);
    AgentFolder folder({{u"TlsAccept"_s, u"plain,psk"_s}, {u"TlsPskFile"_s, u"tarvo.psk"_s}});
    if (mode != 0)
        writeKey(folder, content, mode);
    AgentProcess agent(folder);
    agent.startOnly();
    int exitCode = 0;
    QVERIFY(agent.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 1);
    const QString error = agent.standardError();
    QVERIFY2(error.startsWith(u"TarvoAgent: not started: TlsPskFile: "_s), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!error.contains(QString::fromLatin1(QByteArray(32, 'k').toHex())));
    RawConsole console;
    QVERIFY(!console.connectTo(folder.port(), 1000));
}

QTEST_GUILESS_MAIN(TestAgentTls)
#include "tst_agenttls.moc"
