// The twelve requests against a real agent process, byte for byte, with their status lines.
#include "support/agentprocess.h"

#include "common/codepage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray crlfLines(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

// The reply to 100 as the agent must build it from the file's sections and entries.
QByteArray expectedParameters(const QByteArray &ini)
{
    QByteArray body;
    for (const QByteArray &line : ini.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        body += trimmed + (trimmed.startsWith('[') ? "=\r\n" : "\r\n");
    }
    return rawFrame(101, body + "\r\n");
}

} // namespace

class TestAgentRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void getParameters();
    void getParametersWithEmptySection();
    void getParametersWithRepeatedHeader();
    void updateParameters_data();
    void updateParameters();
    void runCollector();
    void fileInformation();
    void dataFile_data();
    void dataFile();
    void statusLog();
    void distributeFile_data();
    void distributeFile();
    void distributeOwnProgram();
    void distributeAndCollect_data();
    void distributeAndCollect();
    void endSession();

private:
    /// Sends one request on a fresh connection, reads the reply, ends with 900.
    QByteArray request(const QByteArray &frame, QString *peer = nullptr);

    std::unique_ptr<AgentFolder> m_folder;
    std::unique_ptr<AgentProcess> m_agent;
};

void TestAgentRequests::initTestCase()
{
    m_folder = std::make_unique<AgentFolder>();
    m_agent = std::make_unique<AgentProcess>(*m_folder);
    QVERIFY2(m_agent->start(), qPrintable(m_agent->standardError()));
}

QByteArray TestAgentRequests::request(const QByteArray &frame, QString *peer)
{
    const qsizetype listened = m_agent->texts().count(m_agent->listeningText());
    RawConsole console;
    if (!console.connectTo(m_folder->port()))
        return "no connection";
    const QString label = console.peerLabel();
    if (peer)
        *peer = label;
    const auto reply = console.exchange(frame);
    console.exchange(rawFrame(900, "\r\n"));
    console.waitForClose();
    // The connection has ended when the agent listens again; a console that connects
    // before that would land in the backlog of the socket being closed.
    m_agent->waitForLineCount(m_agent->listeningText(), listened + 1);
    return reply.value_or("no reply");
}

void TestAgentRequests::getParameters()
{
    QString peer;
    const QByteArray reply = request(rawFrame(100, "\r\n"), &peer);
    QCOMPARE(reply, expectedParameters(m_folder->iniBytes()));
    const QStringList texts = m_agent->texts();
    const qsizetype connected = texts.indexOf(peer + u" 接続されました。"_s);
    QVERIFY(connected >= 0);
    QCOMPARE(texts.mid(connected, 4),
             (QStringList{peer + u" 接続されました。"_s, peer + u" 受信(100)"_s,
                          peer + u" 送信(101)･･･"_s,
                          peer + u' ' + QString::number(reply.size()) + u" バイト送信されました。"_s}));
}

void TestAgentRequests::getParametersWithEmptySection()
{
    const QByteArray original = m_folder->iniBytes();
    m_folder->writeFile(u"TarvoAgent.ini"_s, original + "[Empty]\r\n");
    QString peer;
    const QByteArray reply = request(rawFrame(100, "\r\n"), &peer);
    m_folder->writeFile(u"TarvoAgent.ini"_s, original);
    QCOMPARE(reply, rawFrame(102, cp932(u"パラメータの取得時にエラーが発生しました。\r\n"_s)));
    QVERIFY(m_agent->texts().contains(
        peer + u" 102;nnnn;パラメータの取得時にエラーが発生しました。"_s));
}

void TestAgentRequests::getParametersWithRepeatedHeader()
{
    const QByteArray original = m_folder->iniBytes();
    m_folder->writeFile(u"TarvoAgent.ini"_s, "[Sec]\r\na=1\r\n[SEC]\r\nb=2\r\n"_ba);
    const QByteArray reply = request(rawFrame(100, "\r\n"));
    m_folder->writeFile(u"TarvoAgent.ini"_s, original);
    // Both headers are listed; reading "SEC" by name finds the first one's entries.
    QCOMPARE(reply, rawFrame(101, "[Sec]=\r\na=1\r\n[SEC]=\r\na=1\r\n\r\n"));
}

