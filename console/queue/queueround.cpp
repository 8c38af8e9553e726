#include "console/queue/queueround.h"

#include "console/batch/batchrun.h"
#include "console/settings/consolesettings.h"
#include "console/batch/wakerun.h"
#include "net/frame.h"
#include "net/protocol.h"

#include <QSet>

using namespace Qt::StringLiterals;

QueueRound::QueueRound(JobQueue &queue, const ConsoleSettings &settings, const NameTable &names,
                       ConsoleFrontEnd &frontEnd, MacDirectory &macs,
                       std::function<bool(qint64)> isRunning, QObject *parent)
    : QObject(parent), m_queue(queue), m_settings(settings), m_names(names),
      m_frontEnd(frontEnd), m_macs(macs), m_isRunning(std::move(isRunning)),
      m_owner(JobQueue::ownerName())
{
}

QueueRound::~QueueRound() = default;

qint64 QueueRound::claimLifeSeconds(const ConsoleSettings &settings)
{
    return qMax<qint64>(60, 3 * qint64(settings.TimeoutMs) / 1000);
}

QString QueueRound::stateOf(const BatchResult &row)
{
    // The end reply (an agent that closed its session) says nothing about the request.
    const Protocol::Reply *reply = Protocol::findReply(row.replyCode);
    if (!reply || reply->request == Frame::EndSession)
        return QString::fromUtf16(QueueState::Pending);
    return QString::fromUtf16(reply->success ? QueueState::Done : QueueState::Failed);
}

bool QueueRound::start(QString &error)
{
    const qint64 life = claimLifeSeconds(m_settings);
    const auto released = m_queue.releaseDeadClaims(m_isRunning);
    const auto expired = released ? m_queue.expire(life) : std::nullopt;
    const auto jobs = m_queue.jobs();
    const auto triable = m_queue.triable(life);
    if (!expired || !jobs || !triable) {
        error = m_queue.errorText();
        return false;
    }
    m_expired = *expired;
    for (const QueueJob &job : *jobs)
        m_jobs.insert(job.number, job);
    m_triable = *triable;

    QStringList toWake;
    QSet<QString> seen;
    for (const QueueEntry &entry : std::as_const(m_triable)) {
        if (m_jobs.value(entry.job).wake && !seen.contains(entry.host)) {
            seen.insert(entry.host);
            toWake.append(entry.host);
        }
    }
    if (!toWake.isEmpty()) {
        m_wake = new WakeRun(m_settings, m_macs, this);
        if (m_wake->open(m_wakeProblem)) {
            connect(m_wake, &WakeRun::finished, this, &QueueRound::startTries);
            m_wake->start(toWake);
            return true;
        }
    }
    startTries();
    return true;
}

void QueueRound::startTries()
{
    fillSlots();
}

void QueueRound::fillSlots()
{
    const qint64 life = claimLifeSeconds(m_settings);
    while (m_active < m_settings.MaxControlCount && m_next < m_triable.size()) {
        // A computer in two jobs gets them one after the other: an agent serves one console.
        qsizetype pick = m_next;
        while (pick < m_triable.size() && m_busyHosts.contains(m_triable.at(pick).host))
            ++pick;
        if (pick == m_triable.size())
            break;
        m_triable.move(pick, m_next);
        const QueueEntry entry = m_triable.at(m_next++);
        if (!m_queue.claim(entry, m_owner, life)) {
            if (m_queue.errorText().isEmpty())
                ++m_heldElsewhere;
            else
                m_outcomes.append({entry, QString::fromUtf16(QueueState::Pending),
                                   m_queue.errorText(), false});
            continue;
        }
        const QueueJob &job = m_jobs[entry.job];
        auto *run = new BatchRun(m_settings, m_names, m_frontEnd, 0, this);
        connect(run, &BatchRun::finished, this, [this, run, entry] { onTried(run, entry); },
                Qt::QueuedConnection);
        ++m_active;
        m_busyHosts.insert(entry.host);
        if (!run->start({entry.host}, QueueCommandCode(job.command), job.filePath)) {
            // Not a command the batch takes: the entry stays pending for a person to look at.
            --m_active;
            m_busyHosts.remove(entry.host);
            run->deleteLater();
            m_queue.record(entry, m_owner, QString::fromUtf16(QueueState::Pending),
                           u"unknown command "_s + job.command);
        }
    }
    if (m_active == 0 && m_next >= m_triable.size() && !m_finished) {
        m_finished = true;
        Q_EMIT finished();
    }
}

void QueueRound::onTried(BatchRun *run, const QueueEntry &entry)
{
    --m_active;
    m_busyHosts.remove(entry.host);
    const BatchResult row = run->rows().value(0);
    run->deleteLater();
    QueueOutcome outcome{entry, stateOf(row), row.status, false};
    outcome.recorded = m_queue.record(entry, m_owner, outcome.state, outcome.status);
    if (!outcome.recorded)
        outcome.status += u" ("_s + m_queue.errorText() + u')';
    m_outcomes.append(outcome);
    Q_EMIT entryFinished(outcome);
    fillSlots();
}
