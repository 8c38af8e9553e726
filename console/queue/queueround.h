#pragma once

#include "console/queue/jobqueue.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class BatchRun;
class ConsoleFrontEnd;
class MacDirectory;
class NameTable;
class WakeRun;
struct BatchResult;
struct ConsoleSettings;

/// What one try of a queue entry came to.
struct QueueOutcome
{
    QueueEntry entry;
    QString state;  // done, failed or pending
    QString status; // the worker's status text
    bool recorded = false;
};

/// One round of the queue: every pending entry of a job not expired is tried once, at most
/// MaxControlCount at a time, each by a batch run of its own (the batch worker's rules, no
/// start delay), right after this round has claimed it. The outcome is recorded as soon as the
/// worker ends: done on the success reply, failed on a failure reply, pending otherwise. Jobs
/// with waking get their computers woken first.
class QueueRound : public QObject
{
    Q_OBJECT
public:
    /// `isRunning` tells whether a process of this computer still runs (the claims of killed
    /// runs are freed with it).
    QueueRound(JobQueue &queue, const ConsoleSettings &settings, const NameTable &names,
               ConsoleFrontEnd &frontEnd, MacDirectory &macs,
               std::function<bool(qint64)> isRunning, QObject *parent = nullptr);
    ~QueueRound() override;

    /// How long a claim holds: a try is at most two requests (a signature, then the program),
    /// each ended by the time-out once nothing moves.
    static qint64 claimLifeSeconds(const ConsoleSettings &settings);
    /// The state a finished batch row leaves.
    static QString stateOf(const BatchResult &row);

    /// Marks the expired entries and starts; false with `error` when the queue cannot be read.
    /// finished() follows (also when nothing is to be tried).
    bool start(QString &error);

    bool isFinished() const { return m_finished; }
    const QString &owner() const { return m_owner; }
    const QList<QueueOutcome> &outcomes() const { return m_outcomes; }
    int expiredCount() const { return m_expired; }
    /// Entries another run held, or had served, when this one came to them.
    int heldElsewhere() const { return m_heldElsewhere; }
    /// Why waking did not happen ("" when it did or was not asked for).
    const QString &wakeProblem() const { return m_wakeProblem; }

Q_SIGNALS:
    void entryFinished(const QueueOutcome &outcome);
    void finished();

private:
    void startTries();
    void fillSlots();
    void onTried(BatchRun *run, const QueueEntry &entry);

    JobQueue &m_queue;
    const ConsoleSettings &m_settings;
    const NameTable &m_names;
    ConsoleFrontEnd &m_frontEnd;
    MacDirectory &m_macs;
    std::function<bool(qint64)> m_isRunning;
    QString m_owner;
    QHash<qint64, QueueJob> m_jobs;
    QList<QueueEntry> m_triable;
    qsizetype m_next = 0;
    int m_active = 0;
    QSet<QString> m_busyHosts;
    QList<QueueOutcome> m_outcomes;
    int m_expired = 0;
    int m_heldElsewhere = 0;
    QString m_wakeProblem;
    WakeRun *m_wake = nullptr;
    bool m_finished = false;
};
