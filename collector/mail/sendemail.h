#pragma once

#include "collector/mail/mailmessage.h"
#include "collector/mail/smtpdialogue.h"
#include "collector/mail/smtpreplyreader.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class StreamConnection;
class TlsContext;

/// What one mail attempt needs: the server, the mail and the time-out.
struct SendEmailArgs
{
    QString server;
    QString port;             // decimal text; empty or not a number ends with SocketFailed
    MailContent mail;
    int timeoutMs = 30000;    // the longest wait for any step of the dialogue
    SmtpSecurity security;
    QString caFile;           // the site's CA (PEM); empty: the system's store
};

/// The SMTP client of the collector: one mail attempt on the event loop, the dialogue driven
/// over a stream connection. start() connects and runs the dialogue; finished() reports the
/// result code once the attempt has ended (message accepted, a failure, or the time-out with
/// no progress).
class SendEmail : public QObject
{
    Q_OBJECT
public:
    using enum SmtpDialogue::Result;

    explicit SendEmail(SendEmailArgs args, QObject *parent = nullptr);
    ~SendEmail() override;

    /// Starts the attempt. finished() may be emitted before start() returns.
    void start();
    int result() const { return m_dialogue ? m_dialogue->result() : int(NotFinished); }
    bool isFinished() const { return m_finished; }
    /// The connection underneath, to choose its transport before start().
    StreamConnection &stream() { return *m_stream; }

Q_SIGNALS:
    /// The progress texts of the dialogue ("...に接続しました！", each command sent, ...).
    void statusChanged(const QString &text);
    void finished(int result);
    /// A line for the step log: the TLS and login steps, and the server's refusal when the
    /// dialogue is a secured one. Never holds a password.
    void logged(const QString &line);

private:
    bool prepareTls();
    void connectToServer();
    void startTls();
    void onEncrypted();
    void onHandshakeFailed(const QString &reason);
    void onReceived(QByteArrayView chunk);
    void follow(const SmtpDialogue::Step &step);
    void sendCommand(const QString &command);
    void sendNextChunk();
    void onSent();
    void fail(int result, const QString &status = {});
    void end();
    void release();
    void setStatus(const QString &text);

    SendEmailArgs m_args;
    std::optional<SmtpDialogue> m_dialogue;
    bool m_finished = false;
    bool m_started = false; // socket library started
    StreamConnection *m_stream;
    SmtpReplyReader m_reader;
    QByteArray m_payload;     // the DATA payload, dot-stuffed, with its end line
    qsizetype m_payloadSent = 0;
    bool m_sendingMessage = false;
    QTimer m_timer;
    std::shared_ptr<const TlsContext> m_tls;
};
