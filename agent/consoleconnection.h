#pragma once

#include "agent/distribution.h"
#include "net/frame.h"
#include "net/transferdeadline.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class FileSpool;
class StreamConnection;

/// One accepted console: its socket, the frames it sends (assembled in memory, or a large file
/// spooled straight to its place), the replies sent back whole, and its idle time-out. It knows
/// nothing of handlers, log lines or listening; it tells its owner what happened.
class ConsoleConnection : public QObject
{
    Q_OBJECT
public:
    /// Why a connection is over.
    enum class End {
        PeerClosed,        // the console closed (recv returned 0)
        IdleTimeOut,       // no notification for `TimeOut`
        NotificationError, // the socket reported an error
        ReceiveError,      // recv failed; the detail is the error text
        BadFrame,          // a declared length out of bounds; the detail is that length
        HandshakeFailed,   // the encrypted session could not be opened; the detail says why
    };

    struct Limits
    {
        int idleTimeOutMs = 0;
        quint32 maxFrameBytes = Frame::DefaultMaxBytes;
    };

    /// Takes ownership of `socket` (closed with the connection). `folder` and `programName`
    /// place a spooled file. The stream's transport is chosen through stream() before start().
    ConsoleConnection(int socket, QString peerLabel, Limits limits, QString folder,
                      QString programName, QObject *parent = nullptr);
    ~ConsoleConnection() override;

    const QString &peerLabel() const { return m_peerLabel; }
    StreamConnection &stream() { return *m_stream; }
    /// The file no request of this connection may replace (the key file over a plain session).
    void setGuardedFile(QString path) { m_guardedFile = std::move(path); }

    /// Starts reading requests and the idle time-out.
    void start();
    /// Sends a reply frame whole; replySent() or replyFailed() follows from the event loop.
    /// Reading and the idle time-out stay off until resume().
    void sendReply(QByteArray frame);
    /// Reads the next request: one that came together with the last is delivered at once.
    void resume();
    /// Stops everything and closes the socket; no signal follows.
    void close();

Q_SIGNALS:
    /// The byte stream is open (an encrypted one once its handshake is done); `description`
    /// names the transport ("" for plain).
    void opened(const QString &description);
    /// A complete request. `stored`: for a large file request, the outcome of storing its
    /// file while it arrived. Reading and the idle time-out stop until resume().
    void requestReceived(const Frame::Message &message,
                         std::optional<Distribution::Result> stored);
    void replySent(qint64 bytes);
    void replyFailed(int wsaError, const QString &errorText);
    /// The connection is over; the owner closes it.
    void ended(ConsoleConnection::End end, const QString &detail);

private:
    void onReceived(QByteArrayView chunk);
    void updateReadChunk();
    void assemble(QByteArrayView chunk);
    void spool(QByteArrayView chunk);
    void deliver(const Frame::Message &message,
                 std::optional<Distribution::Result> stored = std::nullopt);
    void setReading(bool on);
    void finish(End end, const QString &detail = {});

    int m_socket;
    QString m_peerLabel;
    Limits m_limits;
    QString m_folder;
    QString m_programName;
    StreamConnection *m_stream;
    QString m_guardedFile;
    TransferDeadline m_deadline;
    FrameAssembler m_assembler;
    std::unique_ptr<FileSpool> m_spool;
    bool m_ended = false;
};