void TestAgentRequests::updateParameters_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("replyCode");
    QTest::addColumn<QList<QByteArray>>("written");

    QTest::newRow("value with = and ;") << "TarvoInfo;Extra=a=b;c\r\n\r\n"_ba << 111
                                         << QList<QByteArray>{"Extra=a=b;c"};
    QTest::newRow("japanese value, two keys")
        << cp932(u"TarvoInfo;Subject=収集結果\r\nNewSection;Key=1\r\n\r\n"_s) << 111
        << QList<QByteArray>{cp932(u"Subject=収集結果"_s), "[NewSection]", "Key=1"};
    QTest::newRow("no empty last line writes the complete lines")
        << "TarvoInfo;First=1\r\nTarvoInfo;Second=2\r\n"_ba << 112
        << QList<QByteArray>{"First=1", "Second=2"};
    QTest::newRow("line without =") << "TarvoInfo;Third=3\r\nTarvoInfo;Broken\r\n\r\n"_ba << 112
                                    << QList<QByteArray>{"Third=3"};
}

void TestAgentRequests::updateParameters()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, replyCode);
    QFETCH(QList<QByteArray>, written);

    QString peer;
    const QByteArray reply = request(rawFrame(110, payload), &peer);
    if (replyCode == 111) {
        QCOMPARE(reply, rawFrame(111, "\r\n"));
    } else {
        QCOMPARE(reply, rawFrame(112, cp932(u"パラメータの更新時にエラーが発生しました。\r\n"_s)));
        QVERIFY(m_agent->texts().contains(
            peer + u" 112;nnnn;パラメータの更新時にエラーが発生しました。"_s));
    }
    const QList<QByteArray> lines = m_folder->iniBytes().split('\n');
    for (const QByteArray &line : written)
        QVERIFY2(lines.contains(line + '\r'), line.constData());
}

void TestAgentRequests::runCollector()
{
    QFile::remove(m_folder->file(u"collect.sh"_s));
    QString peer;
    QCOMPARE(request(rawFrame(140, "\r\n"), &peer),
             rawFrame(142, cp932(u"情報収集プログラムの実行時にエラーが発生しました。\r\n"_s)));
    QVERIFY(m_agent->texts().contains(
        peer + u" 142;nnnn;情報収集プログラムの実行時にエラーが発生しました。"_s));

    m_folder->writeFile(u"collect.sh"_s, "#!/bin/sh\necho \"$*\" > ran.tmp && mv ran.tmp ran.txt\n",
                        true);
    QCOMPARE(request(rawFrame(140, "\r\n")), rawFrame(141, "\r\n"));
    QVERIFY(m_agent->texts().contains(u"情報収集プログラムを実行しました。"_s));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_folder->file(u"ran.txt"_s)), 10000);
    QCOMPARE(m_folder->readFile(u"ran.txt"_s), "ALL\n"_ba);
}

void TestAgentRequests::fileInformation()
{
    m_folder->writeFile(u"empty.txt"_s, {});
    m_folder->writeFile(u"big.bin"_s, QByteArray(1234567, 'x'));
    m_folder->writeFile(u".hidden"_s, "not listed");
    const QDateTime written(QDate(2004, 7, 3), QTime(10, 20, 30));
    QFile big(m_folder->file(u"big.bin"_s));
    QVERIFY(big.open(QIODevice::ReadWrite));
    QVERIFY(big.setFileTime(written, QFileDevice::FileModificationTime));
    big.close();

    const QByteArray reply = request(rawFrame(300, "\r\n"));
    QVERIFY(reply.startsWith("301;"));
    const QList<QByteArray> lines = reply.mid(9).split('\n');
    QByteArrayList names;
    for (const QByteArray &line : lines)
        names << line.left(line.indexOf(';'));
    QVERIFY(names.indexOf("big.bin") < names.indexOf("empty.txt"));
    QVERIFY(!names.contains(".hidden"));
    QVERIFY(lines.contains("big.bin;1,234,567;2004/07/03 10:20:30;-;-\r"));
    QVERIFY(lines.contains("empty.txt;;" + QFileInfo(m_folder->file(u"empty.txt"_s))
                                               .lastModified()
                                               .toString(u"yyyy/MM/dd HH:mm:ss"_s)
                                               .toLatin1()
                               + ";-;-\r"));
    // The agent's own program carries its version resource.
    bool agentListed = false;
    for (const QByteArray &line : lines)
        agentListed |= line.startsWith("TarvoAgent;") && line.endsWith(";1.5.0.1;1.5.0.1\r");
    QVERIFY(agentListed);
    QVERIFY(reply.endsWith("\r\n\r\n"));
}

