#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

/// The updater's helpers: files, finding, awaiting and ending the agent, starting a program.
/// Names of files are relative to the current folder (the updater's folder) or paths.
namespace basTarvoUtil {

/// Whether `file` can be opened for reading.
bool fileExists(const QString &file);

/// The last-write time of `file` in local time, whole seconds; nullopt when it cannot be read.
std::optional<QDateTime> readLastWriteTime(const QString &file);

/// The backup of the old program: `agentName` + "." + its last-write date as mmddyyyy.
QString backupFileName(const QString &agentName, const QDateTime &lastWritten);

/// Copies `from` over `to` (replacing it) so that `to` is at every moment either the old or
/// the complete new file. The copy keeps the permissions `to` had (else those of `from`) and
/// the last-write time of `from`.
bool copyFileReplacing(const QString &from, const QString &to);
/// As above, showing every byte copied to `inspect`; the copy replaces `to` only when
/// `approve` (called once the copy is whole, before the rename) agrees. So what is checked is
/// exactly what is installed, even when `from` changes meanwhile.
bool copyFileReplacing(const QString &from, const QString &to,
                       const std::function<void(QByteArrayView)> &inspect,
                       const std::function<bool()> &approve);

/// Waits until the program running as `agentName` in `folder` has ended, at most `timeoutMs`.
/// True when it has ended or none was running.
bool waitForAgent(const QString &agentName, const QString &folder, int timeoutMs);

/// Ends the program running as `agentName` in `folder` by force. True when none is left.
bool endProgram(const QString &agentName, const QString &folder);

/// Starts `file` in `folder`, detached, without waiting for it.
bool startProgram(const QString &file, const QString &folder);

} // namespace basTarvoUtil
