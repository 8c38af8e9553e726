#include "collector/mail/smtpdialogue.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSmtpDialogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replySequences_data();
    void replySequences();
    void securedSequences_data();
    void securedSequences();

private:
    // Every step of the dialogue for the server's replies, as "[status] {log} action" texts;
    // a StartTls step stands for a handshake that succeeds.
    static QStringList run(SmtpDialogue &dialogue, const QByteArray &server, bool messageSent);
};

QStringList TestSmtpDialogue::run(SmtpDialogue &dialogue, const QByteArray &server,
                                  bool messageSent)
{
    SmtpReplyReader reader;
    reader.feed(server);
    QStringList seen;
    auto show = [&seen](const SmtpDialogue::Step &step) {
        QString text = step.status.isEmpty() ? QString() : u'[' + step.status + u"] "_s;
        if (!step.logLine.isEmpty())
            text += u'{' + step.logLine + u"} "_s;
        switch (step.action) {
        case SmtpDialogue::Step::Action::Send: text += u"send:"_s + step.command; break;
        case SmtpDialogue::Step::Action::SendMessage: text += u"message"_s; break;
        case SmtpDialogue::Step::Action::StartTls: text += u"tls"_s; break;
        case SmtpDialogue::Step::Action::End: text += u"end"_s; break;
        }
        if (!step.shown.isEmpty())
            text += u" shown:"_s + step.shown;
        seen.append(text);
    };
    while (const auto reply = reader.takeReply()) {
        SmtpDialogue::Step step = dialogue.onReply(*reply, messageSent);
        show(step);
        if (step.action == SmtpDialogue::Step::Action::StartTls) {
            step = dialogue.onEncrypted();
            show(step);
        }
        if (step.action == SmtpDialogue::Step::Action::End)
            break;
    }
    return seen;
}

void TestSmtpDialogue::replySequences_data()
{
    QTest::addColumn<QStringList>("recipients");
    QTest::addColumn<QByteArray>("server");      // every reply of the server, as sent
    QTest::addColumn<bool>("messageSent");       // the whole message had gone at its reply
    QTest::addColumn<int>("failure");            // the connection breaks afterwards (0: no)
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("result");

    const QStringList one = {u"admin@example.com"_s};
    const QStringList two = {u"a@example.com"_s, u"b@example.com"_s};
    const QString opening = u"send:HELO pc01 | send:MAIL FROM:<pc01@example.com> | "_s;
    const QByteArray upToData = "220 ready\r\n250 hello\r\n250 ok\r\n250 ok\r\n";

    QTest::newRow("accepted, multi-line greeting")
        << one << "220-mail.example.com\r\n220 ready\r\n250 hello\r\n250 ok\r\n250 ok\r\n"
                  "354 go\r\n250 queued\r\n221 bye\r\n"_ba << true << 0
        << opening + u"send:RCPT TO:<admin@example.com> | send:DATA | message | "
                     u"[メッセージが送信されました！] send:QUIT | end"_s
        << int(SmtpDialogue::Accepted);
    QTest::newRow("two recipients, in order")
        << two << upToData + "250 ok\r\n354 go\r\n250 queued\r\n"_ba << true << 0
        << opening + u"send:RCPT TO:<a@example.com> | send:RCPT TO:<b@example.com> | "
                     u"send:DATA | message | [メッセージが送信されました！] send:QUIT"_s
        << int(SmtpDialogue::Accepted);
    QTest::newRow("no recipient: one empty one")
        << QStringList() << "220 ready\r\n250 hello\r\n250 ok\r\n550 no\r\n"_ba << true << 0
        << opening + u"send:RCPT TO:<> | [SMTPエラー: 550 no] end"_s
        << int(SmtpDialogue::RcptFailed);
    QTest::newRow("greeting not 220")
        << one << "554 go away\r\n"_ba << true << 0 << u"[SMTPエラー: 554 go away] end"_s
        << int(SmtpDialogue::GreetingFailed);
    QTest::newRow("HELO refused")
        << one << "220 ready\r\n501 bad name\r\n"_ba << true << 0
        << u"send:HELO pc01 | [SMTPエラー: 501 bad name] end"_s << int(SmtpDialogue::HeloFailed);
    QTest::newRow("MAIL FROM refused")
        << one << "220 ready\r\n250 hello\r\n553 no\r\n"_ba << true << 0
        << opening + u"[SMTPエラー: 553 no] end"_s << int(SmtpDialogue::MailFromFailed);
    QTest::newRow("first of two recipients refused")
        << two << "220 ready\r\n250 hello\r\n250 ok\r\n550 unknown\r\n"_ba << true << 0
        << opening + u"send:RCPT TO:<a@example.com> | [SMTPエラー: 550 unknown] end"_s
        << int(SmtpDialogue::MailFromFailed);
    QTest::newRow("DATA refused")
        << one << upToData + "451 later\r\n"_ba << true << 0
        << opening + u"send:RCPT TO:<admin@example.com> | send:DATA | [SMTPエラー: 451 later] end"_s
        << int(SmtpDialogue::DataFailed);
    QTest::newRow("message refused: still QUIT")
        << one << upToData + "354 go\r\n554 spam\r\n221 bye\r\n"_ba << true << 0
        << opening + u"send:RCPT TO:<admin@example.com> | send:DATA | message | "
                     u"[SMTPエラー: 554 spam] send:QUIT | end"_s
        << int(SmtpDialogue::MessageRefused);
    QTest::newRow("reply before the whole message has gone: no QUIT inside the data")
        << one << upToData + "354 go\r\n250 queued\r\n"_ba << false << 0
        << opening + u"send:RCPT TO:<admin@example.com> | send:DATA | message | "
                     u"[SMTPエラー: 250 queued] end"_s
        << int(SmtpDialogue::MessageRefused);
    QTest::newRow("server hangs up before DATA")
        << one << upToData << true << int(SmtpDialogue::ConnectionClosed)
        << opening + u"send:RCPT TO:<admin@example.com> | send:DATA"_s
        << int(SmtpDialogue::ConnectionClosed);
    QTest::newRow("a failing QUIT changes nothing")
        << one << upToData + "354 go\r\n250 queued\r\n"_ba << true << int(SmtpDialogue::ReceiveError)
        << opening + u"send:RCPT TO:<admin@example.com> | send:DATA | message | "
                     u"[メッセージが送信されました！] send:QUIT"_s
        << int(SmtpDialogue::Accepted);
}

