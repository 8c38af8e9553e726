#include "support/ftpserver.h"
#include "support/testca.h"
#include "support_stepfiles.h"

#include "collector/ftpstep.h"
#include "collector/runcontext.h"
#include "common/codepage.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Mac = u"00155D010203"_s;
const QByteArray DataFile = "[SYSTEM]\r\nSysOS=P;20040312;093015;Debian GNU/Linux 12\r\n"
                            "SysUserName=P;20040312;093015;\x8E\x52\x93\x63\r\n[DAT]\r\n"
                            "SysDatVersion=20040301120000\r\n"_ba;
const QString Opened = u"WinInetの初期処理が完了しました。(InternetOpen)"_s;
const QString Connected = u"FTPサーバに接続しました。(InternetConnect)"_s;
const QString ConnectFailed = u"FTPサーバの接続に失敗しました。(InternetConnect)"_s;
const QString Disconnected = u"FTPサーバから切断しました。(InternetCloseHandle)"_s;
const QString Ended = u"WinInetの終了処理完了。(InternetCloseHandle)"_s;

QStringList logFor(const QStringList &messages)
{
    QString text = QString(58, u'=') + u"\r\n2004年03月12日 09時30分15秒に起動\r\n"_s
                   + QString(58, u'=') + u"\r\n"_s;
    for (const QString &message : messages)
        text += u"2004/03/12 09:30:15\t"_s + message + u"\r\n"_s;
    return text.split(u"\r\n"_s);
}

QString cwdLine(bool ok, const QString &directory)
{
    return (ok ? u"チェンジディレクトリ成功。["_s : u"チェンジディレクトリ失敗。["_s) + directory
           + u"] (FtpSetCurrentDirectory)"_s;
}

QString putLine(bool ok)
{
    return (ok ? u"アップロード成功。["_s : u"アップロード失敗。["_s) + Mac + u".DAT] (FtpPutFile)"_s;
}

bool hasCommand(const QList<QByteArray> &commands, const QByteArray &prefix)
{
    for (const QByteArray &command : commands) {
        if (command.startsWith(prefix))
            return true;
    }
    return false;
}

} // namespace

class TestFtpStep : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void upload_data();
    void upload();
    void directoryChange_data();
    void directoryChange();
    void loginRefused();
    void unreachableServer();
    void typeNotANumberEndsBeforeTheLog();
    void missingDataFileEndsAfterConnecting();
    void copyThatCannotReplaceItsTarget();
    void tls_data();
    void tls();

private:
    void configure(int port, const QString &extra);
    QString file(const QString &name) const { return m_dir->filePath(name); }
    QStringList log() const
    {
        return CodePage::fromAnsi(readAll(file(Mac + u".FTP.LOG"_s))).split(u"\r\n"_s);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock;
    RunContext m_run;
    QTemporaryDir m_caDir;
    TestCa::Authority m_ca;
    std::optional<TestCa::ServerFiles> m_localhost; // a certificate for 127.0.0.1
    std::optional<TestCa::ServerFiles> m_otherHost; // one for another name
};

void TestFtpStep::initTestCase()
{
    TARVO_REQUIRE_TEST_SERVER(u"ftp"_s);
    QVERIFY(m_ca.create(m_caDir.path()));
    m_localhost = m_ca.issue(u"localhost"_s, u"IP:127.0.0.1,DNS:localhost"_s);
    m_otherHost = m_ca.issue(u"other"_s, u"DNS:other.example"_s);
    QVERIFY(m_localhost && m_otherHost);
}

void TestFtpStep::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeFile(file(u"TarvoInfo.dat"_s), DataFile);
    m_run = RunContext();
    m_run.folder = m_dir->path();
    m_run.macText = Mac;
    m_run.clock = &m_clock;
}

void TestFtpStep::configure(int port, const QString &extra)
{
    m_run.agentSettings.parse(CodePage::toAnsi(
        QString(u"[TarvoInfo]\r\nFtpUpload=1\r\nFtpAddress=127.0.0.1\r\nFtpPort="_s
                + QString::number(port) + u"\r\nFtpUser="_s + FtpTest::User + u"\r\nFtpPassword="_s
                + FtpTest::Password + u"\r\nFtpProxy=\r\n"_s + extra)));
}

void TestFtpStep::upload_data()
{
    QTest::addColumn<QString>("passive");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("dataCommand");
    QTest::addColumn<QByteArray>("typeCommand");
    QTest::addColumn<QByteArray>("stored");
    // pyftpdlib keeps an ASCII upload with its own line ends (LF): a CR LF file that went out
    // as CR CR LF would arrive with a stray CR on every line.
    QByteArray lf = DataFile;
    lf.replace("\r\n", "\n");
    QTest::newRow("passive binary") << u"1"_s << u"2"_s << "PASV"_ba << "TYPE I"_ba << DataFile;
    QTest::newRow("active binary") << u"0"_s << u"2"_s << "PORT 127,0,0,1,"_ba << "TYPE I"_ba << DataFile;
    QTest::newRow("passive ASCII") << u"1"_s << u"1"_s << "PASV"_ba << "TYPE A"_ba << lf;
    QTest::newRow("active ASCII") << u"0"_s << u"1"_s << "PORT 127,0,0,1,"_ba << "TYPE A"_ba << lf;
    QTest::newRow("passive when missing") << u"-"_s << u"2"_s << "PASV"_ba << "TYPE I"_ba << DataFile;
}

