// TarvoControl: the administrator's console. With a command it runs on the command line
// without a display; without one it opens the window. Either face is handed the one core.
#include "console/cli/consolecli.h"
#include "console/consolecore.h"
#include "console/ui/consolewindowmain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int runCommandLine(int argc, char **argv, const QStringList &arguments)
{
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = ParseCliArguments(arguments, error);
    if (!options) {
        std::fputs(QString(error + u'\n' + CliUsage()).toUtf8().constData(), stderr);
        return CliExit::Usage;
    }
    ConsoleCore core(ConsoleCore::CommandLineWorkerDelayMs);
    return RunCliCommand(*options, core);
}

int runWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    PrepareConsoleApplication(app);
    ConsoleCore core(ConsoleCore::WindowWorkerDelayMs);
    core.open(ConsoleWindowFolder(QApplication::arguments()));
    return RunConsoleWindow(core);
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = argumentsOf(argc, argv);
    if (HasCliCommand(arguments))
        return runCommandLine(argc, argv, arguments);
    return runWindow(argc, argv);
}
