// The tree's context menu offscreen: "状態を確認" on a group fills the status list window as the
// answers arrive and marks the computer nodes up or down; "Wake-on-LAN" sends the packets.
#include "common/versioninfo.h"
#include "console/consolecore.h"
#include "console/ui/fleettreemenu.h"
#include "console/ui/dialogs/frmfleetstatus.h"
#include "console/ui/frmtarvocontrol.h"
#include "console/ui/networktreebinder.h"
#include "console/ui/windowfrontend.h"
#include "support/agentprocess.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace Qt::Literals::StringLiterals;

class TestFleetWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statusAndWakeFromTheMenu();
};

void TestFleetWindow::statusAndWakeFromTheMenu()
{
    AgentFolder agentFolder(QMap<QString, QString>{{u"ListenAddress"_s, u"127.0.4.51"_s}});
    AgentProcess agent(agentFolder);
    QVERIFY(agent.start());
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress::LocalHost, 0));
    QTemporaryDir console;
    auto write = [&console](const QString &name, const QString &text) {
        QFile file(console.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(cp932(text));
    };
    write(u"TarvoControl.ini"_s,
          u"[TarvoControl]\r\nPort=%1\r\nTimeout=5\r\nMaxControl=2\r\nWakeAddress=127.0.0.1\r\n"
          "WakePort=%2\r\n"_s.arg(agentFolder.port()).arg(listener.localPort()));
    write(u"TarvoNetwork.ini"_s,
          u"[教室]\r\npc-up.invalid=127.0.4.51,00:11:22:33:44:51\r\npc-off.invalid=127.0.4.59\r\n"_s);
    ConsoleCore core(ConsoleCore::WindowWorkerDelayMs);
    core.open(console.path());
    frmTarvoControl window(core);
    window.show();
    QVERIFY(window.loaded());

    // The group is not expanded yet: its computers are found all the same.
    QTreeWidgetItem *inventory = window.treeBinder().item(u"TarvoNetwork.ini"_s);
    inventory->setExpanded(true);
    QTreeWidgetItem *group = window.treeBinder().item(u"TarvoNetwork.ini|教室"_s);
    QVERIFY(group);
    QVERIFY(!window.fleetMenu().menuFor(window.treeBinder().item(u"_ROOT"_s)));
    QMenu *menu = window.fleetMenu().menuFor(group);
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 2);
    menu->actions().at(0)->trigger();

    frmFleetStatus *list = window.fleetMenu().statusWindow();
    QVERIFY(list && list->isVisible());
    const QAbstractItemModel *rows = list->findChild<QTreeView *>(u"lvwFleetStatus"_s)->model();
    QCOMPARE(rows->rowCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(rows->index(0, 1).data().toString(), u"up"_s, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(rows->index(1, 1).data().toString(), u"down"_s, 10000);
    QCOMPARE(rows->index(0, 0).data().toString(), u"pc-up.invalid"_s);
    QCOMPARE(rows->index(0, 3).data().toString(), VersionInfo::text()); // the agent program
    QCOMPARE(rows->index(1, 2).data().toString(), u"-"_s);

    // The computer nodes carry the outcome.
    QCOMPARE(group->childCount(), 2);
    QTreeWidgetItem *up = group->child(0);
    QTreeWidgetItem *off = group->child(1);
    QCOMPARE(off->text(0), u"pc-off.invalid"_s);
    QVERIFY2(up->toolTip(0).contains(u"バージョン："_s + rows->index(0, 3).data().toString()),
             qPrintable(up->toolTip(0)));
    QVERIFY(off->toolTip(0).contains(u"応答なし"_s));
    QVERIFY(up->icon(0).cacheKey() != off->icon(0).cacheKey());

    window.fleetMenu().menuFor(up)->actions().at(1)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingDatagrams(), 5000); // the window sends from its loop
    const QByteArray packet = listener.receiveDatagram().data();
    QCOMPARE(packet, QByteArray(6, char(0xFF)) + QByteArray::fromHex("001122334451").repeated(16));
    QTRY_VERIFY(window.frontEnd().lastStatus().startsWith(u"マジックパケットを送信しました！(1台)"_s));

    if (qEnvironmentVariableIsSet("TARVO_SHOTS")) {
        list->grab().save(qEnvironmentVariable("TARVO_SHOTS") + u"/fleetstatus.png"_s);
        group->setExpanded(true);
        window.findChild<QTreeWidget *>(u"tvwNetwork"_s)
            ->grab()
            .save(qEnvironmentVariable("TARVO_SHOTS") + u"/fleettree.png"_s);
    }
}

QTEST_MAIN(TestFleetWindow)
#include "tst_fleetwindow.moc"
