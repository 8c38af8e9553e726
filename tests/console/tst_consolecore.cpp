// The console's core as a face sees it: what it shows reaches the attached face, the tree's
// addresses reach the name table, a saved Port is reread, closing ends the workers.
#include "console/connection/agentconnection.h"
#include "console/batch/batchrun.h"
#include "console/consolecore.h"
#include "console/network/networktree.h"
#include "support/scriptedagent.h"
#include "support_console.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

/// A console folder with TarvoControl.ini (Port `port`) and TarvoNetwork.ini.
struct ConsoleFolder
{
    explicit ConsoleFolder(quint16 port)
    {
        writeSettings(port);
        writeFile(dir.filePath(u"TarvoNetwork.ini"_s), "[room]\r\npc1.invalid=127.0.3.49\r\n");
    }
    void writeSettings(quint16 port)
    {
        writeFile(dir.filePath(u"TarvoControl.ini"_s),
                  "[TarvoControl]\r\nPort=" + QByteArray::number(port)
                      + "\r\nTimeout=30\r\nMaxControl=2\r\n");
    }
    QTemporaryDir dir;
};

} // namespace

class tst_ConsoleCore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void faceSeesWhatTheCoreShows();
    void treeAddressesReachTheNameTable();
    void savedPortIsReread();
    void closeEndsTheWorkers();
};

void tst_ConsoleCore::faceSeesWhatTheCoreShows()
{
    ConsoleCore core(ConsoleCore::CommandLineWorkerDelayMs);
    RecordingFrontEnd face;
    core.attach(&face);
    QVERIFY(core.connection().InitSockets());
    const QStringList shown{u"ソケットを初期化しています･･･"_s, u"ソケットの初期化が完了しました！"_s};
    QCOMPARE(face.statuses, shown);
    core.attach(nullptr); // the face is gone: nothing reaches it any more
    QVERIFY(core.connection().InitSockets());
    QCOMPARE(face.statuses, shown);
}

void tst_ConsoleCore::treeAddressesReachTheNameTable()
{
    ConsoleFolder folder(7710);
    ConsoleCore core(ConsoleCore::WindowWorkerDelayMs);
    core.open(folder.dir.path());
    NetworkTree &tree = core.tree();
    tree.buildFirstLevel();
    tree.expand(u"TarvoNetwork.ini"_s);
    QTRY_VERIFY(tree.node(u"TarvoNetwork.ini|room"_s));
    tree.expand(u"TarvoNetwork.ini|room"_s);
    QTRY_COMPARE(core.names().address(u"pc1.invalid"_s), u"127.0.3.49"_s);
}

void tst_ConsoleCore::savedPortIsReread()
{
    ConsoleFolder folder(7710);
    ConsoleCore core(ConsoleCore::WindowWorkerDelayMs);
    core.open(folder.dir.path());
    QCOMPARE(core.settings().Port, u"7710"_s);
    folder.writeSettings(7720); // as the settings dialog saves it
    core.rereadPort();
    QCOMPARE(core.settings().Port, u"7720"_s);
}

void tst_ConsoleCore::closeEndsTheWorkers()
{
    ScriptedAgent silent(u"127.0.3.48"_s); // takes the request and never answers
    QVERIFY(silent.isListening());
    ConsoleFolder folder(silent.port());
    ConsoleCore core(ConsoleCore::CommandLineWorkerDelayMs);
    core.open(folder.dir.path());
    RecordingFrontEnd face;
    core.attach(&face);
    QVERIFY(core.batch().start({u"127.0.3.48"_s}, 140));
    QTRY_COMPARE(silent.requestCodes(), QList<int>{140});
    core.close();
    QTRY_COMPARE(silent.openConnections(), 0);
    QVERIFY(!core.batch().isRunning());
    QCOMPARE(face.statuses.last(), u"ソケットリソースが解放されました！"_s);
}

QTEST_GUILESS_MAIN(tst_ConsoleCore)
#include "tst_consolecore.moc"
