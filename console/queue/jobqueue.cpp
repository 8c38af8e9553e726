#include "console/queue/jobqueue.h"

#include "common/atomicfile.h"
#include "common/clock.h"
#include "common/formats.h"
#include "console/settings/consolesettings.h"
#include "db/connectionstring.h"
#include "net/frame.h"
#include "signing/updatesignature.h"

#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

struct CommandWord
{
    const char16_t *word;
    int code;
};

const CommandWord Words[] = {
    {u"collect", Frame::RunCollector},
    {u"restart", Frame::RestartAgent},
    {u"terminate", Frame::TerminateAgent},
    {u"distribute", Frame::DistributeFile},
    {u"distribute-restart", Frame::DistributeAndRestart},
    {u"distribute-collect", Frame::DistributeAndCollect},
};

constexpr qint64 MaxDurationSeconds = 366LL * 86400;

const char *const SqliteSchema[] = {
    "CREATE TABLE IF NOT EXISTS QueueJob (JobNo INTEGER PRIMARY KEY AUTOINCREMENT, "
    "Command TEXT NOT NULL, Arguments TEXT NOT NULL, Created INTEGER NOT NULL, "
    "Expires INTEGER NOT NULL, Wake INTEGER NOT NULL, FilePath TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS QueueEntry (JobNo INTEGER NOT NULL, EntryNo INTEGER NOT NULL, "
    "Host TEXT NOT NULL, State TEXT NOT NULL, Status TEXT NOT NULL DEFAULT '', "
    "LastTry INTEGER, ClaimOwner TEXT, ClaimTime INTEGER, PRIMARY KEY (JobNo, EntryNo))",
    "CREATE INDEX IF NOT EXISTS QueueEntryState ON QueueEntry (State, JobNo)",
};

// InnoDB: row locks, so that two consoles claiming the same entry wait for each other and the
// second finds it claimed.
const char *const MariaDbSchema[] = {
    "CREATE TABLE IF NOT EXISTS QueueJob (JobNo BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, "
    "Command VARCHAR(40) NOT NULL, Arguments TEXT NOT NULL, Created BIGINT NOT NULL, "
    "Expires BIGINT NOT NULL, Wake INT NOT NULL, FilePath TEXT NOT NULL) "
    "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
    "CREATE TABLE IF NOT EXISTS QueueEntry (JobNo BIGINT NOT NULL, EntryNo BIGINT NOT NULL, "
    "Host VARCHAR(255) NOT NULL, State VARCHAR(16) NOT NULL, Status TEXT NOT NULL DEFAULT '', "
    "LastTry BIGINT NULL, ClaimOwner VARCHAR(255) NULL, ClaimTime BIGINT NULL, "
    "PRIMARY KEY (JobNo, EntryNo), KEY QueueEntryState (State, JobNo)) "
    "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
};

// An entry nobody holds: no claim, or one older than the claim life (its run was killed).
const QString Unheld = u"(ClaimOwner IS NULL OR ClaimTime < :stale)"_s;

QDateTime fromSeconds(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromSecsSinceEpoch(value.toLongLong());
}

// The rows of a query selecting JobNo, Host, State, Status, LastTry.
QList<QueueEntry> entriesOf(QSqlQuery &query)
{
    QList<QueueEntry> result;
    while (query.next()) {
        result.append({query.value(0).toLongLong(), query.value(1).toString(),
                       query.value(2).toString(), query.value(3).toString(),
                       fromSeconds(query.value(4))});
    }
    return result;
}

} // namespace

int QueueCommandCode(const QString &command)
{
    for (const CommandWord &word : Words) {
        if (command == QStringView(word.word))
            return word.code;
    }
    return 0;
}

QString QueueCommandWord(int code)
{
    for (const CommandWord &word : Words) {
        if (word.code == code)
            return QString::fromUtf16(word.word);
    }
    return {};
}

QStringList QueueCommandWords()
{
    QStringList words;
    for (const CommandWord &word : Words)
        words.append(QString::fromUtf16(word.word));
    return words;
}

