// The network tree over its sources: the inventory file, the database, and the scan against a
// real agent; lazy filling, placeholders, ticking into a result list.
#include "console/network/databasesource.h"
#include "console/network/inventorysource.h"
#include "console/network/networkscan.h"
#include "console/network/networktree.h"
#include "console/batch/resultlist.h"
#include "console/network/scansource.h"
#include "db/database.h"
#include "support/agentprocess.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int ComputersPerGroup = 400;

// A tree with an inventory of two groups (one computer in both) and a database of three rows.
struct Fleet
{
    QTemporaryDir dir;
    InventorySource *inventory = nullptr;
    DatabaseSource *database = nullptr;
    std::unique_ptr<NetworkTree> tree;

    Fleet()
    {
        QByteArray ini = "[Scan]\r\nRanges=127.0.0.0/30\r\n[営業]\r\nshared=127.0.0.9\r\n";
        for (int i = 0; i < ComputersPerGroup; ++i)
            ini += "pc" + QByteArray::number(i) + "=10.0.0." + QByteArray::number(i % 250) + "\r\n";
        ini += "[Lab]\r\nshared=\r\nlab1=\r\n";
        QFile file(dir.filePath(u"TarvoNetwork.ini"_s));
        file.open(QIODevice::WriteOnly);
        file.write(cp932(QString::fromUtf8(ini)));
        file.close();
        QFile(dir.filePath(u"inv.sqlite"_s)).open(QIODevice::WriteOnly); // an empty database
        Database db(dir.path());
        db.open(u"Provider=SQLite;Data Source=inv.sqlite"_s);
        db.execute(u"CREATE TABLE TarvoInfo (SysMACAddress TEXT, SysMicrosoftNetwork TEXT, "
                   "SysComputerName TEXT, SysIPAddress TEXT)"_s);
        db.execute(u"INSERT INTO TarvoInfo VALUES ('A', 'WORKGROUP', 'alpha', '127.0.0.5'), "
                   "('B', 'WORKGROUP', 'beta', ''), ('C', '', 'gamma', '127.0.0.7')"_s);
        db.close();
        inventory = new InventorySource(dir.filePath(u"TarvoNetwork.ini"_s));
        database = new DatabaseSource(u"Provider=SQLite;Data Source=inv.sqlite"_s,
                                      u"TarvoInfo"_s, dir.path());
        tree = std::make_unique<NetworkTree>(QList<NetworkSource *>{inventory, database});
        inventory->setParent(tree.get());
        database->setParent(tree.get());
    }

    QStringList texts(const QString &key) const
    {
        QStringList result;
        for (const QString &child : tree->node(key)->children)
            result.append(tree->node(child)->text);
        return result;
    }
};
} // namespace

class TestNetworkTree : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lazyFillingAndTicks();
    void tickingFillsFirst();
    void scanFindsOnlyAgentsGently();
};

void TestNetworkTree::tickingFillsFirst()
{
    // A group never expanded is filled when ticked: its computers arrive ticked and become rows,
    // so that the list holds what the ticks show.
    Fleet fleet;
    fleet.tree->buildFirstLevel();
    QSignalSpy arrived(fleet.tree.get(), &NetworkTree::ticksAdded);
    QStringList changed = fleet.tree->tick(u"TarvoNetwork.ini"_s, true);
    for (const QList<QVariant> &signal : std::as_const(arrived))
        changed += signal.at(0).toStringList();
    ResultList list(ResultList::func2Columns());
    QVERIFY(list.applyTicks(fleet.tree->computerTicks(changed)).rowAdded);
    QCOMPARE(list.rowCount(), ComputersPerGroup + 2);
    QVERIFY(fleet.tree->node(u"TarvoNetwork.ini|Lab|\\\\lab1"_s)->ticked);
    QCOMPARE(fleet.tree->tickedComputers().size(), ComputersPerGroup + 2);
    QCOMPARE(fleet.tree->tickedComputers().last(), u"lab1"_s);

    // Unticking one group leaves the other's computers ticked.
    fleet.tree->tick(u"TarvoNetwork.ini|営業"_s, false);
    QCOMPARE(fleet.tree->tickedComputers(), (QStringList{u"shared"_s, u"lab1"_s}));
}

