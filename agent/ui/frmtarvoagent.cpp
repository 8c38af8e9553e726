#include "agent/ui/frmtarvoagent.h"

#include "agent/agentcore.h"
#include "agent/statuslogmodel.h"
#include "agent/statuspanels.h"
#include "agent/ui/agenticon.h"
#include "agent/ui/frmagentsetting.h"
#include "common/versioninfo.h"
#include "ui_frmtarvoagent.h"

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

frmTarvoAgent::frmTarvoAgent(AgentCore &core, StatusPanels &panels, QString programTitle,
                             QString iniPath, std::function<bool()> hasTray, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::frmTarvoAgent>()), m_core(core),
      m_panels(panels), m_programTitle(std::move(programTitle)), m_iniPath(std::move(iniPath)),
      m_hasTray(std::move(hasTray))
{
    m_ui->setupUi(this);
    setWindowTitle(m_programTitle);
    setWindowIcon(agentIcon());
    if (const QScreen *shown = screen())
        move(agentWindowPosition(shown->geometry(), frameGeometry().size()));

    m_logModel = new StatusLogModel(core.statusLog(), this);
    m_ui->lstLog->setModel(m_logModel);
    // The model takes a burst of lines in at once: the newest is selected once per burst.
    connect(m_logModel, &QAbstractItemModel::rowsInserted, this,
            &frmTarvoAgent::selectNewestLine);
    selectNewestLine();

    const QList<QPushButton *> cmdButton = {m_ui->cmdButton_0, m_ui->cmdButton_1,
                                            m_ui->cmdButton_2};
    connect(cmdButton.at(0), &QPushButton::clicked, &core, &AgentCore::Start);
    connect(cmdButton.at(1), &QPushButton::clicked, &core, &AgentCore::Stop);
    connect(cmdButton.at(2), &QPushButton::clicked, &core, &AgentCore::Exit);
    connect(m_ui->mnuFileStart, &QAction::triggered, &core, &AgentCore::Start);
    connect(m_ui->mnuFileStop, &QAction::triggered, &core, &AgentCore::Stop);
    connect(m_ui->mnuFileExit, &QAction::triggered, &core, &AgentCore::Exit);
    connect(m_ui->mnuOptionSetting, &QAction::triggered, this, &frmTarvoAgent::openSettings);
    connect(m_ui->mnuHelpAbout, &QAction::triggered, this, &frmTarvoAgent::showAbout);

    addPanels();
    connect(&core, &AgentCore::runStateChanged, this, &frmTarvoAgent::showRunState);
    connect(&panels, &StatusPanels::clockChanged, this, &frmTarvoAgent::showClock);
    showRunState(core.isStarted());
    showClock();

    // The agent has ended (Exit, AutoExit, requests 130, 150, 510, a failed start).
    connect(&core, &AgentCore::finished, this, [this] {
        if (!m_closing)
            close();
    });
}

frmTarvoAgent::~frmTarvoAgent() = default;

void frmTarvoAgent::addPanels()
{
    for (int index = 0; index < PanelCount; ++index) {
        auto *label = new QLabel(this);
        label->setObjectName(u"Panel"_s + QString::number(index + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMargin(1);
        // The name and the address take the room; state, date and time keep their width.
        m_ui->StatusBar1->addPermanentWidget(label, index <= Address ? 1 : 0);
        m_panelLabels << label;
    }
    m_panelLabels.at(ComputerName)->setText(m_panels.computerName());
    m_panelLabels.at(Address)->setText(m_panels.address());
    connect(&m_panels, &StatusPanels::addressChanged, this,
            [this] { m_panelLabels.at(Address)->setText(m_panels.address()); });
}

void frmTarvoAgent::showRunState(bool started)
{
    m_panelLabels.at(RunState)->setText(m_core.runStateText());
    m_ui->cmdButton_0->setEnabled(!started);
    m_ui->mnuFileStart->setEnabled(!started);
    m_ui->cmdButton_1->setEnabled(started);
    m_ui->mnuFileStop->setEnabled(started);
}

void frmTarvoAgent::showClock()
{
    m_panelLabels.at(Date)->setText(m_panels.dateText());
    m_panelLabels.at(Time)->setText(m_panels.timeText());
}

void frmTarvoAgent::selectNewestLine()
{
    const int rows = m_logModel->rowCount();
    if (rows == 0)
        return;
    const QModelIndex newest = m_logModel->index(rows - 1);
    m_ui->lstLog->setCurrentIndex(newest);
    m_ui->lstLog->scrollTo(newest);
}

void frmTarvoAgent::openSettings()
{
    frmAgentSetting dialog(m_iniPath, m_programTitle, this);
    dialog.exec();
}

void frmTarvoAgent::showAbout()
{
    QMessageBox about(this);
    about.setObjectName(u"frmAbout"_s);
    about.setWindowTitle(u"ﾊﾞｰｼﾞｮﾝ情報 - "_s + m_programTitle);
    about.setIconPixmap(agentIcon().pixmap(48, 48));
    about.setText(m_programTitle + u"\nバージョン "_s + VersionInfo::text());
    about.setInformativeText(u"構成管理エージェント"_s);
    about.exec();
}

void frmTarvoAgent::createTrayIcon()
{
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(m_programTitle);
    m_tray->setContextMenu(m_ui->mnuFile);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        // Some notification areas report a click as Trigger and never as a double click.
        if (why == QSystemTrayIcon::DoubleClick || why == QSystemTrayIcon::Trigger)
            restoreWindow();
    });
}

void frmTarvoAgent::restoreWindow()
{
    if (m_tray)
        m_tray->hide();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void frmTarvoAgent::changeEvent(QEvent *event)
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

void frmTarvoAgent::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    if (m_tray)
        m_tray->hide();
    m_core.Exit();
    event->accept();
}
