#pragma once

#include "agent/agentcontext.h"
#include "agent/agentserver.h"
#include "agent/agentsettings.h"
#include "agent/requesthandlers.h"
#include "agent/schedule.h"
#include "agent/statuslog.h"

#include <QObject>
#include <QTimer>

class Clock;
class ProgramLauncher;

/// The agent without its window: start-up, the Start / Stop / Exit operations, the scheduler
/// and the shutdown. A window or a headless front end attaches through the signals.
class AgentCore : public QObject
{
    Q_OBJECT
public:
    static constexpr int SchedulerIntervalMs = 30000;

    AgentCore(AgentSettings settings, QString folder, QString programName, const Clock &clock,
              ProgramLauncher &launcher, QObject *parent = nullptr);
    ~AgentCore() override;

    /// Start-up: sockets, Start, and the collector run of `AutoStart`.
    void startUp();
    void Start();
    void Stop();
    void Exit();

    /// One tick of the 30-second scheduler timer (also called by tests with their own clock).
    void schedulerTick();

    StatusLog &statusLog() { return m_log; }
    AgentServer &server() { return m_server; }
    bool isStarted() const { return m_started; }
    /// "稼動中" or "停止！", the run state the status bar shows.
    QString runStateText() const;

Q_SIGNALS:
    void runStateChanged(bool started);
    /// The agent has shut down; the program ends with `exitCode`.
    void finished(int exitCode);

private:
    void launchScheduledCollector();
    /// The start-up line about updates that are not verified or cannot be.
    void logUpdateVerification();
    /// Closes the sockets and ends the agent with `exitCode` (the window's close).
    void shutDown(int exitCode);

    AgentSettings m_settings;
    StatusLog m_log;
    AgentContext m_context;
    RequestHandlers m_handlers;
    AgentServer m_server;
    Scheduler m_scheduler;
    QTimer m_tmrExecute;
    bool m_started = false;
    bool m_closed = false;
};
