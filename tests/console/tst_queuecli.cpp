// The queue of TarvoControl end to end over real agents: rounds over a group in which one PC is
// off at first and one answers with a failure, usage errors, a distribution whose original
// changes after the job was added, and runs killed in the middle of a round.
#include "support/agentprocess.h"
#include "support_console.h"
#include "support/mariadbserver.h"
#include "support/scriptedagent.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum Pc { A, B, Late, Fail, PcCount };
const char *const Names[PcCount] = {"pc-a.invalid", "pc-b.invalid", "pc-late.invalid", "pc-fail.invalid"};

QString address(int pc)
{
    return u"127.0.5.%1"_s.arg(31 + pc);
}

using Run = CliRun;

} // namespace

class TestQueueCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rounds();
    void distribution();
    void twoRunsAtOnce();
    void wake();
    void sharedQueue();
    void killedRuns();

private:
    Run console(const QStringList &arguments);
    void writeConsoleFile(const QString &name, const QByteArray &bytes);
    int requests(int pc, const QString &code);
    bool waitIdle(int pc, int sessions);

    quint16 m_port = 0;
    QTemporaryDir m_console;
    std::unique_ptr<AgentFolder> m_folders[PcCount];
    std::unique_ptr<AgentProcess> m_agents[PcCount];
    int m_sessions[PcCount] = {};
    QUdpSocket m_wakeListener;
};

void TestQueueCli::initTestCase()
{
    m_port = freeLoopbackPort();
    QByteArray inventory = "[Lab]\r\n";
    for (int pc = 0; pc < PcCount; ++pc) {
        // pc-fail has no collector: its agent answers 140 with the failure reply.
        m_folders[pc] = std::make_unique<AgentFolder>(QMap<QString, QString>{
            {u"Port"_s, QString::number(m_port)}, {u"ListenAddress"_s, address(pc)},
            {u"ExeFile"_s, pc == Fail ? u"missing.sh"_s : u"collect.sh"_s}});
        m_folders[pc]->writeFile(u"collect.sh"_s, "#!/bin/sh\nexit 0\n", true);
        m_agents[pc] = std::make_unique<AgentProcess>(*m_folders[pc]);
        if (pc != Late)
            QVERIFY(m_agents[pc]->start());
        inventory += QByteArray(Names[pc]) + '=' + address(pc).toLatin1() + "\r\n";
    }
    QVERIFY(m_wakeListener.bind(QHostAddress::LocalHost, 0));
    writeConsoleFile(u"TarvoControl.ini"_s,
                     "[TarvoControl]\r\nPort=" + QByteArray::number(m_port)
                         + "\r\nTimeout=5\r\nMaxControl=2\r\nWakeAddress=127.0.0.1\r\nWakePort="
                         + QByteArray::number(m_wakeListener.localPort()) + "\r\n");
    // pc-off: nobody answers there; its MAC is known.
    writeConsoleFile(u"TarvoNetwork.ini"_s,
                     inventory + "[Off]\r\npc-off.invalid=127.0.5.39,00:11:22:33:44:55\r\n");
}

void TestQueueCli::writeConsoleFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_console.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

Run TestQueueCli::console(const QStringList &arguments)
{
    // The folder given relative to the working directory, as a user types it.
    const QFileInfo folder(m_console.path());
    return runConsoleProgram(folder.fileName(), arguments, folder.absolutePath());
}

int TestQueueCli::requests(int pc, const QString &code)
{
    return int(m_agents[pc]->allTexts().filter(u"受信("_s + code + u')').size());
}

bool TestQueueCli::waitIdle(int pc, int sessions)
{
    // The agent listens again once a session is over: then its log is complete.
    m_sessions[pc] += sessions;
    return m_agents[pc]->waitForLineCount(m_agents[pc]->listeningText(), 1 + m_sessions[pc]);
}

