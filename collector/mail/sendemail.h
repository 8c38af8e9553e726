#pragma once

#include "collector/mail/mailmessage.h"
#include "collector/mail/smtpreplyreader.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class SocketNotifier;
class SocketSender;

/// What one mail attempt needs: the server, the mail and the time-out.
struct SendEmailArgs
{
    QString server;
    QString port;             // decimal text; empty or not a number ends with SocketFailed
    MailContent mail;
    QString timeoutSeconds = QStringLiteral("30");
};

/// The SMTP client of the collector: one mail attempt on the event loop, over the socket layer.
/// start() connects and runs the dialogue; finished() reports the result code once the attempt
/// has ended (message accepted, a failure, or the time-out with no progress).
class SendEmail : public QObject
{
    Q_OBJECT
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
    /// Connection states.
    enum State { Idle = 10, Connecting = 110, WaitingReply = 210, Closed = 30, Failed = 1000 };
    /// Dialogue steps: which reply is awaited.
    enum Step { Greeting = 0, Helo = 1, MailFrom = 2, LastRcpt = 3, Data = 4, EndOfData = 6, Quit = 7 };

    explicit SendEmail(SendEmailArgs args, QObject *parent = nullptr);
    ~SendEmail() override;

    /// Starts the attempt. finished() may be emitted before start() returns.
    void start();
    int result() const { return m_result; }
    bool isFinished() const { return m_finished; }

    /// Tests only: a time-out in milliseconds that replaces the time-out argument of every
    /// attempt started afterwards (0 restores the argument), so a test of a silent server does
    /// not wait the full time.
    static void setTimeoutOverrideForTests(int milliseconds);

Q_SIGNALS:
    /// The progress texts of the dialogue ("...に接続しました！", each command sent, ...).
    void statusChanged(const QString &text);
    void finished(int result);

private:
    void connectToServer();
    void onNotified(int socket, int event, int error);
    void onConnected(int error);
    void readReplies();
    void handleReply(const SmtpReply &reply);
    void sendRecipient();
    void sendCommand(const QString &command);
    void sendNextChunk();
    void onSent();
    void onSendFailed();
    void finishMessage(const SmtpReply &reply);
    void fail(int result, const QString &status = {});
    void end();
    void release();
    void setStatus(const QString &text);
    void restartTimer();

    SendEmailArgs m_args;
    int m_result = NotFinished;
    bool m_resultDecided = false; // the end of the message has been answered
    bool m_finished = false;
    int m_state = Idle;
    int m_step = Greeting;
    int m_socket = -1;
    bool m_started = false; // socket library started
    SocketNotifier *m_notifier = nullptr;
    SocketSender *m_sender = nullptr;
    SmtpReplyReader m_reader;
    QStringList m_recipients; // still to be sent
    QByteArray m_payload;     // the DATA payload, dot-stuffed, with its end line
    qsizetype m_payloadSent = 0;
    QTimer m_timer;
};