void TestNetworkTree::lazyFillingAndTicks()
{
    Fleet fleet;
    QSignalSpy addresses(fleet.tree.get(), &NetworkTree::addressKnown);
    QSignalSpy removed(fleet.tree.get(), &NetworkTree::nodeRemoved);
    fleet.tree->buildFirstLevel();
    QCOMPARE(fleet.tree->node(u"_ROOT"_s)->text, u"ネットワーク全体"_s);
    QCOMPARE(fleet.texts(u"_ROOT"_s), (QStringList{u"TarvoNetwork.ini"_s, u"データベース"_s}));
    QCOMPARE(fleet.texts(u"TarvoNetwork.ini"_s), QStringList{u"FAKE"_s});
    QCOMPARE(fleet.tree->node(u"TarvoNetwork.ini"_s)->tag, u"N"_s);

    fleet.tree->expand(u"TarvoNetwork.ini"_s);
    QCOMPARE(removed.takeFirst().at(0).toString(), u"TarvoNetwork.ini_FAKE"_s);
    QCOMPARE(fleet.texts(u"TarvoNetwork.ini"_s), (QStringList{u"営業"_s, u"Lab"_s}));
    QCOMPARE(fleet.tree->node(u"TarvoNetwork.ini"_s)->tag, u"Y"_s);
    QCOMPARE(fleet.tree->node(u"TarvoNetwork.ini|Lab"_s)->image, u"group"_s);
    fleet.tree->expand(u"TarvoNetwork.ini"_s); // a second expansion enumerates nothing again
    QCOMPARE(fleet.texts(u"TarvoNetwork.ini"_s).size(), 2);

    fleet.tree->expand(u"TarvoNetwork.ini|営業"_s);
    fleet.tree->expand(u"TarvoNetwork.ini|Lab"_s);
    const QStringList sales = fleet.texts(u"TarvoNetwork.ini|営業"_s);
    QCOMPARE(sales.size(), ComputersPerGroup + 1);
    QCOMPARE(sales.first(), u"shared"_s);
    QCOMPARE(fleet.texts(u"TarvoNetwork.ini|Lab"_s), (QStringList{u"shared"_s, u"lab1"_s}));
    const TreeNode *pc = fleet.tree->node(u"TarvoNetwork.ini|営業|\\\\pc7"_s);
    QVERIFY(pc);
    QCOMPARE(pc->image, u"server"_s);
    QVERIFY(pc->children.isEmpty()); // computers are leaves, without placeholder
    QVERIFY(addresses.contains(QVariantList{u"pc7"_s, u"10.0.0.7"_s}));
    QVERIFY(addresses.contains(QVariantList{u"shared"_s, u"127.0.0.9"_s}));

    // Ticking the whole inventory: one row per computer, "shared" once, never "FAKE".
    ResultList list(ResultList::func2Columns());
    const auto ticks = [&fleet](const QString &key, bool ticked) {
        return fleet.tree->computerTicks(fleet.tree->tick(key, ticked));
    };
    auto effect = list.applyTicks(ticks(u"TarvoNetwork.ini"_s, true));
    QVERIFY(effect.rowAdded);
    QCOMPARE(list.rowCount(), ComputersPerGroup + 2);
    QCOMPARE(list.rows().first().first(), u"shared"_s);
    QCOMPARE(list.rows().last().first(), u"lab1"_s);
    // Unticking one group removes its rows (the shared name's first row goes with it).
    effect = list.applyTicks(ticks(u"TarvoNetwork.ini|Lab"_s, false));
    QCOMPARE(list.rowCount(), ComputersPerGroup);
    QVERIFY(!effect.listEmptied);
    effect = list.applyTicks(ticks(u"TarvoNetwork.ini"_s, false));
    QVERIFY(effect.listEmptied);

    // The database groups by network name; a row without one still shows.
    fleet.tree->expand(u"データベース"_s);
    QVERIFY2(fleet.database->failureText().isEmpty(), qPrintable(fleet.database->failureText()));
    QCOMPARE(fleet.texts(u"データベース"_s), (QStringList{u"(なし)"_s, u"WORKGROUP"_s}));
    fleet.tree->expand(u"データベース|WORKGROUP"_s);
    QCOMPARE(fleet.texts(u"データベース|WORKGROUP"_s), (QStringList{u"alpha"_s, u"beta"_s}));
    QVERIFY(addresses.contains(QVariantList{u"alpha"_s, u"127.0.0.5"_s}));
    QVERIFY(fleet.database->failureText().isEmpty());
}

void TestNetworkTree::scanFindsOnlyAgentsGently()
{
    // A real agent on 127.0.0.1 and a listener on 127.0.0.2 that takes the connection but never
    // answers; a /24 of loopback addresses around them.
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress(u"127.0.0.2"_s), folder.port()));
    QByteArray silentBytes;
    connect(&silent, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *peer = silent.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, this, [&, peer] { silentBytes += peer->readAll(); });
    });

    const auto range = ScanRange::parse(u"127.0.0.0/24"_s);
    QVERIFY(range);
    QCOMPARE(range->count(), 254u);
    QVERIFY(!ScanRange::parse(u"10.0.0.0/8"_s)); // too wide for a gentle scan
    NetworkScan scan(*range, folder.port(), 1500);
    QSignalSpy finished(&scan, &NetworkScan::finished);
    scan.start();
    QVERIFY(scan.isRunning()); // the caller got control back at once
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toStringList(), QStringList{u"127.0.0.1"_s});
    QCOMPARE(scan.peakConnections(), NetworkScan::MaxConnections);
    QCOMPARE(silentBytes, rawFrame(900, "\r\n")); // the end request and nothing else

    // The same through the tree: the range's node fills with the computer found.
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(u"TarvoNetwork.ini"_s));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Scan]\r\nRanges=127.0.0.0/30, bad, 127.0.0.2\r\n");
    }
    auto *source = new ScanSource(dir.filePath(u"TarvoNetwork.ini"_s), folder.port(), 1500);
    NetworkTree tree({source});
    source->setParent(&tree);
    tree.buildFirstLevel();
    tree.expand(u"ネットワークスキャン"_s);
    QCOMPARE(tree.node(u"ネットワークスキャン"_s)->children,
             (QStringList{u"ネットワークスキャン|127.0.0.0/30"_s,
                          u"ネットワークスキャン|127.0.0.2"_s}));
    QSignalSpy added(&tree, &NetworkTree::nodesAdded);
    tree.expand(u"ネットワークスキャン|127.0.0.0/30"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!tree.node(u"ネットワークスキャン|127.0.0.0/30"_s)->children.isEmpty(),
                             10000);
    const TreeNode *found =
        tree.node(tree.node(u"ネットワークスキャン|127.0.0.0/30"_s)->children.first());
    QCOMPARE(found->text, u"127.0.0.1"_s);
    QCOMPARE(found->image, u"server"_s);
}

QTEST_GUILESS_MAIN(TestNetworkTree)
#include "tst_networktree.moc"