void TestQueueCli::rounds()
{
    QCOMPARE(console({u"queue"_s, u"add"_s, u"sing"_s, u"pc-a.invalid"_s}).exitCode, 2);
    const Run badDuration = console({u"queue"_s, u"add"_s, u"collect"_s, u"pc-a.invalid"_s, u"--until"_s,
                                     u"5w"_s});
    QCOMPARE(badDuration.exitCode, 2);
    QVERIFY2(badDuration.err.contains(u"--until needs a duration"_s), qPrintable(badDuration.err));
    QCOMPARE(console({u"queue"_s, u"add"_s, u"collect"_s, u"@Nowhere"_s}).exitCode, 2);
    QCOMPARE(console({u"queue"_s, u"add"_s, u"distribute"_s, u"/no/such/file"_s, u"pc-a.invalid"_s}).exitCode, 2);
    for (const QString &sub : {u"list"_s, u"drop"_s, u"retry"_s}) {
        const Run unknown = console({u"queue"_s, sub, u"7"_s});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY2(unknown.err.contains(u"no job 7 in the queue"_s), qPrintable(unknown.err));
    }

    const Run add = console({u"queue"_s, u"add"_s, u"collect"_s, u"@Lab"_s});
    QCOMPARE(add.exitCode, 0);
    QCOMPARE(add.lines, QStringList{u"1"_s});

    const Run first = console({u"queue"_s, u"run"_s});
    QCOMPARE(first.exitCode, 1);
    QCOMPARE(first.lines.size(), 4);
    QVERIFY(first.lines.contains(u"1\tpc-a.invalid\tdone\t情報収集プログラム実行！"_s));
    QVERIFY(first.lines.contains(u"1\tpc-b.invalid\tdone\t情報収集プログラム実行！"_s));
    QVERIFY(first.lines.filter(u"1\tpc-late.invalid\tpending\t"_s).size() == 1);
    QVERIFY(first.lines.contains(u"1\tpc-fail.invalid\tfailed\t情報収集プログラムの実行失敗！"_s));
    QVERIFY2(first.err.contains(u"queue: 2 done, 1 still pending, 1 failed, 0 expired\n"_s),
             qPrintable(first.err));

    QVERIFY(m_agents[Late]->start());
    const Run second = console({u"queue"_s, u"run"_s});
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(second.lines, QStringList{u"1\tpc-late.invalid\tdone\t情報収集プログラム実行！"_s});
    for (int pc = 0; pc < PcCount; ++pc) {
        QVERIFY(waitIdle(pc, 1));
        QCOMPARE(requests(pc, u"140"_s), 1);
    }

    const Run list = console({u"queue"_s, u"list"_s});
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(list.lines.size(), 1);
    const QStringList job = list.lines.first().split(u'\t');
    QCOMPARE(job.size(), 10);
    QCOMPARE(job.mid(0, 3), (QStringList{u"1"_s, u"collect"_s, QString()}));
    const QDateTime created = QDateTime::fromString(job[3], u"yyyy/MM/dd HH:mm:ss"_s);
    QCOMPARE(QDateTime::fromString(job[4], u"yyyy/MM/dd HH:mm:ss"_s), created.addDays(7));
    QCOMPARE(job.mid(5), (QStringList{u"-"_s, u"3"_s, u"0"_s, u"1"_s, u"0"_s}));
    const Run entries = console({u"queue"_s, u"list"_s, u"1"_s, u"--csv"_s});
    QCOMPARE(entries.lines.size(), 5);
    QCOMPARE(entries.lines[0], u"\"コンピュータ名\",\"状態\",\"ステータス\",\"最終試行\","_s);
    QVERIFY2(entries.lines[4].startsWith(u"\"pc-fail.invalid\",\"failed\",\"情報収集プログラムの実行失敗！\",\""_s),
             qPrintable(entries.lines[4]));

    // A person looked at pc-fail: only it is tried again, and it fails again.
    const Run retry = console({u"queue"_s, u"retry"_s, u"1"_s});
    QCOMPARE(retry.exitCode, 0);
    QVERIFY2(retry.err.contains(u"1 failed computers pending again"_s), qPrintable(retry.err));
    const Run third = console({u"queue"_s, u"run"_s});
    QCOMPARE(third.exitCode, 1);
    QCOMPARE(third.lines, QStringList{u"1\tpc-fail.invalid\tfailed\t情報収集プログラムの実行失敗！"_s});
    QVERIFY(waitIdle(Fail, 1));
    QCOMPARE(requests(Fail, u"140"_s), 2);

    const Run nothing = console({u"queue"_s, u"run"_s});
    QCOMPARE(nothing.exitCode, 0);
    QCOMPARE(nothing.lines, QStringList());
    QVERIFY(console({u"queue"_s, u"drop"_s, u"1"_s}).exitCode == 0);
    QCOMPARE(console({u"queue"_s, u"list"_s}).lines, QStringList());
}

