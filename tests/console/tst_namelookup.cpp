// Names looked up through a plugged resolver: batches over names that the resolver answers
// slowly, late or never, the fallback on the inventory's address, one lookup per name per run,
// and the single connection on the same path. Stand-in agents on 127.0.6.x.
#include "console/connection/agentconnection.h"
#include "console/batch/batchrun.h"
#include "console/connection/nametable.h"
#include "net/hostresolver.h"
#include "pluggedresolver.h"
#include "support/agentprocess.h"
#include "support/scriptedagent.h"
#include "support_console.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Agent1 = u"127.0.6.1"_s;
const QString Agent2 = u"127.0.6.2"_s;
const QString Nobody = u"127.0.6.9"_s; // nobody listens here

using Rows = QList<QStringList>;       // per host: result, status
using Answers = QMap<QString, QString>; // name -> "address[/delay ms]", "never"

const QStringList Collected = {u"OK"_s, u"情報収集プログラム実行！"_s};
const QStringList TimedOut = {u"NG"_s, u"タイムアウト！"_s};
const QStringList NotConnected = {u"NG"_s, u"接続中･･･"_s};

void plug(PluggedResolver &resolver, const Answers &answers, int delayMs)
{
    resolver.unknownDelayMs = delayMs;
    for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
        if (it.value() == u"never") {
            resolver.answer(it.key(), {QString(), -1});
            continue;
        }
        const QStringList parts = it.value().split(u'/');
        resolver.answer(it.key(), {parts[0], parts.size() > 1 ? parts[1].toInt() : delayMs});
    }
}

} // namespace

class TestNameLookup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void batch_data();
    void batch();
    void single_data();
    void single();
    void systemResolver();

private:
    quint16 m_port = 0;
    std::unique_ptr<ScriptedAgent> m_agent1;
    std::unique_ptr<ScriptedAgent> m_agent2;
};

void TestNameLookup::initTestCase()
{
    m_port = freeLoopbackPort();
    m_agent1 = std::make_unique<ScriptedAgent>(Agent1, m_port);
    m_agent2 = std::make_unique<ScriptedAgent>(Agent2, m_port);
    QVERIFY(m_agent1->isListening() && m_agent2->isListening());
    for (ScriptedAgent *agent : {m_agent1.get(), m_agent2.get()}) {
        agent->on(140, {{rawFrame(141, "\r\n")}, false});
        agent->on(400, {{rawFrame(401, "log\r\n")}, false});
    }
}

void TestNameLookup::batch_data()
{
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<int>("maxControl");
    QTest::addColumn<int>("delayMs");     // of every answer without its own
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<Answers>("inventory"); // name -> address, as TarvoNetwork.ini gives it
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<QStringList>("asked"); // names given to the resolver, sorted
    QTest::addColumn<int>("peakUnderWay");  // lookups under way at once; -1: not checked

    // 100 names, 50 slots, 200 ms a lookup: all 50 slots look up at once, so the run takes
    // about two rounds of lookups, not a hundred.
    QStringList hundred;
    Answers toAgent;
    Rows allCollected;
    for (int i = 0; i < 100; ++i) {
        const QString name = u"pc%1"_s.arg(i, 3, 10, QChar(u'0'));
        hundred.append(name);
        toAgent.insert(name, i % 2 ? Agent1 : Agent2);
        allCollected << Collected;
    }
    QTest::newRow("100 names, 50 slots, 200 ms lookups")
        << hundred << 50 << 200 << toAgent << Answers() << allCollected << hundred << 50;

    // Workers that want the same name at once share its one lookup.
    QTest::newRow("a name listed again")
        << QStringList{u"pc-a"_s, u"PC-A"_s, u"pc-a"_s, u"pc-b"_s} << 4 << 100
        << Answers{{u"pc-a"_s, Agent1}, {u"pc-b"_s, Agent2}} << Answers()
        << Rows{Collected, Collected, Collected, Collected} << QStringList{u"pc-a"_s, u"pc-b"_s}
        << 2;

    // A name never answered ends its worker at the time-out; a late answer is dropped; the
    // other slot goes on meanwhile.
    QTest::newRow("never and late")
        << QStringList{u"hangs"_s, u"late"_s, u"pc-a"_s, u"pc-b"_s} << 2 << 50
        << Answers{{u"hangs"_s, u"never"_s}, {u"late"_s, Agent1 + u"/2500"_s},
                   {u"pc-a"_s, Agent1}, {u"pc-b"_s, Agent2}}
        << Answers() << Rows{TimedOut, TimedOut, Collected, Collected}
        << QStringList{u"hangs"_s, u"late"_s, u"pc-a"_s, u"pc-b"_s} << -1;

    // The resolver first; the inventory's address only for a name it does not know; a dotted
    // address as it stands.
    QTest::newRow("fallback order")
        << QStringList{u"known"_s, u"inventoried"_s, Agent2, u"nowhere"_s} << 4 << 20
        << Answers{{u"known"_s, Agent1}}
        << Answers{{u"known"_s, Nobody}, {u"inventoried"_s, Agent2}}
        << Rows{Collected, Collected, Collected, NotConnected}
        << QStringList{u"inventoried"_s, u"known"_s, u"nowhere"_s} << -1;
}

