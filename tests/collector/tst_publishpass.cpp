// The whole pass of the real collector program with its three publishing steps switched on,
// against a MariaDB server, an SMTP server (aiosmtpd) and an FTP server (pyftpdlib), all on
// 127.0.0.1 and started here.

#include "support/ftpserver.h"
#include "support_stepfiles.h"
#include "support/smtpserver.h"
#include "support/mariadbserver.h"

#include "common/codepage.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QStringList SystemItems = {
    u"SysOS"_s, u"SysOSVersion"_s, u"SysOSBuildNumber"_s, u"SysOSServicePack"_s, u"SysUserName"_s,
    u"SysWindowsDirectory"_s, u"SysSystemDirectory"_s, u"SysTemporaryDirectory"_s,
    u"SysKeyboard"_s, u"SysFunctionKeys"_s, u"SysComputerName"_s, u"SysProcessors"_s,
    u"SysProcessorType"_s, u"SysProcessorSpeed"_s, u"SysProcessorLevel"_s,
    u"SysProcessorRevision"_s, u"SysPhisicalMemory"_s, u"SysPhisicalMemoryAvail"_s,
    u"SysPageFile"_s, u"SysPageFileAvail"_s, u"SysVirtualMemory"_s, u"SysVirtualMemoryAvail"_s,
    u"SysMemoryLoad"_s, u"SysTickCount"_s, u"SysDefaultPrinter"_s, u"SysMicrosoftNetwork"_s,
    u"SysMicrosoftNetworkType"_s, u"SysScreenResolution"_s, u"SysNetAdapter"_s,
    u"SysMACAddress"_s, u"SysIPAddress"_s, u"SysSubnetMasks"_s, u"SysGatewayAddress"_s,
    u"SysDNSAddress"_s, u"SysHostName"_s, u"SysDomainName"_s, u"SysDHCPAddress"_s,
    u"SysPriWINSAddress"_s, u"SysSecWINSAddress"_s, u"SysDHCPGetLease"_s, u"SysDHCPExpireLease"_s};

/// The messages of a step log, without the banner and the time stamps.
QStringList logMessages(const QByteArray &log)
{
    const QStringList lines = CodePage::fromAnsi(log).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QStringList messages;
    for (qsizetype i = 3; i < lines.size(); ++i)
        messages.append(lines.at(i).section(u'\t', 1));
    return messages;
}

} // namespace

class TestPublishPass : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void allThreeSteps();

private:
    void runCollector();
    QString file(const QString &name) const { return m_folder.filePath(name); }

    DbTest::MariaDbServer m_mariadb;
    FtpTest::FtpServer m_ftp;
    MailTest::AiosmtpdServer m_smtp;
    QTemporaryDir m_folder;
};

