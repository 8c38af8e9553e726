// The agent's key file never leaves the PC: requests 300, 310 and 500/510/520 as a console
// that tries to list, fetch or replace it sees them.
#include "agent/agentcontext.h"
#include "agent/agentsettings.h"
#include "agent/filespool.h"
#include "agent/launcher.h"
#include "agent/requesthandlers.h"
#include "agent/statuslog.h"
#include "common/codepage.h"
#include "net/frame.h"
#include "support/fakeclock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray KeyLine = "site "_ba + QByteArray(32, 'k').toHex() + '\n';
const QByteArray Planted = "site "_ba + QByteArray(32, 'p').toHex() + '\n';

class NoLauncher : public ProgramLauncher
{
public:
    bool launchCollector(const QString &, const QString &) override { return true; }
    bool startUpdater(const QStringList &) override { return true; }
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray filePayload(const QString &name, const QByteArray &bytes)
{
    const QString when = u"2026/12/10 12:00:00"_s;
    return Frame::encodeFilePayload({name, when, when, when}, bytes);
}

} // namespace

class TestKeyFileRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void neverListed();
    void neverRead_data();
    void neverRead();
    void replacedOnlyOverAnEncryptedSession_data();
    void replacedOnlyOverAnEncryptedSession();
    void spooledFileRefusedToo();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    Reply request(int code, const QByteArray &payload, bool encrypted = false);

    std::unique_ptr<QTemporaryDir> m_dir;
    AgentSettings m_settings;
    FakeClock m_clock;
};

void TestKeyFileRules::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QFile key(path(u"tarvo.psk"_s));
    QVERIFY(key.open(QIODevice::WriteOnly));
    key.write(KeyLine);
    key.close();
    QFile other(path(u"notes.txt"_s));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("hello\n");
    other.close();
    QVERIFY(QFile::link(path(u"tarvo.psk"_s), path(u"alias.txt"_s)));
    m_settings.TlsPskFile = path(u"tarvo.psk"_s);
}

Reply TestKeyFileRules::request(int code, const QByteArray &payload, bool encrypted)
{
    StatusLog log(m_clock);
    NoLauncher launcher;
    AgentContext context{m_dir->path(), path(u"TarvoAgent.ini"_s), u"TarvoAgent"_s, m_settings,
                         log, launcher};
    RequestHandlers handlers(context);
    handlers.setSessionEncrypted(encrypted);
    return handlers.handle(code, payload, u"[127.0.0.1:4000]"_s);
}

void TestKeyFileRules::neverListed()
{
    const Reply reply = request(Frame::GetFileInfo, {});
    QCOMPARE(reply.code, 301);
    QVERIFY(reply.body.contains("notes.txt;"));
    QVERIFY(!reply.body.contains("tarvo.psk"));
    // A link to the key is the key.
    QVERIFY(!reply.body.contains("alias.txt"));
}

void TestKeyFileRules::neverRead_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("by name") << "tarvo.psk"_ba;
    QTest::newRow("through a link") << "alias.txt"_ba;
    QTest::newRow("by a detour") << "./sub/../tarvo.psk"_ba;
    QTest::newRow("by its absolute path") << QFile::encodeName(path(u"tarvo.psk"_s));
}

void TestKeyFileRules::neverRead()
{
    QFETCH(QByteArray, name);
    QVERIFY(QDir(m_dir->path()).mkdir(u"sub"_s));
    const Reply reply = request(Frame::GetDataFile, name + "\r\n");
    QCOMPARE(reply.code, 312);
    QVERIFY(!reply.body.contains(QByteArray(32, 'k').toHex()));
    QCOMPARE(request(Frame::GetDataFile, "notes.txt\r\n").body, "hello\r\n"_ba);
}

void TestKeyFileRules::replacedOnlyOverAnEncryptedSession_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<int>("reply");
    QTest::newRow("500 plain") << int(Frame::DistributeFile) << u"tarvo.psk"_s << false << 502;
    QTest::newRow("510 plain") << int(Frame::DistributeAndRestart) << u"tarvo.psk"_s << false
                               << 512;
    QTest::newRow("520 plain") << int(Frame::DistributeAndCollect) << u"tarvo.psk"_s << false
                               << 522;
    QTest::newRow("500 plain, the link's name") << int(Frame::DistributeFile) << u"alias.txt"_s
                                                << false << 502;
    QTest::newRow("500 encrypted") << int(Frame::DistributeFile) << u"tarvo.psk"_s << true << 501;
}

void TestKeyFileRules::replacedOnlyOverAnEncryptedSession()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QFETCH(bool, encrypted);
    QFETCH(int, reply);
    const Reply answer = request(code, filePayload(name, Planted), encrypted);
    QCOMPARE(answer.code, reply);
    if (reply == 501) {
        QCOMPARE(contentOf(path(u"tarvo.psk"_s)), Planted);
        return;
    }
    QCOMPARE(answer.body, CodePage::toAnsi(u"鍵ファイルは暗号化されていない接続では配信できません。"_s));
    QCOMPARE(contentOf(path(u"tarvo.psk"_s)), KeyLine);
}

void TestKeyFileRules::spooledFileRefusedToo()
{
    // A large file goes straight to disk as it arrives: the refusal comes before a byte does.
    const QByteArray file(int(FileSpool::MinimumFrameBytes), 'p');
    const QByteArray frame = Frame::build(Frame::DistributeFile, filePayload(u"tarvo.psk"_s, file));
    auto spool = FileSpool::begin(m_dir->path(), u"TarvoAgent"_s, frame, quint32(frame.size()),
                                  m_settings.TlsPskFile);
    QVERIFY(spool);
    QCOMPARE(spool->finish(), Distribution::Result::KeyFile);
    QCOMPARE(contentOf(path(u"tarvo.psk"_s)), KeyLine);
}

QTEST_GUILESS_MAIN(TestKeyFileRules)
#include "tst_keyfilerules.moc"