void TestFtpStep::upload()
{
    QFETCH(QString, passive);
    QFETCH(QString, type);
    QFETCH(QByteArray, dataCommand);
    QFETCH(QByteArray, typeCommand);
    QFETCH(QByteArray, stored);

    FtpTest::FtpServer server;
    QVERIFY(server.start());
    // An upload of an earlier run is replaced.
    writeFile(server.home() + u"/inbox/"_s + Mac + u".DAT"_s, "an older, longer upload of this PC"_ba);
    const QString passiveKey = passive == u"-"_s ? QString() : u"FtpPassive="_s + passive + u"\r\n"_s;
    configure(server.port(), passiveKey + u"FtpType="_s + type + u"\r\nFtpDirectory=inbox\r\n"_s);

    UploadFtp(m_run);

    QCOMPARE(log(), logFor({Opened, Connected, cwdLine(true, u"inbox"_s), putLine(true),
                            Disconnected, Ended}));
    QCOMPARE(readAll(file(Mac + u".DAT"_s)), DataFile);
    QCOMPARE(server.file(u"inbox/"_s + Mac + u".DAT"_s), stored);
    const QList<QByteArray> commands = server.commands();
    QCOMPARE(commands.first(), "USER " + FtpTest::User.toLatin1());
    QVERIFY(commands.contains("CWD inbox"));
    QVERIFY(commands.contains(typeCommand));
    QVERIFY(commands.contains("STOR " + Mac.toLatin1() + ".DAT"));
    QVERIFY2(hasCommand(commands, dataCommand), commands.join(' ').constData());
    QCOMPARE(commands.last(), "QUIT"_ba);
    // One session: a single login for the whole step.
    QCOMPARE(commands.count("PASS " + FtpTest::Password.toLatin1()), 1);
}

void TestFtpStep::directoryChange_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("missing directory") << u"nowhere"_s << false << "CWD nowhere"_ba;
    // Sent as it is; this server takes a bare CWD as "back to the home directory".
    QTest::newRow("empty directory") << QString() << true << "CWD"_ba;
}

void TestFtpStep::directoryChange()
{
    QFETCH(QString, directory);
    QFETCH(bool, changed);
    QFETCH(QByteArray, command);
    FtpTest::FtpServer server;
    QVERIFY(server.start());
    configure(server.port(), u"FtpType=2\r\nFtpDirectory="_s + directory + u"\r\n"_s);

    UploadFtp(m_run);

    QCOMPARE(log(), logFor({Opened, Connected, cwdLine(changed, directory), putLine(true),
                            Disconnected, Ended}));
    QList<QByteArray> sent = server.commands();
    for (QByteArray &line : sent)
        line = line.trimmed();
    QVERIFY2(sent.contains(command), sent.join('|').constData());
    // The upload goes to the directory the session is in: the home directory.
    QCOMPARE(server.file(Mac + u".DAT"_s), DataFile);
}

void TestFtpStep::loginRefused()
{
    FtpTest::FtpServer server;
    QVERIFY(server.start());
    configure(server.port(), u"FtpType=2\r\nFtpDirectory=inbox\r\n"_s);
    m_run.agentSettings.setValue("TarvoInfo", "FtpPassword", "wrong");

    UploadFtp(m_run);

    QCOMPARE(log(), logFor({Opened, ConnectFailed + u"530 Authentication failed."_s,
                            cwdLine(false, u"inbox"_s), putLine(false), Disconnected, Ended}));
    QVERIFY(!server.commands().contains("STOR " + Mac.toLatin1() + ".DAT"));
}

void TestFtpStep::unreachableServer()
{
    int port = 0;
    {
        FtpTest::FtpServer gone; // a port that was just free; nothing listens there any more
        QVERIFY(gone.start());
        port = gone.port();
    }
    configure(port, u"FtpType=2\r\nFtpDirectory=inbox\r\n"_s);

    UploadFtp(m_run);

    QCOMPARE(log(), logFor({Opened, ConnectFailed, cwdLine(false, u"inbox"_s), putLine(false),
                            Disconnected, Ended}));
    QCOMPARE(readAll(file(Mac + u".DAT"_s)), DataFile);
}

void TestFtpStep::typeNotANumberEndsBeforeTheLog()
{
    FtpTest::FtpServer server;
    QVERIFY(server.start());
    configure(server.port(), u"FtpType=binary\r\nFtpDirectory=inbox\r\n"_s);

    UploadFtp(m_run);

    QVERIFY(!QFile::exists(file(Mac + u".FTP.LOG"_s)));
    QVERIFY(!QFile::exists(file(Mac + u".DAT"_s)));
    QCOMPARE(server.commands(), QList<QByteArray>());
}

