// tarvo_console_screenshots fleet FOLDER OUTDIR [FILE]: opens the console of FOLDER (its TarvoControl.ini and
// TarvoNetwork.ini name running agents), drives every page as a user would and saves each
// window as OUTDIR/<objectName>[-<page>].png. FILE is the file chosen for distribution.
#include "console/batch/batchrun.h"
#include "console/batch/batchworker.h"
#include "console/consolecore.h"
#include "console/settings/consolesettings.h"
#include "console/network/networktree.h"
#include "console/batch/resultlist.h"
#include "console/ui/dialogs/frmclient.h"
#include "console/ui/dialogs/frmfileview.h"
#include "console/ui/dialogs/frmhelp.h"
#include "console/ui/dialogs/frminformation.h"
#include "console/ui/dialogs/frmsetting.h"
#include "console/ui/frmtarvocontrol.h"
#include "console/ui/pages/func3page.h"
#include "console/ui/pages/func5page.h"
#include "console/ui/networktreebinder.h"
#include "console/ui/windowfrontend.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {
QString g_out;

void save(QWidget &widget, const QString &name)
{
    QApplication::processEvents();
    const QString path = QDir(g_out).filePath(name + u".png"_s);
    if (!widget.grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// Lets the event loop run until `done` holds or `ms` pass.
template <typename Done> bool waitFor(Done done, int ms = 15000)
{
    QEventLoop loop;
    QTimer poll;
    QTimer limit;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(20);
    limit.start(ms);
    if (!done())
        loop.exec();
    return done();
}

void press(frmTarvoControl &window, const QString &button)
{
    if (auto *b = window.findChild<QPushButton *>(button))
        b->click();
}

bool statusStarts(frmTarvoControl &window, const QString &text)
{
    return window.frontEnd().lastStatus().startsWith(text);
}
} // namespace

int runFleetShots(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: tarvo_console_screenshots fleet FOLDER OUTDIR [FILE]\n", stderr);
        return 2;
    }
    const QString folder = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    g_out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(g_out);
    const QString distributed = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    ConsoleCore core(ConsoleCore::WindowWorkerDelayMs);
    core.open(folder);
    frmTarvoControl window(core);
    window.resize(1100, 720);
    window.show();

    // The tree expanded: every group of the inventory open, the first computer the target.
    QTreeWidgetItem *inventory = window.treeBinder().item(u"TarvoNetwork.ini"_s);
    inventory->setExpanded(true);
    QTreeWidgetItem *firstComputer = nullptr;
    for (int i = 0; i < inventory->childCount(); ++i) {
        inventory->child(i)->setExpanded(true);
        if (!firstComputer && inventory->child(i)->childCount() > 0)
            firstComputer = inventory->child(i)->child(0);
    }
    if (QTreeWidgetItem *database = window.treeBinder().item(u"データベース"_s))
        database->setExpanded(true);
    auto *tree = window.findChild<QTreeWidget *>(u"tvwNetwork"_s);
    if (firstComputer) {
        tree->setCurrentItem(firstComputer);
        Q_EMIT tree->itemClicked(firstComputer, 0);
    }

    press(window, u"cmdFunc11_0"_s);
    waitFor([&] { return statusStarts(window, u"パラメータを表示しました"_s); });
    save(window, u"frmTarvoControl-1"_s);

    window.showPage(3);
    press(window, u"cmdFunc3_0"_s);
    waitFor([&] { return statusStarts(window, u"ファイル情報を表示しました"_s); });
    save(window, u"frmTarvoControl-3"_s);
    auto *files = window.findChild<QTreeView *>(u"lvwFile"_s);
    const auto found = window.func3().files().findItems(u"TarvoAgent.ini"_s);
    if (!found.isEmpty()) {
        files->setCurrentIndex(found.first()->index());
        press(window, u"cmdFunc3_1"_s);
        waitFor([&] { return window.func3().fileView() != nullptr
                             && statusStarts(window, u"データファイルを表示しました"_s); });
        if (window.func3().fileView())
            save(*window.func3().fileView(), u"frmFileView"_s);
    }

    window.showPage(4);
    press(window, u"cmdFunc4_0"_s);
    waitFor([&] { return statusStarts(window, u"稼動ログを表示しました"_s); });
    save(window, u"frmTarvoControl-4"_s);

    // Page 2: every computer ticked, a batch collect run to its end; one worker window caught.
    window.showPage(2);
    inventory->setCheckState(0, Qt::Checked);
    bool workerSaved = false;
    QObject::connect(&core.batch(), &BatchRun::workerStarted, &window, [&](BatchWorker *worker) {
        if (workerSaved)
            return;
        workerSaved = true;
        QTimer::singleShot(500, &window, [worker] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (auto *client = qobject_cast<frmClient *>(top); client && client->isVisible()) {
                    save(*client, u"frmClient"_s);
                    break;
                }
            }
            Q_UNUSED(worker);
        });
    });
    press(window, u"cmdFunc20_1"_s);
    waitFor([&] { return !core.batch().isRunning(); }, 60000);
    save(window, u"frmTarvoControl-2"_s);

    // Page 5: the chosen file distributed to every ticked computer.
    window.showPage(5);
    inventory->setCheckState(0, Qt::Unchecked);
    inventory->setCheckState(0, Qt::Checked);
    if (!distributed.isEmpty()) {
        const QFileInfo file(distributed);
        window.func5().chooseFile(file.absolutePath(), file.fileName());
        press(window, u"cmdFunc5_0"_s);
        waitFor([&] { return !core.batch().isRunning(); }, 60000);
    }
    save(window, u"frmTarvoControl-5"_s);
    window.showPage(6);
    save(window, u"frmTarvoControl-6"_s);
    window.showPage(7);
    save(window, u"frmTarvoControl-7"_s);
    window.showPage(1);

    frmSetting setting(core.settings(), window.frontEnd(), &window);
    setting.show();
    save(setting, u"frmSetting"_s);
    setting.close();
    frmInformation information(folder, u"TarvoControl.mm2"_s, &window);
    information.resize(760, 560);
    information.show();
    save(information, u"frmInformation"_s);
    information.close();
    frmHelp help(folder, window.windowIcon(), &window);
    help.show();
    save(help, u"frmHelp"_s);
    help.close();
    window.close();
    return 0;
}
