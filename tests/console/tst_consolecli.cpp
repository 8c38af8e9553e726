// TarvoControl on the command line, end to end: one run per command family against two real
// agents named in the inventory file, with the exit statuses a script sees.
#include "support/agentprocess.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString AddressA = u"127.0.3.21"_s;
const QString AddressB = u"127.0.3.22"_s;

} // namespace

class TestConsoleCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void commands_data();
    void commands();

private:
    quint16 m_port = 0;
    QTemporaryDir m_console;
    std::unique_ptr<AgentFolder> m_folders[2];
    std::unique_ptr<AgentProcess> m_agents[2];
    int m_sessions[2] = {0, 0};
};

void TestConsoleCli::initTestCase()
{
    m_port = freeLoopbackPort();
    const QString addresses[2] = {AddressA, AddressB};
    for (int i = 0; i < 2; ++i) {
        m_folders[i] = std::make_unique<AgentFolder>(QMap<QString, QString>{
            {u"Port"_s, QString::number(m_port)}, {u"ListenAddress"_s, addresses[i]}});
        m_folders[i]->writeFile(u"collect.sh"_s, "#!/bin/sh\nexit 0\n", true);
        m_agents[i] = std::make_unique<AgentProcess>(*m_folders[i]);
        QVERIFY(m_agents[i]->start());
    }
    auto write = [this](const QString &name, const QByteArray &bytes) {
        QFile file(m_console.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(u"TarvoControl.ini"_s, "[TarvoControl]\r\nPort=" + QByteArray::number(m_port)
                                     + "\r\nTimeout=5\r\nMaxControl=2\r\n");
    // The names resolve only through the inventory's addresses.
    write(u"TarvoNetwork.ini"_s, "[Lab]\r\npc-a.invalid=" + AddressA.toLatin1() + "\r\npc-b.invalid="
                                     + AddressB.toLatin1() + "\r\nnowhere.invalid=127.0.3.29\r\n");
    write(u"配布.txt"_s, cp932(u"配布する中身\r\n"_s));
    write(u"TarvoAgent"_s, "not really the agent");
}

void TestConsoleCli::commands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("touches"); // the agents the command talks to: "a", "b"
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QStringList>("output"); // lines expected on standard output
    QTest::addColumn<QString>("error");      // a text expected on standard error

    const QString port = QString::number(freeLoopbackPort());
    QTest::newRow("params") << QStringList{u"params"_s, u"pc-a.invalid"_s} << u"a"_s << 0
                            << QStringList{u"[TarvoAgent]"_s, u"ListenAddress="_s + AddressA}
                            << u"パラメータを表示しました！"_s;
    QTest::newRow("set") << QStringList{u"set"_s, u"pc-a.invalid"_s, u"TarvoAgent"_s, u"StatusLog"_s,
                                        u"300"_s, u"TarvoInfo"_s, u"Subject"_s, u"件名"_s}
                         << u"a"_s << 0 << QStringList() << u"パラメータを更新しました！"_s;
    QTest::newRow("show") << QStringList{u"show"_s, u"pc-a.invalid"_s, u"TarvoAgent.ini"_s} << u"a"_s << 0
                          << QStringList{u"StatusLog=300"_s, u"Subject=件名"_s} << QString();
    QTest::newRow("show a missing file") << QStringList{u"show"_s, u"pc-a.invalid"_s, u"nothing.txt"_s}
                                         << u"a"_s << 1 << QStringList()
                                         << u"データファイルの取得に失敗しました！"_s;
    QTest::newRow("files") << QStringList{u"files"_s, AddressB} << u"b"_s << 0
                           << QStringList{u"collect.sh\t17\t"_s} << QString();
    QTest::newRow("log") << QStringList{u"log"_s, u"pc-b.invalid"_s} << u"b"_s << 0
                         << QStringList{u"] 受信(300)"_s} << u"稼動ログを表示しました！"_s;
    QTest::newRow("collect a group, one computer missing")
        << QStringList{u"--csv"_s, u"collect"_s, u"@Lab"_s} << u"ab"_s << 1
        << QStringList{u"\"コンピュータ名\",\"結果\",\"ステータス\","_s,
                       u"\"pc-a.invalid\",\"OK\",\"情報収集プログラム実行！\""_s,
                       u"\"pc-b.invalid\",\"OK\",\"情報収集プログラム実行！\""_s,
                       u"\"nowhere.invalid\",\"NG\",\"接続中･･･\""_s}
        << u"3 computers: 2 OK, 1 NG"_s;
    QTest::newRow("distribute") << QStringList{u"distribute"_s, u"配布.txt"_s, u"pc-a.invalid"_s, AddressB}
                                << u"ab"_s << 0
                                << QStringList{u"pc-a.invalid\tOK\tファイル配信！"_s,
                                               AddressB + u"\tOK\tファイル配信！"_s}
                                << u"2 computers: 2 OK, 0 NG"_s;
    QTest::newRow("distribute the agent without restart")
        << QStringList{u"distribute-collect"_s, u"TarvoAgent"_s, u"pc-a.invalid"_s} << QString() << 1
        << QStringList() << u"「配信＆再起動」で行ってください"_s;
    QTest::newRow("terminate") << QStringList{u"terminate"_s, u"pc-b.invalid"_s} << u"b"_s << 0
                               << QStringList{u"pc-b.invalid\tOK\tエージェント終了！"_s} << QString();
    QTest::newRow("nobody listens on the port")
        << QStringList{u"--port"_s, port, u"--timeout"_s, u"2"_s, u"log"_s, u"pc-a.invalid"_s} << QString()
        << 1 << QStringList() << u"接続できませんでした！"_s;
    QTest::newRow("unknown command") << QStringList{u"reboot"_s, u"pc-a.invalid"_s} << QString() << 2
                                     << QStringList() << u"usage:"_s;
    QTest::newRow("set without a value") << QStringList{u"set"_s, u"pc-a.invalid"_s, u"TarvoAgent"_s}
                                         << QString() << 2 << QStringList() << u"usage:"_s;
    QTest::newRow("unknown group") << QStringList{u"restart"_s, u"@Office"_s} << QString() << 2
                                   << QStringList() << u"unknown group: Office"_s;
    QTest::newRow("MaxControl 0") << QStringList{u"--max-control"_s, u"0"_s, u"collect"_s, u"pc-a.invalid"_s}
                                  << QString() << 2 << QStringList()
                                  << u"最大同時接続数は1～1000の数値で指定してください。"_s;
    QTest::newRow("a time-out that is no number")
        << QStringList{u"--timeout"_s, u"soon"_s, u"params"_s, u"pc-a.invalid"_s} << QString() << 2
        << QStringList() << u"タイムアウト値（秒）は1～86400の数値で指定してください。"_s;
}

void TestConsoleCli::commands()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, touches);
    QFETCH(int, exitStatus);
    QFETCH(QStringList, output);
    QFETCH(QString, error);

    // Each agent listens again after a session; a command goes out only once it does.
    for (int i = 0; i < 2; ++i) {
        if (m_agents[i]->isRunning())
            QVERIFY(m_agents[i]->waitForLineCount(m_agents[i]->listeningText(), m_sessions[i] + 1));
    }
    QProcess console;
    console.setWorkingDirectory(m_console.path());
    console.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  QStringList{u"--folder"_s, m_console.path()} + arguments);
    QVERIFY(console.waitForFinished(30000));
    const QString out = QString::fromUtf8(console.readAllStandardOutput());
    const QString err = QString::fromUtf8(console.readAllStandardError());
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), exitStatus);
    const QStringList lines = out.split(u'\n');
    for (const QString &line : output)
        QVERIFY2(!lines.filter(line).isEmpty(), qPrintable(out));
    QVERIFY2(err.contains(error), qPrintable(err));
    for (int i = 0; i < 2; ++i)
        m_sessions[i] += touches.contains(QLatin1Char('a' + i));

    if (qstrcmp(QTest::currentDataTag(), "set") == 0) {
        QVERIFY(m_folders[0]->iniBytes().contains("StatusLog=300\r\n"));
        QVERIFY(m_folders[0]->iniBytes().contains(cp932(u"Subject=件名\r\n"_s)));
    } else if (qstrcmp(QTest::currentDataTag(), "distribute") == 0) {
        for (const auto &folder : m_folders)
            QCOMPARE(folder->readFile(u"配布.txt"_s), cp932(u"配布する中身\r\n"_s));
    } else if (qstrcmp(QTest::currentDataTag(), "terminate") == 0) {
        QVERIFY(m_agents[1]->waitForExit());
    }
}

QTEST_GUILESS_MAIN(TestConsoleCli)
#include "tst_consolecli.moc"
