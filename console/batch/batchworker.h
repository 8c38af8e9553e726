#pragma once

#include "console/connection/requestexchange.h"
#include "net/frame.h"

#include <QObject>
#include <QString>
#include <QTimer>

class ConsoleFrontEnd;
class NameLookup;
struct ConsoleSettings;

/// What a batch run hands to one worker.
struct BatchJob
{
    QString host;     // name or dotted address, as the result row shows it
    int code = 0;     // 130, 140, 150, 500, 510, 520 or 300
    QString filePath; // file requests: the file to distribute
    QString fileName; // file requests: the name the agent stores it under
    int row = 0;      // 0-based row of the result list
    int slot = 0;     // 1-based slot of the slot table
};

/// One batch worker (the worker window's logic): one exchange with one agent (a file request
/// streams the file from disk) that ends with "OK" or "NG" and a status text, with the worker
/// window's texts and progress steps. Its time-out counts from its creation, the name lookup
/// included. finished() is emitted once, on every path, after the sockets are closed.
class BatchWorker : public QObject
{
    Q_OBJECT
public:
    using State = RequestExchange::State;

    /// The largest reply a worker takes: its replies are a code and a short text, and fifty
    /// workers each holding the 256 MiB a file view may need would exhaust the console.
    static constexpr quint32 MaxReplyBytes = 64 * 1024;

    /// The windows start after one second; the command line at once (`startDelayMs` 0).
    /// `lookup`: the run's name lookups, shared by its workers.
    BatchWorker(const BatchJob &job, const ConsoleSettings &settings, NameLookup &lookup,
                ConsoleFrontEnd &frontEnd, int startDelayMs, QObject *parent = nullptr);
    ~BatchWorker() override;

    /// Arms the start timer (StartBatch enables tmrStart).
    void start();
    /// Ends the worker now, before its outcome: its row is NG "中止しました！".
    void cancel();

    const BatchJob &job() const { return m_job; }
    State state() const { return m_exchange.state(); }
    /// lblClient: the status text that goes into the result row.
    const QString &statusText() const { return m_lblClient; }
    /// lblClientResult: "OK" or "NG".
    const QString &result() const { return m_lblClientResult; }
    int progress() const { return m_progress; }
    /// The caption of the worker window: title + " - " + host.
    QString caption() const;
    bool isFinished() const { return m_finished; }
    bool wasConnected() const { return m_connected; }
    /// The reply that ended the worker (0 when none) and its body.
    int replyCode() const { return m_replyCode; }
    const QString &replyBody() const { return m_replyBody; }
    /// Milliseconds from the start of the connect to the reply; -1 without a reply.
    qint64 roundTripMs() const { return m_exchange.roundTripMs(); }

    /// The status text a reply code leaves in the row; "" for a code the worker does not
    /// handle.
    static QString replyStatusText(int replyCode);

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    void progressChanged(int value);
    /// Socket messages of the worker's own status bar.
    void socketStatus(const QString &text);
    void finished(BatchWorker *worker);

private:
    void run();
    bool isFileRequest() const;
    void connectAgent();
    void onConnected();
    void sendTextRequest();
    void sendFileRequest();
    void onSent();
    void onReceiving();
    void onReply(const Frame::Message &message);
    void onFailed(RequestExchange::Failure failure, int wsaError, const QString &text);
    void closeSockets();
    void finish();
    void setStatus(const QString &text);
    void setProgress(int value);

    BatchJob m_job;
    NameLookup &m_lookup;
    ConsoleFrontEnd &m_frontEnd;
    RequestExchange m_exchange;
    QTimer m_tmrStart;
    QString m_lblClient;
    QString m_lblClientResult;
    int m_progress = 0;
    bool m_finished = false;
    bool m_connected = false;
    int m_replyCode = 0;
    QString m_replyBody;
};