QString QueueConnectionString(const ConsoleSettings &settings)
{
    if (settings.QueueConnection.isEmpty())
        return {};
    return buildConnectionString(settings.QueueConnection, settings.SqlUserid,
                                 settings.SqlPassword);
}

std::optional<qint64> ParseQueueDuration(QStringView text)
{
    return Formats::parseDuration(text, MaxDurationSeconds);
}

JobQueue::JobQueue(QString folder, const Clock &clock)
    : m_folder(std::move(folder)), m_clock(clock), m_db(m_folder)
{
}

JobQueue::~JobQueue() = default;

qint64 JobQueue::now() const
{
    return m_clock.now().toSecsSinceEpoch();
}

QString JobQueue::jobFolder(qint64 job) const
{
    return QDir(m_folder).absoluteFilePath(QString::fromUtf16(FilesFolder) + u'/' + QString::number(job));
}

bool JobQueue::open(const QString &connectionString)
{
    m_shared = !connectionString.isEmpty();
    // Absolute: the database layer takes a relative file from its own base folder.
    const QString path = QDir(m_folder).absoluteFilePath(QString::fromUtf16(FileName));
    m_location = m_shared ? u"QueueConnection"_s : path;
    if (!m_shared && !QFileInfo::exists(path)) {
        // An empty file is an empty SQLite database; created so that Database accepts it.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !QFileInfo::exists(path)) {
            m_error = path + u": "_s + file.errorString();
            return false;
        }
    }
    if (!m_db.open(m_shared ? connectionString : u"Provider=SQLite;Data Source="_s + path)) {
        m_error = m_location + u": "_s + m_db.failureText();
        return false;
    }
    if (m_shared && m_db.handle().driverName() != u"QMYSQL") {
        m_error = m_location + u": the queue needs SQLite or MariaDB/MySQL"_s;
        return false;
    }
    QStringList statements;
    if (m_shared) {
        for (const char *statement : MariaDbSchema)
            statements.append(QString::fromLatin1(statement));
    } else {
        // With the write-ahead log a commit is one append: a killed console keeps every
        // commit. Syncing it to the disk is kept for the outcomes of replies (record()), so
        // that a claim or a try without a reply costs no wait for the disk.
        statements.append(u"PRAGMA journal_mode=WAL"_s);
        statements.append(u"PRAGMA synchronous=NORMAL"_s);
        for (const char *statement : SqliteSchema)
            statements.append(QString::fromLatin1(statement));
    }
    for (const QString &statement : std::as_const(statements)) {
        QSqlQuery query(m_db.handle());
        if (!query.exec(statement)) {
            m_error = m_location + u": "_s + query.lastError().text();
            return false;
        }
    }
    return true;
}

bool JobQueue::exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    m_error = m_location + u": "_s + query.lastError().text();
    return false;
}

bool JobQueue::inTransaction(const std::function<bool()> &work)
{
    QSqlDatabase db = m_db.handle();
    auto statement = [&](const QString &text) {
        QSqlQuery query(db);
        if (query.exec(text))
            return true;
        m_error = m_location + u": "_s + query.lastError().text();
        return false;
    };
    // SQLite: IMMEDIATE takes the write lock at once, so two runs queue up on the busy
    // time-out instead of failing on a lock upgrade. InnoDB locks the rows a statement touches.
    const bool begun = m_shared ? db.transaction() : statement(u"BEGIN IMMEDIATE"_s);
    if (!begun) {
        if (m_shared)
            m_error = m_location + u": "_s + db.lastError().text();
        return false;
    }
    if (work()) {
        if (m_shared ? db.commit() : statement(u"COMMIT"_s))
            return true;
        if (m_shared)
            m_error = m_location + u": "_s + db.lastError().text();
    }
    if (m_shared)
        db.rollback();
    else
        QSqlQuery(db).exec(u"ROLLBACK"_s);
    return false;
}

