#include "collector/mail/sendemail.h"

#include "common/codepage.h"
#include "net/baswsock.h"
#include "net/socketnotifier.h"
#include "net/socketsender.h"

#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace {

// The message goes out in pieces so that the time-out measures progress, not the whole transfer.
constexpr qsizetype ChunkBytes = 64 * 1024;
constexpr int ReceiveBytes = 4096;
constexpr int DefaultTimeoutSeconds = 30;

int g_timeoutOverrideMs = 0;

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
    if (list.isEmpty())
        list.append(QString());
    return list;
}

} // namespace

SendEmail::SendEmail(SendEmailArgs args, QObject *parent)
    : QObject(parent), m_args(std::move(args))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        setStatus(u"タイムアウトが発生しました！"_s);
        end();
    });
}

SendEmail::~SendEmail()
{
    if (!m_finished) {
        m_finished = true;
        release();
    }
}

void SendEmail::setTimeoutOverrideForTests(int milliseconds)
{
    g_timeoutOverrideMs = milliseconds;
}

void SendEmail::start()
{
    if (m_state != Idle || m_finished)
        return;
    QString error;
    setStatus(u"ソケットを初期化しています･･･"_s);
    if (basWSock::StartupSockets(error) != 0 || !error.isEmpty()) {
        setStatus(error);
        end();
        return;
    }
    m_started = true;
    setStatus(u"ソケットの初期化が完了しました！"_s);

    bool ok = false;
    const int seconds = m_args.timeoutSeconds.trimmed().toInt(&ok);
    m_timer.setInterval(g_timeoutOverrideMs > 0 ? g_timeoutOverrideMs
                        : ok && seconds > 0   ? seconds * 1000
                                              : DefaultTimeoutSeconds * 1000);

    m_payload = MailMessage::DataPayload(MailMessage::Build(m_args.mail));
    m_recipients = recipientList(m_args.mail.recipients);
    connectToServer();
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
    m_socket = basWSock::CreateSocket(basWSock::AfInet, basWSock::SockStream, error);
    if (m_socket == basWSock::InvalidSocket) {
        fail(SocketFailed, u"ソケットを生成できませんでした！"_s);
        return;
    }
    setStatus(u"ソケットが生成されました！"_s);
    m_state = Connecting;
    m_notifier = new SocketNotifier(m_socket, basWSock::FdConnect, this);
    connect(m_notifier, &SocketNotifier::notified, this, &SendEmail::onNotified);
    if (basWSock::ConnectSocket(m_socket, m_args.server, QString::number(port), error)
        == basWSock::SocketError) {
        fail(SocketFailed, u"接続できませんでした！"_s);
        return;
    }
    setStatus(m_args.server + u"に接続しています･･･"_s);
    restartTimer();
}

void SendEmail::onNotified(int, int, int error)
{
    if (m_finished)
        return;
    if (m_state == Connecting) {
        onConnected(error);
        return;
    }
    if (error != 0) {
        fail(ReceiveError, basWSock::WsaErrorText(error));
        return;
    }
    readReplies();
}

void SendEmail::onConnected(int error)
{
    if (error != 0) {
        fail(SocketFailed, u"接続できませんでした！"_s);
        return;
    }
    setStatus(m_args.server + u"に接続しました！"_s);
    m_state = WaitingReply;
    m_step = Greeting;
    m_sender = new SocketSender(m_socket, this);
    connect(m_sender, &SocketSender::sent, this, &SendEmail::onSent);
    connect(m_sender, &SocketSender::failed, this, &SendEmail::onSendFailed);
    m_notifier->setEvents(basWSock::FdRead);
    restartTimer();
}

void SendEmail::readReplies()
{
    char buffer[ReceiveBytes];
    QString error;
    const qint64 count = basWSock::Recv(m_socket, buffer, ReceiveBytes, error);
    if (count < 0) {
        if (basWSock::LastError() != basWSock::WsaEWouldBlock)
            fail(ReceiveError, error);
        return;
    }
    if (count == 0) {
        m_state = Closed;
        fail(ConnectionClosed, u"切断されています！"_s);
        return;
    }
    m_reader.feed(QByteArrayView(buffer, count));
    while (!m_finished) {
        const auto reply = m_reader.takeReply();
        if (!reply)
            break;
        handleReply(*reply);
    }
}

