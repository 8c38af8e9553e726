#pragma once

#include "net/frame.h"
#include "net/transferdeadline.h"

#include <QObject>
#include <QString>

#include <memory>

class AgentSession;
class Clock;
class ConsoleFrontEnd;
class NameLookup;
class NameTable;
struct ConsoleSettings;

/// The main window's single connection: for each command it connects to the target, sends one
/// request, reassembles the reply, shows it through the front end and the Show* signals, sends
/// the end request where the protocol table says so, and closes. Status texts and boxes come in
/// the order the window has always shown them. One command at a time; a reply that does not
/// come within the settings' Timeout ends the command. The target's name is looked up off the
/// event thread, within the same Timeout, so the window never waits on a name server.
class AgentConnection : public QObject
{
    Q_OBJECT
public:
    /// ConnectionState values.
    enum State : qint16 {
        Idle = 10,              // connected or idle
        ClosedByAgent = 30,
        Connecting = 110,
        WaitingForReply = 220,
        Failed = 1000,
    };
    Q_ENUM(State)

    /// `settings` is read at each command (Port, Timeout), so a saved change applies to the next.
    AgentConnection(const ConsoleSettings &settings, const NameTable &names,
                    ConsoleFrontEnd &frontEnd, QObject *parent = nullptr);
    ~AgentConnection() override;

    /// Status texts of the socket layer's start; false (after the application-error box) when it
    /// cannot start, and the caller ends the program.
    bool InitSockets();
    /// Sends the end request on an open connection, closes it, and says the resources are free.
    void ReleaseSockets();

    /// Starts one command to `host`. False when refused: a command is still outstanding (status
    /// text, nothing sent) or the code is not a single-connection request.
    bool SendCommand(const QString &host, int code, const QString &data);

    State ConnectionState() const { return m_state; }
    bool busy() const { return m_busy; }
    /// The code and payload text of the last complete reply.
    int ReplyCode() const { return m_replyCode; }
    const QString &ReplyBody() const { return m_replyBody; }

    /// The clock for the "hh:mm:ss" of the final status texts.
    void setClock(const Clock *clock) { m_clock = clock; }
    /// Bound on a reply's declared length.
    void setMaxReplyBytes(quint32 bytes) { m_maxReplyBytes = bytes; }

    /// The final status text and the box of a reply code, with `body` and `time` filled in;
    /// used by the dispatch and shown by the command line.
    struct Outcome
    {
        QString box;           // "" when no exclamation box is shown
        QString status;        // "" when the status text stays as it is
        bool success = false;
    };
    static Outcome outcomeOf(int replyCode, const QString &body, const QString &time);

Q_SIGNALS:
    void ShowParameters(const QString &body);
    void ShowFileList(const QString &body);
    void ShowDataFile(const QString &body);
    void ShowStatusLog(const QString &body);
    void stateChanged(AgentConnection::State state);
    /// The command is over: `replyCode` is the handled reply, 0 when the command failed without
    /// one (connection, send, receive, time-out, oversized reply).
    void commandFinished(int requestCode, int replyCode);

private:
    void setState(State state);
    void onTargetFound(const QString &address, int wsaError);
    void onConnected();
    void onConnectFailed();
    void onHandshakeFailed(const QString &reason);
    void onSent(qint64 bytes);
    void onSendFailed(const QString &errorText);
    void onReply(const Frame::Message &message);
    void onReplyTooLarge();
    void onClosedByAgent(int wsaError);
    void onReceiveFailed(const QString &errorText);
    void onNotificationFailed();
    void onTimeout();
    void dispatch(int code, const QString &body);
    void SendEnd();
    void CloseConnection();
    void finish(int replyCode);
    QString timeText() const;

    const ConsoleSettings &m_settings;
    const NameTable &m_names;
    ConsoleFrontEnd &m_frontEnd;
    const Clock *m_clock = nullptr;
    quint32 m_maxReplyBytes = Frame::DefaultMaxBytes;
    AgentSession *m_session = nullptr;
    std::unique_ptr<NameLookup> m_lookup; // the current command's; a late answer dies with it
    TransferDeadline m_timeout;
    State m_state = Idle;
    bool m_busy = false;
    int m_requestCode = 0;
    QByteArray m_request;
    int m_replyCode = 0;
    QString m_replyBody;
};
