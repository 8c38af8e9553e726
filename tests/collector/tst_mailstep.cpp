#include "support/smtpserver.h"
#include "support/testca.h"
#include "support_stepfiles.h"

#include "collector/mail/sendemail.h"
#include "collector/mailstep.h"
#include "collector/runcontext.h"
#include "common/codepage.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Mac = u"00155D010203"_s;
const QByteArray DataFile = "[SYSTEM]\r\nSysOS=P;20040312;093015;Debian GNU/Linux 12\r\n[DAT]\r\n"
                            "SysDatVersion=1.0\r\n"_ba;

QByteArray logFor(const QString &message)
{
    return CodePage::toAnsi(QString(QString(58, u'=') + u"\r\n2004年03月12日 09時30分15秒に起動\r\n"_s
                                    + QString(58, u'=') + u"\r\n2004/03/12 09:30:15\t"_s + message
                                    + u"\r\n"_s));
}

} // namespace

class TestMailStep : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void attachments_data();
    void attachments();
    void logLines_data();
    void logLines();
    void missingDataFileEndsTheStep();
    void securedLogLines_data();
    void securedLogLines();

private:
    void prepare(const QString &port, const QByteArray &subject = "Tarvo report"_ba,
                 const QByteArray &more = {});
    QString file(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock;
    RunContext m_run;
};

void TestMailStep::initTestCase()
{
    TARVO_REQUIRE_TEST_SERVER(u"smtp"_s);
}

void TestMailStep::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeFile(file(u"TarvoInfo.dat"_s), DataFile);
    m_run = RunContext();
    m_run.folder = m_dir->path();
    m_run.macText = Mac;
    m_run.clock = &m_clock;
}

void TestMailStep::prepare(const QString &port, const QByteArray &subject, const QByteArray &more)
{
    m_run.agentSettings.parse(QByteArray("[TarvoInfo]\r\nSmtpMail=1\r\nSmtpServer=127.0.0.1\r\nSmtpPort="
                                         + port.toLatin1() + "\r\nFrom=pc01@example.com\r\n"
                                         "To=admin@example.com;audit@example.com\r\nSubject="
                                         + subject + "\r\n" + more));
}

void TestMailStep::attachments_data()
{
    QTest::addColumn<bool>("insertFile");
    QTest::addColumn<bool>("updateFile");
    QTest::addColumn<QStringList>("expectedNames");
    const QString dat = Mac + u".DAT"_s;
    const QString insert = Mac + u".INSERT.SQL"_s;
    const QString update = Mac + u".UPDATE.SQL"_s;
    QTest::newRow("data file and both SQL files") << true << true << QStringList{dat, insert, update};
    QTest::newRow("no SQL files") << false << false << QStringList{dat};
    QTest::newRow("only the update file") << false << true << QStringList{dat, update};
}