bool JobQueue::copyFile(const QString &source, const QString &target)
{
    // The copy is the queue's own: read-only, and with the original's times, which the
    // distribution hands on to the agent.
    return copyFileAtomically(source, target, QFileDevice::ReadOwner | QFileDevice::ReadGroup,
                              &m_error);
}

std::optional<qint64> JobQueue::addJob(const QString &command, const QString &arguments,
                                       const QStringList &hosts, qint64 lifeSeconds, bool wake,
                                       const QString &sourceFile, bool withSignature)
{
    qint64 number = 0;
    const bool ok = inTransaction([&] {
        const qint64 created = now();
        QSqlQuery insert(m_db.handle());
        insert.prepare(u"INSERT INTO QueueJob (Command, Arguments, Created, Expires, Wake, "
                       "FilePath) VALUES (?, ?, ?, ?, ?, '')"_s);
        insert.addBindValue(command);
        insert.addBindValue(arguments.isNull() ? u""_s : arguments); // NOT NULL
        insert.addBindValue(created);
        insert.addBindValue(created + lifeSeconds);
        insert.addBindValue(wake ? 1 : 0);
        if (!exec(insert))
            return false;
        number = insert.lastInsertId().toLongLong();
        if (!sourceFile.isEmpty()) {
            // A folder of this number can only be left by an add that was killed before its
            // commit: the job never existed.
            QDir folder(jobFolder(number));
            folder.removeRecursively();
            if (!QDir().mkpath(folder.path())) {
                m_error = folder.path() + u": cannot create the folder"_s;
                return false;
            }
            const QString copy = folder.filePath(QFileInfo(sourceFile).fileName());
            if (!copyFile(sourceFile, copy))
                return false;
            const QString signature = UpdateSignature::signatureOf(sourceFile);
            if (withSignature && QFileInfo(signature).isFile()
                && !copyFile(signature, UpdateSignature::signatureOf(copy)))
                return false;
            QSqlQuery path(m_db.handle());
            path.prepare(u"UPDATE QueueJob SET FilePath = ? WHERE JobNo = ?"_s);
            path.addBindValue(copy);
            path.addBindValue(number);
            if (!exec(path))
                return false;
        }
        for (qsizetype i = 0; i < hosts.size(); ++i) {
            QSqlQuery entry(m_db.handle());
            entry.prepare(u"INSERT INTO QueueEntry (JobNo, EntryNo, Host, State) "
                          "VALUES (?, ?, ?, 'pending')"_s);
            entry.addBindValue(number);
            entry.addBindValue(qint64(i));
            entry.addBindValue(hosts[i]);
            if (!exec(entry))
                return false;
        }
        return true;
    });
    if (!ok) {
        if (number > 0 && !sourceFile.isEmpty())
            QDir(jobFolder(number)).removeRecursively();
        return std::nullopt;
    }
    return number;
}

std::optional<QList<QueueJob>> JobQueue::jobs()
{
    QSqlQuery query(m_db.handle());
    query.prepare(u"SELECT j.JobNo, j.Command, j.Arguments, j.Created, j.Expires, j.Wake, "
                  "j.FilePath, "
                  "COUNT(CASE WHEN e.State = 'done' THEN 1 END), "
                  "COUNT(CASE WHEN e.State = 'pending' THEN 1 END), "
                  "COUNT(CASE WHEN e.State = 'failed' THEN 1 END), "
                  "COUNT(CASE WHEN e.State = 'expired' THEN 1 END) "
                  "FROM QueueJob j LEFT JOIN QueueEntry e ON e.JobNo = j.JobNo "
                  "GROUP BY j.JobNo ORDER BY j.JobNo"_s);
    if (!exec(query))
        return std::nullopt;
    QList<QueueJob> result;
    while (query.next()) {
        result.append(QueueJob{query.value(0).toLongLong(), query.value(1).toString(),
                               query.value(2).toString(), fromSeconds(query.value(3)),
                               fromSeconds(query.value(4)), query.value(5).toInt() != 0,
                               query.value(6).toString(), query.value(7).toInt(),
                               query.value(8).toInt(), query.value(9).toInt(),
                               query.value(10).toInt()});
    }
    return result;
}

