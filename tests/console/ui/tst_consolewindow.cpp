// The console window against a real agent: the pages' buttons, the tree, the address boxes and
// a batch run with two slots over five ticked computers.
#include "common/clock.h"
#include "console/batch/batchrun.h"
#include "console/batch/batchworker.h"
#include "console/consolecore.h"
#include "console/network/consoletargets.h"
#include "console/queue/jobqueue.h"
#include "console/network/networktree.h"
#include "console/batch/resultlist.h"
#include "console/ui/dialogs/frmclient.h"
#include "console/ui/dialogs/frmfileview.h"
#include "console/ui/frmtarvocontrol.h"
#include "console/ui/pages/func2page.h"
#include "console/ui/pages/func3page.h"
#include "console/ui/pages/func4page.h"
#include "console/ui/pages/func5page.h"
#include "console/ui/networktreebinder.h"
#include "console/ui/windowfrontend.h"
#include "support/agentprocess.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

namespace {
// Two computers reach an agent each (an agent serves one console at a time); three addresses
// have nothing listening.
const QStringList FleetAddresses{u"127.0.0.1"_s, u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s,
                                 u"127.0.0.5"_s};

void writeCp932(const QString &path, const QString &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(cp932(text));
}

int openWorkerWindows()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<frmClient *>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}
} // namespace

class TestConsoleWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void singleTargetPages_data();
    void singleTargetPages();
    void addressBoxes();
    void pageSwitch_data();
    void pageSwitch();
    void ticksAndListsAgree();
    void distributionKeepsTheChoice();
    void batchWithTwoSlots();

private:
    template <typename T> T *find(const QString &name) const
    {
        T *child = m_window->findChild<T *>(name);
        if (!child)
            qWarning("no %s", qPrintable(name));
        return child;
    }
    void click(const QString &button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }

    std::unique_ptr<AgentFolder> m_agentFolder;
    std::unique_ptr<AgentProcess> m_agent;
    std::unique_ptr<AgentFolder> m_secondFolder;
    std::unique_ptr<AgentProcess> m_second;
    QTemporaryDir m_console;
    std::unique_ptr<ConsoleCore> m_core;
    std::unique_ptr<frmTarvoControl> m_window;
};

void TestConsoleWindow::initTestCase()
{
    m_agentFolder = std::make_unique<AgentFolder>();
    m_agentFolder->writeFile(u"collect.sh"_s, "#!/bin/sh\nexit 0\n", true);
    m_agentFolder->writeFile(u"note.txt"_s, cp932(u"<b>太字ではない</b>\r\n"_s));
    m_agent = std::make_unique<AgentProcess>(*m_agentFolder);
    QVERIFY(m_agent->start());
    m_secondFolder = std::make_unique<AgentFolder>(QMap<QString, QString>{
        {u"Port"_s, QString::number(m_agentFolder->port())}, {u"ListenAddress"_s, u"127.0.0.2"_s}});
    m_secondFolder->writeFile(u"collect.sh"_s, "#!/bin/sh\nexit 0\n", true);
    m_second = std::make_unique<AgentProcess>(*m_secondFolder);
    m_second->startOnly(); // it listens on the first agent's port, on its own address
    QVERIFY(m_second->waitForLine(u"Socket(%1)は接続待ち状態になりました。"_s.arg(m_agentFolder->port())));
    writeCp932(m_console.filePath(u"TarvoControl.ini"_s),
               u"[TarvoControl]\r\nPort=%1\r\nTimeout=5\r\nMaxControl=2\r\nSqlTable=TarvoInfo\r\n"_s
                   .arg(m_agentFolder->port()));
    QString inventory = u"[フリート]\r\n"_s;
    for (int i = 0; i < FleetAddresses.size(); ++i)
        inventory += u"pc%1.invalid=%2\r\n"_s.arg(i + 1).arg(FleetAddresses.at(i));
    inventory += u"[別館]\r\npc9.invalid=127.0.0.9\r\n"_s; // a group nobody expands
    writeCp932(m_console.filePath(u"TarvoNetwork.ini"_s), inventory);
    m_core = std::make_unique<ConsoleCore>(ConsoleCore::WindowWorkerDelayMs);
    m_core->open(m_console.path());
    m_window = std::make_unique<frmTarvoControl>(*m_core);
    m_window->show();
    QVERIFY(m_window->loaded());
    QCOMPARE(m_window->windowTitle(), u"TarvoControl"_s);
    QCOMPARE(m_window->currentPage(), 1);
    QVERIFY(!find<QWidget>(u"frameFunc10"_s)->isEnabled()); // no target chosen yet

    // Expanding the inventory and its group shows the five computers under their group.
    QTreeWidget *tree = find<QTreeWidget>(u"tvwNetwork"_s);
    QTreeWidgetItem *inventoryNode = m_window->treeBinder().item(u"TarvoNetwork.ini"_s);
    QVERIFY(inventoryNode);
    QCOMPARE(inventoryNode->child(0)->text(0), u"FAKE"_s);
    inventoryNode->setExpanded(true);
    QTreeWidgetItem *group = m_window->treeBinder().item(u"TarvoNetwork.ini|フリート"_s);
    QVERIFY(group);
    group->setExpanded(true);
    QCOMPARE(group->childCount(), FleetAddresses.size());
    // Clicking a computer makes it the target and enables the single-target frames.
    tree->setCurrentItem(group->child(0));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(group->child(0)).center());
    QVERIFY(find<QWidget>(u"frameFunc10"_s)->isEnabled());
    QCOMPARE(m_core->targets().targetHost(), u"pc1.invalid"_s);
}