void TestFtpStep::missingDataFileEndsAfterConnecting()
{
    FtpTest::FtpServer server;
    QVERIFY(server.start());
    configure(server.port(), u"FtpType=2\r\nFtpDirectory=inbox\r\n"_s);
    QVERIFY(QFile::remove(file(u"TarvoInfo.dat"_s)));

    UploadFtp(m_run);

    QCOMPARE(log(), logFor({Opened, Connected}));
    QVERIFY(!QFile::exists(file(Mac + u".DAT"_s)));
    QVERIFY(!hasCommand(server.commands(), "STOR"));
}

// The copy is made durable while the file goes out: a copy that cannot take its name (here a
// folder holds it) still leaves the upload, of the bytes read, complete.
void TestFtpStep::copyThatCannotReplaceItsTarget()
{
    FtpTest::FtpServer server;
    QVERIFY(server.start());
    configure(server.port(), u"FtpType=2\r\nFtpDirectory=inbox\r\n"_s);
    QVERIFY(QDir(m_dir->path()).mkdir(Mac + u".DAT"_s));

    UploadFtp(m_run);

    QCOMPARE(log(), logFor({Opened, Connected, cwdLine(true, u"inbox"_s), putLine(true),
                            Disconnected, Ended}));
    QCOMPARE(server.file(u"inbox/"_s + Mac + u".DAT"_s), DataFile);
    QVERIFY(QFileInfo(file(Mac + u".DAT"_s)).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{Mac + u".FTP.LOG"_s, u"TarvoInfo.dat"_s})); // no temporary file left
}

void TestFtpStep::tls_data()
{
    QTest::addColumn<QString>("server");   // the certificate it shows: localhost, other or none
    QTest::addColumn<QString>("settings"); // @CA: the authority's certificate
    QTest::addColumn<QString>("tlsLine");  // after the connect, or the failure's start
    const QString started = u"暗号化通信（TLS）を開始しました。(AUTH TLS)"_s;
    const QString failed = u"暗号化通信（TLS）を開始できませんでした。(AUTH TLS)"_s;
    QTest::newRow("the site's CA") << u"localhost"_s << u"FtpTls=1\r\nFtpCaFile=@CA\r\n"_s
                                   << started;
    QTest::newRow("a CA the PC does not trust") << u"localhost"_s << u"FtpTls=1\r\n"_s << failed;
    QTest::newRow("another host's certificate")
        << u"other"_s << u"FtpTls=1\r\nFtpCaFile=@CA\r\n"_s << failed;
    QTest::newRow("a server without TLS") << u"none"_s << u"FtpTls=1\r\nFtpCaFile=@CA\r\n"_s
                                          << failed;
    QTest::newRow("a value meant as yes") << u"localhost"_s << u"FtpTls=yes\r\n"_s
                                          << u"暗号化通信（TLS）の設定が正しくないため送信しません。"_s;
}

// FTPS is all or nothing: either the session is encrypted end to end, or the password and the
// file never leave the PC.
void TestFtpStep::tls()
{
    QFETCH(QString, server);
    QFETCH(QString, settings);
    QFETCH(QString, tlsLine);
    FtpTest::FtpServer ftp;
    const TestCa::ServerFiles *shown = server == u"localhost" ? &*m_localhost
                                       : server == u"other"   ? &*m_otherHost
                                                              : nullptr;
    QVERIFY(shown ? ftp.start(shown->certificate, shown->key) : ftp.start());
    settings.replace(u"@CA"_s, m_ca.certificate());
    configure(ftp.port(), u"FtpType=2\r\nFtpDirectory=inbox\r\n"_s + settings);

    UploadFtp(m_run);

    const QStringList lines = log();
    const QList<QByteArray> commands = ftp.commands();
    if (tlsLine.endsWith(u"を開始しました。(AUTH TLS)"_s)) {
        QCOMPARE(lines, logFor({Opened, Connected, tlsLine, cwdLine(true, u"inbox"_s),
                                putLine(true), Disconnected, Ended}));
        QCOMPARE(commands.first(), "AUTH TLS"_ba);
        // The data connection is protected before the file goes out on it.
        QVERIFY(commands.indexOf("PROT P") >= 0);
        QVERIFY(commands.indexOf("PROT P") < commands.indexOf("STOR " + Mac.toLatin1() + ".DAT"));
        QVERIFY(commands.contains("PASS " + FtpTest::Password.toLatin1()));
        QCOMPARE(ftp.file(u"inbox/"_s + Mac + u".DAT"_s), DataFile);
        return;
    }
    QVERIFY2(std::any_of(lines.begin(), lines.end(),
                         [&](const QString &line) { return line.contains(tlsLine); }),
             qPrintable(lines.join(u'\n')));
    QVERIFY(lines.contains(u"2004/03/12 09:30:15\t"_s + putLine(false)));
    QVERIFY(!hasCommand(commands, "USER") && !hasCommand(commands, "PASS"));
    QVERIFY(!lines.join(u'\n').contains(FtpTest::Password));
    QVERIFY(ftp.file(u"inbox/"_s + Mac + u".DAT"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestFtpStep)
#include "tst_ftpstep.moc"
