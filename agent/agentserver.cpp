#include "agent/agentserver.h"

#include "agent/filespool.h"

#include "agent/agentcontext.h"
#include "agent/agentsettings.h"
#include "agent/allowlist.h"
#include "agent/requesthandlers.h"
#include "agent/statuslog.h"
#include "common/codepage.h"
#include "net/baswsock.h"
#include "net/socketnotifier.h"
#include "net/socketsender.h"

#include <QByteArray>

using namespace Qt::StringLiterals;

namespace {

// The protocol reads 2,048 bytes per notification; larger reads give the same frames with far
// fewer wake-ups when a console distributes a big file.
constexpr qint64 ReadChunkBytes = 256 * 1024;

bool repliesWithCrLf(int requestCode)
{
    switch (requestCode) {
    case 100: case 110: case 130: case 140: case 150: case 300: case 400: case 900:
        return true;
    default:
        return false;
    }
}

bool endsAgent(int requestCode)
{
    return requestCode == 130 || requestCode == 150 || requestCode == 510;
}

} // namespace

AgentServer::AgentServer(AgentContext &context, RequestHandlers &handlers, QObject *parent)
    : QObject(parent), m_context(context), m_handlers(handlers),
      m_assembler(context.settings.MaxFrameBytes)
{
    m_tmrTimeout.setSingleShot(true);
    connect(&m_tmrTimeout, &QTimer::timeout, this, &AgentServer::onTimeout);
}

AgentServer::~AgentServer()
{
    // Quietly: the log belongs to an agent that has already shut down.
    closeLingeringSocket();
    QString errorText;
    if (m_dataSocket != basWSock::InvalidSocket)
        basWSock::CloseSocket(m_dataSocket, errorText);
    if (m_listenSocket != basWSock::InvalidSocket)
        basWSock::CloseSocket(m_listenSocket, errorText);
}

void AgentServer::logMain(const QString &text) { m_context.log.AddLog(text, StatusLog::Main); }
void AgentServer::logDetail(const QString &text) { m_context.log.AddLog(text, StatusLog::Detail); }

bool AgentServer::InitSockets()
{
    logDetail(u"Socketの初期化中･･･"_s);
    QString errorText;
    const int result = basWSock::StartupSockets(errorText);
    if (result != 0 || !errorText.isEmpty()) {
        logDetail(u"Socketの初期化失敗："_s + errorText);
        return false;
    }
    logDetail(u"Socketの初期化に成功しました。"_s);
    return true;
}

bool AgentServer::StartListening()
{
    QString errorText;
    logDetail(u"Socketを生成しています･･･"_s);
    m_listenSocket = basWSock::CreateSocket(basWSock::AfInet, basWSock::SockStream, errorText);
    if (m_listenSocket == basWSock::InvalidSocket) {
        logDetail(u"Socketの生成失敗："_s + errorText);
        return false;
    }
    logDetail(u"Socketが生成されました。"_s);
    logDetail(u"SocketをBindしています･･･"_s);
    sockaddr_in address{};
    if (basWSock::BindSocket(m_listenSocket, m_context.settings.Port,
                             m_context.settings.ListenAddress, address, errorText)
        == basWSock::SocketError) {
        logDetail(u"SocketのBind失敗："_s + errorText);
        return false;
    }
    logDetail(u"SocketのBindに成功しました。"_s);
    if (basWSock::ListenSocket(m_listenSocket, 1, errorText) == basWSock::SocketError) {
        logDetail(u"SocketのListen失敗："_s + errorText);
        return false;
    }
    logDetail(u"SocketのListenに成功しました。"_s);
    m_listeningPort = m_context.settings.Port;
    m_state = Listening;
    m_acceptNotifier = new SocketNotifier(m_listenSocket, basWSock::FdAccept, this);
    connect(m_acceptNotifier, &SocketNotifier::notified, this, &AgentServer::onAcceptNotification);
    logMain(u"Socket("_s + QString::number(m_context.settings.Port) + u")は接続待ち状態になりました。"_s);
    return true;
}

void AgentServer::onAcceptNotification(int, int, int error)
{
    if (error != 0) {
        logMain(u"接続時にエラーが発生しました。"_s);
        reset();
        return;
    }
    if (m_state != Listening)
        return;
    acceptConnection();
}

