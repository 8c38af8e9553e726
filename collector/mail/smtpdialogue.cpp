#include "collector/mail/smtpdialogue.h"

#include "common/codepage.h"

using namespace Qt::StringLiterals;

SmtpDialogue::SmtpDialogue(QString heloName, QString fromAddress, QStringList recipients)
    : m_heloName(std::move(heloName)), m_fromAddress(std::move(fromAddress)),
      m_recipients(std::move(recipients))
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
        return command(Awaiting::Helo, u"HELO "_s + m_heloName);
    case Awaiting::Helo:
        if (code != "250")
            return refuse(HeloFailed, reply);
        return command(Awaiting::MailFrom, u"MAIL FROM:<"_s + m_fromAddress + u">"_s);
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
        return {Step::Action::SendMessage, {}, {}};
    case Awaiting::EndOfData:
        return endOfMessage(reply, messageSent);
    case Awaiting::Quit:
        break;
    }
    return {};
}

SmtpDialogue::Step SmtpDialogue::command(Awaiting next, QString text)
{
    m_awaiting = next;
    return {Step::Action::Send, {}, std::move(text)};
}

SmtpDialogue::Step SmtpDialogue::refuse(int result, const SmtpReply &reply)
{
    fail(result);
    return {Step::Action::End, u"SMTPエラー: "_s + CodePage::fromAnsi(reply.text).trimmed(), {}};
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
                                    : u"SMTPエラー: "_s + CodePage::fromAnsi(reply.text).trimmed();
    if (!messageSent)
        return {Step::Action::End, status, {}};
    m_awaiting = Awaiting::Quit;
    return {Step::Action::Send, status, u"QUIT"_s};
}

void SmtpDialogue::fail(int result)
{
    if (!m_resultDecided)
        m_result = result;
}
