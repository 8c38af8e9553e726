#pragma once

#include "net/frame.h"
#include "net/transferdeadline.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class AgentSession;
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

/// One batch worker (the worker window's logic): connects to one agent, sends one request (a
/// file request streams the file from disk), waits for the reply, and ends with "OK" or "NG"
/// and a status text. Its time-out counts from its creation, the name lookup included.
/// finished() is emitted once, on every path, after the sockets are closed.
class BatchWorker : public QObject
{
    Q_OBJECT
public:
    enum State : qint16 {
        Idle = 10, ClosedByAgent = 30, Connecting = 110, WaitingForReply = 220, Failed = 1000,
    };
    Q_ENUM(State)

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
    State state() const { return m_state; }
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
    qint64 roundTripMs() const { return m_roundTripMs; }

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
    void onTargetFound(const QString &address, int wsaError);
    void onConnected();
    void onConnectFailed();
    void sendTextRequest();
    void sendFileRequest();
    void onSent();
    void onSendFailed(const QString &errorText);
    void onFileFailed();
    void onReceiving(qint64 bytes);
    void onReply(const Frame::Message &message);
    void onClosedByAgent(int wsaError);
    void onReceiveFailed();
    void onTimeout();
    void closeSockets();
    void finish();
    void setStatus(const QString &text);
    void setProgress(int value);

    BatchJob m_job;
    const ConsoleSettings &m_settings;
    NameLookup &m_lookup;
    ConsoleFrontEnd &m_frontEnd;
    AgentSession *m_session = nullptr;
    QTimer m_tmrStart;
    TransferDeadline m_tmrTimeout;
    State m_state = Idle;
    QString m_lblClient;
    QString m_lblClientResult;
    int m_progress = 0;
    bool m_finished = false;
    bool m_connected = false;
    int m_replyCode = 0;
    QString m_replyBody;
    QElapsedTimer m_roundTrip;
    qint64 m_roundTripMs = -1;
};