void TestMailStep::attachments()
{
    QFETCH(bool, insertFile);
    QFETCH(bool, updateFile);
    QFETCH(QStringList, expectedNames);

    MailTest::AiosmtpdServer server;
    QVERIFY(server.start());
    const QByteArray insertSql = "INSERT INTO TarvoInfo (SysOS) VALUES ('Debian')\r\n"_ba;
    const QByteArray updateSql = "UPDATE TarvoInfo SET SysOS='Debian' WHERE x='y'\r\n"_ba;
    if (insertFile)
        writeFile(file(Mac + u".INSERT.SQL"_s), insertSql);
    if (updateFile)
        writeFile(file(Mac + u".UPDATE.SQL"_s), updateSql);
    writeFile(file(Mac + u".DAT"_s), "stale copy of an earlier run"_ba);
    prepare(server.portText(), CodePage::toAnsi(u"PC情報ﾚﾎﾟｰﾄ"_s));

    SendMailStep(m_run);

    QCOMPARE(readAll(file(Mac + u".MAIL.LOG"_s)), logFor(u"メールの送信に成功しました。"_s));
    QCOMPARE(readAll(file(Mac + u".DAT"_s)), DataFile);
    QCOMPARE(server.messageCount(), 1);
    const QByteArray raw = server.message(1);
    // "PC情報レポート": the half-width letters widened, the Japanese run one encoded word.
    QVERIFY2(raw.startsWith("Subject:PC =?ISO-2022-JP?B?GyRCPnBKcyVsJV0hPCVIGyhC?= \r\n"
                            "From:\"\" <pc01@example.com>\r\n"
                            "To:admin@example.com;audit@example.com\r\n"
                            "Content-type: multipart/mixed; boundary=\"zqSendMail Attachment Boundary\"\r\n"
                            "\r\n"),
             raw.left(200).constData());
    QVERIFY(raw.contains("charset=iso-2022-jp\r\n\r\n\x1B$BE:IU%U%!%$%k$r;2>H$/$@$5$$!#\x1B(B\r\n"));

    const QList<MailTest::Attachment> parts = MailTest::attachmentsOf(raw);
    QStringList names;
    for (const auto &part : parts)
        names.append(part.name);
    QCOMPARE(names, expectedNames);
    QCOMPARE(parts[0].data, DataFile);
    for (const auto &part : parts) {
        if (part.name.endsWith(u".INSERT.SQL"_s))
            QCOMPARE(part.data, insertSql);
        if (part.name.endsWith(u".UPDATE.SQL"_s))
            QCOMPARE(part.data, updateSql);
    }
    QStringList rcpts;
    for (const QJsonValue &value : server.envelope(1).value(u"rcpt_tos"_s).toArray())
        rcpts.append(value.toString());
    QCOMPARE(rcpts, (QStringList{u"admin@example.com"_s, u"audit@example.com"_s}));
}

void TestMailStep::logLines_data()
{
    QTest::addColumn<QString>("server"); // "aiosmtpd:<mode>", "scripted:<mode>" or "port:<text>"
    QTest::addColumn<QString>("expected");
    QTest::newRow("accepted") << u"aiosmtpd:accept"_s << u"メールの送信に成功しました。"_s;
    QTest::newRow("refused at the end of data")
        << u"aiosmtpd:reject"_s << u"メールサーバがメッセージを受け付けませんでした。"_s;
    QTest::newRow("HELO refused") << u"scripted:fail-helo"_s << u"SMTPコマンド（HELO）に失敗しました。"_s;
    QTest::newRow("greeting refused")
        << u"scripted:fail-greeting"_s << u"メールサーバ接続時にエラーが発生しました。"_s;
    QTest::newRow("last recipient refused")
        << u"scripted:fail-rcpt"_s << u"SMTPコマンド（RCPT）に失敗しました。"_s;
    QTest::newRow("DATA refused") << u"scripted:fail-data"_s << u"SMTPコマンド（DATA）に失敗しました。"_s;
    QTest::newRow("server hangs up") << u"scripted:hangup"_s << u"メールサーバとの接続が切れました。"_s;
    QTest::newRow("server never answers")
        << u"scripted:silent"_s << u"メール送信プログラム起動時にエラーが発生しました。"_s;
    QTest::newRow("connection refused")
        << u"port:"_s + QString::number(MailTest::closedPort()) << u"Socketの生成に失敗しました。"_s;
    QTest::newRow("empty port") << u"port:"_s << u"Socketの生成に失敗しました。"_s;
    QTest::newRow("port not a number") << u"port:25a"_s << u"Socketの生成に失敗しました。"_s;
}

