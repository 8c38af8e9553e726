#pragma once

#include "agent/distribution.h"
#include "net/frame.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

struct AgentContext;
class RequestHandlers;
class SocketNotifier;
class SocketSender;
class FileSpool;

/// The agent's TCP server for one console at a time: listens on `Port`, accepts one
/// connection, assembles request frames, hands each to its handler and sends the reply, and
/// returns to listening when the connection ends, fails or stays idle for `TimeOut`.
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

    /// The owner's Start operation, which the server calls after each connection and error.
    void setStartOperation(std::function<void()> start) { m_start = std::move(start); }

    bool InitSockets();
    bool StartListening();
    void CloseSockets();
    void ShutdownSockets();

    int ConnectionState() const { return m_state; }
    const QString &PeerLabel() const { return m_peerLabel; }
    /// The port actually listened on (the configured one, or the system's pick for 0).
    int listeningPort() const { return m_listeningPort; }
    /// Whether the next chunk starts a new frame (set when the server starts).
    void resetFrame() { m_assembler.reset(); }

Q_SIGNALS:
    /// A reply to 130, 150 or 510 has gone out: the agent ends.
    void exitRequested();

private:
    void onAcceptNotification(int socket, int event, int error);
    void onDataNotification(int socket, int event, int error);
    void onTimeout();
    void acceptConnection();
    void receive();
    /// A frame into the assembler; a large file request goes on into a spool.
    void assemble(QByteArrayView chunk);
    void spool(QByteArrayView chunk);
    /// `stored`: the outcome of a file request already spooled to its place.
    void handleMessage(const Frame::Message &message,
                       std::optional<Distribution::Result> stored = std::nullopt);
    void onReplySent(qint64 bytes);
    void onReplyFailed(int wsaError, const QString &errorText);
    void closeConnection(const QString &mainLine);
    void reset();
    void startAgain();
    /// CloseSockets and Start, the console's connection closed last.
    void restartListening();
    void closeLingeringSocket();
    void setReading(bool on);
    void logMain(const QString &text);
    void logDetail(const QString &text);

    AgentContext &m_context;
    RequestHandlers &m_handlers;
    std::function<void()> m_start;

    qint16 m_state = 0;
    int m_listenSocket = -1;
    int m_dataSocket = -1;
    int m_lingeringSocket = -1;
    std::unique_ptr<FileSpool> m_spool;
    QByteArray m_readBuffer;
    bool m_deferDataClose = false;
    SocketNotifier *m_acceptNotifier = nullptr;
    SocketNotifier *m_dataNotifier = nullptr;
    SocketSender *m_sender = nullptr;
    QTimer m_tmrTimeout;
    FrameAssembler m_assembler;
    QString m_peerLabel;
    int m_listeningPort = 0;
    int m_requestCode = 0;  // the request whose reply is being sent
    int m_replyCode = 0;
};
