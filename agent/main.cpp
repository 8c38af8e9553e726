// TarvoAgent: the resident agent. Runs headless (status lines on standard output) with
// --headless or when no display is there; the window and tray icon attach to the same core.
#include "agent/agentcore.h"
#include "agent/agentsettings.h"
#include "agent/launcher.h"
#include "common/atomicfile.h"
#include "common/clock.h"
#include "common/programfolder.h"
#include "common/versioninfo.h"
#include "platform/processes.h"
#include "platform/signalwatcher.h"
#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(u"TarvoAgent"_s);
    app.setApplicationVersion(VersionInfo::text());
    if (app.arguments().contains(u"--version"_s)) {
        printLine(VersionInfo::text());
        return 0;
    }

    const QString folder = ProgramFolder::path();
    const QString programName = ProgramFolder::programName();
    SingleInstance instance(programName, folder);
    if (!instance.acquire())
        return 0; // the running agent has been asked to show itself
    if (!QDir::setCurrent(folder))
        return 1;
    // Temporary files of a writer that was killed (this agent, the collector, the updater)
    // would otherwise stay for good; those of a writer still at work are kept.
    AtomicFile::removeStale(folder, &Processes::isRunning);

    // Settings that cannot be used end the agent before it serves anyone.
    QString reason;
    const auto settings = LoadAgentSettings(folder + u"/TarvoAgent.ini"_s, &reason);
    if (!settings) {
        std::fprintf(stderr, "TarvoAgent: not started: %s\n", reason.toLocal8Bit().constData());
        return 1;
    }

    Clock clock;
    SystemLauncher launcher(folder);
    AgentCore core(*settings, folder, programName, clock, launcher);
    QObject::connect(&core.statusLog(), &StatusLog::lineAdded, &printLine);
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &core, &AgentCore::Exit);
    QObject::connect(&core, &AgentCore::finished, &app, [&instance](int exitCode) {
        instance.release();
        QCoreApplication::exit(exitCode);
    });
    QTimer::singleShot(0, &core, &AgentCore::startUp);
    return app.exec();
}
