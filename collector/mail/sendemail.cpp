#include "collector/mail/sendemail.h"

#include "common/codepage.h"
#include "net/baswsock.h"
#include "net/streamconnection.h"
#include "net/tlscontext.h"
#include "net/tlstransport.h"

#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace {

// The message goes out in pieces so that the time-out measures progress, not the whole transfer.
constexpr qsizetype ChunkBytes = 64 * 1024;
constexpr int ReceiveBytes = 4096;

// The computer name as a NetBIOS-length name (HELO needs a non-empty argument).
QString heloName()
{
    const QString host = QSysInfo::machineHostName().section(u'.', 0, 0).left(15);
    return host.isEmpty() ? u"localhost"_s : host;
}

// Recipients separated by ";"; empty entries (a trailing ";") would be refused as RCPT TO:<>.
QStringList recipientList(const QString &text)
{
    QStringList list;
    for (const QString &entry : text.split(u';')) {
        if (!entry.trimmed().isEmpty())
            list.append(entry.trimmed());
    }
    return list;
}

QString tlsStepName(SmtpSecurity::Tls tls)
{
    return tls == SmtpSecurity::Tls::Implicit ? u"(SMTPS)"_s : u"(STARTTLS)"_s;
}

} // namespace

SendEmail::SendEmail(SendEmailArgs args, QObject *parent)
    : QObject(parent), m_args(std::move(args)), m_stream(new StreamConnection(this))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        setStatus(u"タイムアウトが発生しました！"_s);
        end();
    });
    m_stream->setReadChunk(ReceiveBytes);
    connect(m_stream, &StreamConnection::connected, this, [this] {
        if (m_args.security.tls == SmtpSecurity::Tls::Implicit)
            Q_EMIT logged(u"暗号化通信（TLS）を開始しました。"_s + tlsStepName(m_args.security.tls)
                          + u' ' + m_stream->description());
        setStatus(m_args.server + u"に接続しました！"_s);
        m_stream->setReading(true);
        m_timer.start();
    });
    connect(m_stream, &StreamConnection::encrypted, this, &SendEmail::onEncrypted);
    connect(m_stream, &StreamConnection::received, this, &SendEmail::onReceived);
    connect(m_stream, &StreamConnection::sent, this, &SendEmail::onSent);
    connect(m_stream, &StreamConnection::closed, this,
            [this] { fail(ConnectionClosed, u"切断されています！"_s); });
    connect(m_stream, &StreamConnection::failed, this,
            [this](StreamConnection::Failure failure, int, const QString &text) {
                switch (failure) {
                case StreamConnection::Failure::Connect:
                    return fail(SocketFailed, u"接続できませんでした！"_s);
                case StreamConnection::Failure::Handshake:
                    return onHandshakeFailed(text);
                case StreamConnection::Failure::Send:
                    return fail(SendError, u"データ送信エラーが発生しました！"_s);
                case StreamConnection::Failure::Notification:
                case StreamConnection::Failure::Receive:
                    return fail(ReceiveError, text);
                }
            });
}

SendEmail::~SendEmail()
{
    if (!m_finished) {
        m_finished = true;
        release();
    }
}

void SendEmail::start()
{
    if (m_dialogue || m_finished)
        return;
    m_dialogue.emplace(heloName(), m_args.mail.fromAddress,
                       recipientList(m_args.mail.recipients), m_args.security);
    QString error;
    setStatus(u"ソケットを初期化しています･･･"_s);
    if (basWSock::StartupSockets(error) != 0 || !error.isEmpty()) {
        setStatus(error);
        end();
        return;
    }
    m_started = true;
    setStatus(u"ソケットの初期化が完了しました！"_s);
    m_timer.setInterval(m_args.timeoutMs);
    m_payload = MailMessage::DataPayload(MailMessage::Build(m_args.mail));
    if (prepareTls())
        connectToServer();
}

bool SendEmail::prepareTls()
{
    if (m_args.security.tls == SmtpSecurity::Tls::None)
        return true;
    QString error;
    m_tls = TlsContext::createCertificateClient(m_args.caFile, &error);
    if (!m_tls) {
        onHandshakeFailed(error);
        return false;
    }
    if (m_args.security.tls == SmtpSecurity::Tls::Implicit) {
        m_stream->setTransportFactory([tls = m_tls, server = m_args.server](int socket) {
            return std::make_unique<TlsTransport>(socket, tls, server);
        });
    }
    return true;
}