void TestConsoleWindow::cleanupTestCase()
{
    m_window.reset();
    m_core.reset();
}

void TestConsoleWindow::singleTargetPages_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("status");   // the final status text, before its "("
    QTest::addColumn<QString>("expected"); // what the page shows
    QTest::newRow("parameters") << 1 << u"cmdFunc11_0"_s << u"パラメータを表示しました！"_s
                                << u"[TarvoAgent]|Port=%1"_s;
    QTest::newRow("collector") << 1 << u"cmdFunc10_1"_s
                               << u"情報収集プログラムを実行しました！"_s << QString();
    QTest::newRow("file list") << 3 << u"cmdFunc3_0"_s << u"ファイル情報を表示しました！"_s
                               << u"TarvoAgent.ini"_s;
    QTest::newRow("status log") << 4 << u"cmdFunc4_0"_s << u"稼動ログを表示しました！"_s
                                << u"(300)"_s;
}

void TestConsoleWindow::singleTargetPages()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(QString, status);
    QFETCH(QString, expected);
    m_window->showPage(page);
    click(button);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->frontEnd().lastStatus().startsWith(status), 10000);
    if (page == 1 && !expected.isEmpty()) {
        const auto *list = find<QTreeView>(u"lvwFunc1Parameter"_s)->model();
        QStringList lines;
        for (int row = 0; row < list->rowCount(); ++row)
            lines.append(list->index(row, 1).data().toString() + u'='
                         + list->index(row, 2).data().toString());
        QCOMPARE(lines.first(), u"[TarvoAgent]="_s);
        QVERIFY(lines.contains(u"Port=%1"_s.arg(m_agentFolder->port())));
    } else if (page == 3) {
        QStandardItemModel &files = m_window->func3().files();
        QVERIFY(!files.findItems(expected).isEmpty());
        QVERIFY(!files.findItems(u"note.txt"_s).isEmpty());
        // Viewing a file shows its text as it is: agent text is never markup.
        find<QTreeView>(u"lvwFile"_s)->setCurrentIndex(files.findItems(u"note.txt"_s).first()->index());
        click(u"cmdFunc3_1"_s);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->func3().fileView(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->func3().fileView()->text(),
                                  u"<b>太字ではない</b>\n"_s, 10000);
        QCOMPARE(m_window->func3().fileView()->windowTitle(), u"TarvoControl - note.txt"_s);
    } else if (page == 4) {
        QVERIFY(m_window->func4().logText().contains(expected));
    }
}