void TestAgentRequests::dataFile_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray openFailed = rawFrame(312, cp932(u"ファイルのオープン時にエラーが発生しました。"_s));
    QTest::newRow("lines of a file") << "data.txt\r\n"_ba << rawFrame(311, "one\r\ntwo\r\n");
    QTest::newRow("japanese lines, no final line break")
        << "sjis.txt\r\n"_ba << rawFrame(311, cp932(u"日本語\r\nｶﾅ\r\n"_s));
    QTest::newRow("empty name") << "\r\n"_ba << rawFrame(311, {});
    QTest::newRow("no CR LF") << "data.txt"_ba << openFailed;
    QTest::newRow("missing file") << "missing.txt\r\n"_ba << openFailed;
    QTest::newRow("parent folder") << "../outside.txt\r\n"_ba << openFailed;
    QTest::newRow("absolute path") << "/etc/hostname\r\n"_ba << openFailed;
    QTest::newRow("link leading outside") << "link.txt\r\n"_ba << openFailed;
}

void TestAgentRequests::dataFile()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, reply);
    m_folder->writeFile(u"data.txt"_s, "one\r\ntwo\r\n");
    m_folder->writeFile(u"sjis.txt"_s, cp932(u"日本語\r\nｶﾅ"_s));
    QFile::link(u"/etc/hostname"_s, m_folder->file(u"link.txt"_s));
    QCOMPARE(request(rawFrame(310, payload)), reply);
}

void TestAgentRequests::statusLog()
{
    QString peer;
    const QByteArray reply = request(rawFrame(400, "\r\n"), &peer);
    QVERIFY(reply.startsWith("401;"));
    // The lines up to this request's own receive line, as printed, each ending in CR LF.
    const QList<QByteArray> lines = reply.mid(9).chopped(2).split('\n');
    const QStringList printed = m_agent->texts();
    const qsizetype received = printed.indexOf(peer + u" 受信(400)"_s);
    QVERIFY(received > 0);
    QCOMPARE(lines.size(), received + 2); // the list, plus the empty line of the final CR LF
    QCOMPARE(lines.at(received).chopped(1).mid(20), cp932(printed.at(received)));
    QVERIFY(lines.at(0).startsWith(QDate::currentDate().toString(u"yyyy/MM/dd"_s).toLatin1()));
}

void TestAgentRequests::distributeFile_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("times");
    QTest::addColumn<QString>("failure");

    const QByteArray times = "2004/07/03 10:20:30;2004/07/03 10:20:30;2004/07/03 10:20:30";
    const QString badName = u"ファイル名が不正です。"_s;
    QTest::newRow("plain") << "new.txt"_ba << "content\r\n"_ba << times << QString();
    QTest::newRow("binary with NUL") << "blob.bin"_ba << QByteArray("\0\1\2;\r\n", 7) << times
                                     << QString();
    QTest::newRow("zero bytes") << "zero.dat"_ba << QByteArray() << times << QString();
    QTest::newRow("japanese name") << cp932(u"設定ファイル.txt"_s) << "x"_ba << times << QString();
    QTest::newRow("shorter than the old file") << "data.txt"_ba << "12"_ba << times << QString();
    QTest::newRow("backslash") << "sub\\x.txt"_ba << "x"_ba << times << badName;
    QTest::newRow("slash") << "../x.txt"_ba << "x"_ba << times << badName;
    QTest::newRow("dot dot") << ".."_ba << "x"_ba << times << badName;
    QTest::newRow("empty name") << ""_ba << "x"_ba << times << badName;
    QTest::newRow("times that are no dates")
        << "badtimes.txt"_ba << "x"_ba << "a;b;c"_ba << u"ファイルの配信時にエラーが発生しました。"_s;
}

