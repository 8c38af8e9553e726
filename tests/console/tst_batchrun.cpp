// Batch runs over five real agents, an address where nobody listens and a scripted agent that
// never answers, with two slots.
#include "console/batch/batchrun.h"
#include "console/batch/batchworker.h"
#include "console/connection/nametable.h"
#include "support/agentprocess.h"
#include "support/scriptedagent.h"
#include "support_console.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

constexpr int AgentCount = 5;
const QString Unreachable = u"127.0.3.16"_s;
const QString Silent = u"127.0.3.17"_s;

QString agentAddress(int i)
{
    return u"127.0.3.%1"_s.arg(11 + i);
}

using Rows = QList<QStringList>; // per host: result, status

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void runs_data();
    void runs();
    void replyBound();

private:
    quint16 m_port = 0;
    std::vector<std::unique_ptr<AgentFolder>> m_folders;
    std::vector<std::unique_ptr<AgentProcess>> m_agents;
    std::vector<int> m_sessions;
    std::vector<int> m_ends; // end requests each agent should have seen
    std::unique_ptr<ScriptedAgent> m_silent;
    QTemporaryDir m_files;
};

void TestBatchRun::initTestCase()
{
    m_port = freeLoopbackPort();
    for (int i = 0; i < AgentCount; ++i) {
        m_folders.push_back(std::make_unique<AgentFolder>(QMap<QString, QString>{
            {u"Port"_s, QString::number(m_port)}, {u"ListenAddress"_s, agentAddress(i)}}));
        m_folders.back()->writeFile(u"collect.sh"_s, "#!/bin/sh\nexit 0\n", true);
        m_agents.push_back(std::make_unique<AgentProcess>(*m_folders.back()));
        QVERIFY(m_agents.back()->start());
        m_sessions.push_back(0);
        m_ends.push_back(0);
    }
    m_silent = std::make_unique<ScriptedAgent>(Silent, m_port);
    QVERIFY(m_silent->isListening());
    QFile file(m_files.filePath(u"配布テスト.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(300000, 'x') + "end\n");
}

void TestBatchRun::runs_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<int>("boxes");

    QStringList all;
    Rows collected, distributed;
    for (int i = 0; i < AgentCount; ++i) {
        all.append(agentAddress(i));
        collected.append({u"OK"_s, u"情報収集プログラム実行！"_s});
        distributed.append({u"OK"_s, u"ファイル配信！"_s});
    }
    const QStringList failing = {u"NG"_s, u"接続中･･･"_s};
    const QStringList silent = {u"NG"_s, u"タイムアウト！"_s};
    QTest::newRow("collect") << 140 << QString() << QStringList(all) + QStringList{Unreachable, Silent}
                             << collected + Rows{failing, silent} << 0;
    QTest::newRow("distribute") << 500 << u"配布テスト.txt"_s
                                << QStringList(all) + QStringList{Unreachable, Silent}
                                << distributed + Rows{failing, silent} << 0;
    QTest::newRow("a vanished file") << 520 << u"消えたファイル.txt"_s
                                     << QStringList{all.first(), Silent}
                                     << Rows{{u"NG"_s, u"接続完了！"_s}, {u"NG"_s, u"接続完了！"_s}}
                                     << 2;
}

void TestBatchRun::runs()
{
    QFETCH(int, code);
    QFETCH(QString, file);
    QFETCH(QStringList, hosts);
    QFETCH(Rows, expected);
    QFETCH(int, boxes);

    // An agent listens again after each session; a run starts only once all of them do.
    for (int i = 0; i < AgentCount; ++i)
        QVERIFY(m_agents[i]->waitForLineCount(m_agents[i]->listeningText(), m_sessions[i] + 1));
    const qsizetype silentRequests = m_silent->requests().size();

    const ConsoleSettings settings = testSettings(m_port, 3, 2);
    NameTable names;
    RecordingFrontEnd frontEnd;
    BatchRun batch(settings, names, frontEnd, 0);
    QList<int> startedRows;
    int mostAtOnce = 0;
    connect(&batch, &BatchRun::workerStarted, this, [&](BatchWorker *worker) {
        startedRows.append(worker->job().row);
        mostAtOnce = qMax(mostAtOnce, batch.activeWorkers());
        QVERIFY(worker->job().slot >= 1 && worker->job().slot <= 2);
    });
    QSignalSpy finished(&batch, &BatchRun::finished);
    QVERIFY(batch.start(hosts, code, file.isEmpty() ? QString() : m_files.filePath(file)));
    QVERIFY(finished.wait(30000));

    Rows rows;
    for (const BatchResult &row : batch.rows())
        rows.append({row.result, row.status});
    QCOMPARE(rows, expected);
    QList<int> inOrder(hosts.size());
    std::iota(inOrder.begin(), inOrder.end(), 0);
    QCOMPARE(startedRows, inOrder);
    QCOMPARE(mostAtOnce, 2);
    QCOMPARE(batch.activeWorkers(), 0);
    QCOMPARE(frontEnd.boxes.size(), boxes);

    for (int i = 0; i < AgentCount; ++i) {
        if (!hosts.contains(agentAddress(i)))
            continue;
        ++m_sessions[i];
        if (expected[i][0] != u"OK")
            continue;
        // What each agent saw: the request, then the end request (141 and 501 leave it up).
        ++m_ends[i];
        const QString received = u"受信("_s + QString::number(code) + u')';
        QTRY_COMPARE(m_agents[i]->texts().filter(received).size(), 1);
        QTRY_COMPARE(m_agents[i]->texts().filter(u"受信(900)"_s).size(), m_ends[i]);
        if (!file.isEmpty())
            QCOMPARE(m_folders[i]->readFile(file), QByteArray(300000, 'x') + "end\n");
    }
    // The silent agent got the request once (or nothing, when the file was gone) and no 900.
    const QList<int> silentCodes = m_silent->requestCodes().mid(silentRequests);
    QCOMPARE(silentCodes, boxes ? QList<int>() : QList<int>{code});
}

// A reply declared beyond the worker's bound fails at its header, before any of it is held; one
// just under the bound is taken; one trickled a byte at a time ends by the time-out, though
// every byte comes well within it.
void TestBatchRun::replyBound()
{
    ScriptedAgent oversized(u"127.0.3.18"_s, m_port);
    ScriptedAgent fitting(u"127.0.3.19"_s, m_port);
    ScriptedAgent trickling(u"127.0.3.20"_s, m_port);
    QVERIFY(oversized.isListening() && fitting.isListening() && trickling.isListening());
    const QByteArray slowReply = rawFrame(141, QByteArray(200, 'x') + "\r\n");
    ScriptedAgent::Script trickle{{slowReply.left(9)}, false};
    for (qsizetype i = 9; i < slowReply.size(); ++i)
        trickle.chunks.append(slowReply.mid(i, 1)); // 200 × 30 ms: twice the time-out
    trickling.on(140, trickle);
    const QByteArray declaresOneMiB("141;\x00\x00\x10\x00;", 9);
    oversized.on(140, {{declaresOneMiB + QByteArray(1000, 'x')}, false});
    fitting.on(140, {{rawFrame(141, QByteArray(BatchWorker::MaxReplyBytes - 9 - 2, 'x') + "\r\n")}, false});
    fitting.on(900, {{rawFrame(901, "\r\n")}, true});

    NameTable names;
    RecordingFrontEnd frontEnd;
    const ConsoleSettings settings = testSettings(m_port, 3, 2); // the run keeps a reference
    BatchRun batch(settings, names, frontEnd, 0);
    QSignalSpy finished(&batch, &BatchRun::finished);
    QVERIFY(batch.start({u"127.0.3.18"_s, u"127.0.3.19"_s, u"127.0.3.20"_s}, 140, {}));
    QVERIFY(finished.wait(30000));
    Rows rows;
    for (const BatchResult &row : batch.rows())
        rows.append({row.result, row.status});
    QCOMPARE(rows, (Rows{{u"NG"_s, u"受信データが大きすぎます！"_s},
                         {u"OK"_s, u"情報収集プログラム実行！"_s},
                         {u"NG"_s, u"タイムアウト！"_s}}));
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
