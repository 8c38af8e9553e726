#include "agent/consoleconnection.h"

#include "agent/filespool.h"
#include "net/baswsock.h"
#include "net/streamconnection.h"

#include <utility>

namespace {

// The protocol reads 2,048 bytes per notification; larger reads give the same frames with far
// fewer wake-ups when a console distributes a big file.
constexpr qint64 ReadChunkBytes = 256 * 1024;

} // namespace

ConsoleConnection::ConsoleConnection(int socket, QString peerLabel, Limits limits,
                                     QString folder, QString programName, QObject *parent)
    : QObject(parent), m_socket(socket), m_peerLabel(std::move(peerLabel)), m_limits(limits),
      m_folder(std::move(folder)), m_programName(std::move(programName)),
      m_stream(new StreamConnection(this)), m_assembler(limits.maxFrameBytes)
{
    connect(&m_deadline, &TransferDeadline::expired, this, [this] { finish(End::IdleTimeOut); });
    connect(m_stream, &StreamConnection::received, this, &ConsoleConnection::onReceived);
    connect(m_stream, &StreamConnection::sent, this, &ConsoleConnection::replySent);
    connect(m_stream, &StreamConnection::connected, this,
            [this] { Q_EMIT opened(m_stream->description()); });
    connect(m_stream, &StreamConnection::closed, this, [this] { finish(End::PeerClosed); });
    connect(m_stream, &StreamConnection::failed, this,
            [this](StreamConnection::Failure failure, int wsaError, const QString &text) {
                if (failure == StreamConnection::Failure::Send) {
                    Q_EMIT replyFailed(wsaError, text);
                    return;
                }
                if (failure == StreamConnection::Failure::Handshake)
                    finish(End::HandshakeFailed, text);
                else if (failure == StreamConnection::Failure::Receive)
                    finish(End::ReceiveError, text);
                else
                    finish(End::NotificationError);
            });
}

ConsoleConnection::~ConsoleConnection()
{
    close();
}

void ConsoleConnection::start()
{
    m_stream->setReadChunk(ReadChunkBytes);
    m_stream->adopt(std::exchange(m_socket, basWSock::InvalidSocket));
    m_stream->setReading(true);
    m_deadline.start(m_limits.idleTimeOutMs);
}

void ConsoleConnection::close()
{
    m_ended = true;
    m_deadline.stop();
    m_stream->close();
    if (m_socket != basWSock::InvalidSocket) { // never started
        QString errorText;
        basWSock::CloseSocket(m_socket, errorText);
        m_socket = basWSock::InvalidSocket;
    }
    m_spool.reset();
    m_assembler.reset();
}

void ConsoleConnection::sendReply(QByteArray frame)
{
    if (m_stream->isOpen())
        m_stream->write(std::move(frame));
}

void ConsoleConnection::resume()
{
    if (m_ended)
        return;
    setReading(true);
    m_deadline.start(m_limits.idleTimeOutMs);
    // A request that arrived together with the previous one is handled now.
    if (m_assembler.status() == FrameAssembler::Status::Complete)
        deliver(m_assembler.takeMessage());
}

void ConsoleConnection::setReading(bool on)
{
    m_stream->setReading(on);
}

void ConsoleConnection::finish(End end, const QString &detail)
{
    if (m_ended)
        return;
    m_ended = true;
    setReading(false);
    m_deadline.stop();
    Q_EMIT ended(end, detail);
}

void ConsoleConnection::onReceived(QByteArrayView chunk)
{
    // Bytes earn time only at a rate: a console trickling its request is closed all the same.
    m_deadline.addBytes(chunk.size());
    if (m_spool)
        spool(chunk);
    else
        assemble(chunk);
    updateReadChunk();
}

void ConsoleConnection::updateReadChunk()
{
    // While a large file is spooled, nothing beyond its frame is read.
    m_stream->setReadChunk(m_spool ? qMin<qint64>(ReadChunkBytes, m_spool->remaining())
                                   : ReadChunkBytes);
}

void ConsoleConnection::assemble(QByteArrayView chunk)
{
    const auto status = m_assembler.feed(chunk);
    if (status == FrameAssembler::Status::Bad) {
        finish(End::BadFrame, QString::number(m_assembler.declaredLength()));
        return;
    }
    if (status == FrameAssembler::Status::Complete) {
        deliver(m_assembler.takeMessage());
        return;
    }
    m_spool = FileSpool::begin(m_folder, m_programName, m_assembler.held(),
                               m_assembler.declaredLength(), m_guardedFile);
    if (m_spool) {
        m_assembler.reset();
        spool({});
    }
}

void ConsoleConnection::spool(QByteArrayView chunk)
{
    m_spool->write(chunk);
    if (m_spool->remaining() > 0)
        return;
    const Distribution::Result stored = m_spool->finish();
    const Frame::Message message = m_spool->message();
    m_spool.reset();
    deliver(message, stored);
}

void ConsoleConnection::deliver(const Frame::Message &message,
                                std::optional<Distribution::Result> stored)
{
    // No reads and no idle time-out while the request is handled (a restart waits up to ten
    // seconds for the updater, serving events meanwhile) and while its reply is sent.
    setReading(false);
    m_deadline.stop();
    Q_EMIT requestReceived(message, stored);
}
