#include "updater/bastarvoutil.h"

#include "platform/processes.h"
#include "platform/singleinstance.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace basTarvoUtil {
namespace {

constexpr qint64 CopyChunkBytes = 1 << 20;

bool copyContent(QFile &source, QSaveFile &target)
{
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(CopyChunkBytes);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return false;
        if (target.write(chunk) != chunk.size())
            return false;
    }
    return true;
}

void keepLastWriteTime(const QString &file, const QDateTime &lastWritten)
{
    QFile copy(file);
    if (lastWritten.isValid() && copy.open(QIODevice::ReadOnly))
        copy.setFileTime(lastWritten, QFileDevice::FileModificationTime);
}

} // namespace

bool fileExists(const QString &file)
{
    if (file.isEmpty())
        return false;
    QFile probe(file);
    return probe.open(QIODevice::ReadOnly | QIODevice::Text);
}

std::optional<QDateTime> readLastWriteTime(const QString &file)
{
    QFile probe(file);
    if (file.isEmpty() || !probe.open(QIODevice::ReadOnly))
        return std::nullopt;
    QDateTime lastWritten = probe.fileTime(QFileDevice::FileModificationTime).toLocalTime();
    if (!lastWritten.isValid())
        return std::nullopt;
    lastWritten.setTime(QTime(lastWritten.time().hour(), lastWritten.time().minute(),
                              lastWritten.time().second()));
    return lastWritten;
}

QString backupFileName(const QString &agentName, const QDateTime &lastWritten)
{
    return agentName + u'.' + lastWritten.date().toString(u"MMddyyyy"_s);
}

bool copyFileReplacing(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo targetInfo(to);
    const QFileDevice::Permissions permissions =
        targetInfo.exists() ? targetInfo.permissions() : source.permissions();
    const QDateTime lastWritten = source.fileTime(QFileDevice::FileModificationTime);

    // QSaveFile writes a temporary file beside the target and renames it over the target on
    // commit: a crash or a full disk never leaves half a program.
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    target.setPermissions(permissions);
    if (!copyContent(source, target)) {
        target.cancelWriting();
        return false;
    }
    if (!target.commit())
        return false;
    keepLastWriteTime(to, lastWritten);
    return true;
}

bool waitForAgent(const QString &agentName, const QString &folder, int timeoutMs)
{
    const std::optional<qint64> pid = SingleInstance::findRunning(agentName, folder);
    return !pid || Processes::waitForExit(*pid, timeoutMs);
}

bool endProgram(const QString &agentName, const QString &folder)
{
    const std::optional<qint64> pid = SingleInstance::findRunning(agentName, folder);
    return !pid || Processes::terminate(*pid);
}

bool startProgram(const QString &file, const QString &folder)
{
    return Processes::launchDetached(file, {}, folder);
}

} // namespace basTarvoUtil