void TestNameLookup::batch()
{
    QFETCH(QStringList, hosts);
    QFETCH(int, maxControl);
    QFETCH(int, delayMs);
    QFETCH(Answers, answers);
    QFETCH(Answers, inventory);
    QFETCH(Rows, expected);
    QFETCH(QStringList, asked);
    QFETCH(int, peakUnderWay);

    PluggedResolver resolver;
    plug(resolver, answers, delayMs);
    NameTable names(&resolver);
    for (auto it = inventory.cbegin(); it != inventory.cend(); ++it)
        names.add(it.key(), it.value());
    const ConsoleSettings settings = testSettings(m_port, 1, maxControl);
    RecordingFrontEnd frontEnd;
    BatchRun batch(settings, names, frontEnd, 0);
    // The event thread stays free: a timer keeps firing while lookups are under way.
    QTimer ticker;
    int ticks = 0;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(50);
    const int connectionsBefore = m_agent1->connectionCount() + m_agent2->connectionCount();
    QSignalSpy finished(&batch, &BatchRun::finished);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(batch.start(hosts, 140));
    QVERIFY(finished.wait(60000));
    const qint64 elapsed = clock.elapsed();

    Rows rows;
    for (const BatchResult &row : batch.rows())
        rows.append({row.result, row.status});
    QCOMPARE(rows, expected);
    QStringList sortedAsked = resolver.asked;
    sortedAsked.sort();
    QCOMPARE(sortedAsked, asked);
    QCOMPARE(batch.lookups(), asked.size());
    if (peakUnderWay >= 0)
        QCOMPARE(resolver.peakUnderWay, peakUnderWay);
    // One lookup after another would take names × delay; generous, a check of the shape only.
    QVERIFY2(elapsed < qint64(asked.size()) * delayMs / 4 + 2000,
             qPrintable(QString::number(elapsed)));
    QVERIFY(ticks >= int(elapsed / 50) / 2);

    // A late answer reaches no worker: no connection follows it.
    const int connected = int(std::count(expected.begin(), expected.end(), Collected));
    QTRY_COMPARE(m_agent1->connectionCount() + m_agent2->connectionCount() - connectionsBefore,
                 connected);
    if (answers.contains(u"late"_s)) {
        QSignalSpy requests(m_agent1.get(), &ScriptedAgent::requestReceived);
        QTRY_COMPARE_WITH_TIMEOUT(resolver.underWay, 0, 5000);
        QVERIFY(!requests.wait(500));
    }
}

void TestNameLookup::single_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<int>("replyCode");
    QTest::addColumn<QString>("status"); // the start of the last status text

    QTest::newRow("slow name") << u"slow"_s << Answers{{u"slow"_s, Agent1 + u"/300"_s}} << 401
                               << u"稼動ログを表示しました！"_s;
    QTest::newRow("never answered") << u"hangs"_s << Answers{{u"hangs"_s, u"never"_s}} << 0
                                    << u"タイムアウトしました！"_s;
    QTest::newRow("unknown, 200 ms") << u"unknown"_s << Answers() << 0
                                     << u"接続できませんでした！"_s;
}

void TestNameLookup::single()
{
    QFETCH(QString, host);
    QFETCH(Answers, answers);
    QFETCH(int, replyCode);
    QFETCH(QString, status);

    PluggedResolver resolver;
    plug(resolver, answers, 200);
    NameTable names(&resolver);
    const ConsoleSettings settings = testSettings(m_port, 1);
    RecordingFrontEnd frontEnd;
    AgentConnection connection(settings, names, frontEnd);
    QSignalSpy finished(&connection, &AgentConnection::commandFinished);
    QTimer tick;
    tick.setSingleShot(true);
    QSignalSpy ticked(&tick, &QTimer::timeout);
    tick.start(100);
    // The command returns at once; the window's timers run while the name is looked up.
    QVERIFY(connection.SendCommand(host, 400, {}));
    QVERIFY(finished.wait(10000));
    QCOMPARE(ticked.size(), 1);
    QCOMPARE(finished.first().at(1).toInt(), replyCode);
    QVERIFY2(std::any_of(frontEnd.statuses.cbegin(), frontEnd.statuses.cend(),
                         [&](const QString &text) { return text.startsWith(status); }),
             qPrintable(frontEnd.statuses.join(u'|')));
    QCOMPARE(resolver.asked, QStringList{host});
}

// The system's resolver answers on the event thread from its own threads: /etc/hosts knows
// localhost, and a name under "invalid" is unknown without a query.
void TestNameLookup::systemResolver()
{
    SystemHostResolver resolver;
    resolver.expectConcurrent(SystemHostResolver::MinThreads + 2);
    QSignalSpy answers(&resolver, &HostResolver::lookedUp);
    resolver.lookUp(u"localhost"_s);
    resolver.lookUp(u"pc-01.invalid"_s);
    QTRY_COMPARE(answers.size(), 2);
    QMap<QString, QVariantList> byName;
    for (const QVariantList &answer : answers)
        byName.insert(answer.at(0).toString(), answer);
    QCOMPARE(byName[u"localhost"_s].at(1).toString(), u"127.0.0.1"_s);
    QCOMPARE(byName[u"pc-01.invalid"_s].mid(1), (QVariantList{QString(), 11001}));
    QCOMPARE(resolver.maxThreads(), SystemHostResolver::MinThreads + 2);
    resolver.expectConcurrent(100000);
    QCOMPARE(resolver.maxThreads(), SystemHostResolver::MaxThreads);
}

QTEST_GUILESS_MAIN(TestNameLookup)
#include "tst_namelookup.moc"
