#pragma once

#include "db/database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Clock;
struct ConsoleSettings;
class QSqlQuery;

/// The states of a queue entry.
namespace QueueState {
inline constexpr char16_t Pending[] = u"pending";
inline constexpr char16_t Done[] = u"done";
inline constexpr char16_t Failed[] = u"failed";
inline constexpr char16_t Expired[] = u"expired";
} // namespace QueueState

/// One job of the queue with the counts of its entries.
struct QueueJob
{
    qint64 number = 0;
    QString command;   // the command word ("collect", "distribute-restart", ...)
    QString arguments; // what the administrator gave besides the targets (the original file)
    QDateTime created;
    QDateTime expires;
    bool wake = false;
    QString filePath; // the queue's own copy of the distributed file; "" for the others
    int done = 0;
    int pending = 0;
    int failed = 0;
    int expired = 0;
};

/// One computer of a job.
struct QueueEntry
{
    qint64 job = 0;
    QString host;
    QString state;
    QString status;   // the status text of the last try
    QDateTime lastTry; // invalid before the first try
};

/// The request code of a queue command word; 0 for a word the queue does not take.
int QueueCommandCode(const QString &command);
/// The command word of a request code; "" for a code the queue does not take.
QString QueueCommandWord(int code);
QStringList QueueCommandWords();
/// The connection string of the queue in `settings`: QueueConnection with SqlUserid and
/// SqlPassword, or "" for the embedded database.
QString QueueConnectionString(const ConsoleSettings &settings);
/// "90s", "30m", "12h", "7d" in seconds; nullopt for anything else (0, a sign, no unit, more
/// than a year).
std::optional<qint64> ParseQueueDuration(QStringView text);

/// The durable queue (TarvoQueue.sqlite in the console folder or a shared MariaDB database,
/// copies of distributed files in TarvoQueue.files/<job>/ of the console folder). Every change is its own transaction, committed before the
/// call returns, so a killed console loses nothing it has recorded and never records what did
/// not happen.
///
/// Runs do not wait for each other: each claims an entry (owner and time) in a transaction right
/// before trying it, and an entry with a fresh claim of another run is left to that run. A claim
/// older than the claim life counts as free again (its run was killed), and so does at once a
/// claim of a run on this computer whose process is gone.
class JobQueue
{
public:
    static constexpr char16_t FileName[] = u"TarvoQueue.sqlite";
    static constexpr char16_t FilesFolder[] = u"TarvoQueue.files";

    JobQueue(QString folder, const Clock &clock);
    ~JobQueue();

    /// Opens the queue and creates its tables when missing: `connectionString` empty for the
    /// embedded TarvoQueue.sqlite (created when missing), else a MariaDB/MySQL database that
    /// several consoles share.
    bool open(const QString &connectionString = {});
    const QString &errorText() const { return m_error; }
    QString folder() const { return m_folder; }

    /// Records a job over `hosts` that expires `lifeSeconds` from now; `sourceFile` (file
    /// commands) is copied first, read-only, and with `withSignature` its .minisig too when
    /// there is one. Returns the job number.
    std::optional<qint64> addJob(const QString &command, const QString &arguments,
                                 const QStringList &hosts, qint64 lifeSeconds, bool wake,
                                 const QString &sourceFile, bool withSignature);
    std::optional<QList<QueueJob>> jobs();
    std::optional<QueueJob> job(qint64 number);
    std::optional<QList<QueueEntry>> entries(qint64 job);
    /// Removes the job, its entries and its copied files. False with errorText() for an
    /// unknown job.
    bool drop(qint64 job);
    /// Puts the failed entries of `job` back to pending; the number of entries.
    std::optional<int> retry(qint64 job);

    /// The claim owner of a run in this process: host name, process id and a random part.
    static QString ownerName();
    /// Frees the claims left by runs on this computer whose process has ended (a killed run),
    /// as `isRunning` tells; claims of other computers wait for their claim life. The number
    /// of entries freed.
    std::optional<int> releaseDeadClaims(const std::function<bool(qint64)> &isRunning);
    /// Marks expired the pending entries of expired jobs that no run holds; their number.
    std::optional<int> expire(qint64 claimLifeSeconds);
    /// The pending entries of jobs not expired that no run holds, by job and entry order.
    std::optional<QList<QueueEntry>> triable(qint64 claimLifeSeconds);
    /// Claims an entry for run `owner`; false when it is gone, no longer pending, or held by a
    /// run whose claim is fresh (errorText() empty then) or on a database error.
    bool claim(const QueueEntry &entry, const QString &owner, qint64 claimLifeSeconds);
    /// Records the outcome of a try and frees the claim. An entry that another run has recorded
    /// meanwhile keeps that record.
    bool record(const QueueEntry &entry, const QString &owner, const QString &state,
                const QString &status);

    QString jobFolder(qint64 job) const;

private:
    bool exec(QSqlQuery &query);
    bool inTransaction(const std::function<bool()> &work);
    bool copyFile(const QString &source, const QString &target);
    qint64 now() const;

    QString m_folder;
    const Clock &m_clock;
    Database m_db;
    bool m_shared = false; // MariaDB/MySQL rather than the embedded SQLite file
    QString m_location;    // the file, or "QueueConnection", for the error texts
    QString m_error;
};
