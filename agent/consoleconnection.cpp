#include "agent/consoleconnection.h"

#include "agent/filespool.h"
#include "net/baswsock.h"
#include "net/socketnotifier.h"
#include "net/socketsender.h"

namespace {

// The protocol reads 2,048 bytes per notification; larger reads give the same frames with far
// fewer wake-ups when a console distributes a big file.
constexpr qint64 ReadChunkBytes = 256 * 1024;

} // namespace

ConsoleConnection::ConsoleConnection(int socket, QString peerLabel, Limits limits,
                                     QString folder, QString programName, QObject *parent)
    : QObject(parent), m_socket(socket), m_peerLabel(std::move(peerLabel)), m_limits(limits),
      m_folder(std::move(folder)), m_programName(std::move(programName)),
      m_assembler(limits.maxFrameBytes)
{
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { finish(End::IdleTimeOut); });
}

ConsoleConnection::~ConsoleConnection()
{
    close();
}

void ConsoleConnection::start()
{
    m_notifier = new SocketNotifier(m_socket, basWSock::FdRead, this);
    connect(m_notifier, &SocketNotifier::notified, this, &ConsoleConnection::onNotification);
    m_sender = new SocketSender(m_socket, this);
    connect(m_sender, &SocketSender::sent, this, &ConsoleConnection::replySent);
    connect(m_sender, &SocketSender::failed, this, &ConsoleConnection::replyFailed);
    m_idleTimer.start(m_limits.idleTimeOutMs);
}

void ConsoleConnection::close()
{
    m_ended = true;
    m_idleTimer.stop();
    // Notifier and sender go quiet before the descriptor closes: a reused descriptor must not
    // inherit their events. They are deleted later, as close() may run inside their signals.
    if (m_sender) {
        m_sender->cancel();
        m_sender->deleteLater();
        m_sender = nullptr;
    }
    if (m_notifier) {
        m_notifier->setEvents(0);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_socket != basWSock::InvalidSocket) {
        QString errorText;
        basWSock::CloseSocket(m_socket, errorText);
        m_socket = basWSock::InvalidSocket;
    }
    m_spool.reset();
    m_assembler.reset();
}

void ConsoleConnection::sendReply(QByteArray frame)
{
    if (m_sender)
        m_sender->send(std::move(frame));
}

void ConsoleConnection::resume()
{
    if (m_ended)
        return;
    setReading(true);
    m_idleTimer.start(m_limits.idleTimeOutMs);
    // A request that arrived together with the previous one is handled now.
    if (m_assembler.status() == FrameAssembler::Status::Complete)
        deliver(m_assembler.takeMessage());
}

void ConsoleConnection::setReading(bool on)
{
    if (m_notifier)
        m_notifier->setEvents(on ? basWSock::FdRead : 0);
}

void ConsoleConnection::finish(End end, const QString &detail)
{
    if (m_ended)
        return;
    m_ended = true;
    setReading(false);
    m_idleTimer.stop();
    Q_EMIT ended(end, detail);
}

void ConsoleConnection::onNotification(int, int, int error)
{
    // Every notification starts a new idle period.
    m_idleTimer.start(m_limits.idleTimeOutMs);
    if (error != 0) {
        finish(End::NotificationError);
        return;
    }
    receive();
}

void ConsoleConnection::receive()
{
    // While a large file is spooled, nothing beyond its frame is read.
    const qint64 wanted = m_spool ? qMin<qint64>(ReadChunkBytes, m_spool->remaining())
                                  : ReadChunkBytes;
    if (m_readBuffer.size() < ReadChunkBytes)
        m_readBuffer.resize(ReadChunkBytes);
    QString errorText;
    const qint64 count = basWSock::Recv(m_socket, m_readBuffer.data(), wanted, errorText);
    if (count == basWSock::SocketError) {
        if (basWSock::LastError() != basWSock::WsaEWouldBlock)
            finish(End::ReceiveError, errorText);
        return;
    }
    if (count == 0) {
        finish(End::PeerClosed);
        return;
    }
    const QByteArrayView chunk(m_readBuffer.constData(), count);
    if (m_spool)
        spool(chunk);
    else
        assemble(chunk);
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
    m_idleTimer.stop();
    Q_EMIT requestReceived(message, stored);
}
