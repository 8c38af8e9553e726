#pragma once

#include "net/frame.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QFile;
class StreamConnection;
class Transport;

/// One TCP connection from the console to an agent: connect, send a frame (or a frame whose file
/// part is streamed from disk), reassemble the reply with the bounded assembler, close. The
/// exchange of a request (the single connection's, every batch worker's) owns one; all run on the
/// event-loop thread.
class AgentSession : public QObject
{
    Q_OBJECT
public:
    /// Bytes read from a file and queued per step of a streamed send: the console's memory per
    /// worker stays near this, whatever the file's size.
    static constexpr qint64 StreamChunkBytes = 256 * 1024;

    explicit AgentSession(quint32 maxReplyBytes = Frame::DefaultMaxBytes,
                          QObject *parent = nullptr);
    ~AgentSession() override;

    /// Creates the socket; false with `errorText` (the Windows Sockets text) on failure.
    bool create(QString &errorText);
    /// Starts connecting to `address`:`port`; the outcome arrives as connected() or
    /// connectFailed(). A target that cannot even be tried (unknown name) fails the same way,
    /// from the event loop.
    void connectTo(const QString &address, const QString &port);
    /// Fails the connect as an unknown name does (connectFailed() with `wsaError` and its text,
    /// from the event loop), for a name the lookup found no address for.
    void failConnect(int wsaError);
    /// Sends every byte of `frame`; sent() or sendFailed() follows.
    void send(QByteArray frame);
    /// Sends `head` followed by the file's first `fileBytes` bytes read in chunks as the socket
    /// takes them. A file that cannot be opened or ends early gives fileFailed().
    void sendWithFile(QByteArray head, const QString &filePath, qint64 fileBytes);
    /// Waits for one reply frame: replyReceived(), replyTooLarge(), closedByAgent() or
    /// receiveFailed() follows.
    void startReading();
    /// Stops all notifications and closes the socket (idempotent).
    void close();

    bool isOpen() const;
    /// The Windows Sockets code of the last receive or connect error; 0 when none.
    int lastError() const;
    /// The transport of the connections made from now on (plain without one).
    void setTransportFactory(std::function<std::unique_ptr<Transport>(int)> factory);

Q_SIGNALS:
    void connected();
    void connectFailed(int wsaError, const QString &errorText);
    /// The connection was made but the encrypted session could not be opened; `reason` says
    /// why (wrong key, unknown identity, a peer without TLS) and never holds the key.
    void handshakeFailed(const QString &reason);
    void sent(qint64 bytes);
    void sendFailed(int wsaError, const QString &errorText);
    void fileFailed();
    /// A chunk of a streamed file has gone to the socket.
    void chunkSent(qint64 bytes);
    /// A chunk of the reply arrived (the frame is not complete yet).
    void receiving(qint64 bytes);
    void replyReceived(const Frame::Message &message);
    /// The reply declares more bytes than the bound (or fewer than a header).
    void replyTooLarge(quint32 declaredLength);
    /// The agent closed the connection; `wsaError` 10054 when it was reset.
    void closedByAgent(int wsaError);
    /// recv() failed.
    void receiveFailed(int wsaError, const QString &errorText);
    /// The read notification itself carried an error.
    void notificationFailed(int wsaError);

private:
    void onReceived(QByteArrayView chunk);
    void onFailed(int failure, int wsaError, const QString &errorText);
    void onSent(qint64 bytes);
    void sendNextFileChunk();
    void stopReading();

    StreamConnection *m_stream;
    bool m_reading = false;
    qint64 m_sentTotal = 0;
    qint64 m_fileLeft = 0;
    std::unique_ptr<QFile> m_file;
    FrameAssembler m_assembler;
};
