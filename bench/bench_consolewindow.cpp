// The console window: start with an inventory of 1,000 computers in 20 groups until the window
// is shown; expanding a group of 1,000 computers; a batch collect over 200 agents with
// MaxControl 50 from the window (one-second worker start included); a scan of a /24 where three
// real agents answer, to the filled node.
//
// The 200 agents are stand-ins in a child process (this program with --responders): each
// address 127.0.1.1-200 answers 140 with 141 and 900 with 901, as an agent does, so that the
// figure is the console's own.
#include "console/batch/batchrun.h"
#include "console/consolecore.h"
#include "console/network/networktree.h"
#include "console/batch/resultlist.h"
#include "console/ui/frmtarvocontrol.h"
#include "console/ui/networktreebinder.h"
#include "net/frame.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int BatchAgents = 200;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

QString consoleFolder(QTemporaryDir &dir, quint16 port, int maxControl, const QByteArray &inventory)
{
    writeFile(dir.filePath(u"TarvoControl.ini"_s),
              "[TarvoControl]\r\nPort=" + QByteArray::number(port) + "\r\nTimeout=10\r\nMaxControl="
                  + QByteArray::number(maxControl) + "\r\n");
    writeFile(dir.filePath(u"TarvoNetwork.ini"_s), inventory);
    return dir.path();
}