void TestConsoleWindow::addressBoxes()
{
    m_window->showPage(1);
    QLineEdit *box0 = find<QLineEdit>(u"txtIPAddress_0"_s);
    QLineEdit *box1 = find<QLineEdit>(u"txtIPAddress_1"_s);
    box0->setFocus();
    QTest::keyClicks(box0, u"3x0"_s);
    QTest::keyClick(box0, Qt::Key_0);
    QCOMPARE(box0->text(), u"255"_s);
    QTest::keyClick(box0, Qt::Key_Period);
    QTRY_COMPARE(m_window->focusWidget(), box1);
    QVERIFY(!find<QWidget>(u"frameFunc10"_s)->isEnabled()); // three boxes still empty
    QTest::keyClicks(box1, u"0"_s);
    QTest::keyClicks(find<QLineEdit>(u"txtIPAddress_2"_s), u"0"_s);
    QTest::keyClicks(find<QLineEdit>(u"txtIPAddress_3"_s), u"1."_s);
    QCOMPARE(find<QLineEdit>(u"txtIPAddress_3"_s)->text(), u"1"_s);
    QCOMPARE(m_core->targets().targetHost(), u"255.0.0.1"_s);
    QVERIFY(find<QWidget>(u"frameFunc10"_s)->isEnabled());
    // A click selects the number, so that typing replaces it; Ctrl+A selects it too.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::mouseClick(box0, Qt::LeftButton, {}, box0->rect().center());
    QTRY_COMPARE(box0->selectedText(), u"255"_s);
    QTest::keyClicks(box0, u"3"_s);
    QCOMPARE(box0->text(), u"3"_s);
    QTest::keyClick(box1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box1, u"7"_s);
    QCOMPARE(m_core->targets().targetHost(), u"3.7.0.1"_s);
}

void TestConsoleWindow::pageSwitch_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("checkBoxes");
    QTest::addColumn<bool>("treeEnabled");
    QTest::addColumn<bool>("addressBoxes");
    for (int page = 1; page <= 7; ++page) {
        const bool batch = page == 2 || page == 5;
        QTest::addRow("page %d", page) << page << batch << (page <= 5) << (!batch);
    }
}

void TestConsoleWindow::pageSwitch()
{
    QFETCH(int, page);
    QFETCH(bool, checkBoxes);
    QFETCH(bool, treeEnabled);
    QFETCH(bool, addressBoxes);
    m_window->showPage(page);
    auto *button = m_window->findChild<QAction *>(u"tbrFunction_%1"_s.arg(page));
    QVERIFY(button && button->isChecked());
    QCOMPARE(button->toolTip().isEmpty(), false);
    QTreeWidgetItem *computer = m_window->treeBinder().item(u"TarvoNetwork.ini|フリート|\\\\pc1.invalid"_s);
    QVERIFY(computer);
    QCOMPARE(computer->data(0, Qt::CheckStateRole).isValid(), checkBoxes);
    QCOMPARE(find<QWidget>(u"frameComputers"_s)->isEnabled(), treeEnabled);
    QCOMPARE(find<QWidget>(u"txtIPAddress_0"_s)->isVisibleTo(m_window.get()), addressBoxes);
    QCOMPARE(find<QWidget>(u"frameFunc%1"_s.arg(page))->isVisible(), true);
    if (page >= 6)
        QVERIFY(find<QLabel>(u"lblFunc%1Table"_s.arg(page))->text().endsWith(m_core->settings().SqlTable));
    // At its natural size, which leaves a 1280x900 screen room for the frame, no page scrolls.
    const QSize natural = m_window->naturalSize();
    QVERIFY2(natural.width() <= 1264 && natural.height() <= 852,
             qPrintable(u"%1x%2"_s.arg(natural.width()).arg(natural.height())));
    m_window->resize(natural);
    auto *scroll = find<QScrollArea>(u"pageScroll"_s);
    QTRY_VERIFY(!scroll->horizontalScrollBar()->isVisible());
    QVERIFY(!scroll->verticalScrollBar()->isVisible());
}

