#include "agent/ui/frmtarvoagent.h"

#include "agent/agentcore.h"
#include "agent/statuslogmodel.h"
#include "agent/statuspanels.h"
#include "agent/ui/agenticon.h"
#include "agent/ui/frmsetting.h"
#include "common/versioninfo.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

enum Panel { ComputerName, Address, RunState, Date, Time, PanelCount };

} // namespace

FrmTarvoAgent::FrmTarvoAgent(AgentCore &core, StatusPanels &panels, QString programTitle,
                             QString iniPath, std::function<bool()> hasTray, QWidget *parent)
    : QMainWindow(parent), m_core(core), m_panels(panels),
      m_programTitle(std::move(programTitle)), m_iniPath(std::move(iniPath)),
      m_hasTray(std::move(hasTray))
{
    ui.setupUi(this);
    setWindowTitle(m_programTitle);
    setWindowIcon(agentIcon());
    if (const QScreen *shown = screen())
        move(agentWindowPosition(shown->geometry(), frameGeometry().size()));

    m_logModel = new StatusLogModel(core.statusLog(), this);
    ui.lstLog->setModel(m_logModel);
    // The model takes a burst of lines in at once: the newest is selected once per burst.
    connect(m_logModel, &QAbstractItemModel::rowsInserted, this,
            &FrmTarvoAgent::selectNewestLine);
    selectNewestLine();

    const QList<QPushButton *> cmdButton = {ui.cmdButton_0, ui.cmdButton_1, ui.cmdButton_2};
    connect(cmdButton.at(0), &QPushButton::clicked, &core, &AgentCore::Start);
    connect(cmdButton.at(1), &QPushButton::clicked, &core, &AgentCore::Stop);
    connect(cmdButton.at(2), &QPushButton::clicked, &core, &AgentCore::Exit);
    connect(ui.mnuFileStart, &QAction::triggered, &core, &AgentCore::Start);
    connect(ui.mnuFileStop, &QAction::triggered, &core, &AgentCore::Stop);
    connect(ui.mnuFileExit, &QAction::triggered, &core, &AgentCore::Exit);
    connect(ui.mnuOptionSetting, &QAction::triggered, this, &FrmTarvoAgent::openSettings);
    connect(ui.mnuHelpAbout, &QAction::triggered, this, &FrmTarvoAgent::showAbout);

    addPanels();
    connect(&core, &AgentCore::runStateChanged, this, &FrmTarvoAgent::showRunState);
    connect(&panels, &StatusPanels::clockChanged, this, &FrmTarvoAgent::showClock);
    showRunState(core.isStarted());
    showClock();

    // The agent has ended (Exit, AutoExit, requests 130, 150, 510, a failed start).
    connect(&core, &AgentCore::finished, this, [this] {
        if (!m_closing)
            close();
    });
}

FrmTarvoAgent::~FrmTarvoAgent() = default;

void FrmTarvoAgent::addPanels()
{
    for (int index = 0; index < PanelCount; ++index) {
        auto *label = new QLabel(this);
        label->setObjectName(u"Panel"_s + QString::number(index + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMargin(1);
        // The name and the address take the room; state, date and time keep their width.
        ui.StatusBar1->addPermanentWidget(label, index <= Address ? 1 : 0);
        m_panelLabels << label;
    }
    m_panelLabels.at(ComputerName)->setText(m_panels.computerName());
    m_panelLabels.at(Address)->setText(m_panels.address());
    connect(&m_panels, &StatusPanels::addressChanged, this,
            [this] { m_panelLabels.at(Address)->setText(m_panels.address()); });
}

void FrmTarvoAgent::showRunState(bool started)
{
    m_panelLabels.at(RunState)->setText(m_core.runStateText());
    ui.cmdButton_0->setEnabled(!started);
    ui.mnuFileStart->setEnabled(!started);
    ui.cmdButton_1->setEnabled(started);
    ui.mnuFileStop->setEnabled(started);
}

void FrmTarvoAgent::showClock()
{
    m_panelLabels.at(Date)->setText(m_panels.dateText());
    m_panelLabels.at(Time)->setText(m_panels.timeText());
}

void FrmTarvoAgent::selectNewestLine()
{
    const int rows = m_logModel->rowCount();
    if (rows == 0)
        return;
    const QModelIndex newest = m_logModel->index(rows - 1);
    ui.lstLog->setCurrentIndex(newest);
    ui.lstLog->scrollTo(newest);
}

void FrmTarvoAgent::openSettings()
{
    FrmSetting dialog(m_iniPath, m_programTitle, this);
    dialog.exec();
}

void FrmTarvoAgent::showAbout()
{
    QMessageBox about(this);
    about.setObjectName(u"frmAbout"_s);
    about.setWindowTitle(u"ﾊﾞｰｼﾞｮﾝ情報 - "_s + m_programTitle);
    about.setIconPixmap(agentIcon().pixmap(48, 48));
    about.setText(m_programTitle + u"\nバージョン "_s + VersionInfo::text());
    about.setInformativeText(u"構成管理エージェント"_s);
    about.exec();
}

void FrmTarvoAgent::createTrayIcon()
{
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(m_programTitle);
    m_tray->setContextMenu(ui.mnuFile);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        // Some notification areas report a click as Trigger and never as a double click.
        if (why == QSystemTrayIcon::DoubleClick || why == QSystemTrayIcon::Trigger)
            restoreWindow();
    });
}

void FrmTarvoAgent::restoreWindow()
{
    if (m_tray)
        m_tray->hide();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void FrmTarvoAgent::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !m_hasTray())
        return;
    // Minimised, the window leaves the task bar for the notification area.
    if (!m_tray)
        createTrayIcon();
    m_tray->show();
    QTimer::singleShot(0, this, [this] {
        if (isMinimized())
            hide();
    });
}

void FrmTarvoAgent::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    if (m_tray)
        m_tray->hide();
    m_core.Exit();
    event->accept();
}