std::optional<QueueJob> JobQueue::job(qint64 number)
{
    const auto all = jobs();
    if (!all)
        return std::nullopt;
    for (const QueueJob &job : *all) {
        if (job.number == number)
            return job;
    }
    m_error = u"no job "_s + QString::number(number) + u" in the queue"_s;
    return std::nullopt;
}

std::optional<QList<QueueEntry>> JobQueue::entries(qint64 job)
{
    QSqlQuery query(m_db.handle());
    query.prepare(u"SELECT JobNo, Host, State, Status, LastTry FROM QueueEntry WHERE JobNo = ? "
                  "ORDER BY EntryNo"_s);
    query.addBindValue(job);
    if (!exec(query))
        return std::nullopt;
    return entriesOf(query);
}

bool JobQueue::drop(qint64 job)
{
    const std::optional<QueueJob> known = this->job(job);
    if (!known)
        return false;
    const bool ok = inTransaction([&] {
        QSqlQuery entries(m_db.handle());
        entries.prepare(u"DELETE FROM QueueEntry WHERE JobNo = ?"_s);
        entries.addBindValue(job);
        QSqlQuery jobRow(m_db.handle());
        jobRow.prepare(u"DELETE FROM QueueJob WHERE JobNo = ?"_s);
        jobRow.addBindValue(job);
        return exec(entries) && exec(jobRow);
    });
    // The files go once the job is gone: a kill in between leaves a folder that the next job
    // of this number clears, never a job without its file.
    if (ok)
        QDir(jobFolder(job)).removeRecursively();
    return ok;
}

std::optional<int> JobQueue::retry(qint64 job)
{
    if (!this->job(job))
        return std::nullopt;
    int count = 0;
    const bool ok = inTransaction([&] {
        QSqlQuery query(m_db.handle());
        query.prepare(u"UPDATE QueueEntry SET State = 'pending' WHERE JobNo = ? AND State = 'failed'"_s);
        query.addBindValue(job);
        if (!exec(query))
            return false;
        count = query.numRowsAffected();
        return true;
    });
    return ok ? std::optional<int>(count) : std::nullopt;
}

QString JobQueue::ownerName()
{
    static const QString name = QSysInfo::machineHostName() + u':'
                                + QString::number(QCoreApplication::applicationPid()) + u':'
                                + QUuid::createUuid().toString(QUuid::WithoutBraces);
    return name;
}

std::optional<int> JobQueue::releaseDeadClaims(const std::function<bool(qint64)> &isRunning)
{
    int count = 0;
    const QString host = QSysInfo::machineHostName();
    const bool ok = inTransaction([&] {
        QSqlQuery owners(m_db.handle());
        owners.prepare(u"SELECT DISTINCT ClaimOwner FROM QueueEntry WHERE ClaimOwner IS NOT NULL"_s);
        if (!exec(owners))
            return false;
        QStringList dead;
        while (owners.next()) {
            const QString owner = owners.value(0).toString();
            const QStringList parts = owner.split(u':');
            bool number = false;
            const qint64 pid = parts.value(1).toLongLong(&number);
            if (parts.size() == 3 && parts[0] == host && number && !isRunning(pid))
                dead.append(owner);
        }
        for (const QString &owner : std::as_const(dead)) {
            QSqlQuery release(m_db.handle());
            release.prepare(u"UPDATE QueueEntry SET ClaimOwner = NULL, ClaimTime = NULL "
                            "WHERE ClaimOwner = ?"_s);
            release.addBindValue(owner);
            if (!exec(release))
                return false;
            count += release.numRowsAffected();
        }
        return true;
    });
    return ok ? std::optional<int>(count) : std::nullopt;
}