void TestConsoleWindow::ticksAndListsAgree()
{
    auto targets = [](const ResultList &list) {
        QStringList names;
        for (const QStringList &row : list.rows())
            names.append(row.value(0));
        return names;
    };
    m_window->showPage(2);
    // Ticking a group never expanded fills it and adds its computer.
    QTreeWidgetItem *annex = m_window->treeBinder().item(u"TarvoNetwork.ini|別館"_s);
    QVERIFY(annex && !annex->isExpanded());
    annex->setCheckState(0, Qt::Checked);
    QCOMPARE(targets(m_window->func2Results()), QStringList{u"pc9.invalid"_s});
    QTreeWidgetItem *pc9 = m_window->treeBinder().item(u"TarvoNetwork.ini|別館|\\\\pc9.invalid"_s);
    QVERIFY(pc9);
    QCOMPARE(pc9->checkState(0), Qt::Checked);
    QVERIFY(find<QWidget>(u"frameFunc20"_s)->isEnabled());
    // Pages 5 and 2 again: each list is the ticked computers, the buttons follow.
    m_window->showPage(5);
    QCOMPARE(targets(m_window->func5Results()), QStringList{u"pc9.invalid"_s});
    m_window->showPage(2);
    QCOMPARE(targets(m_window->func2Results()), QStringList{u"pc9.invalid"_s});
    QVERIFY(find<QWidget>(u"frameFunc20"_s)->isEnabled());
    annex->setCheckState(0, Qt::Unchecked);
    QCOMPARE(m_window->func2Results().rowCount(), 0);
    m_window->showPage(5);
    QCOMPARE(m_window->func5Results().rowCount(), 0);
    QVERIFY(!find<QWidget>(u"cmdFunc5_0"_s)->isEnabled());
}

