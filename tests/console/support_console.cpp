#include "support_console.h"

#include <QProcess>

ConsoleSettings testSettings(quint16 port, int timeoutSeconds, int maxControl)
{
    ConsoleSettings settings;
    settings.Port = QString::number(port);
    settings.Timeout = QString::number(timeoutSeconds);
    settings.MaxControl = QString::number(maxControl);
    ComputeConsoleSettingsNumbers(settings);
    return settings;
}

CliRun runConsoleProgram(const QString &folder, const QStringList &arguments,
                         const QString &workingFolder)
{
    QProcess process;
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  QStringList{QStringLiteral("--folder"), folder} + arguments);
    CliRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitCode();
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
