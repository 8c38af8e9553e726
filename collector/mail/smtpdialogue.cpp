#include "collector/mail/smtpdialogue.h"

#include "common/codepage.h"

using namespace Qt::StringLiterals;

namespace {

// The extensions a 250 reply to EHLO lists, one per line after the code: "STARTTLS",
// "AUTH PLAIN LOGIN" (or the older "AUTH=PLAIN"), upper-cased, as keyword and parameters.
QList<QByteArrayList> extensionsOf(const SmtpReply &reply)
{
    QList<QByteArrayList> extensions;
    for (const QByteArray &line : reply.text.split('\n')) {
        QByteArray words = line.mid(4).trimmed().toUpper();
        words.replace('=', ' ');
        const QByteArrayList list = words.simplified().split(' ');
        if (!list.first().isEmpty())
            extensions.append(list);
    }
    return extensions;
}

bool offers(const QList<QByteArrayList> &extensions, const QByteArray &keyword,
            const QByteArray &parameter = {})
{
    for (const QByteArrayList &extension : extensions) {
        if (extension.first() == keyword
            && (parameter.isEmpty() || extension.mid(1).contains(parameter)))
            return true;
    }
    return false;
}

QString base64(const QString &text)
{
    // SASL names and passwords are UTF-8.
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString replyText(const SmtpReply &reply)
{
    return CodePage::fromAnsi(reply.text).trimmed();
}

} // namespace

SmtpDialogue::SmtpDialogue(QString heloName, QString fromAddress, QStringList recipients,
                           SmtpSecurity security)
    : m_heloName(std::move(heloName)), m_fromAddress(std::move(fromAddress)),
      m_recipients(std::move(recipients)), m_security(std::move(security)),
      m_encrypted(m_security.tls == SmtpSecurity::Tls::Implicit)
{
    if (m_recipients.isEmpty())
        m_recipients.append(QString());
}

SmtpDialogue::Step SmtpDialogue::onReply(const SmtpReply &reply, bool messageSent)
{
    const QByteArray &code = reply.code;
    switch (m_awaiting) {
    case Awaiting::Greeting:
        if (code != "220")
            return refuse(GreetingFailed, reply);
        if (m_security.any())
            return command(Awaiting::Ehlo, u"EHLO "_s + m_heloName);
        return command(Awaiting::Helo, u"HELO "_s + m_heloName);
    case Awaiting::Helo:
        if (code != "250")
            return refuse(HeloFailed, reply);
        return mailFrom();
    case Awaiting::Ehlo:
        if (code != "250")
            return refuse(HeloFailed, reply);
        return afterEhlo(reply);
    case Awaiting::StartTls:
        if (code != "220")
            return refuse(TlsFailed, reply);
        m_awaiting = Awaiting::Handshake;
        return {Step::Action::StartTls, {}, {}, {}, {}};
    case Awaiting::Handshake:
        // Nothing may come between the go-ahead and the handshake: it would be taken as
        // said inside the encrypted session.
        return refuse(TlsFailed, u"STARTTLSの後に平文の応答がありました。"_s);
    case Awaiting::AuthPlain:
    case Awaiting::AuthPassword:
        return loggedIn(reply);
    case Awaiting::AuthLogin:
        if (code != "334")
            return loggedIn(reply);
        return secret(Awaiting::AuthUser, base64(m_security.user), u"（ユーザー名）"_s);
    case Awaiting::AuthUser:
        if (code != "334")
            return loggedIn(reply);
        return secret(Awaiting::AuthPassword, base64(m_security.password), u"（パスワード）"_s);
    case Awaiting::MailFrom:
    case Awaiting::Rcpt:
        if (code != "250")
            return refuse(MailFromFailed, reply);
        return nextRecipient();
    case Awaiting::LastRcpt:
        if (code != "250")
            return refuse(RcptFailed, reply);
        return command(Awaiting::Data, u"DATA"_s);
    case Awaiting::Data:
        if (code != "354")
            return refuse(DataFailed, reply);
        m_awaiting = Awaiting::EndOfData;
        return {Step::Action::SendMessage, {}, {}, {}, {}};
    case Awaiting::EndOfData:
        return endOfMessage(reply, messageSent);
    case Awaiting::Quit:
        break;
    }
    return {};
}

SmtpDialogue::Step SmtpDialogue::onEncrypted()
{
    if (m_awaiting != Awaiting::Handshake)
        return refuse(TlsFailed, u"STARTTLSの応答を待っていません。"_s);
    m_encrypted = true;
    // What the server said before TLS counts for nothing: ask again.
    return command(Awaiting::Ehlo, u"EHLO "_s + m_heloName);
}

SmtpDialogue::Step SmtpDialogue::afterEhlo(const SmtpReply &reply)
{
    const QList<QByteArrayList> extensions = extensionsOf(reply);
    if (m_security.tls == SmtpSecurity::Tls::StartTls && !m_encrypted) {
        if (!offers(extensions, "STARTTLS"))
            return refuse(TlsFailed, u"サーバがSTARTTLSに対応していません。"_s);
        return command(Awaiting::StartTls, u"STARTTLS"_s);
    }
    if (m_security.user.isEmpty())
        return mailFrom();
    if (offers(extensions, "AUTH", "PLAIN")) {
        m_mechanism = u"AUTH PLAIN"_s;
        const QString credentials = u'\0' + m_security.user + u'\0' + m_security.password;
        return secret(Awaiting::AuthPlain, u"AUTH PLAIN "_s + base64(credentials),
                      u"AUTH PLAIN （認証情報）"_s);
    }
    if (offers(extensions, "AUTH", "LOGIN")) {
        m_mechanism = u"AUTH LOGIN"_s;
        return command(Awaiting::AuthLogin, u"AUTH LOGIN"_s);
    }
    return refuse(AuthFailed, u"サーバがAUTH PLAINにもAUTH LOGINにも対応していません。"_s);
}

SmtpDialogue::Step SmtpDialogue::secret(Awaiting next, const QString &text, QString shown)
{
    // A login goes only inside TLS, whatever the caller asked for.
    if (!m_encrypted)
        return refuse(AuthFailed, u"暗号化されていない接続では認証しません。"_s);
    Step step = command(next, text);
    step.shown = std::move(shown);
    return step;
}

SmtpDialogue::Step SmtpDialogue::loggedIn(const SmtpReply &reply)
{
    if (reply.code != "235") {
        Step step = refuse(AuthFailed, reply);
        step.logLine = u"SMTP認証に失敗しました。("_s + m_mechanism + u") "_s + replyText(reply);
        return step;
    }
    Step step = mailFrom();
    step.logLine = u"SMTP認証に成功しました。("_s + m_mechanism + u')';
    return step;
}

SmtpDialogue::Step SmtpDialogue::mailFrom()
{
    return command(Awaiting::MailFrom, u"MAIL FROM:<"_s + m_fromAddress + u">"_s);
}

SmtpDialogue::Step SmtpDialogue::command(Awaiting next, QString text)
{
    m_awaiting = next;
    return {Step::Action::Send, {}, std::move(text), {}, {}};
}

SmtpDialogue::Step SmtpDialogue::refuse(int result, const SmtpReply &reply)
{
    return refuse(result, replyText(reply));
}

SmtpDialogue::Step SmtpDialogue::refuse(int result, const QString &why)
{
    fail(result);
    const QString status = u"SMTPエラー: "_s + why;
    return {Step::Action::End, status, {}, {}, m_security.any() ? status : QString()};
}

SmtpDialogue::Step SmtpDialogue::nextRecipient()
{
    const QString recipient = m_recipients.takeFirst();
    return command(m_recipients.isEmpty() ? Awaiting::LastRcpt : Awaiting::Rcpt,
                   u"RCPT TO:<"_s + recipient + u">"_s);
}

SmtpDialogue::Step SmtpDialogue::endOfMessage(const SmtpReply &reply, bool messageSent)
{
    // A reply before the whole message has gone out, or anything but 250 after it, means the
    // server did not take the mail.
    const bool accepted = reply.code == "250" && messageSent;
    m_result = accepted ? Accepted : MessageRefused;
    m_resultDecided = true;
    const QString status = accepted ? u"メッセージが送信されました！"_s
                                    : u"SMTPエラー: "_s + replyText(reply);
    const QString logLine = m_security.any() && !accepted ? status : QString();
    if (!messageSent)
        return {Step::Action::End, status, {}, {}, logLine};
    m_awaiting = Awaiting::Quit;
    return {Step::Action::Send, status, u"QUIT"_s, {}, logLine};
}

void SmtpDialogue::fail(int result)
{
    if (!m_resultDecided)
        m_result = result;
}