template <typename Done> void runUntil(Done done, int ms)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(ms);
    while (!done() && limit.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

// The stand-in agents: one listener per address, a reply per request, close after 901.
int runResponders(quint16 port)
{
    QList<QTcpServer *> servers;
    for (int i = 1; i <= BatchAgents; ++i) {
        auto *server = new QTcpServer;
        if (!server->listen(QHostAddress(u"127.0.1.%1"_s.arg(i)), port))
            return 1;
        QObject::connect(server, &QTcpServer::newConnection, server, [server] {
            QTcpSocket *peer = server->nextPendingConnection();
            auto *assembler = new FrameAssembler;
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, assembler] {
                if (assembler->feed(peer->readAll()) != FrameAssembler::Status::Complete)
                    return;
                const int code = assembler->takeMessage().code;
                peer->write(Frame::encode(code == 900 ? u"901;nnnn;" : u"141;nnnn;"));
                if (code == 900)
                    peer->disconnectFromHost();
            });
            QObject::connect(peer, &QTcpSocket::disconnected, peer, [peer, assembler] {
                delete assembler;
                peer->deleteLater();
            });
        });
        servers.append(server);
    }
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress(u"127.0.1.1"_s), 0);
    return probe.serverPort();
}
} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc == 3 && qstrcmp(argv[1], "--responders") == 0) {
        QCoreApplication app(argc, argv);
        return runResponders(quint16(QByteArray(argv[2]).toUInt()));
    }
    QApplication app(argc, argv);

    // 1. Start with 1,000 computers in 20 groups, to the window shown.
    QTemporaryDir startDir;
    QByteArray inventory;
    for (int g = 0; g < 20; ++g) {
        inventory += "[group" + QByteArray::number(g) + "]\r\n";
        for (int c = 0; c < 50; ++c)
            inventory += "pc" + QByteArray::number(g * 50 + c) + "=10.1." + QByteArray::number(g)
                + "." + QByteArray::number(c + 1) + "\r\n";
    }
    ConsoleCore startCore(ConsoleCore::WindowWorkerDelayMs);
    startCore.open(consoleFolder(startDir, 7710, 50, inventory));
    {
        frmTarvoControl window(startCore);
        window.show();
        QApplication::processEvents();
        std::printf("start to window shown (1,000 computers, 20 groups): %.1f ms\n",
                    sinceStart.nsecsElapsed() / 1e6);
    }

    // 2. Expanding a group of 1,000 computers.
    QTemporaryDir groupDir;
    QByteArray bigGroup = "[all]\r\n";
    for (int c = 0; c < 1000; ++c)
        bigGroup += "pc" + QByteArray::number(c) + "=10.2." + QByteArray::number(c / 250) + "."
            + QByteArray::number(c % 250 + 1) + "\r\n";
    ConsoleCore groupCore(ConsoleCore::WindowWorkerDelayMs);
    groupCore.open(consoleFolder(groupDir, 7710, 50, bigGroup));
    {
        frmTarvoControl window(groupCore);
        window.show();
        window.treeBinder().item(u"TarvoNetwork.ini"_s)->setExpanded(true);
        QApplication::processEvents();
        QTreeWidgetItem *group = window.treeBinder().item(u"TarvoNetwork.ini|all"_s);
        QElapsedTimer expand;
        expand.start();
        group->setExpanded(true);
        QApplication::processEvents();
        std::printf("expanding a group of %d computers: %.1f ms\n", group->childCount(),
                    expand.nsecsElapsed() / 1e6);
    }

    // 3. Batch collect over 200 stand-in agents, MaxControl 50, from the window.
    const quint16 port = freePort();
    QProcess responders;
    responders.start(QCoreApplication::applicationFilePath(),
                     {u"--responders"_s, QString::number(port)});
    if (!responders.waitForReadyRead(10000)) {
        std::puts("batch: the stand-in agents did not start");
        return 1;
    }
    QTemporaryDir batchDir;
    QByteArray fleet = "[fleet]\r\n";
    for (int i = 1; i <= BatchAgents; ++i)
        fleet += "agent" + QByteArray::number(i) + "=127.0.1." + QByteArray::number(i) + "\r\n";
    ConsoleCore batchCore(ConsoleCore::WindowWorkerDelayMs);
    batchCore.open(consoleFolder(batchDir, port, 50, fleet));
    {
        frmTarvoControl window(batchCore);
        window.show();
        window.showPage(2);
        window.treeBinder().item(u"TarvoNetwork.ini"_s)->setExpanded(true);
        QTreeWidgetItem *group = window.treeBinder().item(u"TarvoNetwork.ini|fleet"_s);
        group->setExpanded(true);
        group->setCheckState(0, Qt::Checked);
        QElapsedTimer batch;
        batch.start();
        window.findChild<QPushButton *>(u"cmdFunc20_1"_s)->click();
        runUntil([&] { return !batchCore.batch().isRunning(); }, 120000);
        int ok = 0;
        for (const BatchResult &row : batchCore.batch().rows())
            ok += row.result == u"OK"_s ? 1 : 0;
        std::printf("batch collect, %d agents, MaxControl 50: %.0f ms (%d OK, peak %d workers; "
                    "lower bound 4 rounds of 1 s = 4000 ms)\n",
                    BatchAgents, batch.nsecsElapsed() / 1e6, ok, batchCore.batch().peakWorkers());
    }
    responders.kill();
    responders.waitForFinished();

    // 4. A scan of a /24 where three real agents answer, to the filled node.
    QTemporaryDir scanDir;
    const quint16 scanPort = freePort();
    QList<QProcess *> agents;
    const QString agentProgram = QStringLiteral(TARVO_BIN_DIR) + u"/TarvoAgent"_s;
    for (int n : {10, 20, 30}) {
        const QString folder = scanDir.filePath(u"agent%1"_s.arg(n));
        QDir().mkpath(folder);
        QFile::copy(agentProgram, folder + u"/TarvoAgent"_s);
        writeFile(folder + u"/TarvoAgent.ini"_s,
                  "[TarvoAgent]\r\nPort=" + QByteArray::number(scanPort)
                      + "\r\nTimeOut=60\r\nStatusLog=100\r\nDebugMode=0\r\nAutoStart=0\r\nAutoExit=0\r\n"
                         "TimeStart=WEEK,23:59,\r\nExeFile=collect.sh\r\nListenAddress=127.0.2."
                      + QByteArray::number(n) + "\r\nAllowFrom=127.0.0.1\r\n");
        auto *agent = new QProcess;
        agent->start(folder + u"/TarvoAgent"_s, {u"--headless"_s});
        agent->waitForReadyRead(10000); // its first status line: it listens
        agents.append(agent);
    }
    QTemporaryDir scanConsole;
    ConsoleCore scanCore(ConsoleCore::WindowWorkerDelayMs);
    scanCore.open(
        consoleFolder(scanConsole, scanPort, 50, "[Scan]\r\nRanges=127.0.2.0/24\r\n"));
    {
        frmTarvoControl window(scanCore);
        window.show();
        window.treeBinder().item(u"ネットワークスキャン"_s)->setExpanded(true);
        QTreeWidgetItem *range = window.treeBinder().item(u"ネットワークスキャン|127.0.2.0/24"_s);
        bool filled = false;
        QObject::connect(&scanCore.tree(), &NetworkTree::nodesAdded, &window,
                         [&](const QString &parent) { filled = filled || parent.endsWith(u"/24"_s); });
        QElapsedTimer scan;
        scan.start();
        range->setExpanded(true);
        runUntil([&] { return filled; }, 60000);
        std::printf("scan of 127.0.2.0/24 (3 agents answer): %.0f ms to the filled node, %d found\n",
                    scan.nsecsElapsed() / 1e6, range->childCount());
    }
    for (QProcess *agent : agents) {
        agent->terminate();
        agent->waitForFinished();
        delete agent;
    }
    return 0;
}