void TestMailStep::logLines()
{
    QFETCH(QString, server);
    QFETCH(QString, expected);
    const QString kind = server.section(u':', 0, 0);
    const QString mode = server.section(u':', 1);
    // The silent server is not waited out for the full 30 seconds.
    m_run.mailTimeoutMs = 500;

    MailTest::AiosmtpdServer aiosmtpd;
    MailTest::ScriptedServer scripted;
    QString port = mode;
    if (kind == u"aiosmtpd"_s) {
        QVERIFY(aiosmtpd.start(mode));
        port = aiosmtpd.portText();
    } else if (kind == u"scripted"_s) {
        QVERIFY(scripted.start(mode));
        port = scripted.portText();
    }
    prepare(port);
    SendMailStep(m_run);
    QCOMPARE(readAll(file(Mac + u".MAIL.LOG"_s)), logFor(expected));
}

void TestMailStep::missingDataFileEndsTheStep()
{
    MailTest::AiosmtpdServer server;
    QVERIFY(server.start());
    QVERIFY(QFile::remove(file(u"TarvoInfo.dat"_s)));
    prepare(server.portText());
    SendMailStep(m_run);
    QVERIFY(!QFile::exists(file(Mac + u".MAIL.LOG"_s)));
    QVERIFY(!QFile::exists(file(Mac + u".DAT"_s)));
    QCOMPARE(server.messageCount(), 0);
}

void TestMailStep::securedLogLines_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("expected"); // each line's start, in order
    const QByteArray login = "SmtpUser=pc01\r\nSmtpCaFile=ca.pem\r\n"_ba;
    const QString tlsStarted = u"暗号化通信（TLS）を開始しました。(STARTTLS) TLSv1.3 "_s;
    const QString notSent = u"暗号化通信（TLS）の設定が正しくないため送信しません。"_s;
    QTest::newRow("STARTTLS and AUTH")
        << "SmtpTls=1\r\nSmtpPassword=s3cret\r\n"_ba + login
        << QStringList{tlsStarted, u"SMTP認証に成功しました。(AUTH PLAIN)"_s,
                       u"メールの送信に成功しました。"_s};
    QTest::newRow("wrong password: the server's reply")
        << "SmtpTls=1\r\nSmtpPassword=guess\r\n"_ba + login
        << QStringList{tlsStarted,
                       u"SMTP認証に失敗しました。(AUTH PLAIN) 535 5.7.8 Authentication credentials invalid"_s,
                       u"SMTP認証に失敗しました。"_s};
    QTest::newRow("a TLS value meant as yes: nothing sent")
        << "SmtpTls=yes\r\nSmtpPassword=s3cret\r\n"_ba + login
        << QStringList{notSent + u"SmtpTlsは0、1、2のいずれかで指定してください。(yes)"_s};
    QTest::newRow("a login without TLS: nothing sent")
        << "SmtpPassword=s3cret\r\n"_ba + login
        << QStringList{notSent + u"SMTP認証は暗号化通信でのみ行います。"_s};
}

void TestMailStep::securedLogLines()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, expected);
    TestCa::Authority ca;
    QVERIFY(ca.create(m_dir->path()));
    const auto files = ca.issue(u"mail"_s, u"IP:127.0.0.1"_s);
    QVERIFY(files);
    MailTest::AiosmtpdServer server;
    QVERIFY(server.start(u"accept"_s, {u"starttls"_s, files->certificate, files->key,
                                       u"pc01"_s, u"s3cret"_s}));
    prepare(server.portText(), "Tarvo report"_ba, settings);

    SendMailStep(m_run);

    const QByteArray log = readAll(file(Mac + u".MAIL.LOG"_s));
    QVERIFY(!log.contains("s3cret") && !log.contains("guess"));
    const QStringList lines = CodePage::fromAnsi(log).split(u"\r\n"_s).mid(3);
    QCOMPARE(lines.size(), expected.size() + 1); // and the end of the last line
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(lines[i].section(u'\t', 1).startsWith(expected[i]), qPrintable(lines[i]));
    QCOMPARE(server.messageCount(), expected.last().startsWith(u"メールの送信に成功"_s) ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestMailStep)
#include "tst_mailstep.moc"
