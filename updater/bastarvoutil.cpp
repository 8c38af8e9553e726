#include "updater/bastarvoutil.h"

#include "common/atomicfile.h"
#include "platform/processes.h"
#include "platform/singleinstance.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace basTarvoUtil {
namespace {

constexpr qint64 CopyChunkBytes = 1 << 20;

bool copyContent(QFile &source, AtomicFile::Writer &target,
                 const std::function<void(QByteArrayView)> &inspect)
{
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(CopyChunkBytes);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return false;
        if (inspect)
            inspect(chunk);
        if (!target.write(chunk))
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
    return copyFileReplacing(from, to, {}, {});
}

bool copyFileReplacing(const QString &from, const QString &to,
                       const std::function<void(QByteArrayView)> &inspect,
                       const std::function<bool()> &approve)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo targetInfo(to);
    const QFileDevice::Permissions permissions =
        targetInfo.exists() ? targetInfo.permissions() : source.permissions();
    const QDateTime lastWritten = source.fileTime(QFileDevice::FileModificationTime);

    // A temporary file beside the target, renamed over it once whole: a crash or a full disk
    // never leaves half a program.
    AtomicFile::Writer target(to, permissions);
    if (!target.open() || !copyContent(source, target, inspect) || (approve && !approve())
        || !target.commit())
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
