#include "console/batch/batchrun.h"

#include "console/batch/batchworker.h"
#include "console/settings/consolesettings.h"
#include "console/connection/namelookup.h"
#include "net/frame.h"
#include "net/protocol.h"
#include "signing/updatesignature.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr int FreeSlot = -1;

} // namespace

bool IsBatchRequest(int code)
{
    // 300 too: the status run, read-only and answered by agents of any version.
    return Protocol::isBatchRequest(code) || code == Frame::GetFileInfo;
}

bool IsFileRequest(int code)
{
    return Protocol::isFileRequest(code);
}

BatchRun::BatchRun(const ConsoleSettings &settings, const NameTable &names,
                   ConsoleFrontEnd &frontEnd, int startDelayMs, QObject *parent)
    : QObject(parent), m_settings(settings), m_names(names), m_frontEnd(frontEnd),
      m_startDelayMs(startDelayMs)
{
}

BatchRun::~BatchRun() = default;

QList<BatchResult> BatchRowsFor(const QStringList &hosts)
{
    QList<BatchResult> rows;
    rows.reserve(hosts.size());
    for (const QString &host : hosts) {
        BatchResult row;
        row.host = host;
        rows.append(row);
    }
    return rows;
}

bool BatchRun::start(const QStringList &hosts, int code, const QString &filePath)
{
    // Without a slot no worker could ever start: the run is refused instead of waiting for ever.
    if (m_running || !IsBatchRequest(code) || m_settings.MaxControlCount < 1)
        return false;
    m_code = code;
    m_filePath = filePath;
    m_rows = BatchRowsFor(hosts);
    m_slots = QList<int>(m_settings.MaxControlCount, FreeSlot);
    // The workers of the last run are over: their lookups go with them.
    m_lookup = std::make_unique<NameLookup>(m_names, m_settings.MaxControlCount);
    m_nextRow = 0;
    m_done = 0;
    m_peakWorkers = 0;
    m_running = true;
    startNext();
    if (m_rows.isEmpty()) {
        m_running = false;
        Q_EMIT finished();
    }
    return true;
}

int BatchRun::lookups() const
{
    return m_lookup ? m_lookup->lookups() : 0;
}

int BatchRun::activeWorkers() const
{
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](int row) { return row != FreeSlot; }));
}

void BatchRun::startNext()
{
    // Rows go out in order, each into the first free slot; the rest wait for a worker to end.
    for (int slot = 0; slot < m_slots.size() && m_nextRow < m_rows.size(); ++slot) {
        if (m_slots[slot] != FreeSlot)
            continue;
        const int row = m_nextRow++;
        m_slots[slot] = row;
        BatchJob job{m_rows[row].host, m_code, m_filePath, QFileInfo(m_filePath).fileName(),
                     row, slot + 1};
        m_peakWorkers = qMax(m_peakWorkers, activeWorkers());
        // A program that goes out with restart takes its signature along, first, as an
        // ordinary distribution: an agent that checks updates needs it before the swap.
        const QString signature = UpdateSignature::signatureOf(m_filePath);
        if (m_code == Frame::DistributeAndRestart && QFileInfo(signature).isFile()) {
            BatchJob signatureJob = job;
            signatureJob.code = Frame::DistributeFile;
            signatureJob.filePath = signature;
            signatureJob.fileName = QFileInfo(signature).fileName();
            m_afterSignature.insert(startWorker(signatureJob, m_startDelayMs), job);
            continue;
        }
        startWorker(job, m_startDelayMs);
    }
}

BatchWorker *BatchRun::startWorker(const BatchJob &job, int startDelayMs)
{
    auto *worker = new BatchWorker(job, m_settings, *m_lookup, m_frontEnd, startDelayMs, this);
    connect(worker, &BatchWorker::finished, this, &BatchRun::onWorkerFinished,
            Qt::QueuedConnection);
    Q_EMIT workerStarted(worker);
    worker->start();
    return worker;
}

void BatchRun::onWorkerFinished(BatchWorker *worker)
{
    // The program follows its signature in the same slot; a signature that did not arrive
    // ends the row with that worker's outcome.
    const auto followUp = m_afterSignature.find(worker);
    if (followUp != m_afterSignature.end()) {
        const BatchJob next = followUp.value();
        m_afterSignature.erase(followUp);
        if (worker->result() == u"OK") {
            worker->deleteLater();
            startWorker(next, 0);
            return;
        }
    }
    const BatchJob &job = worker->job();
    if (job.row >= 0 && job.row < m_rows.size()) {
        m_rows[job.row].result = worker->result();
        m_rows[job.row].status = worker->statusText();
        m_rows[job.row].connected = worker->wasConnected();
        m_rows[job.row].replyCode = worker->replyCode();
        m_rows[job.row].replyBody = worker->replyBody();
        m_rows[job.row].roundTripMs = worker->roundTripMs();
    }
    if (job.slot >= 1 && job.slot <= m_slots.size())
        m_slots[job.slot - 1] = FreeSlot;
    worker->deleteLater();
    ++m_done;
    Q_EMIT rowFinished(job.row);
    if (m_done == m_rows.size()) {
        m_running = false;
        Q_EMIT finished();
        return;
    }
    startNext();
}
