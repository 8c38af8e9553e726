#pragma once

#include "agent/consoleconnection.h"
#include "agent/protocolprobe.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

struct AgentContext;
class RequestHandlers;
class SocketNotifier;

/// The agent's TCP server for one console at a time. It keeps one listening socket from Start
/// to Stop or the end of the agent, accepts one console, hands each of its requests to the
/// handlers and sends the reply. The end of a session closes only that console's connection;
/// a console that waited in the backlog meanwhile is accepted next.
class AgentServer : public QObject
{
    Q_OBJECT
public:
    /// `ConnectionState` values.
    enum State : qint16 {
        Listening = 500,
        Connected = 210,
        Handling = 10,
        Closing = 30,
        Error = 1000,
    };

    AgentServer(AgentContext &context, RequestHandlers &handlers, QObject *parent = nullptr);
    ~AgentServer() override;

    /// The owner's Start operation, which the server calls at the end of each session.
    void setStartOperation(std::function<void()> start) { m_start = std::move(start); }

    bool InitSockets();
    /// Opens the listening socket (or keeps the one already open) and waits for a console.
    bool StartListening();
    /// Closes the console's connection and the listening socket (Stop, end of the agent).
    void CloseSockets();
    void ShutdownSockets();

    int ConnectionState() const { return m_state; }
    const QString &PeerLabel() const { return m_peerLabel; }
    /// The port actually listened on (the configured one, or the system's pick for 0).
    int listeningPort() const { return m_listeningPort; }

Q_SIGNALS:
    /// A reply after which the agent ends (131, 151, 511) has gone out: the agent ends.
    void exitRequested();

private:
    bool openListeningSocket();
    void onAcceptNotification(int socket, int event, int error);
    void acceptConnection();
    /// With TlsAccept naming psk: the first byte decides how the console is served.
    void probe(int socket);
    void onProbed(ProtocolProbe::Protocol protocol);
    /// Turns a console away before its session with a main line, and listens on.
    void refuse(int socket, const QString &why);
    void serve(int socket, bool encrypted = false);
    void onOpened(const QString &description);
    void onRequest(const Frame::Message &message, std::optional<Distribution::Result> stored);
    void onReplySent(qint64 bytes);
    void onReplyFailed(int wsaError, const QString &errorText);
    /// What follows a reply: the end of the agent, of the session (901 sent), or the next request.
    void afterReply(bool sent);
    void onConnectionEnded(ConsoleConnection::End end, const QString &detail);
    /// The end of a session: the console's connection closes and the Start operation runs;
    /// the listening socket stays open throughout.
    void endSession();
    /// The listening socket failed: both sockets close and the Start operation opens anew.
    void reopenListener();
    void closeConnection();
    void closeListeningSocket();
    void logMain(const QString &text);
    void logDetail(const QString &text);

    AgentContext &m_context;
    RequestHandlers &m_handlers;
    std::function<void()> m_start;

    qint16 m_state = 0;
    int m_listenSocket = -1;
    SocketNotifier *m_acceptNotifier = nullptr;
    QPointer<ConsoleConnection> m_connection;
    ProtocolProbe *m_probe = nullptr;
    QString m_peerLabel;
    int m_listeningPort = 0;
    int m_requestCode = 0; // the request whose reply is being sent
    int m_replyCode = 0;
};
