#include "agent/agentcore.h"
#include "agent/agentsettings.h"
#include "agent/launcher.h"
#include "agent/statuspanels.h"
#include "agent/ui/agentface.h"
#include "common/clock.h"
#include "platform/singleinstance.h"
#include "support/fakeclock.h"
#include "support/agentprocess.h"
#include "support_modal.h"

#include <QLabel>
#include <QListView>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Title = u"TarvoAgent"_s;

QString panel(QWidget &window, int number)
{
    auto *label = window.findChild<QLabel *>(u"Panel"_s + QString::number(number));
    return label ? label->text() : u"(no panel)"_s;
}

QStringList shownLines(QListView *list)
{
    QStringList lines;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        lines << list->model()->index(row, 0).data().toString();
    return lines;
}

QString lineText(const QString &line)
{
    return line.section(u'\t', 1);
}

} // namespace

/// The agent's window over a real core listening on loopback, in a program folder that holds
/// a copy of the agent program for the second start.
class TestAgentWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowMirrorsTheCore();
    void withoutNotificationAreaStaysInTaskBar();
};

void TestAgentWindow::windowMirrorsTheCore()
{
    AgentFolder folder({{u"StatusLog"_s, u"3"_s}, {u"DebugMode"_s, u"0"_s}});
    const QString ini = folder.file(u"TarvoAgent.ini"_s);
    const auto settings = LoadAgentSettings(ini);
    QVERIFY(settings);
    Clock clock;
    SystemLauncher launcher(folder.path());
    AgentCore core(*settings, folder.path(), Title, clock, launcher);
    SingleInstance instance(Title, folder.path());
    QVERIFY(instance.acquire());
    AgentWindowFace face(core, instance, clock, Title, ini, [] { return true; });
    frmTarvoAgent &window = face.window();
    auto *list = window.findChild<QListView *>(u"lstLog"_s);
    auto *start = window.findChild<QPushButton *>(u"cmdButton_0"_s);
    auto *stop = window.findChild<QPushButton *>(u"cmdButton_1"_s);
    auto *exit = window.findChild<QPushButton *>(u"cmdButton_2"_s);
    auto *fileStart = window.findChild<QAction *>(u"mnuFileStart"_s);
    auto *fileStop = window.findChild<QAction *>(u"mnuFileStop"_s);
    QVERIFY(list && start && stop && exit && fileStart && fileStop);
    QCOMPARE(window.windowTitle(), Title);

    // Started: the listening line is the newest, selected; Start is off, Stop on.
    core.startUp();
    const QString listening = u"Socket("_s + QString::number(folder.port())
                            + u")は接続待ち状態になりました。"_s;
    QTRY_COMPARE(lineText(list->currentIndex().data().toString()), listening);
    QCOMPARE(list->currentIndex().row(), list->model()->rowCount() - 1);
    QCOMPARE(shownLines(list), core.statusLog().lines());
    QCOMPARE(panel(window, 3), u"稼動中"_s);
    QVERIFY(!start->isEnabled() && !fileStart->isEnabled());
    QVERIFY(stop->isEnabled() && fileStop->isEnabled());
    QCOMPARE(panel(window, 1), StatusPanels::localComputerName());
    QCOMPARE(panel(window, 4), QDate::currentDate().toString(u"yyyy/MM/dd"_s));

    // Stopped and started again by button and menu: the panel and the enabled states follow,
    // and the list keeps the log's bound (StatusLog 3 keeps four main lines).
    stop->click();
    QCOMPARE(panel(window, 3), u"停止！"_s);
    QVERIFY(start->isEnabled() && fileStart->isEnabled());
    QVERIFY(!stop->isEnabled() && !fileStop->isEnabled());
    fileStart->trigger();
    QCOMPARE(panel(window, 3), u"稼動中"_s);
    stop->click();
    QTRY_COMPARE(lineText(list->currentIndex().data().toString()), u"停止処理開始！"_s);
    QCOMPARE(shownLines(list), core.statusLog().lines());
    QCOMPARE(list->model()->rowCount(), 4);

    // Minimised it hides to the notification area, whose menu is the File menu.
    window.showMinimized();
    QTRY_VERIFY(!window.isVisible());
    QSystemTrayIcon *tray = window.trayIcon();
    QVERIFY(tray && tray->isVisible());
    QCOMPARE(tray->contextMenu(), window.findChild<QMenu *>(u"mnuFile"_s));
    Q_EMIT tray->activated(QSystemTrayIcon::DoubleClick);
    QTRY_VERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(!tray->isVisible());

    // A second start of the agent in the same folder brings the window back and ends.
    window.showMinimized();
    QTRY_VERIFY(!window.isVisible());
    QProcess second;
    second.start(folder.file(Title), {});
    QVERIFY(second.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
    QVERIFY(!window.isMinimized());
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    // Option > "設定(&P)..." opens the settings dialog on this agent's file.
    QString shownPort;
    QString caption;
    whenModalOpens([&](QWidget *dialog) {
        caption = dialog->objectName() + u' ' + dialog->windowTitle();
        if (auto *port = dialog->findChild<QLineEdit *>(u"txtPort"_s))
            shownPort = port->text();
    });
    window.findChild<QAction *>(u"mnuOptionSetting"_s)->trigger();
    QCOMPARE(caption, u"frmSetting 設定 - TarvoAgent"_s);
    QCOMPARE(shownPort, QString::number(folder.port()));

    QString about;
    takeMessage(&about);
    window.findChild<QAction *>(u"mnuHelpAbout"_s)->trigger();
    QVERIFY2(about.startsWith(Title), qPrintable(about));

    // Exit ends the agent: the core finishes, the window closes and the icon goes.
    QSignalSpy finished(&core, &AgentCore::finished);
    window.showMinimized();
    QTRY_VERIFY(tray->isVisible());
    exit->click();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!window.isVisible());
    QVERIFY(!tray->isVisible());
}

// Where the desktop has no notification area the minimised window stays in the task bar. The
// date and time panels follow the clock.
void TestAgentWindow::withoutNotificationAreaStaysInTaskBar()
{
    AgentFolder folder;
    const QString ini = folder.file(u"TarvoAgent.ini"_s);
    const auto settings = LoadAgentSettings(ini);
    QVERIFY(settings);
    FakeClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 990)));
    SystemLauncher launcher(folder.path());
    AgentCore core(*settings, folder.path(), Title, clock, launcher);
    SingleInstance instance(Title, folder.path());
    AgentWindowFace face(core, instance, clock, Title, ini, [] { return false; });
    QCOMPARE(panel(face.window(), 4) + u' ' + panel(face.window(), 5), u"2026/12/31 23:59"_s);
    clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 10)));
    QTRY_COMPARE(panel(face.window(), 4) + u' ' + panel(face.window(), 5), u"2027/01/01 0:00"_s);
    QVERIFY(!face.window().trayIcon());
    face.window().showMinimized();
    QTRY_VERIFY(face.window().isMinimized());
    QCoreApplication::processEvents();
    QVERIFY(face.window().isVisible());
}

QTEST_MAIN(TestAgentWindow)
#include "tst_agentwindow.moc"
