// TarvoControl: the administrator's console. With a command it runs on the command line
// without a display; without one it opens the window.
#include "console/cli/consolecli.h"
#include "console/ui/consolewindowmain.h"

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
    return RunCliCommand(*options);
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = argumentsOf(argc, argv);
    if (HasCliCommand(arguments))
        return runCommandLine(argc, argv, arguments);
    return RunConsoleWindow(argc, argv);
}
