#pragma once

#include "net/frame.h"
#include "net/transferdeadline.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class AgentSession;
class NameLookup;
struct ConsoleSettings;

/// One request to one agent, as the single connection and every batch worker make it: create the
/// socket, look the name up, connect, send the request (or a file request streamed from disk),
/// await the reply to it, send the end request where the protocol table says so, close. It owns
/// the session, the time-out and the state; its owner words the status texts and shows the reply.
/// One exchange may serve one request after another.
class RequestExchange : public QObject
{
    Q_OBJECT
public:
    /// ConnectionState values.
    enum State : qint16 {
        Idle = 10, // connected or idle
        ClosedByAgent = 30,
        Connecting = 110,
        WaitingForReply = 220,
        Failed = 1000,
    };
    Q_ENUM(State)

    /// What ended an exchange before its reply.
    enum class Failure {
        Connect,      // no connection (unknown name, refused, unreachable)
        Handshake,    // connected, but the encrypted session did not open
        Send,         // the request could not be sent
        File,         // the file of a file request could not be read
        TooLarge,     // the reply declares more bytes than the bound
        Closed,       // the agent closed or reset the connection
        Receive,      // reading failed
        Notification, // the read notification carried an error
        Timeout,
    };
    Q_ENUM(Failure)

    /// `settings` is read at each begin() (Port, Timeout, the transport), so a saved change
    /// applies to the next request.
    RequestExchange(const ConsoleSettings &settings, quint32 maxReplyBytes,
                    QObject *parent = nullptr);
    ~RequestExchange() override;

    /// Bound on a reply's declared length; takes effect at the first begin().
    void setMaxReplyBytes(quint32 bytes) { m_maxReplyBytes = bytes; }

    /// Starts the time-out unless it already runs: it bounds everything up to the request sent.
    void startTimeout();
    /// Creates the socket, then connects to `host` once `lookup` has found it. False (with the
    /// socket layer's `errorText`) when the socket cannot be created; otherwise connected() or
    /// failed() follows.
    bool begin(NameLookup &lookup, const QString &host, int requestCode, QString &errorText);
    /// Sends the request; sent() or failed() follows, then the wait for the reply to it.
    void send(QByteArray request);
    /// Sends a file request: `head`, then the file's first `fileBytes` bytes. The time-out starts
    /// anew and a steady rate earns more time.
    void sendWithFile(QByteArray head, const QString &filePath, qint64 fileBytes);
    /// After the reply `replyCode`: the end request where the protocol table says so, then close().
    void endAfterReply(int replyCode);
    /// The end request on the open connection.
    void sendEnd();
    /// Stops the time-out and closes the socket, with the two socket status texts.
    void close();
    /// The same, without the texts.
    void closeQuietly();
    /// Given up by the user: the state is Failed, then close().
    void cancel();

    bool isOpen() const;
    State state() const { return m_state; }
    int requestCode() const { return m_requestCode; }
    /// Milliseconds from the start of the connect to the reply; -1 without a reply.
    qint64 roundTripMs() const { return m_roundTripMs; }

Q_SIGNALS:
    /// The socket layer's progress ("ソケットが生成されました！", "接続しています･･･", ...).
    void socketStatus(const QString &text);
    void stateChanged(RequestExchange::State state);
    void connected();
    /// The request has gone (`bytes` of it); the reply is awaited.
    void sent(qint64 bytes);
    /// Part of the reply arrived (0 for the part that completes a frame).
    void receiving(qint64 bytes);
    /// The reply to the request (or the agent's end reply); the state says which.
    void replied(const Frame::Message &message);
    /// The exchange failed: `wsaError` and `text` as the socket layer gave them.
    void failed(RequestExchange::Failure failure, int wsaError, const QString &text);

private:
    void makeSession();
    void onTargetFound(const QString &address, int wsaError);
    void onConnected();
    void onSent(qint64 bytes);
    void onReply(const Frame::Message &message);
    void fail(Failure failure, int wsaError = 0, const QString &text = {});
    void setState(State state);

    const ConsoleSettings &m_settings;
    quint32 m_maxReplyBytes;
    AgentSession *m_session = nullptr;
    TransferDeadline m_timeout;
    State m_state = Idle;
    int m_requestCode = 0;
    QElapsedTimer m_roundTrip;
    qint64 m_roundTripMs = -1;
};
