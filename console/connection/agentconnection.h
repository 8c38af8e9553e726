#pragma once

#include "console/connection/requestexchange.h"
#include "net/frame.h"

#include <QObject>
#include <QString>

#include <memory>

class Clock;
class ConsoleFrontEnd;
class NameLookup;
class NameTable;
struct ConsoleSettings;

/// The main window's single connection: each command is one exchange with its target (connect,
/// one request, its reply, the end request where the protocol table says so, close), whose reply
/// is shown through the front end and the Show* signals. Status texts and boxes come in the order
/// the window has always shown them. One command at a time; a reply that does not come within
/// the settings' Timeout ends the command. The target's name is looked up off the event thread,
/// within the same Timeout, so the window never waits on a name server.
class AgentConnection : public QObject
{
    Q_OBJECT
public:
    using State = RequestExchange::State;

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

    State ConnectionState() const { return m_exchange.state(); }
    bool busy() const { return m_busy; }
    /// The code and payload text of the last complete reply.
    int ReplyCode() const { return m_replyCode; }
    const QString &ReplyBody() const { return m_replyBody; }

    /// The clock for the "hh:mm:ss" of the final status texts.
    void setClock(const Clock *clock) { m_clock = clock; }
    /// Bound on a reply's declared length.
    void setMaxReplyBytes(quint32 bytes) { m_exchange.setMaxReplyBytes(bytes); }

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
    void stateChanged(RequestExchange::State state);
    /// The command is over: `replyCode` is the handled reply, 0 when the command failed without
    /// one (connection, send, receive, time-out, oversized reply).
    void commandFinished(int requestCode, int replyCode);

private:
    void onConnected();
    void onSent(qint64 bytes);
    void onReply(const Frame::Message &message);
    void onFailed(RequestExchange::Failure failure, int wsaError, const QString &text);
    void dispatch(int code, const QString &body);
    void finish(int replyCode);
    QString timeText() const;

    const NameTable &m_names;
    ConsoleFrontEnd &m_frontEnd;
    const Clock *m_clock = nullptr;
    RequestExchange m_exchange;
    std::unique_ptr<NameLookup> m_lookup; // the current command's; a late answer dies with it
    bool m_busy = false;
    int m_requestCode = 0;
    QByteArray m_request;
    int m_replyCode = 0;
    QString m_replyBody;
};