void AgentServer::acceptConnection()
{
    QString errorText;
    const int socket = basWSock::AcceptSocket(m_listenSocket, errorText);
    if (socket == basWSock::InvalidSocket) {
        if (basWSock::LastError() != basWSock::WsaEWouldBlock) {
            logMain(u"Accept時にエラーが発生しました。"_s);
            reset();
        }
        return;
    }
    QString address;
    int port = 0;
    const bool known = basWSock::GetPeerAddress(socket, address, port) != basWSock::SocketError;
    m_peerLabel = known ? u"["_s + address + u':' + QString::number(port) + u']' : u"[Unknown]"_s;
    const AllowList &allowFrom = m_context.settings.AllowFrom;
    if (!allowFrom.isEmpty() && !(known && allowFrom.allows(address))) {
        // A console outside AllowFrom is turned away; the agent goes on listening.
        logMain(m_peerLabel + u" 接続が許可されていないアドレスのため切断しました。"_s);
        basWSock::CloseSocket(socket, errorText);
        return;
    }
    m_dataSocket = socket;
    logMain(m_peerLabel + u" 接続されました。"_s);
    m_tmrTimeout.start(m_context.settings.TimeOut);
    m_state = Connected;
    // A second console waits in the backlog until the listening socket closes; level-triggered
    // accept notifications are off meanwhile.
    m_acceptNotifier->setEvents(0);
    m_assembler.reset();
    m_dataNotifier = new SocketNotifier(m_dataSocket, basWSock::FdRead, this);
    connect(m_dataNotifier, &SocketNotifier::notified, this, &AgentServer::onDataNotification);
    m_sender = new SocketSender(m_dataSocket, this);
    connect(m_sender, &SocketSender::sent, this, &AgentServer::onReplySent);
    connect(m_sender, &SocketSender::failed, this, &AgentServer::onReplyFailed);
}

void AgentServer::onDataNotification(int, int, int error)
{
    m_tmrTimeout.start(m_context.settings.TimeOut);
    if (error != 0) {
        logMain(m_peerLabel + u" データ受信エラーが発生しました！"_s);
        reset();
        return;
    }
    if (m_state != Connected)
        return;
    receive();
}

void AgentServer::receive()
{
    // While a large file is spooled, nothing beyond its frame is read.
    const qint64 wanted = m_spool ? qMin<qint64>(ReadChunkBytes, m_spool->remaining())
                                  : ReadChunkBytes;
    if (m_readBuffer.size() < ReadChunkBytes)
        m_readBuffer.resize(ReadChunkBytes);
    QString errorText;
    const qint64 count = basWSock::Recv(m_dataSocket, m_readBuffer.data(), wanted, errorText);
    if (count == basWSock::SocketError) {
        if (basWSock::LastError() == basWSock::WsaEWouldBlock)
            return;
        logMain(m_peerLabel + u' ' + errorText);
        reset();
        return;
    }
    if (count == 0) {
        // The console left without 900: say so and take the next console at once.
        closeConnection(m_peerLabel + u" 切断されています！"_s);
        return;
    }
    const QByteArrayView chunk(m_readBuffer.constData(), count);
    if (m_spool)
        spool(chunk);
    else
        assemble(chunk);
}

void AgentServer::assemble(QByteArrayView chunk)
{
    const auto status = m_assembler.feed(chunk);
    if (status == FrameAssembler::Status::Bad) {
        closeConnection(m_peerLabel + u" 不正なフレームを受信したため切断しました。(長さ "_s
                        + QString::number(m_assembler.declaredLength()) + u")"_s);
        return;
    }
    if (status == FrameAssembler::Status::Complete) {
        handleMessage(m_assembler.takeMessage());
        return;
    }
    m_spool = FileSpool::begin(m_context.folder, m_context.programName, m_assembler.held(),
                               m_assembler.declaredLength());
    if (m_spool) {
        m_assembler.reset();
        spool({});
    }
}

void AgentServer::spool(QByteArrayView chunk)
{
    m_spool->write(chunk);
    if (m_spool->remaining() > 0)
        return;
    const Distribution::Result stored = m_spool->finish();
    const Frame::Message message = m_spool->message();
    m_spool.reset();
    handleMessage(message, stored);
}