std::optional<int> JobQueue::expire(qint64 claimLifeSeconds)
{
    int count = 0;
    const bool ok = inTransaction([&] {
        QSqlQuery query(m_db.handle());
        query.prepare(u"UPDATE QueueEntry SET State = 'expired' WHERE State = 'pending' AND "_s
                      + Unheld
                      + u" AND JobNo IN (SELECT JobNo FROM QueueJob WHERE Expires <= :now)"_s);
        query.bindValue(u":stale"_s, now() - claimLifeSeconds);
        query.bindValue(u":now"_s, now());
        if (!exec(query))
            return false;
        count = query.numRowsAffected();
        return true;
    });
    return ok ? std::optional<int>(count) : std::nullopt;
}

std::optional<QList<QueueEntry>> JobQueue::triable(qint64 claimLifeSeconds)
{
    QSqlQuery query(m_db.handle());
    query.prepare(u"SELECT e.JobNo, e.Host, e.State, e.Status, e.LastTry FROM QueueEntry e "
                  "JOIN QueueJob j ON j.JobNo = e.JobNo WHERE e.State = 'pending' AND "
                  "j.Expires > :now AND (e.ClaimOwner IS NULL OR e.ClaimTime < :stale) "
                  "ORDER BY e.JobNo, e.EntryNo"_s);
    query.bindValue(u":now"_s, now());
    query.bindValue(u":stale"_s, now() - claimLifeSeconds);
    if (!exec(query))
        return std::nullopt;
    return entriesOf(query);
}

bool JobQueue::claim(const QueueEntry &entry, const QString &owner, qint64 claimLifeSeconds)
{
    m_error.clear();
    bool claimed = false;
    const bool ok = inTransaction([&] {
        QSqlQuery query(m_db.handle());
        query.prepare(u"UPDATE QueueEntry SET ClaimOwner = :owner, ClaimTime = :now "
                      "WHERE JobNo = :job AND Host = :host AND State = 'pending' AND "_s
                      + Unheld
                      + u" AND JobNo IN (SELECT JobNo FROM QueueJob WHERE Expires > :now2)"_s);
        query.bindValue(u":owner"_s, owner);
        query.bindValue(u":now"_s, now());
        query.bindValue(u":now2"_s, now());
        query.bindValue(u":job"_s, entry.job);
        query.bindValue(u":host"_s, entry.host);
        query.bindValue(u":stale"_s, now() - claimLifeSeconds);
        if (!exec(query))
            return false;
        claimed = query.numRowsAffected() == 1;
        return true;
    });
    return ok && claimed;
}

bool JobQueue::record(const QueueEntry &entry, const QString &owner, const QString &state,
                      const QString &status)
{
    // An outcome of a reply survives a power cut too: the commit waits for the disk.
    const bool reply = state != QStringView(QueueState::Pending);
    if (reply && !m_shared)
        QSqlQuery(m_db.handle()).exec(u"PRAGMA synchronous=FULL"_s);
    const bool recorded = inTransaction([&] {
        QSqlQuery query(m_db.handle());
        query.prepare(u"UPDATE QueueEntry SET State = :state, Status = :status, LastTry = :now, "
                      // MariaDB assigns in order, each seeing the ones before: time first.
                      "ClaimTime = CASE WHEN ClaimOwner = :owner THEN NULL ELSE ClaimTime END, "
                      "ClaimOwner = CASE WHEN ClaimOwner = :owner2 THEN NULL ELSE ClaimOwner END "
                      "WHERE JobNo = :job AND Host = :host AND State = 'pending'"_s);
        query.bindValue(u":state"_s, state);
        query.bindValue(u":status"_s, status.isNull() ? u""_s : status);
        query.bindValue(u":now"_s, now());
        query.bindValue(u":owner"_s, owner);
        query.bindValue(u":owner2"_s, owner);
        query.bindValue(u":job"_s, entry.job);
        query.bindValue(u":host"_s, entry.host);
        return exec(query);
    });
    if (reply && !m_shared)
        QSqlQuery(m_db.handle()).exec(u"PRAGMA synchronous=NORMAL"_s);
    return recorded;
}
