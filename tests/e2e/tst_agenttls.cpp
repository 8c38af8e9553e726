// The agent's TlsAccept and TlsPskFile, against a real agent process: which consoles it serves
// or turns away (with the log lines), the bound on a console that never speaks, the key file
// kept from every request, and the start refused for each unusable key file.
#include "support/agentprocess.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

using Keys = QMap<QString, QString>;

const QByteArray KeyLine = "site "_ba + QByteArray(32, 'k').toHex() + '\n';
// The first bytes of a TLS ClientHello record.
const QByteArray HelloStart = "\x16\x03\x01\x00\x05\x01\x00\x00\x01\x00"_ba;

void writeKey(const AgentFolder &folder, const QByteArray &content, int mode)
{
    folder.writeFile(u"tarvo.psk"_s, content);
    QVERIFY(::chmod(QFile::encodeName(folder.file(u"tarvo.psk"_s)).constData(), mode_t(mode)) == 0);
}

} // namespace

class TestAgentTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void consoles_data();
    void consoles();
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

void TestAgentTls::silentConsoleIsBounded()
{
    AgentFolder folder({{u"TlsAccept"_s, u"plain,psk"_s}, {u"TlsPskFile"_s, u"tarvo.psk"_s},
                        {u"TimeOut"_s, u"1"_s}});
    writeKey(folder, KeyLine, 0640);
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole silent;
    QVERIFY(silent.connectTo(folder.port()));
    RawConsole next;
    QVERIFY(next.connectTo(folder.port())); // waits in the backlog meanwhile
    QVERIFY(silent.waitForClose(5000));
    QVERIFY(agent.waitForLine(silent.peerLabel() + u" 接続後にデータが届かないため切断しました。"_s));
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
