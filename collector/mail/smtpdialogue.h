#pragma once

#include "collector/mail/smtpreplyreader.h"

#include <QString>
#include <QStringList>

/// How a mail dialogue protects itself: the encryption and the login.
struct SmtpSecurity
{
    enum class Tls {
        None,     // plain, as the mail step always was: HELO and no login
        StartTls, // EHLO, then STARTTLS, required; EHLO again inside TLS
        Implicit, // TLS from the first byte (port 465)
    };
    Tls tls = Tls::None;
    QString user; // empty: no login
    QString password;

    /// EHLO instead of HELO, and the step log's extra lines.
    bool any() const { return tls != Tls::None || !user.isEmpty(); }
};

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
        TlsFailed = 12,      // no STARTTLS, refused, or the handshake failed
        AuthFailed = 13,     // the login was refused or no mechanism fits
    };

    /// What the driver does after a reply.
    struct Step
    {
        enum class Action {
            Send,        // show and send `command` (CR LF is the driver's)
            SendMessage, // send the message, dot-stuffed, with its end line
            StartTls,    // drop what else was received, open TLS, then call onEncrypted()
            End,         // close the connection; the result is decided
        };
        Action action = Action::End;
        QString status;  // shown before the action; empty for none
        QString command; // for Send
        QString shown;   // shown instead of `command` when that holds a secret
        QString logLine; // for the step log; empty for none
    };

    /// `recipients` in the order they are given; an empty list sends one empty recipient.
    SmtpDialogue(QString heloName, QString fromAddress, QStringList recipients,
                 SmtpSecurity security = {});

    /// The next step after a whole reply. `messageSent`: every byte of the message has gone.
    Step onReply(const SmtpReply &reply, bool messageSent);
    /// The TLS session asked for by a StartTls step is open: the greeting starts again.
    Step onEncrypted();
    /// The connection broke or could not be made: `result` stands unless the end of the message
    /// has already been answered (a failing QUIT changes nothing).
    void fail(int result);
    int result() const { return m_result; }

private:
    enum class Awaiting {
        Greeting, Helo, Ehlo, StartTls, Handshake, AuthPlain, AuthLogin, AuthUser, AuthPassword,
        MailFrom, Rcpt, LastRcpt, Data, EndOfData, Quit
    };

    Step command(Awaiting next, QString text);
    Step refuse(int result, const SmtpReply &reply);
    Step refuse(int result, const QString &why);
    Step afterEhlo(const SmtpReply &reply);
    Step login();
    Step secret(Awaiting next, const QString &text, QString shown);
    Step loggedIn(const SmtpReply &reply);
    Step mailFrom();
    Step nextRecipient();
    Step endOfMessage(const SmtpReply &reply, bool messageSent);

    QString m_heloName;
    QString m_fromAddress;
    QStringList m_recipients; // still to be sent
    SmtpSecurity m_security;
    bool m_encrypted = false;
    QString m_mechanism;      // the login's, for the log
    Awaiting m_awaiting = Awaiting::Greeting;
    int m_result = NotFinished;
    bool m_resultDecided = false; // the end of the message has been answered
};