void TestAgentRequests::distributeFile()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, times);
    QFETCH(QString, failure);

    m_folder->writeFile(u"data.txt"_s, "a much longer old content\r\n");
    const QString localName = CodePage::fromAnsi(name);
    QString peer;
    const QByteArray reply = request(rawFileRequest(500, name, data, times), &peer);
    if (failure.isEmpty()) {
        QCOMPARE(reply, rawFrame(501, {}));
        QCOMPARE(m_folder->readFile(localName), data);
        const QFileInfo info(m_folder->file(localName));
        QCOMPARE(info.lastModified(), QDateTime(QDate(2004, 7, 3), QTime(10, 20, 30)));
    } else {
        QCOMPARE(reply, rawFrame(502, cp932(failure)));
        QVERIFY(m_agent->texts().contains(peer + u" 502;nnnn;"_s + failure));
        QVERIFY(!QFile::exists(m_folder->file(u"x.txt"_s)));
        QVERIFY(!QFile::exists(m_folder->file(u"badtimes.txt"_s)));
    }
}

void TestAgentRequests::distributeOwnProgram()
{
    const QByteArray before = m_folder->readFile(u"TarvoAgent"_s);
    QCOMPARE(request(rawFileRequest(500, "TARVOAGENT", "#!/bin/sh\nexit 0\n")),
             rawFrame(501, {}));
    QCOMPARE(m_folder->readFile(u"TarvoAgent.new"_s), "#!/bin/sh\nexit 0\n"_ba);
    QVERIFY(QFileInfo(m_folder->file(u"TarvoAgent.new"_s)).isExecutable());
    QCOMPARE(m_folder->readFile(u"TarvoAgent"_s), before);
}

void TestAgentRequests::distributeAndCollect_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("distributed, then collected") << "input.txt"_ba << rawFrame(521, {});
    QTest::newRow("bad name, nothing run")
        << "a\\b"_ba << rawFrame(522, cp932(u"ファイル名が不正です。"_s));
}

void TestAgentRequests::distributeAndCollect()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, reply);
    QFile::remove(m_folder->file(u"ran.txt"_s));
    m_folder->writeFile(u"collect.sh"_s, "#!/bin/sh\necho \"$*\" > ran.tmp && mv ran.tmp ran.txt\n",
                        true);
    QCOMPARE(request(rawFileRequest(520, name, "payload")), reply);
    if (reply.startsWith("521")) {
        QCOMPARE(m_folder->readFile(QString::fromLatin1(name)), "payload"_ba);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_folder->file(u"ran.txt"_s)), 10000);
    } else {
        // Nothing was started: the collector would have written its file by now.
        QVERIFY(!QFile::exists(m_folder->file(u"ran.txt"_s)));
    }
}

void TestAgentRequests::endSession()
{
    const qsizetype listened = m_agent->texts().count(m_agent->listeningText());
    RawConsole console;
    QVERIFY(console.connectTo(m_folder->port()));
    const QString peer = console.peerLabel();
    const auto reply = console.exchange(rawFrame(900, "\r\n"));
    QVERIFY(reply);
    QCOMPARE(*reply, "901;\x0d\x00\x00\x00;\r\n\r\n"_ba);
    QVERIFY(console.waitForClose());
    QVERIFY(m_agent->waitForLine(peer + u" 13 バイト送信されました。"_s));
    QVERIFY(m_agent->waitForLineCount(m_agent->listeningText(), listened + 1));
    // Listening again: the next console is served at once.
    RawConsole next;
    QVERIFY(next.connectTo(m_folder->port()));
    const auto second = next.exchange(rawFrame(400, "\r\n"));
    QVERIFY(second && second->startsWith("401;"));
}

QTEST_GUILESS_MAIN(TestAgentRequests)
#include "tst_agentrequests.moc"
