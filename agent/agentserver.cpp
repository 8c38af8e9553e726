#include "agent/agentserver.h"

#include "agent/agentcontext.h"
#include "agent/agentsettings.h"
#include "agent/allowlist.h"
#include "agent/requesthandlers.h"
#include "agent/statuslog.h"
#include "net/baswsock.h"
#include "net/protocol.h"
#include "net/socketnotifier.h"
#include "net/streamconnection.h"
#include "net/tlstransport.h"

using namespace Qt::StringLiterals;

AgentServer::AgentServer(AgentContext &context, RequestHandlers &handlers, QObject *parent)
    : QObject(parent), m_context(context), m_handlers(handlers)
{
}

AgentServer::~AgentServer()
{
    // Quietly: the log belongs to an agent that has already shut down.
    closeConnection();
    closeListeningSocket();
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
    if (m_listenSocket == basWSock::InvalidSocket) {
        if (!openListeningSocket())
            return false;
    } else {
        // The socket stays open between sessions so that a console reconnecting at once is
        // never refused; the log still reads as it always has at the return to waiting.
        logDetail(u"Socketを生成しています･･･"_s);
        logDetail(u"Socketが生成されました。"_s);
        logDetail(u"SocketをBindしています･･･"_s);
        logDetail(u"SocketのBindに成功しました。"_s);
        logDetail(u"SocketのListenに成功しました。"_s);
    }
    m_state = Listening;
    m_acceptNotifier->setEvents(basWSock::FdAccept);
    logMain(u"Socket("_s + QString::number(m_context.settings.Port) + u")は接続待ち状態になりました。"_s);
    return true;
}

bool AgentServer::openListeningSocket()
{
    QString errorText;
    logDetail(u"Socketを生成しています･･･"_s);
    const int socket = basWSock::CreateSocket(basWSock::AfInet, basWSock::SockStream, errorText);
    if (socket == basWSock::InvalidSocket) {
        logDetail(u"Socketの生成失敗："_s + errorText);
        return false;
    }
    m_listenSocket = socket;
    logDetail(u"Socketが生成されました。"_s);
    logDetail(u"SocketをBindしています･･･"_s);
    sockaddr_in address{};
    if (basWSock::BindSocket(socket, m_context.settings.Port, m_context.settings.ListenAddress,
                             address, errorText)
        == basWSock::SocketError) {
        logDetail(u"SocketのBind失敗："_s + errorText);
        closeListeningSocket();
        return false;
    }
    logDetail(u"SocketのBindに成功しました。"_s);
    if (basWSock::ListenSocket(socket, 1, errorText) == basWSock::SocketError) {
        logDetail(u"SocketのListen失敗："_s + errorText);
        closeListeningSocket();
        return false;
    }
    logDetail(u"SocketのListenに成功しました。"_s);
    m_listeningPort = m_context.settings.Port;
    m_acceptNotifier = new SocketNotifier(socket, 0, this);
    connect(m_acceptNotifier, &SocketNotifier::notified, this, &AgentServer::onAcceptNotification);
    return true;
}

