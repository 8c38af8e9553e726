#pragma once

#include "updater/updatercommand.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

/// The updater's main procedure: waits for the agent to end, swaps in a new agent program,
/// starts the agent again, or ends it. Started by the agent (requests 130 and 510) with
/// "restart NAME PROGRAM", "update NAME PROGRAM NEWPROGRAM" or "terminate NAME".
class TarvoUtil
{
public:
    /// The longest the updater waits for the agent from the moment its work starts.
    static constexpr int DefaultLimitMs = 30000;

    /// `folder`: the updater's own folder, which is the agent's folder.
    explicit TarvoUtil(QString folder, int limitMs = DefaultLimitMs);

    /// Acts on `arguments` and returns the exit code (always 0: nobody reads it).
    int run(const QStringList &arguments);

private:
    bool filesPresent(const UpdaterCommand &command) const;
    void restart(const UpdaterCommand &command);
    void update(const UpdaterCommand &command);
    void terminate(const UpdaterCommand &command);
    bool waitForAgent(const UpdaterCommand &command);
    void installNewProgram(const UpdaterCommand &command);
    void backUpProgram(const UpdaterCommand &command);
    /// The swap when updates are signed: only a program that passes the check is installed,
    /// and its signature becomes the record of the running program.
    void installSignedProgram(const UpdaterCommand &command, const QString &keySetting);

    QString m_folder;
    int m_limitMs;
    QDeadlineTimer m_deadline; // the 30 seconds of `frmDummy`
};