void SendEmail::startTls()
{
    // Bytes after the go-ahead came before the encryption: an attacker's, never the server's.
    if (m_reader.hasPartialReply())
        return onHandshakeFailed(u"STARTTLSの後に平文の応答がありました。"_s);
    setStatus(u"暗号化通信を開始しています･･･"_s);
    m_timer.start();
    m_stream->startTransport(
        std::make_unique<TlsTransport>(m_stream->descriptor(), m_tls, m_args.server));
}

void SendEmail::onEncrypted()
{
    Q_EMIT logged(u"暗号化通信（TLS）を開始しました。"_s + tlsStepName(m_args.security.tls)
                  + u' ' + m_stream->description());
    follow(m_dialogue->onEncrypted());
}

void SendEmail::onHandshakeFailed(const QString &reason)
{
    Q_EMIT logged(u"暗号化通信（TLS）を開始できませんでした。"_s + tlsStepName(m_args.security.tls)
                  + u' ' + reason);
    fail(TlsFailed, u"暗号化通信を開始できませんでした！"_s);
}

void SendEmail::connectToServer()
{
    bool ok = false;
    const int port = m_args.port.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        fail(SocketFailed, u"接続できませんでした！"_s);
        return;
    }
    QString error;
    if (!m_stream->create(error)) {
        fail(SocketFailed, u"ソケットを生成できませんでした！"_s);
        return;
    }
    setStatus(u"ソケットが生成されました！"_s);
    if (!m_stream->connectTo(m_args.server, QString::number(port), error)) {
        fail(SocketFailed, u"接続できませんでした！"_s);
        return;
    }
    setStatus(m_args.server + u"に接続しています･･･"_s);
    m_timer.start();
}

void SendEmail::onReceived(QByteArrayView chunk)
{
    m_reader.feed(chunk);
    while (!m_finished) {
        const auto reply = m_reader.takeReply();
        if (!reply)
            break;
        const bool messageSent = m_sendingMessage && m_payloadSent == m_payload.size()
                              && !m_stream->isSending();
        follow(m_dialogue->onReply(*reply, messageSent));
    }
}

void SendEmail::follow(const SmtpDialogue::Step &step)
{
    if (!step.logLine.isEmpty())
        Q_EMIT logged(step.logLine);
    if (!step.status.isEmpty())
        setStatus(step.status);
    switch (step.action) {
    case SmtpDialogue::Step::Action::Send:
        setStatus(step.shown.isEmpty() ? step.command : step.shown);
        return sendCommand(step.command);
    case SmtpDialogue::Step::Action::StartTls:
        return startTls();
    case SmtpDialogue::Step::Action::SendMessage:
        m_sendingMessage = true;
        m_payloadSent = 0;
        return sendNextChunk();
    case SmtpDialogue::Step::Action::End:
        return end();
    }
}

void SendEmail::sendCommand(const QString &command)
{
    m_sendingMessage = false;
    m_stream->write(CodePage::toAnsi(command) + "\r\n");
    m_timer.start();
}

void SendEmail::sendNextChunk()
{
    const QByteArray chunk = m_payload.mid(m_payloadSent, ChunkBytes);
    m_payloadSent += chunk.size();
    m_timer.start();
    m_stream->write(chunk);
}

void SendEmail::onSent()
{
    if (!m_finished && m_sendingMessage && m_payloadSent < m_payload.size())
        sendNextChunk();
}

void SendEmail::fail(int result, const QString &status)
{
    if (m_dialogue)
        m_dialogue->fail(result);
    if (!status.isEmpty())
        setStatus(status);
    end();
}

void SendEmail::end()
{
    if (m_finished)
        return;
    m_finished = true;
    release();
    Q_EMIT finished(result());
}

void SendEmail::release()
{
    m_timer.stop();
    m_stream->close();
    QString error;
    if (m_started)
        basWSock::CleanupSockets(error);
    m_started = false;
}

void SendEmail::setStatus(const QString &text)
{
    Q_EMIT statusChanged(text);
}