void TestConsoleWindow::distributionKeepsTheChoice()
{
    QTemporaryDir files;
    for (const char *name : {"a_first.txt", "b_second.txt"}) {
        QFile file(files.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    m_window->showPage(5);
    m_window->treeBinder().item(u"TarvoNetwork.ini|別館"_s)->setCheckState(0, Qt::Checked);
    auto *page = m_window->findChild<Func5Page *>();
    QVERIFY(page);
    page->chooseFile(files.path(), u"b_second.txt"_s);
    QCOMPARE(page->chosenFile(), files.filePath(u"b_second.txt"_s));
    auto *list = find<QAbstractItemView>(u"File1"_s);
    QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
    // Another file going away refreshes the list; the choice stays.
    QVERIFY(QFile::remove(files.filePath(u"a_first.txt"_s)));
    QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 1);
    QCOMPARE(page->chosenFile(), files.filePath(u"b_second.txt"_s));
    // The chosen file going away clears the choice and the distribution buttons.
    QVERIFY(QFile::remove(files.filePath(u"b_second.txt"_s)));
    QTRY_COMPARE(page->chosenFile(), QString());
    QVERIFY(!find<QWidget>(u"cmdFunc5_0"_s)->isEnabled());
    m_window->treeBinder().item(u"TarvoNetwork.ini|別館"_s)->setCheckState(0, Qt::Unchecked);
}

void TestConsoleWindow::batchWithTwoSlots()
{
    m_window->showPage(2);
    QVERIFY(!find<QWidget>(u"frameFunc2"_s)->isEnabled());
    QTreeWidgetItem *group = m_window->treeBinder().item(u"TarvoNetwork.ini|フリート"_s);
    group->setCheckState(0, Qt::Checked); // ticks the five computers
    ResultList &rows = m_window->func2Results();
    QCOMPARE(rows.rowCount(), FleetAddresses.size());
    QVERIFY(find<QWidget>(u"frameFunc20"_s)->isEnabled());

    int mostWindows = 0;
    connect(&m_core->batch(), &BatchRun::workerStarted, this,
            [&] { QTimer::singleShot(0, this, [&] { mostWindows = std::max(mostWindows, openWorkerWindows()); }); });
    QSignalSpy finished(&m_core->batch(), &BatchRun::finished);
    click(u"cmdFunc20_1"_s);
    QVERIFY(!find<QWidget>(u"frameFunc20"_s)->isEnabled());
    QVERIFY(finished.wait(30000));
    QCOMPARE(m_core->batch().peakWorkers(), 2);
    QVERIFY(mostWindows >= 1 && mostWindows <= 2);
    QTRY_COMPARE(openWorkerWindows(), 0);
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QStringList line = rows.rows().at(row);
        if (row < 2)
            QCOMPARE(line, (QStringList{u"pc%1.invalid"_s.arg(row + 1), u"OK"_s, u"情報収集プログラム実行！"_s}));
        else
            QCOMPARE(line, (QStringList{u"pc%1.invalid"_s.arg(row + 1), u"NG"_s, u"接続中･･･"_s}));
    }
    // The three that were not reached go to the queue as one job of the same command.
    QPushButton *toQueue = find<QPushButton>(u"cmdFunc2_1"_s);
    QVERIFY(toQueue->isEnabled());
    QString queued;
    QTimer::singleShot(0, this, [&queued] {
        if (auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            queued = shown->text();
            shown->accept();
        }
    });
    click(u"cmdFunc2_1"_s);
    QCOMPARE(queued, u"未到達のPC 3 台を再試行キューのジョブ 1 に登録しました！"_s);
    QVERIFY(!toQueue->isEnabled());
    Clock clock;
    JobQueue queue(m_console.path(), clock);
    QVERIFY(queue.open());
    QCOMPARE(queue.job(1).value_or(QueueJob{}).command, u"collect"_s);
    QStringList queuedHosts;
    for (const QueueEntry &entry : queue.entries(1).value_or(QList<QueueEntry>{}))
        queuedHosts.append(entry.host + u'/' + entry.state);
    QCOMPARE(queuedHosts, (QStringList{u"pc3.invalid/pending"_s, u"pc4.invalid/pending"_s, u"pc5.invalid/pending"_s}));

    // A second batch, then closing the window while workers wait: every worker ends with it.
    group->setCheckState(0, Qt::Unchecked);
    QCOMPARE(rows.rowCount(), 0);
    QVERIFY(!find<QWidget>(u"frameFunc2"_s)->isEnabled());
    group->setCheckState(0, Qt::Checked);
    click(u"cmdFunc20_1"_s);
    QTRY_COMPARE(openWorkerWindows(), 2);
    // A second hand-over while this one waits for slots is refused; the run goes on.
    QString box;
    QTimer::singleShot(0, this, [&box] {
        if (auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box = shown->text();
            shown->accept();
        }
    });
    Q_EMIT m_window->findChild<Func2Page *>()->batchRequested(130);
    QCOMPARE(box, u"一括処理の実行中です。終了してから実行してください。"_s);
    QCOMPARE(m_core->batch().code(), 140);
    QVERIFY(m_core->batch().isRunning());
    // Closing a worker's window ends that worker: its row says so, the run goes on.
    frmClient *worker = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        worker = worker ? worker : qobject_cast<frmClient *>(widget);
    QVERIFY(worker);
    const QString host = worker->windowTitle().section(u" - "_s, -1);
    worker->close();
    const QStringList cancelled{host, u"NG"_s, u"中止しました！"_s};
    QTRY_VERIFY(rows.rows().contains(cancelled));
    QVERIFY(m_core->batch().isRunning());
    // Closing while the run goes on asks first; "no" (the default) keeps it running.
    QString question;
    auto answer = [&question](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [&question, button] {
            if (auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                question = shown->text();
                shown->button(button)->click();
            }
        });
    };
    answer(QMessageBox::No);
    QVERIFY(!m_window->close());
    QVERIFY(question.startsWith(u"一括処理の実行中です。"_s));
    QVERIFY(m_core->batch().isRunning());
    answer(QMessageBox::Yes);
    QVERIFY(m_window->close());
    QTRY_COMPARE(openWorkerWindows(), 0);
}

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
