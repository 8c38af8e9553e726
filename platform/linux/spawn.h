#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

/// The detached start shared by Processes::launchDetached and launchAndWaitReady.
namespace ProcessSpawn {

/// The environment variable naming the descriptor a started program writes "1" to when ready.
inline constexpr char ReadyFdVariable[] = "TARVO_READY_FD";
/// The descriptor number the ready pipe gets in the started program.
inline constexpr int ChildReadyFd = 3;

/// Everything the child needs, prepared before fork: after fork only async-signal-safe calls.
struct Plan
{
    QByteArray path;
    QByteArray folder;
    QList<QByteArray> arguments; // argv, program path first
    QList<QByteArray> environment;
};

/// `program` resolved against `workingFolder` (not PATH), the environment without a ready
/// descriptor unless `withReadyFd`.
Plan makePlan(const QString &program, const QStringList &arguments,
              const QString &workingFolder, bool withReadyFd);

/// Starts the plan as a grandchild in its own session (so it is never our zombie and outlives
/// us). `readyFd` >= 0 becomes descriptor 3 of the program; every other descriptor is closed.
/// Returns the program's pid once exec succeeded, or -1 (errno set) when it could not start.
pid_t spawn(const Plan &plan, int readyFd);

} // namespace ProcessSpawn