void TestQueueCli::distribution()
{
    QTemporaryDir source;
    const QString path = source.filePath(u"notice.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("as it was when the job was added\r\n");
    file.close();
    const Run add = console({u"queue"_s, u"add"_s, u"distribute"_s, path, u"pc-a.invalid"_s, u"pc-b.invalid"_s,
                             u"--until"_s, u"90s"_s});
    QCOMPARE(add.exitCode, 0);
    QCOMPARE(add.lines.size(), 1);
    const QString job = add.lines.first();
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("changed afterwards\r\n");
    file.close();

    const QStringList listed = console({u"queue"_s, u"list"_s}).lines.filter(job + u'\t');
    QCOMPARE(listed.size(), 1);
    const QStringList fields = listed.first().split(u'\t');
    QCOMPARE(fields.mid(1, 2), (QStringList{u"distribute"_s, path}));
    QCOMPARE(QDateTime::fromString(fields[4], u"yyyy/MM/dd HH:mm:ss"_s),
             QDateTime::fromString(fields[3], u"yyyy/MM/dd HH:mm:ss"_s).addSecs(90));

    const Run run = console({u"queue"_s, u"run"_s});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.contains(job + u"\tpc-a.invalid\tdone\tファイル配信！"_s));
    QVERIFY(run.lines.contains(job + u"\tpc-b.invalid\tdone\tファイル配信！"_s));
    for (int pc : {A, B}) {
        QVERIFY(waitIdle(pc, 1));
        QCOMPARE(m_folders[pc]->readFile(u"notice.txt"_s),
                 QByteArray("as it was when the job was added\r\n"));
    }
    const QString copies = m_console.filePath(u"TarvoQueue.files/"_s + job);
    QVERIFY(QFileInfo::exists(copies + u"/notice.txt"_s));
    QCOMPARE(console({u"queue"_s, u"drop"_s, job}).exitCode, 0);
    QVERIFY(!QFileInfo::exists(copies));
}

