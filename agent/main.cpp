// TarvoAgent: the resident agent. Shows its window when a display is there; runs headless with
// --headless or without a display. Both faces print the status lines on standard output.
#include "agent/agentcore.h"
#include "agent/agentsettings.h"
#include "agent/launcher.h"
#include "agent/ui/agentface.h"
#include "common/atomicfile.h"
#include "common/clock.h"
#include "common/programfolder.h"
#include "common/versioninfo.h"
#include "platform/displayserver.h"
#include "platform/lineoutput.h"
#include "platform/processes.h"
#include "platform/signalwatcher.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The choice of face, made once: the window when a display can be reached and --headless is
// not given (QT_QPA_PLATFORM names a display of Qt's own, such as offscreen); headless
// otherwise, so that a session whose display has gone still gets its agent.
bool wantsWindow(int argc, char *argv[])
{
    for (int index = 1; index < argc; ++index) {
        if (std::string_view(argv[index]) == "--headless")
            return false;
    }
    return DisplayServer::reachable();
}

} // namespace

int main(int argc, char *argv[])
{
    // Every status line asks for the local time. Without TZ, glibc looks at /etc/localtime
    // again on each of those calls; named once here, the zone is read once. (A zone changed
    // while the agent runs is taken up at its next start, as with every resident program.)
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    const bool windowed = wantsWindow(argc, argv);
    // Headless, Qt's own event loop instead of GLib's: GLib writes its wake-up descriptor for
    // every event posted, a dozen writes per console session; Qt's writes once per pass. The
    // variable is taken back once the loop exists, so the programs the agent starts never see it.
    const bool ownLoop = !windowed && !qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (ownLoop)
        qputenv("QT_NO_GLIB", "1");
    std::unique_ptr<QCoreApplication> application;
    if (windowed) {
        application = std::make_unique<QApplication>(argc, argv);
        // The agent ends by its Exit operation only, not when its window hides to the tray.
        QApplication::setQuitOnLastWindowClosed(false);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (ownLoop)
        qunsetenv("QT_NO_GLIB");
    QCoreApplication &app = *application;
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
    // A reader of standard output that does not keep up must never stop the agent.
    LineOutput statusOutput(LineOutput::StandardOutput, LineOutput::StandardError,
                            "TarvoAgent: standard output is full: status lines are dropped");
    AgentCore core(*settings, folder, programName, clock, launcher);
    QObject::connect(&core.statusLog(), &StatusLog::lineAdded, &statusOutput,
                     [&statusOutput](const QString &line) { statusOutput.addLine(line.toLocal8Bit()); });
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &core, &AgentCore::Exit);
    QObject::connect(&core, &AgentCore::finished, &app, [&instance](int exitCode) {
        instance.release();
        QCoreApplication::exit(exitCode);
    });
    std::optional<AgentWindowFace> face;
    if (windowed)
        face.emplace(core, instance, clock, programName, folder + u"/TarvoAgent.ini"_s,
                     &QSystemTrayIcon::isSystemTrayAvailable);
    QTimer::singleShot(0, &core, &AgentCore::startUp);
    return app.exec();
}
