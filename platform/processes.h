#pragma once

#include <QString>
#include <QStringList>

/// Starting, waiting for and ending other processes.
namespace Processes {

/// Starts `program` (a name relative to `workingFolder`, or a path) detached, in
/// `workingFolder`, without waiting for it, as "open" through the shell does. True when the
/// program was found and started (exec succeeded); `pid` receives its process id.
bool launchDetached(const QString &program, const QStringList &arguments,
                    const QString &workingFolder, qint64 *pid = nullptr);

enum class ReadyResult { Ready, TimedOut, FailedToStart };
/// Starts `program` detached and waits, on a local event loop (the program keeps serving its
/// events), until the new process calls signalReady(), ends, or `timeoutMs` passes.
/// `pid` receives the new process's id when it was started.
ReadyResult launchAndWaitReady(const QString &program, const QStringList &arguments,
                               const QString &workingFolder, int timeoutMs,
                               qint64 *pid = nullptr);
/// In a program started by launchAndWaitReady(): tells the starter that it is ready.
/// Does nothing when the program was started otherwise.
void signalReady();

/// Waits, without polling, until process `pid` has ended or `timeoutMs` has passed.
/// True when it has ended (or never existed).
bool waitForExit(qint64 pid, int timeoutMs);
/// Whether process `pid` exists (also when it belongs to another user).
bool isRunning(qint64 pid);
/// Ends process `pid` by force (SIGKILL) and waits for it to be gone.
bool terminate(qint64 pid);

} // namespace Processes
