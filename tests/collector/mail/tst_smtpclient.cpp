#include "support/smtpserver.h"
#include "support/testca.h"

#include "collector/mail/sendemail.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Sender = u"pc01@example.com"_s;
const QString JapaneseBody = u"添付ファイルを参照ください。"_s;
const QByteArray JapaneseBodyJis = "\x1B$BE:IU%U%!%$%k$r;2>H$/$@$5$$!#\x1B(B"_ba;

SendEmailArgs argsFor(const QString &port, const QString &recipients = u"admin@example.com"_s)
{
    SendEmailArgs args;
    args.server = u"127.0.0.1"_s;
    args.port = port;
    args.mail.fromAddress = Sender;
    args.mail.recipients = recipients;
    args.mail.subject = u"Weekly report"_s;
    args.mail.body = JapaneseBody;
    args.timeoutMs = 10000;
    return args;
}

// Runs one attempt to its end; -1 when it does not end within the bound.
int run(SendEmailArgs args, QStringList *statuses = nullptr, int boundMs = 20000)
{
    SendEmail client(std::move(args));
    QSignalSpy finished(&client, &SendEmail::finished);
    QSignalSpy status(&client, &SendEmail::statusChanged);
    client.start();
    if (finished.isEmpty() && !finished.wait(boundMs))
        return -1;
    if (finished.size() != 1)
        return -2;
    if (statuses) {
        for (const auto &arguments : status)
            statuses->append(arguments.at(0).toString());
    }
    return finished.first().at(0).toInt();
}

QByteArray headerOf(const QByteArray &message)
{
    const qsizetype end = message.indexOf("\r\n\r\n");
    return end < 0 ? message : message.left(end + 4);
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (auto &b : bytes)
        b = char(generator.bounded(256));
    return bytes;
}

} // namespace

class TestSmtpClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void headerLines_data();
    void headerLines();
    void wholeMessageWithDotLines();
    void wireWithSplitReplies();
    void attachmentsDecodeToFileBytes();
    void refusals_data();
    void refusals();
    void silentServerTimesOut();
    void connectionFailures_data();
    void connectionFailures();
    void tls_data();
    void tls();
    void forgedReplyAfterStartTls();

private:
    MailTest::AiosmtpdServer m_server;
    QTemporaryDir m_dir;
};

void TestSmtpClient::initTestCase()
{
    TARVO_REQUIRE_TEST_SERVER(u"smtp"_s);
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_server.start(), "aiosmtpd did not start");
}

void TestSmtpClient::headerLines_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<bool>("withAttachment");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("expectedHeader");
    QTest::addColumn<QStringList>("expectedRcpts");

    const QByteArray from = "From:\"\" <pc01@example.com>\r\n"_ba;
    QTest::newRow("ascii subject, ascii body")
        << u"Weekly report"_s << u"admin@example.com"_s << false << u"see the files"_s
        << "Subject:Weekly report\r\n"_ba + from
               + "To:admin@example.com\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
        << QStringList{u"admin@example.com"_s};
    QTest::newRow("ascii subject, japanese body")
        << u"Weekly report"_s << u"admin@example.com"_s << false << JapaneseBody
        << "Subject:Weekly report\r\n"_ba + from
               + "To:admin@example.com\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
        << QStringList{u"admin@example.com"_s};
    QTest::newRow("japanese subject")
        << u"日本語"_s << u"admin@example.com"_s << false << u"x"_s
        << "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?= \r\n"_ba + from
               + "To:admin@example.com\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
        << QStringList{u"admin@example.com"_s};
    QTest::newRow("half-width katakana subject")
        << u"ﾃｽﾄ"_s << u"admin@example.com"_s << true << JapaneseBody
        << "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= \r\n"_ba + from
               + "To:admin@example.com\r\n"
                 "Content-type: multipart/mixed; boundary=\"zqSendMail Attachment Boundary\"\r\n\r\n"
        << QStringList{u"admin@example.com"_s};
    QTest::newRow("two recipients")
        << u"Weekly report"_s << u"a@example.com;b@example.com"_s << true << JapaneseBody
        << "Subject:Weekly report\r\n"_ba + from
               + "To:a@example.com;b@example.com\r\n"
                 "Content-type: multipart/mixed; boundary=\"zqSendMail Attachment Boundary\"\r\n\r\n"
        << QStringList{u"a@example.com"_s, u"b@example.com"_s};
    QTest::newRow("recipients with blanks and a trailing separator")
        << u"r"_s << u" a@example.com ; b@example.com;"_s << false << u"x"_s
        << "Subject:r\r\n"_ba + from
               + "To: a@example.com ; b@example.com;\r\n"
                 "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
        << QStringList{u"a@example.com"_s, u"b@example.com"_s};
}