void TestSmtpDialogue::replySequences()
{
    QFETCH(QStringList, recipients);
    QFETCH(QByteArray, server);
    QFETCH(bool, messageSent);
    QFETCH(int, failure);
    QFETCH(QString, steps);
    QFETCH(int, result);

    SmtpDialogue dialogue(u"pc01"_s, u"pc01@example.com"_s, recipients);
    QCOMPARE(dialogue.result(), int(SmtpDialogue::NotFinished));
    const QStringList seen = run(dialogue, server, messageSent);
    if (failure != 0)
        dialogue.fail(failure);
    QCOMPARE(seen.join(u" | "_s), steps);
    QCOMPARE(dialogue.result(), result);
}

void TestSmtpDialogue::securedSequences_data()
{
    QTest::addColumn<int>("tls");       // SmtpSecurity::Tls
    QTest::addColumn<QString>("user");  // the password is "secret"
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("result");

    const int none = int(SmtpSecurity::Tls::None);
    const int startTls = int(SmtpSecurity::Tls::StartTls);
    const int implicit = int(SmtpSecurity::Tls::Implicit);
    const QByteArray offered = "220 ready\r\n250-mail.example.com\r\n250-SIZE 1000\r\n"
                               "250 STARTTLS\r\n220 go ahead\r\n"_ba;
    const QString upToTls = u"send:EHLO pc01 | send:STARTTLS | tls | send:EHLO pc01"_s;
    const QString mail = u"send:MAIL FROM:<pc01@example.com> | send:RCPT TO:<a@example.com> | "
                         u"send:DATA | message | [メッセージが送信されました！] send:QUIT"_s;
    const QByteArray delivered = "250 ok\r\n250 ok\r\n354 go\r\n250 queued\r\n"_ba;
    const QString noTls = u"SMTPエラー: サーバがSTARTTLSに対応していません。"_s;
    const QString plainLogin = u"SMTPエラー: 暗号化されていない接続では認証しません。"_s;

    QTest::newRow("STARTTLS, then EHLO again inside TLS")
        << startTls << QString() << offered + "250 hello\r\n"_ba + delivered
        << upToTls + u" | "_s + mail << int(SmtpDialogue::Accepted);
    QTest::newRow("STARTTLS not offered: no plain send")
        << startTls << QString() << "220 ready\r\n250-mail\r\n250 AUTH PLAIN\r\n"_ba
        << u"send:EHLO pc01 | ["_s + noTls + u"] {"_s + noTls + u"} end"_s
        << int(SmtpDialogue::TlsFailed);
    QTest::newRow("STARTTLS refused")
        << startTls << QString() << "220 ready\r\n250 STARTTLS\r\n454 not now\r\n"_ba
        << u"send:EHLO pc01 | send:STARTTLS | [SMTPエラー: 454 not now] "
           u"{SMTPエラー: 454 not now} end"_s
        << int(SmtpDialogue::TlsFailed);
    QTest::newRow("AUTH PLAIN after TLS, the password not shown")
        << startTls << u"user"_s
        << offered + "250-hello\r\n250 AUTH LOGIN PLAIN\r\n235 ok\r\n"_ba + delivered
        << upToTls + u" | send:AUTH PLAIN AHVzZXIAc2VjcmV0 shown:AUTH PLAIN （認証情報） | "
                     u"{SMTP認証に成功しました。(AUTH PLAIN)} "_s + mail
        << int(SmtpDialogue::Accepted);
    QTest::newRow("AUTH LOGIN where PLAIN is not offered, TLS from the first byte")
        << implicit << u"user"_s
        << "220 ready\r\n250 AUTH=LOGIN\r\n334 VXNlcm5hbWU6\r\n334 UGFzc3dvcmQ6\r\n"
           "235 ok\r\n"_ba + delivered
        << u"send:EHLO pc01 | send:AUTH LOGIN | send:dXNlcg== shown:（ユーザー名） | "
           u"send:c2VjcmV0 shown:（パスワード） | {SMTP認証に成功しました。(AUTH LOGIN)} "_s + mail
        << int(SmtpDialogue::Accepted);
    QTest::newRow("wrong password")
        << implicit << u"user"_s << "220 ready\r\n250 AUTH PLAIN\r\n535 5.7.8 bad\r\n"_ba
        << u"send:EHLO pc01 | send:AUTH PLAIN AHVzZXIAc2VjcmV0 shown:AUTH PLAIN （認証情報） | "
           u"[SMTPエラー: 535 5.7.8 bad] {SMTP認証に失敗しました。(AUTH PLAIN) 535 5.7.8 bad} end"_s
        << int(SmtpDialogue::AuthFailed);
    QTest::newRow("no mechanism we speak")
        << implicit << u"user"_s << "220 ready\r\n250 AUTH CRAM-MD5\r\n"_ba
        << u"send:EHLO pc01 | [SMTPエラー: サーバがAUTH PLAINにもAUTH LOGINにも対応していません。] "
           u"{SMTPエラー: サーバがAUTH PLAINにもAUTH LOGINにも対応していません。} end"_s
        << int(SmtpDialogue::AuthFailed);
    QTest::newRow("a login never goes over a plain connection")
        << none << u"user"_s << "220 ready\r\n250 AUTH PLAIN\r\n"_ba
        << u"send:EHLO pc01 | ["_s + plainLogin + u"] {"_s + plainLogin + u"} end"_s
        << int(SmtpDialogue::AuthFailed);
    QTest::newRow("EHLO refused")
        << implicit << QString() << "220 ready\r\n502 no\r\n"_ba
        << u"send:EHLO pc01 | [SMTPエラー: 502 no] {SMTPエラー: 502 no} end"_s
        << int(SmtpDialogue::HeloFailed);
}

void TestSmtpDialogue::securedSequences()
{
    QFETCH(int, tls);
    QFETCH(QString, user);
    QFETCH(QByteArray, server);
    QFETCH(QString, steps);
    QFETCH(int, result);

    SmtpSecurity security{SmtpSecurity::Tls(tls), user, u"secret"_s};
    SmtpDialogue dialogue(u"pc01"_s, u"pc01@example.com"_s, {u"a@example.com"_s}, security);
    const QString seen = run(dialogue, server, true).join(u" | "_s);
    QCOMPARE(seen, steps);
    QVERIFY(!seen.contains(u"secret"_s));
    QCOMPARE(dialogue.result(), result);
}

QTEST_APPLESS_MAIN(TestSmtpDialogue)
#include "tst_smtpdialogue.moc"
