#pragma once

#include "console/batch/batchworker.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class ConsoleFrontEnd;
class NameLookup;
class NameTable;
struct ConsoleSettings;

/// One row of a batch result list: the computer, "OK"/"NG" (empty until its worker ends) and
/// the worker's status text; for the readers of replies (status) also the reply itself.
struct BatchResult
{
    QString host;
    QString result;
    QString status;
    bool connected = false; // the connection was made (a failed one may be woken and retried)
    int replyCode = 0;      // the reply that ended the worker; 0 when none came
    QString replyBody;
    qint64 roundTripMs = -1; // from the start of the connect to the reply
};

/// One empty result row per computer, in the order given.
QList<BatchResult> BatchRowsFor(const QStringList &hosts);

/// A batch run over many computers (StartBatch and the slot table): at most MaxControlCount
/// workers at a time, each started in row order as soon as a slot is free; each worker writes
/// its outcome into its row and frees its slot when it ends. Each run looks every name up once,
/// with the resolver of the name table, off the event thread.
class BatchRun : public QObject
{
    Q_OBJECT
public:
    BatchRun(const ConsoleSettings &settings, const NameTable &names, ConsoleFrontEnd &frontEnd,
             int startDelayMs, QObject *parent = nullptr);
    ~BatchRun() override;

    /// Starts `code` (130, 140, 150, 500, 510, 520, or 300 for a status run) for every host; `filePath` for the file
    /// requests. False when a run is still going, the code is not a batch request, or
    /// MaxControlCount is below 1 (nothing starts).
    bool start(const QStringList &hosts, int code, const QString &filePath = {});

    bool isRunning() const { return m_running; }
    int code() const { return m_code; }
    const QString &filePath() const { return m_filePath; }
    const QList<BatchResult> &rows() const { return m_rows; }
    /// The slot table: per slot the 0-based row its worker handles, -1 when free.
    const QList<int> &slotRows() const { return m_slots; }
    int activeWorkers() const;
    /// The most workers that were alive at the same time in this run.
    int peakWorkers() const { return m_peakWorkers; }
    /// Names given to the resolver in this run (each at most once).
    int lookups() const;

Q_SIGNALS:
    /// A worker was created for `row` (the windows show a worker window for it).
    void workerStarted(BatchWorker *worker);
    /// A row got its result and status text.
    void rowFinished(int row);
    /// Every row has its result.
    void finished();

private:
    void startNext();
    BatchWorker *startWorker(const BatchJob &job, int startDelayMs);
    void onWorkerFinished(BatchWorker *worker);

    const ConsoleSettings &m_settings;
    const NameTable &m_names;
    ConsoleFrontEnd &m_frontEnd;
    int m_startDelayMs;
    std::unique_ptr<NameLookup> m_lookup; // this run's
    int m_code = 0;
    QString m_filePath;
    QList<BatchResult> m_rows;
    QList<int> m_slots;
    int m_nextRow = 0;
    int m_done = 0;
    int m_peakWorkers = 0;
    bool m_running = false;
    /// The program request of each worker that sends a signature first.
    QHash<BatchWorker *, BatchJob> m_afterSignature;
};

/// The request codes of the batch runs.
bool IsBatchRequest(int code);
bool IsFileRequest(int code);
