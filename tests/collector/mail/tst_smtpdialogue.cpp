#include "collector/mail/smtpdialogue.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSmtpDialogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replySequences_data();
    void replySequences();
};

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
    SmtpReplyReader reader;
    reader.feed(server);
    QStringList seen;
    while (const auto reply = reader.takeReply()) {
        const SmtpDialogue::Step step = dialogue.onReply(*reply, messageSent);
        QString text = step.status.isEmpty() ? QString() : u'[' + step.status + u"] "_s;
        switch (step.action) {
        case SmtpDialogue::Step::Action::Send: text += u"send:"_s + step.command; break;
        case SmtpDialogue::Step::Action::SendMessage: text += u"message"_s; break;
        case SmtpDialogue::Step::Action::End: text += u"end"_s; break;
        }
        seen.append(text);
        if (step.action == SmtpDialogue::Step::Action::End)
            break;
    }
    if (failure != 0)
        dialogue.fail(failure);
    QCOMPARE(seen.join(u" | "_s), steps);
    QCOMPARE(dialogue.result(), result);
}

QTEST_APPLESS_MAIN(TestSmtpDialogue)
#include "tst_smtpdialogue.moc"
