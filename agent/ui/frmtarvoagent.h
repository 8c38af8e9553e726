#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

class AgentCore;
class QLabel;
class QSystemTrayIcon;
class StatusLogModel;
class StatusPanels;

namespace Ui {
class frmTarvoAgent;
}

/// The agent's main window over its core: the Start, Stop and Exit buttons and File menu, the
/// status log, the status bar, the Option and Help menus, and, where the desktop has a
/// notification area, the icon the window hides to when minimised.
class frmTarvoAgent : public QMainWindow
{
    Q_OBJECT
public:
    /// `hasTray` tells, each time the window is minimised, whether the desktop has a
    /// notification area now (a panel may come up after an agent started with the session).
    frmTarvoAgent(AgentCore &core, StatusPanels &panels, QString programTitle, QString iniPath,
                  std::function<bool()> hasTray, QWidget *parent = nullptr);
    ~frmTarvoAgent() override;

    /// The notification-area icon, or nullptr while the window has not been parked there.
    QSystemTrayIcon *trayIcon() const { return m_tray; }

public Q_SLOTS:
    /// Back from the notification area or the task bar, in front and with the focus.
    void restoreWindow();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void addPanels();
    void showRunState(bool started);
    void showClock();
    void selectNewestLine();
    void openSettings();
    void showAbout();
    void createTrayIcon();

    std::unique_ptr<Ui::frmTarvoAgent> m_ui;
    AgentCore &m_core;
    StatusPanels &m_panels;
    QString m_programTitle;
    QString m_iniPath;
    std::function<bool()> m_hasTray;
    StatusLogModel *m_logModel = nullptr;
    QList<QLabel *> m_panelLabels;
    QSystemTrayIcon *m_tray = nullptr;
    bool m_closing = false;
};
