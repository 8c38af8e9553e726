#pragma once

#include "collector/mail/smtpreplyreader.h"

#include <QString>
#include <QStringList>

/// The client's side of one SMTP mail dialogue, apart from any socket: each whole reply of the
/// server gives the next step (a command, the message, or the end), and the dialogue keeps the
/// result code. A driver moves the bytes and reports what the connection did.
class SmtpDialogue
{
public:
    /// The result codes that the mail step logs.
    enum Result {
        Accepted = 0,
        NotFinished = 1, // initial value, kept by a time-out
        ReceiveError = 2,
        ConnectionClosed = 3,
        SendError = 4,
        GreetingFailed = 5,
        HeloFailed = 6,
        MailFromFailed = 7, // MAIL FROM or a recipient other than the last
        RcptFailed = 8,     // the last recipient
        DataFailed = 9,
        SocketFailed = 10,
        MessageRefused = 11, // the end of the message was not answered with 250
    };

    /// What the driver does after a reply.
    struct Step
    {
        enum class Action {
            Send,        // show and send `command` (CR LF is the driver's)
            SendMessage, // send the message, dot-stuffed, with its end line
            End,         // close the connection; the result is decided
        };
        Action action = Action::End;
        QString status;  // shown before the action; empty for none
        QString command; // for Send
    };

    /// `recipients` in the order they are given; an empty list sends one empty recipient.
    SmtpDialogue(QString heloName, QString fromAddress, QStringList recipients);

    /// The next step after a whole reply. `messageSent`: every byte of the message has gone.
    Step onReply(const SmtpReply &reply, bool messageSent);
    /// The connection broke or could not be made: `result` stands unless the end of the message
    /// has already been answered (a failing QUIT changes nothing).
    void fail(int result);
    int result() const { return m_result; }

private:
    enum class Awaiting { Greeting, Helo, MailFrom, Rcpt, LastRcpt, Data, EndOfData, Quit };

    Step command(Awaiting next, QString text);
    Step refuse(int result, const SmtpReply &reply);
    Step nextRecipient();
    Step endOfMessage(const SmtpReply &reply, bool messageSent);

    QString m_heloName;
    QString m_fromAddress;
    QStringList m_recipients; // still to be sent
    Awaiting m_awaiting = Awaiting::Greeting;
    int m_result = NotFinished;
    bool m_resultDecided = false; // the end of the message has been answered
};
