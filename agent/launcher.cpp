#include "agent/launcher.h"

#include "platform/processes.h"

using namespace Qt::StringLiterals;

bool SystemLauncher::launchCollector(const QString &file, const QString &arguments)
{
    if (file.trimmed().isEmpty())
        return false;
    return Processes::launchDetached(file, arguments.split(u' ', Qt::SkipEmptyParts), m_folder);
}

bool SystemLauncher::startUpdater(const QStringList &arguments)
{
    return Processes::launchAndWaitReady(u"TarvoUtil"_s, arguments, m_folder, UpdaterReadyTimeoutMs)
        == Processes::ReadyResult::Ready;
}