void AgentServer::handleMessage(const Frame::Message &message,
                                std::optional<Distribution::Result> stored)
{
    if (!Frame::isRequestCode(message.code))
        return;
    m_state = message.code == Frame::EndSession ? Closing : Handling;
    logMain(m_peerLabel + u" 受信("_s + QString::number(message.code) + u')');
    // No reads and no idle time-out while the request is handled (a restart waits up to ten
    // seconds for the updater, serving events meanwhile) and while its reply is sent.
    setReading(false);
    m_tmrTimeout.stop();
    const Reply reply = m_handlers.handle(message.code, message.payload, m_peerLabel, stored);
    if (!m_sender)
        return; // the agent was stopped while the handler waited
    QByteArray body = reply.body;
    if (repliesWithCrLf(message.code))
        body += "\r\n";
    m_requestCode = message.code;
    m_replyCode = reply.code;
    m_state = Connected;
    logMain(m_peerLabel + u" 送信("_s + QString::number(reply.code) + u")･･･"_s);
    m_sender->send(Frame::build(reply.code, body));
}

void AgentServer::onReplySent(qint64 bytes)
{
    logMain(m_peerLabel + u' ' + QString::number(bytes) + u" バイト送信されました。"_s);
    if (endsAgent(m_requestCode)) {
        Q_EMIT exitRequested();
        return;
    }
    if (m_requestCode == Frame::EndSession) {
        restartListening();
        return;
    }
    setReading(true);
    m_tmrTimeout.start(m_context.settings.TimeOut);
    // A request that arrived together with the previous one is handled now.
    if (m_assembler.status() == FrameAssembler::Status::Complete)
        handleMessage(m_assembler.takeMessage());
}

void AgentServer::onReplyFailed(int, const QString &errorText)
{
    logMain(m_peerLabel + u" 送信エラー("_s + QString::number(m_replyCode) + u")が発生しました。"_s
            + errorText);
    if (endsAgent(m_requestCode)) {
        Q_EMIT exitRequested();
        return;
    }
    setReading(true);
    m_tmrTimeout.start(m_context.settings.TimeOut);
}

void AgentServer::setReading(bool on)
{
    if (m_dataNotifier)
        m_dataNotifier->setEvents(on ? basWSock::FdRead : 0);
}

void AgentServer::onTimeout()
{
    restartListening();
}

void AgentServer::closeConnection(const QString &mainLine)
{
    logMain(mainLine);
    restartListening();
}

void AgentServer::reset()
{
    m_state = Error;
    restartListening();
}

void AgentServer::restartListening()
{
    // The console's connection is closed only once the new listening socket is there: a
    // console that reconnects as soon as it sees the close then finds the agent listening,
    // instead of the backlog of the socket being closed.
    m_deferDataClose = true;
    CloseSockets();
    m_deferDataClose = false;
    startAgain();
    closeLingeringSocket();
}

void AgentServer::closeLingeringSocket()
{
    QString errorText;
    if (m_lingeringSocket != basWSock::InvalidSocket)
        basWSock::CloseSocket(m_lingeringSocket, errorText);
    m_lingeringSocket = basWSock::InvalidSocket;
}

void AgentServer::startAgain()
{
    if (m_start)
        m_start();
}

void AgentServer::CloseSockets()
{
    logDetail(u"SocketをCloseしています･･･"_s);
    m_tmrTimeout.stop();
    QString errorText;
    // Notifiers go before their descriptors: a reused descriptor must not inherit old events.
    if (m_sender) {
        m_sender->cancel();
        m_sender->deleteLater();
        m_sender = nullptr;
    }
    if (m_dataNotifier) {
        m_dataNotifier->setEvents(0);
        m_dataNotifier->deleteLater();
        m_dataNotifier = nullptr;
    }
    if (m_acceptNotifier) {
        m_acceptNotifier->setEvents(0);
        m_acceptNotifier->deleteLater();
        m_acceptNotifier = nullptr;
    }
    if (m_deferDataClose && m_dataSocket != basWSock::InvalidSocket) {
        closeLingeringSocket();
        m_lingeringSocket = m_dataSocket;
    } else if (m_dataSocket != basWSock::InvalidSocket) {
        basWSock::CloseSocket(m_dataSocket, errorText);
    }
    if (m_listenSocket != basWSock::InvalidSocket)
        basWSock::CloseSocket(m_listenSocket, errorText);
    m_dataSocket = basWSock::InvalidSocket;
    m_listenSocket = basWSock::InvalidSocket;
    m_assembler.reset();
    m_spool.reset();
    m_readBuffer = QByteArray();
    logDetail(u"SocketがCloseされました。"_s);
}

void AgentServer::ShutdownSockets()
{
    CloseSockets();
    QString errorText;
    basWSock::CleanupSockets(errorText);
    logDetail(u"Socketのリソース解放が完了しました。"_s);
}