void TestPublishPass::initTestCase()
{
    const QString program = QStringLiteral(TARVO_BIN_DIR "/TarvoInfo");
    QVERIFY2(QFile::exists(program), "build the TarvoInfo target before this test");
    TARVO_REQUIRE_TEST_SERVER(u"mariadb"_s);
    TARVO_REQUIRE_TEST_SERVER(u"ftp"_s);
    TARVO_REQUIRE_TEST_SERVER(u"smtp"_s);
    QString error;
    QVERIFY2(m_mariadb.start(&error), qPrintable(error));
    bool ok = false;
    m_mariadb.sql(readAll(QStringLiteral(TARVO_SOURCE_DIR "/packaging/schema-mariadb.sql")), &ok);
    QVERIFY(ok);
    QVERIFY(m_ftp.start());
    QVERIFY(m_smtp.start());

    // A program folder of its own: the collector, its settings and its definitions.
    QVERIFY(m_folder.isValid());
    QVERIFY(QFile::copy(program, file(u"TarvoInfo"_s)));
    QString definitions = u"[SYSTEM]\r\n"_s;
    for (const QString &item : SystemItems)
        definitions += item + u"=\r\n"_s;
    definitions += u"[DAT]\r\nSysDatVersion=20040301120000\r\n"_s;
    const QString settings =
        u"[TarvoInfo]\r\nSQLUpdate=1\r\nSmtpMail=1\r\nFTPUpload=1\r\n"_s
        u"SqlConnection="_s + m_mariadb.connection() + u"\r\nSqlTable=TarvoInfo\r\n"_s
        u"SqlUserid="_s + DbTest::User + u"\r\nSqlPassword="_s + DbTest::Password + u"\r\n"_s
        u"SmtpServer=127.0.0.1\r\nSmtpPort="_s + m_smtp.portText() + u"\r\n"_s
        u"From=pc@example.com\r\nTo=admin@example.com\r\nSubject=収集結果\r\n"_s
        u"FtpAddress=127.0.0.1\r\nFtpPort="_s + QString::number(m_ftp.port()) + u"\r\n"_s
        u"FtpUser="_s + FtpTest::User + u"\r\nFtpPassword="_s + FtpTest::Password + u"\r\n"_s
        u"FtpProxy=\r\nFtpPassive=1\r\nFtpType=2\r\nFtpDirectory=inbox\r\n"_s;
    for (const auto &[name, text] : {std::pair{u"TarvoInfo.dat"_s, definitions},
                                     std::pair{u"TarvoAgent.ini"_s, settings}}) {
        QFile out(file(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(CodePage::toAnsi(text));
    }
}

void TestPublishPass::runCollector()
{
    QProcess collector;
    collector.setWorkingDirectory(m_folder.path());
    collector.setProcessChannelMode(QProcess::ForwardedChannels);
    collector.start(file(u"TarvoInfo"_s), {u"ALL"_s});
    QVERIFY(collector.waitForStarted(10000));
    QVERIFY(collector.waitForFinished(120000));
    QCOMPARE(collector.exitStatus(), QProcess::NormalExit);
}

void TestPublishPass::allThreeSteps()
{
    runCollector();

    const QStringList logs = QDir(m_folder.path()).entryList({u"*.SQL.LOG"_s});
    QCOMPARE(logs.size(), 1);
    const QString mac = logs.first().chopped(8);
    QVERIFY(!mac.isEmpty());

    // Database: the row of this PC, every reported column present in the shipped schema.
    QCOMPARE(logMessages(readAll(file(mac + u".SQL.LOG"_s))),
             (QStringList{u"データベースにデータが挿入（INSERT）されました。"_s,
                          u"データベースへの処理が完了しました。"_s}));
    const QString row = QString::fromUtf8(
        m_mariadb.sql("SELECT SysMACAddress, SysDatVersion, LastUpdateBy, SysDriveCFile IS NOT NULL "
                      "FROM TarvoInfo;"));
    QCOMPARE(row, mac + u"\t20040301120000\tTarvoInfo 1.5.0\t1\n"_s);

    // Mail: the data file and both statement files of this run.
    const QByteArray data = readAll(file(u"TarvoInfo.dat"_s));
    QVERIFY(data.startsWith("[SYSTEM]\r\nSysOS=P;"));
    QCOMPARE(logMessages(readAll(file(mac + u".MAIL.LOG"_s))),
             QStringList{u"メールの送信に成功しました。"_s});
    QCOMPARE(m_smtp.messageCount(), 1);
    const QList<MailTest::Attachment> parts = MailTest::attachmentsOf(m_smtp.message(1));
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts.at(0).name, mac + u".DAT"_s);
    QCOMPARE(parts.at(0).data, data);
    QCOMPARE(parts.at(1).name, mac + u".INSERT.SQL"_s);
    QCOMPARE(parts.at(1).data, readAll(file(mac + u".INSERT.SQL"_s)));
    QCOMPARE(parts.at(2).name, mac + u".UPDATE.SQL"_s);
    QCOMPARE(parts.at(2).data, readAll(file(mac + u".UPDATE.SQL"_s)));

    // FTP: the same data file in the configured directory.
    QCOMPARE(logMessages(readAll(file(mac + u".FTP.LOG"_s))),
             (QStringList{u"WinInetの初期処理が完了しました。(InternetOpen)"_s,
                          u"FTPサーバに接続しました。(InternetConnect)"_s,
                          u"チェンジディレクトリ成功。[inbox] (FtpSetCurrentDirectory)"_s,
                          u"アップロード成功。["_s + mac + u".DAT] (FtpPutFile)"_s,
                          u"FTPサーバから切断しました。(InternetCloseHandle)"_s,
                          u"WinInetの終了処理完了。(InternetCloseHandle)"_s}));
    QCOMPARE(m_ftp.file(u"inbox/"_s + mac + u".DAT"_s), data);

    // The second pass finds its row and updates it.
    runCollector();
    const QStringList second = logMessages(readAll(file(mac + u".SQL.LOG"_s)));
    QCOMPARE(second.size(), 4);
    QCOMPARE(second.at(0), u"データベースのデータ挿入（INSERT）に失敗しました！"_s);
    QVERIFY2(second.at(1).contains(u"Duplicate entry"_s), qPrintable(second.at(1)));
    QCOMPARE(second.at(2), u"データベースのデータが更新（UPDATE）されました。"_s);
    QCOMPARE(m_mariadb.sql("SELECT COUNT(*) FROM TarvoInfo;"), "1\n"_ba);
    QCOMPARE(m_smtp.messageCount(), 2);
    QCOMPARE(m_ftp.file(u"inbox/"_s + mac + u".DAT"_s), readAll(file(u"TarvoInfo.dat"_s)));
}

QTEST_GUILESS_MAIN(TestPublishPass)
#include "tst_publishpass.moc"