void AgentServer::onAcceptNotification(int, int, int error)
{
    if (error != 0) {
        logMain(u"接続時にエラーが発生しました。"_s);
        reopenListener();
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
            reopenListener();
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
    if (m_context.settings.TlsAccept.psk)
        probe(socket);
    else
        serve(socket); // plain only: served as always, without waiting for a first byte
}

void AgentServer::probe(int socket)
{
    m_state = Connected;
    m_acceptNotifier->setEvents(0);
    m_probe = new ProtocolProbe(socket, m_context.settings.TimeOut, this);
    connect(m_probe, &ProtocolProbe::decided, this, &AgentServer::onProbed);
    m_probe->start();
}

void AgentServer::onProbed(ProtocolProbe::Protocol protocol)
{
    using Protocol = ProtocolProbe::Protocol;
    const int socket = m_probe->socket();
    m_probe->deleteLater();
    m_probe = nullptr;
    switch (protocol) {
    case Protocol::Plain:
    case Protocol::Unknown:
        if (m_context.settings.TlsAccept.plain)
            serve(socket);
        else
            refuse(socket, u" 暗号化されていない接続は受け付けないため切断しました。"_s);
        return;
    case Protocol::Tls:
        serve(socket, true);
        return;
    case Protocol::TimedOut:
        refuse(socket, u" 接続後にデータが届かないため切断しました。"_s);
        return;
    case Protocol::Gone:
        refuse(socket, u" 切断されています！"_s);
        return;
    }
}

void AgentServer::refuse(int socket, const QString &why)
{
    logMain(m_peerLabel + why);
    QString errorText;
    basWSock::CloseSocket(socket, errorText);
    m_state = Listening;
    if (m_acceptNotifier)
        m_acceptNotifier->setEvents(basWSock::FdAccept);
}

void AgentServer::serve(int socket, bool encrypted)
{
    logMain(m_peerLabel + u" 接続されました。"_s);
    m_state = Connected;
    // One console at a time: the next one waits in the backlog until this session ends.
    m_acceptNotifier->setEvents(0);
    const AgentSettings &settings = m_context.settings;
    m_connection = new ConsoleConnection(socket, m_peerLabel,
                                         {settings.TimeOut, settings.MaxFrameBytes},
                                         m_context.folder, m_context.programName, this);
    if (encrypted) {
        // The handshake runs within the idle time-out: a console that stalls it is dropped.
        const auto tls = settings.tls;
        m_connection->stream().setTransportFactory(
            [tls](int descriptor) { return std::make_unique<TlsTransport>(descriptor, tls); });
    } else {
        // Over a plain session the key file may not be replaced.
        m_connection->setGuardedFile(settings.TlsPskFile);
    }
    m_handlers.setSessionEncrypted(encrypted);
    connect(m_connection, &ConsoleConnection::opened, this, &AgentServer::onOpened);
    connect(m_connection, &ConsoleConnection::requestReceived, this, &AgentServer::onRequest);
    connect(m_connection, &ConsoleConnection::replySent, this, &AgentServer::onReplySent);
    connect(m_connection, &ConsoleConnection::replyFailed, this, &AgentServer::onReplyFailed);
    connect(m_connection, &ConsoleConnection::ended, this, &AgentServer::onConnectionEnded);
    m_connection->start();
}

void AgentServer::onOpened(const QString &description)
{
    if (!description.isEmpty())
        logMain(m_peerLabel + u" 暗号化された接続です。("_s + description + u')');
}

void AgentServer::onRequest(const Frame::Message &message,
                            std::optional<Distribution::Result> stored)
{
    QPointer<ConsoleConnection> connection = m_connection;
    if (!Frame::isRequestCode(message.code)) {
        connection->resume(); // no reply and no log line; the console may go on
        return;
    }
    m_state = message.code == Frame::EndSession ? Closing : Handling;
    logMain(m_peerLabel + u" 受信("_s + QString::number(message.code) + u')');
    const Reply reply = m_handlers.handle(message.code, message.payload, m_peerLabel, stored);
    if (!connection || connection != m_connection)
        return; // the agent was stopped while the handler waited
    QByteArray body = reply.body;
    if (Protocol::replyEndsWithCrLf(message.code))
        body += "\r\n";
    m_requestCode = message.code;
    m_replyCode = reply.code;
    m_state = Connected;
    logMain(m_peerLabel + u" 送信("_s + QString::number(reply.code) + u")･･･"_s);
    connection->sendReply(Frame::build(reply.code, body));
}

void AgentServer::onReplySent(qint64 bytes)
{
    logMain(m_peerLabel + u' ' + QString::number(bytes) + u" バイト送信されました。"_s);
    afterReply(true);
}

void AgentServer::onReplyFailed(int, const QString &errorText)
{
    logMain(m_peerLabel + u" 送信エラー("_s + QString::number(m_replyCode) + u")が発生しました。"_s
            + errorText);
    // The connection stays open (the idle time-out ends it) unless the agent ends.
    afterReply(false);
}

void AgentServer::afterReply(bool sent)
{
    // The agent ends only once an updater has taken over or the console asked it to end;
    // after a failed restart it stays, so the PC is never left without an agent.
    if (Protocol::agentEndsAfter(m_replyCode)) {
        Q_EMIT exitRequested();
        return;
    }
    if (sent && m_requestCode == Frame::EndSession) {
        endSession();
        return;
    }
    if (m_connection)
        m_connection->resume();
}

void AgentServer::onConnectionEnded(ConsoleConnection::End end, const QString &detail)
{
    switch (end) {
    case ConsoleConnection::End::PeerClosed:
        // The console left without 900: say so and take the next console at once.
        logMain(m_peerLabel + u" 切断されています！"_s);
        break;
    case ConsoleConnection::End::IdleTimeOut:
        break;
    case ConsoleConnection::End::NotificationError:
        logMain(m_peerLabel + u" データ受信エラーが発生しました！"_s);
        m_state = Error;
        break;
    case ConsoleConnection::End::ReceiveError:
        logMain(m_peerLabel + u' ' + detail);
        m_state = Error;
        break;
    case ConsoleConnection::End::HandshakeFailed:
        logMain(m_peerLabel + u" 暗号化接続を確立できないため切断しました。"_s + detail);
        break;
    case ConsoleConnection::End::BadFrame:
        logMain(m_peerLabel + u" 不正なフレームを受信したため切断しました。(長さ "_s + detail
                + u')');
        break;
    }
    endSession();
}

void AgentServer::endSession()
{
    logDetail(u"SocketをCloseしています･･･"_s);
    closeConnection();
    logDetail(u"SocketがCloseされました。"_s);
    if (m_start)
        m_start();
}

void AgentServer::reopenListener()
{
    m_state = Error;
    CloseSockets();
    if (m_start)
        m_start();
}

void AgentServer::closeConnection()
{
    if (m_probe) {
        QString errorText;
        const int socket = m_probe->socket();
        delete m_probe; // its notifier goes before the socket closes
        m_probe = nullptr;
        basWSock::CloseSocket(socket, errorText);
    }
    if (!m_connection)
        return;
    m_connection->close();
    m_connection->deleteLater();
    m_connection = nullptr;
}

void AgentServer::closeListeningSocket()
{
    if (m_acceptNotifier) {
        m_acceptNotifier->setEvents(0);
        m_acceptNotifier->deleteLater();
        m_acceptNotifier = nullptr;
    }
    QString errorText;
    if (m_listenSocket != basWSock::InvalidSocket)
        basWSock::CloseSocket(m_listenSocket, errorText);
    m_listenSocket = basWSock::InvalidSocket;
}

void AgentServer::CloseSockets()
{
    logDetail(u"SocketをCloseしています･･･"_s);
    closeConnection();
    closeListeningSocket();
    logDetail(u"SocketがCloseされました。"_s);
}

void AgentServer::ShutdownSockets()
{
    CloseSockets();
    QString errorText;
    basWSock::CleanupSockets(errorText);
    logDetail(u"Socketのリソース解放が完了しました。"_s);
}
