#include "agent/agentcore.h"

#include "agent/launcher.h"
#include "signing/updatesignature.h"

#include <QDir>

using namespace Qt::StringLiterals;

AgentCore::AgentCore(AgentSettings settings, QString folder, QString programName,
                     const Clock &clock, ProgramLauncher &launcher, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_log(clock),
      m_context{folder, folder + u"/TarvoAgent.ini"_s, std::move(programName), m_settings, m_log,
                launcher},
      m_handlers(m_context), m_server(m_context, m_handlers),
      m_scheduler(m_settings.schedule, clock)
{
    m_log.configure(m_settings.DebugMode, m_settings.StatusLog);
    m_scheduler.evaluateAtStart();
    m_server.setStartOperation([this] { Start(); });
    connect(&m_server, &AgentServer::exitRequested, this, &AgentCore::Exit);
    m_tmrExecute.setInterval(SchedulerIntervalMs);
    connect(&m_tmrExecute, &QTimer::timeout, this, &AgentCore::schedulerTick);
    m_tmrExecute.start();
}

AgentCore::~AgentCore() = default;

QString AgentCore::runStateText() const
{
    return m_started ? u"稼動中"_s : u"停止！"_s;
}

void AgentCore::startUp()
{
    if (!m_server.InitSockets()) {
        shutDown(1);
        return;
    }
    m_context.UpdatePending = false;
    logUpdateVerification();
    Start();
    if (m_closed || !m_settings.autoStart())
        return;
    if (m_context.launcher.launchCollector(m_settings.ExeFile, u"ALL"_s))
        m_log.AddLog(u"情報収集プログラムを実行しました。"_s, StatusLog::Main);
    else
        m_log.AddLog(u"情報収集プログラムの実行時にエラーが発生しました。"_s, StatusLog::Main);
    if (m_settings.autoExit())
        Exit();
}

void AgentCore::logUpdateVerification()
{
    const QString keySetting = m_settings.UpdateKeyFile;
    if (keySetting.isEmpty()) {
        m_log.AddLog(u"更新プログラムの署名は確認されません。(UpdateKeyFile未設定)"_s,
                     StatusLog::Main);
        return;
    }
    // A key file that cannot be used refuses every update but never stops the agent.
    if (!UpdateSignature::keysReadable(UpdateSignature::keyFilePath(m_context.folder, keySetting)))
        m_log.AddLog(u"公開鍵ファイルを読み込めません。更新プログラムは拒否されます。"_s,
                     StatusLog::Main);
}

void AgentCore::Start()
{
    if (m_closed)
        return;
    m_log.AddLog(u"起動処理開始！"_s, StatusLog::Main);
    if (!m_server.StartListening()) {
        m_log.AddLog(u"アプリケーションを終了します。"_s, StatusLog::Main);
        shutDown(1);
        return;
    }
    m_started = true;
    Q_EMIT runStateChanged(true);
}

void AgentCore::Stop()
{
    if (m_closed)
        return;
    m_log.AddLog(u"停止処理開始！"_s, StatusLog::Main);
    m_server.CloseSockets();
    m_started = false;
    Q_EMIT runStateChanged(false);
}

void AgentCore::Exit()
{
    shutDown(0);
}

void AgentCore::schedulerTick()
{
    if (m_closed || !m_scheduler.tick())
        return;
    // A scheduled run that cannot start leaves no trace; the day's run counts as done.
    m_context.launcher.launchCollector(m_settings.ExeFile, u"ALL"_s);
    if (m_settings.autoExit())
        Exit();
}

void AgentCore::shutDown(int exitCode)
{
    if (m_closed)
        return;
    m_closed = true;
    m_tmrExecute.stop();
    m_server.ShutdownSockets();
    m_started = false;
    Q_EMIT finished(exitCode);
}