void TestSmtpClient::headerLines()
{
    QFETCH(QString, subject);
    QFETCH(QString, recipients);
    QFETCH(bool, withAttachment);
    QFETCH(QString, body);
    QFETCH(QByteArray, expectedHeader);
    QFETCH(QStringList, expectedRcpts);

    SendEmailArgs args = argsFor(m_server.portText(), recipients);
    args.mail.subject = subject;
    args.mail.body = body;
    if (withAttachment) {
        const QString path = m_dir.filePath(u"header.dat"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[SYSTEM]\r\n");
        file.close();
        args.mail.attachments = {path};
    }
    const int before = m_server.messageCount();
    QCOMPARE(run(args), int(SendEmail::Accepted));
    QCOMPARE(m_server.messageCount(), before + 1);
    const int n = before + 1;
    QCOMPARE(headerOf(m_server.message(n)), expectedHeader);

    const QJsonObject envelope = m_server.envelope(n);
    QCOMPARE(envelope.value(u"mail_from"_s).toString(), Sender);
    QStringList rcpts;
    for (const QJsonValue &value : envelope.value(u"rcpt_tos"_s).toArray())
        rcpts.append(value.toString());
    QCOMPARE(rcpts, expectedRcpts);
    QVERIFY(!envelope.value(u"helo"_s).toString().isEmpty());
    QVERIFY(envelope.value(u"helo"_s).toString().size() <= 15);
}

void TestSmtpClient::wholeMessageWithDotLines()
{
    SendEmailArgs args = argsFor(m_server.portText());
    args.mail.body = u"first line\r\n.hidden line\r\n..two dots\r\n.\r\nlast"_s;
    const int quitsBefore = m_server.quitCount();
    QCOMPARE(run(args), int(SendEmail::Accepted));
    // The server removes one leading dot from each line: the lines arrive intact only if the
    // client doubled them, and a lone "." did not end the data early.
    QCOMPARE(m_server.message(m_server.messageCount()),
             "Subject:Weekly report\r\n"
             "From:\"\" <pc01@example.com>\r\n"
             "To:admin@example.com\r\n"
             "Content-Type: text/plain; charset=us-ascii\r\n"
             "\r\n"
             "first line\r\n"
             ".hidden line\r\n"
             "..two dots\r\n"
             ".\r\n"
             "last\r\n"
             "\r\n"
             "\r\n"_ba);
    // QUIT is said before the connection closes.
    QCOMPARE(m_server.quitCount(), quitsBefore + 1);
}

void TestSmtpClient::wireWithSplitReplies()
{
    // Greeting "220-..." over three writes, "250-..." HELO reply, "250" after data in two
    // writes: each counts as one reply, so the dialogue keeps in step.
    MailTest::ScriptedServer server;
    QVERIFY(server.start(u"split"_s));
    SendEmailArgs args = argsFor(server.portText(), u"a@example.com;b@example.com"_s);
    args.mail.body = u".dot\r\nplain"_s;
    QStringList statuses;
    QCOMPARE(run(args, &statuses), int(SendEmail::Accepted));

    const QByteArray wire = server.wire();
    QVERIFY2(wire.startsWith("HELO "), wire.constData());
    const qsizetype mailFrom = wire.indexOf("\r\nMAIL FROM:<pc01@example.com>\r\n");
    QVERIFY(mailFrom > 0);
    const QByteArray envelope = "MAIL FROM:<pc01@example.com>\r\n"
                                "RCPT TO:<a@example.com>\r\n"
                                "RCPT TO:<b@example.com>\r\n"_ba;
    QCOMPARE(wire.mid(mailFrom + 2, envelope.size()), envelope);
    QVERIFY(wire.contains("\r\nDATA\r\nSubject:Weekly report\r\n"));
    QVERIFY(wire.contains("\r\n\r\n..dot\r\nplain\r\n"));
    QVERIFY2(wire.endsWith("\r\nplain\r\n\r\n\r\n.\r\nQUIT\r\n"), wire.right(40).constData());
    QVERIFY(statuses.contains(u"127.0.0.1に接続しました！"_s));
    QVERIFY(statuses.contains(u"メッセージが送信されました！"_s));
}

void TestSmtpClient::attachmentsDecodeToFileBytes()
{
    const QByteArray binary = randomBytes(300 * 1024 + 1);
    const QByteArray text = "[SYSTEM]\r\n.leading dot\r\nSysOS=P;20040312;093015;Linux\r\n"_ba;
    const QString binaryPath = m_dir.filePath(u"00155D010203.DAT"_s);
    const QString textPath = m_dir.filePath(u"00155D010203.INSERT.SQL"_s);
    for (const auto &[path, bytes] : {std::pair{binaryPath, binary}, std::pair{textPath, text}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    SendEmailArgs args = argsFor(m_server.portText());
    args.mail.attachments = {binaryPath, textPath};
    QCOMPARE(run(args), int(SendEmail::Accepted));
    const QByteArray raw = m_server.message(m_server.messageCount());

    const QList<MailTest::Attachment> parts = MailTest::attachmentsOf(raw);
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts[0].name, u"00155D010203.DAT"_s);
    QCOMPARE(parts[0].type, u"application/octet-stream"_s);
    QVERIFY(parts[0].data == binary);
    QCOMPARE(parts[1].name, u"00155D010203.INSERT.SQL"_s);
    QCOMPARE(parts[1].data, text);

    // The body part and the delimiters as they stand in the message.
    const QByteArray delimiter = "--zqSendMail Attachment Boundary\r\n"_ba;
    const QByteArray body = raw.mid(raw.indexOf("\r\n\r\n") + 4);
    const QByteArray opening = delimiter + "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
                             + JapaneseBodyJis + "\r\n" + delimiter
                             + "Content-Type: application/octet-stream; name=\"00155D010203.DAT\"\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\n";
    QVERIFY(body.startsWith(opening));
    const QByteArray between = "\r\n\r\n" + delimiter + delimiter
                             + "Content-Type: application/octet-stream; "
                               "name=\"00155D010203.INSERT.SQL\"\r\n";
    QVERIFY(body.contains(between));
    QVERIFY(body.endsWith("\r\n\r\n--zqSendMail Attachment Boundary--\r\n\r\n\r\n"));
    for (const QByteArray &line : raw.split('\n'))
        QVERIFY2(line.size() <= 78, line.left(40).constData()); // 76 characters and CR
}

void TestSmtpClient::refusals_data()
{
    QTest::addColumn<QString>("server"); // "aiosmtpd:<mode>" or "scripted:<mode>"
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<int>("expected");
    const QString two = u"a@example.com;b@example.com"_s;
    QTest::newRow("554 at the end of data") << u"aiosmtpd:reject"_s << two << 11;
    QTest::newRow("greeting not 220") << u"scripted:fail-greeting"_s << two << 5;
    QTest::newRow("HELO refused") << u"scripted:fail-helo"_s << two << 6;
    QTest::newRow("MAIL FROM refused") << u"scripted:fail-mail"_s << two << 7;
    QTest::newRow("first of two recipients refused") << u"scripted:fail-rcpt1"_s << two << 7;
    QTest::newRow("last recipient refused") << u"scripted:fail-rcpt"_s << two << 8;
    QTest::newRow("DATA refused") << u"scripted:fail-data"_s << two << 9;
    QTest::newRow("server hangs up") << u"scripted:hangup"_s << two << 3;
}

void TestSmtpClient::refusals()
{
    QFETCH(QString, server);
    QFETCH(QString, recipients);
    QFETCH(int, expected);
    const QString mode = server.section(u':', 1);
    if (server.startsWith(u"aiosmtpd"_s)) {
        MailTest::AiosmtpdServer rejecting;
        QVERIFY(rejecting.start(mode));
        QCOMPARE(run(argsFor(rejecting.portText(), recipients)), expected);
        QCOMPARE(rejecting.messageCount(), 1); // the whole message went out before the 554
        QCOMPARE(rejecting.quitCount(), 1);
    } else {
        MailTest::ScriptedServer scripted;
        QVERIFY(scripted.start(mode));
        QCOMPARE(run(argsFor(scripted.portText(), recipients)), expected);
    }
}

void TestSmtpClient::silentServerTimesOut()
{
    MailTest::ScriptedServer silent;
    QVERIFY(silent.start(u"silent"_s));
    SendEmailArgs args = argsFor(silent.portText());
    args.timeoutMs = 1000;
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(run(args), int(SendEmail::NotFinished));
    QVERIFY(elapsed.elapsed() >= 900); // ended by the time-out, not by anything else
}

void TestSmtpClient::connectionFailures_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("refused") << QString::number(MailTest::closedPort());
    QTest::newRow("empty port") << QString();
    QTest::newRow("port not a number") << u"smtp"_s;
    QTest::newRow("port out of range") << u"70000"_s;
}

void TestSmtpClient::connectionFailures()
{
    QFETCH(QString, port);
    QVERIFY(port != u"0"_s);
    QStringList statuses;
    QCOMPARE(run(argsFor(port), &statuses), int(SendEmail::SocketFailed));
    QVERIFY(statuses.contains(u"接続できませんでした！"_s));
}

void TestSmtpClient::tls_data()
{
    QTest::addColumn<QStringList>("server");    // TLS mode and certificate name, then the login
    QTest::addColumn<int>("clientTls");         // SmtpSecurity::Tls
    QTest::addColumn<QString>("password");      // the client's; the server wants "s3cret"
    QTest::addColumn<bool>("trustCa");          // the client is given the test CA
    QTest::addColumn<int>("expected");
    QTest::addColumn<QByteArray>("logins");     // what the server saw of the login
    QTest::addColumn<QString>("firstLog");      // the start of the client's first log line

    const int plain = int(SmtpSecurity::Tls::None);
    const int startTls = int(SmtpSecurity::Tls::StartTls);
    const int implicit = int(SmtpSecurity::Tls::Implicit);
    const QStringList login = {u"pc01"_s, u"s3cret"_s};
    const QString started = u"暗号化通信（TLS）を開始しました。(STARTTLS) TLSv1.3"_s;
    const QString notStarted = u"暗号化通信（TLS）を開始できませんでした。(STARTTLS) "_s;
    QTest::newRow("STARTTLS and AUTH PLAIN")
        << (QStringList{u"starttls"_s, u"local"_s} + login) << startTls << u"s3cret"_s << true
        << 0 << "PLAIN yes tls\n"_ba << started;
    QTest::newRow("TLS from the first byte")
        << (QStringList{u"implicit"_s, u"local"_s} + login) << implicit << u"s3cret"_s << true
        << 0 << "PLAIN yes tls\n"_ba << u"暗号化通信（TLS）を開始しました。(SMTPS) TLSv1.3"_s;
    QTest::newRow("plain mail to a server that requires TLS")
        << QStringList{u"starttls"_s, u"local"_s} << plain << QString() << true
        << int(SendEmail::HeloFailed) << QByteArray() << QString();
    QTest::newRow("wrong password")
        << (QStringList{u"starttls"_s, u"local"_s} + login) << startTls << u"guess"_s << true
        << int(SendEmail::AuthFailed) << "PLAIN no tls\n"_ba << started;
    QTest::newRow("no STARTTLS offered")
        << QStringList() << startTls << QString() << true << int(SendEmail::TlsFailed)
        << QByteArray() << u"SMTPエラー: サーバがSTARTTLSに対応していません。"_s;
    QTest::newRow("another host's certificate")
        << (QStringList{u"starttls"_s, u"other"_s} + login) << startTls << u"s3cret"_s << true
        << int(SendEmail::TlsFailed) << QByteArray()
        << notStarted + u"サーバ証明書を検証できません（"_s;
    QTest::newRow("a CA the PC does not trust")
        << (QStringList{u"implicit"_s, u"local"_s} + login) << implicit << u"s3cret"_s << false
        << int(SendEmail::TlsFailed) << QByteArray()
        << u"暗号化通信（TLS）を開始できませんでした。(SMTPS) サーバ証明書を検証できません（"_s;
    QTest::newRow("TLS from the first byte to a plain server")
        << QStringList() << implicit << QString() << true << int(SendEmail::TlsFailed)
        << QByteArray() << u"暗号化通信（TLS）を開始できませんでした。(SMTPS) "_s;
}

void TestSmtpClient::tls()
{
    QFETCH(QStringList, server);
    QFETCH(int, clientTls);
    QFETCH(QString, password);
    QFETCH(bool, trustCa);
    QFETCH(int, expected);
    QFETCH(QByteArray, logins);
    QFETCH(QString, firstLog);

    TestCa::Authority ca;
    QVERIFY(ca.create(m_dir.path()));
    if (!server.isEmpty()) {
        const bool local = server.at(1) == u"local"_s;
        const auto files = ca.issue(server.at(1), local ? u"IP:127.0.0.1"_s : u"DNS:other.example"_s);
        QVERIFY(files);
        server.replace(1, files->certificate);
        server.insert(2, files->key);
    }
    MailTest::AiosmtpdServer mailbox;
    QVERIFY(mailbox.start(u"accept"_s, server));

    SendEmailArgs args = argsFor(mailbox.portText());
    args.security = {SmtpSecurity::Tls(clientTls), password.isEmpty() ? QString() : u"pc01"_s,
                     password};
    if (trustCa)
        args.caFile = ca.certificate();
    SendEmail client(args);
    QSignalSpy finished(&client, &SendEmail::finished);
    QStringList log;
    connect(&client, &SendEmail::logged, this, [&log](const QString &line) { log.append(line); });
    QStringList shown;
    connect(&client, &SendEmail::statusChanged, this,
            [&shown](const QString &line) { shown.append(line); });
    client.start();
    QVERIFY(!finished.isEmpty() || finished.wait(20000));
    QCOMPARE(client.result(), expected);
    QCOMPARE(mailbox.logins(), logins);
    QCOMPARE(mailbox.messageCount(), expected == 0 ? 1 : 0);
    QCOMPARE(log.isEmpty() ? QString() : log.first().left(firstLog.size()), firstLog);
    for (const QString &line : log + shown)
        QVERIFY2(!line.contains(u"s3cret"_s) && !line.contains(u"guess"_s), qPrintable(line));
    if (expected == 0) {
        // The same mail sent plain, as the step always sent it: the bytes are the same.
        const qsizetype before = m_server.messageCount();
        QCOMPARE(run(argsFor(m_server.portText())), 0);
        QCOMPARE(mailbox.message(1), m_server.message(int(before) + 1));
    }
}

void TestSmtpClient::forgedReplyAfterStartTls()
{
    // A reply that travels with the go-ahead was not said inside TLS: nothing more is sent.
    MailTest::ScriptedServer forging;
    QVERIFY(forging.start(u"inject"_s));
    SendEmailArgs args = argsFor(forging.portText());
    args.security.tls = SmtpSecurity::Tls::StartTls;
    QCOMPARE(run(args), int(SendEmail::TlsFailed));
    QVERIFY2(forging.wire().endsWith("STARTTLS\r\n"), forging.wire().right(40).constData());
}

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