void SendEmail::handleReply(const SmtpReply &reply)
{
    const QByteArray &code = reply.code;
    const auto wrong = [&](int result) {
        fail(result, u"SMTPエラー: "_s + CodePage::fromAnsi(reply.text).trimmed());
    };
    switch (m_step) {
    case Greeting:
        if (code != "220")
            return wrong(GreetingFailed);
        m_step = Helo;
        return sendCommand(u"HELO "_s + heloName());
    case Helo:
        if (code != "250")
            return wrong(HeloFailed);
        m_step = MailFrom;
        return sendCommand(u"MAIL FROM:<"_s + m_args.mail.fromAddress + u">"_s);
    case MailFrom:
        if (code != "250")
            return wrong(MailFromFailed);
        return sendRecipient();
    case LastRcpt:
        if (code != "250")
            return wrong(RcptFailed);
        m_step = Data;
        return sendCommand(u"DATA"_s);
    case Data:
        if (code != "354")
            return wrong(DataFailed);
        m_step = EndOfData;
        m_payloadSent = 0;
        return sendNextChunk();
    case EndOfData:
        return finishMessage(reply);
    case Quit:
    default:
        return end();
    }
}

void SendEmail::sendRecipient()
{
    const QString recipient = m_recipients.takeFirst();
    if (m_recipients.isEmpty())
        m_step = LastRcpt;
    sendCommand(u"RCPT TO:<"_s + recipient + u">"_s);
}

void SendEmail::sendCommand(const QString &command)
{
    setStatus(command);
    m_sender->send(CodePage::toAnsi(command) + "\r\n");
    restartTimer();
}

void SendEmail::sendNextChunk()
{
    const QByteArray chunk = m_payload.mid(m_payloadSent, ChunkBytes);
    m_payloadSent += chunk.size();
    restartTimer();
    m_sender->send(chunk);
}

void SendEmail::onSent()
{
    if (!m_finished && m_step == EndOfData && m_payloadSent < m_payload.size())
        sendNextChunk();
}

void SendEmail::onSendFailed()
{
    fail(SendError, u"データ送信エラーが発生しました！"_s);
}

void SendEmail::finishMessage(const SmtpReply &reply)
{
    // A reply before the whole message has gone out, or anything but 250 after it, means the
    // server did not take the mail.
    const bool accepted = reply.code == "250" && m_payloadSent == m_payload.size()
                       && !m_sender->busy();
    m_result = accepted ? Accepted : MessageRefused;
    m_resultDecided = true;
    setStatus(accepted ? u"メッセージが送信されました！"_s
                       : u"SMTPエラー: "_s + CodePage::fromAnsi(reply.text).trimmed());
    if (!accepted && m_sender->busy()) {
        end();
        return;
    }
    m_step = Quit;
    sendCommand(u"QUIT"_s);
}

void SendEmail::fail(int result, const QString &status)
{
    // Once the end of the message is answered, a failing QUIT changes nothing.
    if (!m_resultDecided) {
        m_result = result;
        m_state = Failed;
    }
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
    Q_EMIT finished(m_result);
}

void SendEmail::release()
{
    m_timer.stop();
    // Notifications stop before the descriptor is closed: a reused descriptor must not get them.
    if (m_notifier) {
        m_notifier->setEvents(0);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_sender) {
        m_sender->cancel();
        m_sender->deleteLater();
        m_sender = nullptr;
    }
    QString error;
    if (m_socket != basWSock::InvalidSocket)
        basWSock::CloseSocket(m_socket, error);
    m_socket = basWSock::InvalidSocket;
    if (m_started)
        basWSock::CleanupSockets(error);
    m_started = false;
}

void SendEmail::setStatus(const QString &text)
{
    Q_EMIT statusChanged(text);
}

void SendEmail::restartTimer()
{
    m_timer.start();
}