void TestQueueCli::twoRunsAtOnce()
{
    const Run add = console({u"queue"_s, u"add"_s, u"collect"_s, u"@Lab"_s});
    QCOMPARE(add.exitCode, 0);
    int before[PcCount];
    for (int pc = 0; pc < PcCount; ++pc)
        before[pc] = requests(pc, u"140"_s);
    QProcess runs[2];
    for (QProcess &run : runs)
        run.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  {u"--folder"_s, m_console.path(), u"--max-control"_s, u"1"_s, u"queue"_s,
                   u"run"_s});
    QStringList tried;
    for (QProcess &run : runs) {
        QVERIFY(run.waitForFinished(60000));
        tried += QString::fromUtf8(run.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Between them the two rounds tried every PC once.
    QCOMPARE(tried.size(), int(PcCount));
    for (int pc = 0; pc < PcCount; ++pc) {
        QVERIFY(waitIdle(pc, 1));
        QCOMPARE(requests(pc, u"140"_s), before[pc] + 1);
    }
    QCOMPARE(console({u"queue"_s, u"list"_s}).lines.filter(add.lines.value(0) + u'\t').value(0)
                 .split(u'\t').mid(6),
             (QStringList{u"3"_s, u"0"_s, u"1"_s, u"0"_s}));
    QCOMPARE(console({u"queue"_s, u"drop"_s, add.lines.value(0)}).exitCode, 0);
}

void TestQueueCli::wake()
{
    // A job with waking sends the magic packet before it tries; the PC that is still off
    // stays pending, which is no failure.
    const Run add = console({u"queue"_s, u"add"_s, u"terminate"_s, u"@Off"_s, u"--wake"_s});
    QCOMPARE(add.exitCode, 0);
    const QString job = add.lines.value(0);
    QVERIFY(console({u"queue"_s, u"list"_s}).lines.filter(job + u'\t').value(0).contains(u"\twake\t"_s));
    const Run run = console({u"queue"_s, u"run"_s});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(m_wakeListener.hasPendingDatagrams() || m_wakeListener.waitForReadyRead(5000));
    QCOMPARE(m_wakeListener.receiveDatagram().data(),
             QByteArray(6, char(0xFF)) + QByteArray::fromHex("001122334455").repeated(16));
    QCOMPARE(run.lines.size(), 1);
    QVERIFY2(run.lines.first().startsWith(job + u"\tpc-off.invalid\tpending\t"_s), qPrintable(run.lines.first()));
    QCOMPARE(console({u"queue"_s, u"drop"_s, job}).exitCode, 0);
}

void TestQueueCli::sharedQueue()
{
    // Two consoles with one queue in MariaDB run their rounds at the same moment over twenty
    // stand-in agents: between them every PC is served, none twice.
    if (!DbTest::MariaDbServer::available())
        QSKIP(qPrintable(DbTest::MariaDbServer::unavailable()));
    DbTest::MariaDbServer server;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    constexpr int StandIns = 20;
    std::unique_ptr<ScriptedAgent> agents[StandIns];
    QByteArray inventory = "[Twenty]\r\n";
    for (int i = 0; i < StandIns; ++i) {
        const QString at = u"127.0.6.%1"_s.arg(i + 1);
        agents[i] = std::make_unique<ScriptedAgent>(at, i == 0 ? 0 : agents[0]->port());
        QVERIFY(agents[i]->isListening());
        agents[i]->on(140, {{rawFrame(141, "\r\n")}, false});
        inventory += "s" + QByteArray::number(i + 1) + '=' + at.toLatin1() + "\r\n";
    }
    const QByteArray ini = "[TarvoControl]\r\nPort=" + QByteArray::number(agents[0]->port())
                           + "\r\nTimeout=5\r\nMaxControl=3\r\nQueueConnection="
                           + server.connection().toLatin1() + "\r\nSqlUserid="
                           + DbTest::User.toLatin1() + "\r\nSqlPassword="
                           + DbTest::Password.toLatin1() + "\r\n";
    QTemporaryDir consoles[2];
    for (QTemporaryDir &folder : consoles) {
        for (const auto &[name, bytes] : {std::pair{u"TarvoControl.ini"_s, ini},
                                          std::pair{u"TarvoNetwork.ini"_s, inventory}}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
    }
    QProcess add;
    add.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
              {u"--folder"_s, consoles[0].path(), u"queue"_s, u"add"_s, u"collect"_s, u"@Twenty"_s});
    QSignalSpy added(&add, &QProcess::finished);
    QVERIFY(added.wait(30000));
    QCOMPARE(add.exitCode(), 0);

    QProcess runs[2];
    QStringList tried;
    for (int c = 0; c < 2; ++c)
        runs[c].start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                      {u"--folder"_s, consoles[c].path(), u"queue"_s, u"run"_s});
    for (QProcess &run : runs) {
        QSignalSpy ended(&run, &QProcess::finished);
        QVERIFY(run.state() == QProcess::NotRunning || ended.wait(60000));
        QCOMPARE(run.exitCode(), 0);
        tried += QString::fromUtf8(run.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    QCOMPARE(tried.size(), StandIns);
    for (int i = 0; i < StandIns; ++i) {
        QTRY_COMPARE(agents[i]->openConnections(), 0);
        QCOMPARE(agents[i]->requestCodes().count(140), 1);
    }
    QProcess list;
    list.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
               {u"--folder"_s, consoles[1].path(), u"queue"_s, u"list"_s});
    QSignalSpy listed(&list, &QProcess::finished);
    QVERIFY(listed.wait(30000));
    const QStringList job = QString::fromUtf8(list.readAllStandardOutput()).trimmed().split(u'\t');
    QCOMPARE(job.mid(6), (QStringList{u"20"_s, u"0"_s, u"0"_s, u"0"_s}));
}

void TestQueueCli::killedRuns()
{
    // Runs over pc-a and pc-b (one slot: pc-a, then pc-b) killed at different moments: at once,
    // as an agent receives its request, and as it answers; then runs left to end. Before each
    // run the test notes what the queue says is done; afterwards nothing noted done was served
    // again, and at the end both are done and were served.
    const QStringList options = {u"--max-control"_s, u"1"_s, u"queue"_s};
    const Run add = console(options + QStringList{u"add"_s, u"collect"_s, u"pc-a.invalid"_s, u"pc-b.invalid"_s});
    QCOMPARE(add.exitCode, 0);
    const QString job = add.lines.value(0);
    const int pcs[2] = {A, B};
    const int start[2] = {requests(A, u"140"_s), requests(B, u"140"_s)};
    struct Kill { int pc; const char16_t *line; };
    const Kill kills[] = {{-1, nullptr}, {0, u"受信(140)"}, {0, u"送信(141)"},
                          {1, u"受信(140)"}, {1, u"送信(141)"}, {-2, nullptr}, {-2, nullptr},
                          {-2, nullptr}};
    QStringList states;
    for (const Kill &kill : kills) {
        states = console({u"queue"_s, u"list"_s, job}).lines;
        QCOMPARE(states.size(), 2);
        bool done[2];
        int served[2];
        for (int i = 0; i < 2; ++i) {
            done[i] = states[i].startsWith(QString::fromLatin1(Names[pcs[i]]) + u"\tdone\t"_s);
            served[i] = requests(pcs[i], u"140"_s);
        }
        if (kill.pc == -2 && done[0] && done[1])
            break;
        // The agents first end the sessions of the run killed before.
        for (const int pc : pcs) {
            QVERIFY(m_agents[pc]->waitForLineCount(
                m_agents[pc]->listeningText(),
                1 + m_agents[pc]->texts().filter(u" 接続されました。"_s).size()));
        }
        const QString line = kill.line ? QString::fromUtf16(kill.line) : QString();
        AgentProcess *agent = kill.pc >= 0 ? m_agents[pcs[kill.pc]].get() : nullptr;
        const qsizetype seen = agent ? agent->texts().filter(line).size() : 0;
        QProcess process;
        process.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                      QStringList{u"--folder"_s, m_console.path()} + options
                          + QStringList{u"run"_s});
        QVERIFY(process.waitForStarted());
        // The moment to kill at; a try that does not get so far is killed when the wait ends.
        if (agent && !done[kill.pc])
            agent->waitForLinesContaining(line, seen + 1, 5000);
        if (kill.pc != -2)
            ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished());
        for (int i = 0; i < 2; ++i) {
            if (done[i])
                QCOMPARE(requests(pcs[i], u"140"_s), served[i]);
        }
    }
    states = console({u"queue"_s, u"list"_s, job}).lines;
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(states.value(i).startsWith(QString::fromLatin1(Names[pcs[i]]) + u"\tdone\t"_s),
                 qPrintable(states.value(i)));
        QVERIFY(requests(pcs[i], u"140"_s) > start[i]);
    }
}

QTEST_GUILESS_MAIN(TestQueueCli)
#include "tst_queuecli.moc"
