// The agent's restart and self-update across the real TarvoAgent and TarvoUtil in a temporary
// program folder on 127.0.0.1, driven by raw frames as a console sends them.
#include "e2e/selfupdatefolder.h"

using namespace SelfUpdate;

class TestSelfUpdate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restart_data();
    void restart();
    void restartWithoutUpdaterFails();
    void terminateEndsAgent();
    void agentThatDoesNotEndIsLeftAlone();
};

void TestSelfUpdate::restart_data()
{
    QTest::addColumn<QList<int>>("requests"); // 500, 130 or 510, in order
    QTest::addColumn<bool>("distributed");    // TarvoAgent.new holds the new program
    QTest::addColumn<bool>("removeNew");      // ... but it is gone before the restart
    QTest::addColumn<QByteArray>("lastReply");

    QTest::newRow("130 restarts the agent") << QList<int>{130} << false << false << "131"_ba;
    QTest::newRow("500 then 130 installs the program")
        << QList<int>{500, 130} << true << false << "131"_ba;
    QTest::newRow("510 installs the program") << QList<int>{510} << true << false << "511"_ba;
    QTest::newRow("update without the new file restarts the old agent")
        << QList<int>{500, 130} << true << true << "131"_ba;
}

void TestSelfUpdate::restart()
{
    QFETCH(QList<int>, requests);
    QFETCH(bool, distributed);
    QFETCH(bool, removeNew);
    QFETCH(QByteArray, lastReply);

    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.startAgent());
    const qint64 oldPid = folder.agentPid();
    QCOMPARE(oldPid, folder.firstAgent().processId());

    QByteArray reply;
    for (int code : requests) {
        if (code == 130 && removeNew)
            QVERIFY(QFile::remove(folder.file(u"TarvoAgent.new"_s)));
        const QByteArray request =
            code == 130 ? rawFrame(130, {}) : fileRequest(code, "TarvoAgent", folder.distributedAgent());
        Console console;
        QVERIFY(console.connectTo(folder.port()));
        reply = codeOf(console.exchange(request));
        if (code == 500) {
            QCOMPARE(reply, "501"_ba);
            QVERIFY(console.end());
        } else {
            QVERIFY(console.closedByPeer());
        }
    }
    QCOMPARE(reply, lastReply);

    // The old agent ends by itself after its reply; a new one answers on the same port.
    QVERIFY(folder.firstAgent().waitForFinished(Bound));
    QCOMPARE(folder.firstAgent().exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(folder.answers(), Bound);
    const qint64 newPid = folder.agentPid();
    QVERIFY(newPid > 0);
    QVERIFY(newPid != oldPid);
    // Its status log starts afresh.
    const QString log = folder.statusLog();
    QVERIFY(log.contains(u"受信(400)"_s));
    // Without UpdateKeyFile the agent says once that it lets any program in.
    QCOMPARE(log.count(u"更新プログラムの署名は確認されません。(UpdateKeyFile未設定)"_s), 1);
    for (const QString &earlier : {u"受信(130)"_s, u"受信(500)"_s, u"受信(510)"_s})
        QVERIFY2(!log.contains(earlier), qPrintable(log));

    const bool installed = distributed && !removeNew;
    const QByteArray running = installed ? folder.distributedAgent() : folder.agentBytes();
    QCOMPARE(runningProgram(newPid), running);
    QCOMPARE(readFile(folder.file(Agent)), running);
    QVERIFY(QFileInfo(folder.file(Agent)).isExecutable());
    QStringList expectedFiles{Agent, u"TarvoAgent.ini"_s, Updater, u"agent.out"_s};
    if (installed) {
        // The backup carries the old program's date; the distributed file stays.
        QCOMPARE(readFile(folder.file(u"TarvoAgent.07032004"_s)), folder.agentBytes());
        QCOMPARE(readFile(folder.file(u"TarvoAgent.new"_s)), folder.distributedAgent());
        expectedFiles << u"TarvoAgent.07032004"_s << u"TarvoAgent.new"_s;
    }
    expectedFiles.sort();
    QCOMPARE(folder.files(), expectedFiles);
}

void TestSelfUpdate::restartWithoutUpdaterFails()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFile::remove(folder.file(Updater)));
    QVERIFY(folder.startAgent());

    {
        Console console;
        QVERIFY(console.connectTo(folder.port()));
        const auto reply =
            console.exchange(fileRequest(510, "TarvoAgent", folder.distributedAgent()));
        QVERIFY(reply.has_value());
        QCOMPARE(*reply, rawFrame(512, CodePage::toAnsi(u"再起動に失敗しました。"_s)));
    } // the console leaves without 900
    // The agent stays, so the PC keeps an agent and serves the next console; the distributed
    // program waits for the next restart.
    QVERIFY(folder.answers());
    QCOMPARE(folder.firstAgent().state(), QProcess::Running);
    QCOMPARE(readFile(folder.file(Agent)), folder.agentBytes());
    QCOMPARE(readFile(folder.file(u"TarvoAgent.new"_s)), folder.distributedAgent());
}

void TestSelfUpdate::terminateEndsAgent()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.startAgent());

    QCOMPARE(QProcess::execute(folder.file(Updater), {u"terminate"_s, Agent}), 0);
    QVERIFY(folder.firstAgent().waitForFinished(Bound));
    QCOMPARE(folder.firstAgent().exitStatus(), QProcess::CrashExit); // ended by force
    QVERIFY(!folder.answers());
}

void TestSelfUpdate::agentThatDoesNotEndIsLeftAlone()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.write(u"TarvoAgent.new"_s, folder.distributedAgent(), false));
    QVERIFY(folder.startAgent());
    const qint64 pid = folder.agentPid();
    QVERIFY(folder.write(Updater, readFile(QStringLiteral(TARVO_SHORTLIMITUPDATER)), true));

    // The agent was not asked to end: the updater gives up when its time is up.
    QProcess updater;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TARVO_UPDATER_LIMIT_MS"_s, u"300"_s);
    updater.setProcessEnvironment(environment);
    updater.start(folder.file(Updater), {u"update"_s, Agent, Agent, u"TarvoAgent.new"_s});
    QVERIFY(updater.waitForFinished(Bound));

    QVERIFY(folder.answers());
    QCOMPARE(folder.agentPid(), pid);
    QCOMPARE(folder.firstAgent().state(), QProcess::Running);
    QCOMPARE(readFile(folder.file(Agent)), folder.agentBytes());
    QCOMPARE(folder.files(), (QStringList{Agent, u"TarvoAgent.ini"_s, u"TarvoAgent.new"_s, Updater,
                                          u"agent.out"_s}));
}

QTEST_GUILESS_MAIN(TestSelfUpdate)
#include "tst_selfupdate.moc"
