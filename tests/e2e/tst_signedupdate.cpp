// Signed self-updates across the real TarvoControl, TarvoAgent and TarvoUtil on 127.0.0.1, with
// keys and signatures made by the stock minisign tool: what is let in, what is refused and why,
// and that a refused program never replaces the one running.
#include "e2e/selfupdatefolder.h"

#include <QFileSystemWatcher>
#include <QStandardPaths>

#include <csignal>

using namespace SelfUpdate;

namespace {

const QString Signature = u"TarvoAgent.minisig"_s;       // beside the program: the record
const QString Pending = u"TarvoAgent.new.minisig"_s;     // beside the new program
const QString Refused = u"更新プログラムを拒否しました。"_s;

/// Key pairs made once by `minisign -G -W` (no password), and signatures made with them.
class Signer
{
public:
    bool makeKeys(int count)
    {
        for (int i = 0; i < count; ++i) {
            if (run({u"-G"_s, u"-W"_s, u"-f"_s, u"-p"_s, publicKey(i), u"-s"_s, secretKey(i)}) != 0)
                return false;
        }
        return true;
    }
    QString publicKey(int key) const { return m_dir.filePath(u"k%1.pub"_s.arg(key)); }
    /// Signs `file` into `file`.minisig; `trusted` replaces minisign's trusted comment.
    bool sign(int key, const QString &file, bool legacy, const QByteArray &trusted = {}) const
    {
        QStringList arguments{u"-S"_s, u"-s"_s, secretKey(key), u"-m"_s, file};
        if (legacy)
            arguments << u"-l"_s;
        if (!trusted.isEmpty())
            arguments << u"-t"_s << QString::fromUtf8(trusted);
        return run(arguments) == 0;
    }

private:
    QString secretKey(int key) const { return m_dir.filePath(u"k%1.sec"_s.arg(key)); }
    static int run(const QStringList &arguments)
    {
        QProcess minisign;
        minisign.setStandardInputFile(QProcess::nullDevice());
        minisign.start(u"minisign"_s, arguments);
        if (!minisign.waitForFinished(Bound))
            return -1;
        return minisign.exitStatus() == QProcess::NormalExit ? minisign.exitCode() : -1;
    }
    QTemporaryDir m_dir;
};

enum class Via { Console, RestartRequest };
enum class Tamper { Nothing, Program, TrustedComment };

QString signatureOf(const QString &file)
{
    return file + u".minisig"_s;
}

/// The agent the updater starts inherits its output: a file, since a pipe would close with the
/// updater and end the agent at its first status line.
void keepOutputForTheAgent(QProcess &updater, const ProgramFolder &folder)
{
    updater.setStandardOutputFile(folder.file(u"agent.out"_s), QIODevice::Append);
    updater.setStandardErrorFile(folder.file(u"agent.out"_s), QIODevice::Append);
}

QByteArray now(qint64 offset = 0)
{
    return QByteArray::number(QDateTime::currentSecsSinceEpoch() + offset);
}

QByteArray readKeys(const Signer &signer, const QList<int> &keys)
{
    QByteArray text;
    for (int key : keys)
        text += readFile(signer.publicKey(key));
    return text;
}

} // namespace

Q_DECLARE_METATYPE(Via)
Q_DECLARE_METATYPE(Tamper)

class TestSignedUpdate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void update_data();
    void update();
    void updaterChecksAgainBeforeTheSwap();
    void killedSwapLeavesEitherProgramWhole();

private:
    /// A folder whose agent checks updates against the keys `keys` of the signer.
    std::unique_ptr<ProgramFolder> signedFolder(const QList<int> &keys, bool absolutePath);
    /// Runs `TarvoControl distribute-restart FILE 127.0.0.1`; the row it prints.
    QString distributeRestart(const ProgramFolder &folder, const QString &file);

    Signer m_signer;
    QTemporaryDir m_console;
};

void TestSignedUpdate::initTestCase()
{
    if (QStandardPaths::findExecutable(u"minisign"_s).isEmpty())
        QSKIP("minisign is not installed (scripts/install-deps.sh installs it)");
    QVERIFY(m_signer.makeKeys(3));
    QVERIFY(m_console.isValid());
}

std::unique_ptr<ProgramFolder> TestSignedUpdate::signedFolder(const QList<int> &keys,
                                                                bool absolutePath)
{
    // A relative key file lies in the program folder; an absolute one anywhere.
    const QString keyFile = absolutePath ? m_console.filePath(u"fleet.pub"_s) : u"update.pub"_s;
    auto folder = std::make_unique<ProgramFolder>("UpdateKeyFile=" + keyFile.toUtf8() + "\r\n");
    QFile out(absolutePath ? keyFile : folder->file(keyFile));
    if (!out.open(QIODevice::WriteOnly) || out.write(readKeys(m_signer, keys)) <= 0)
        return nullptr;
    return folder;
}

QString TestSignedUpdate::distributeRestart(const ProgramFolder &folder, const QString &file)
{
    QFile ini(m_console.filePath(u"TarvoControl.ini"_s));
    if (!ini.open(QIODevice::WriteOnly)
        || ini.write("[TarvoControl]\r\nPort=" + QByteArray::number(folder.port())
                     + "\r\nTimeout=15\r\nMaxControl=1\r\n")
               <= 0)
        return u"<no settings>"_s;
    ini.close();
    QProcess console;
    console.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  {u"--folder"_s, m_console.path(), u"distribute-restart"_s, file, u"127.0.0.1"_s});
    if (!console.waitForFinished(2 * Bound))
        return u"<no end>"_s;
    return QString::fromUtf8(console.readAllStandardOutput()).trimmed();
}

void TestSignedUpdate::update_data()
{
    QTest::addColumn<QList<int>>("keys");   // the keys in the agent's key file
    QTest::addColumn<bool>("absolutePath"); // UpdateKeyFile absolute (else program-relative)
    QTest::addColumn<int>("signer");        // the key that signs; -1: no signature at all
    QTest::addColumn<bool>("legacy");       // "Ed" (minisign -l) instead of "ED"
    QTest::addColumn<QByteArray>("trusted"); // the trusted comment; "" for minisign's own
    QTest::addColumn<QByteArray>("record"); // trusted comment of the running program's record
    QTest::addColumn<Tamper>("tamper");
    QTest::addColumn<Via>("via");
    QTest::addColumn<QString>("refusal"); // the reason logged; "" when the program goes in

    const QList<int> one{0};
    const QByteArray file = "\tfile:TarvoAgent";
    const auto accepted = QString();
    QTest::newRow("good ED") << one << false << 0 << false << QByteArray() << QByteArray()
                             << Tamper::Nothing << Via::Console << accepted;
    QTest::newRow("good Ed (legacy)") << one << false << 0 << true << QByteArray() << QByteArray()
                                      << Tamper::Nothing << Via::Console << accepted;
    QTest::newRow("newer than the running program's signature")
        << one << false << 0 << false << QByteArray() << "timestamp:1000" + file
        << Tamper::Nothing << Via::Console << accepted;
    QTest::newRow("second key of a rotation")
        << QList<int>{0, 1} << true << 1 << false << QByteArray() << QByteArray()
        << Tamper::Nothing << Via::Console << accepted;
    QTest::newRow("good ED by 500 and 130") << one << false << 0 << false << QByteArray()
                                            << QByteArray() << Tamper::Nothing
                                            << Via::RestartRequest << accepted;
    QTest::newRow("tampered program") << one << false << 0 << false << QByteArray() << QByteArray()
                                      << Tamper::Program << Via::Console
                                      << u"プログラムが署名と一致しません。"_s;
    QTest::newRow("tampered program by 500 and 130")
        << one << false << 0 << true << QByteArray() << QByteArray() << Tamper::Program
        << Via::RestartRequest << u"プログラムが署名と一致しません。"_s;
    QTest::newRow("tampered trusted comment")
        << one << false << 0 << false << QByteArray() << QByteArray() << Tamper::TrustedComment
        << Via::Console << u"署名の信頼済みコメントが改ざんされています。"_s;
    QTest::newRow("wrong key") << one << false << 2 << false << QByteArray() << QByteArray()
                               << Tamper::Nothing << Via::Console
                               << u"署名の鍵が公開鍵ファイルにありません。"_s;
    QTest::newRow("missing signature") << one << false << -1 << false << QByteArray()
                                       << QByteArray() << Tamper::Nothing << Via::Console
                                       << u"署名ファイルがありません。"_s;
    QTest::newRow("replayed older signature")
        << one << false << 0 << false << QByteArray() << "timestamp:" + now(3600) + file
        << Tamper::Nothing << Via::Console
        << u"署名が実行中のプログラムの署名より新しくありません。"_s;
    QTest::newRow("trusted comment without timestamp")
        << one << false << 0 << false << "file:TarvoAgent"_ba << QByteArray() << Tamper::Nothing
        << Via::Console << u"署名の信頼済みコメントにtimestampがありません。"_s;
    QTest::newRow("signature of another program")
        << one << false << 0 << false << "timestamp:" + now() + "\tfile:TarvoInfo"
        << QByteArray() << Tamper::Nothing << Via::Console << u"署名は別のファイルのものです。"_s;
}

void TestSignedUpdate::update()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, absolutePath);
    QFETCH(int, signer);
    QFETCH(bool, legacy);
    QFETCH(QByteArray, trusted);
    QFETCH(QByteArray, record);
    QFETCH(Tamper, tamper);
    QFETCH(Via, via);
    QFETCH(QString, refusal);

    const auto folder = signedFolder(keys, absolutePath);
    QVERIFY(folder && folder->isValid());
    if (!record.isEmpty()) {
        // The record of the running program: a signature accepted earlier.
        const QString earlier = m_console.filePath(u"earlier"_s);
        QVERIFY(QFile(earlier).open(QIODevice::WriteOnly));
        QVERIFY(m_signer.sign(0, earlier, false, record));
        QVERIFY(folder->write(Signature, readFile(earlier + u".minisig"_s), false));
    }
    const QByteArray recordBefore = readFile(folder->file(Signature));

    // The administrator's copy of the new program, signed beside it.
    const QString program = m_console.filePath(Agent);
    QFile::remove(signatureOf(program));
    {
        QFile out(program);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(out.write(folder->distributedAgent()) > 0);
    }
    if (signer >= 0)
        QVERIFY(m_signer.sign(signer, program, legacy, trusted));
    if (tamper == Tamper::Program) {
        QFile out(program);
        QVERIFY(out.open(QIODevice::Append));
        QVERIFY(out.write("!") == 1);
    } else if (tamper == Tamper::TrustedComment) {
        QByteArray text = readFile(signatureOf(program));
        const qsizetype at = text.indexOf("timestamp:");
        QVERIFY(at > 0);
        text.insert(at + 10, '9'); // a later date than the one signed
        QFile out(signatureOf(program));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(out.write(text) == text.size());
    }
    const QByteArray distributed = readFile(program);

    // The administrator's check before distributing says the same, but for replays: it knows
    // no running program.
    const QString keyFile = absolutePath ? m_console.filePath(u"fleet.pub"_s)
                                         : folder->file(u"update.pub"_s);
    QProcess verify;
    verify.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"), {u"verify"_s, program, keyFile});
    QVERIFY(verify.waitForFinished(Bound));
    const bool replay = refusal == u"署名が実行中のプログラムの署名より新しくありません。"_s;
    QCOMPARE(verify.exitCode(), refusal.isEmpty() || replay ? 0 : 1);
    if (!refusal.isEmpty() && !replay)
        QCOMPARE(QString::fromUtf8(verify.readAllStandardError()), program + u": "_s + refusal + u'\n');

    QVERIFY(folder->startAgent());
    const qint64 oldPid = folder->agentPid();
    const bool accept = refusal.isEmpty();
    if (via == Via::Console) {
        QCOMPARE(distributeRestart(*folder, program),
                 accept ? u"127.0.0.1\tOK\tファイル配信＆再起動！"_s
                        : u"127.0.0.1\tNG\tファイル配信＆再起動失敗！"_s);
    } else {
        for (const auto &[name, bytes] :
             {std::pair{"TarvoAgent.minisig"_ba, readFile(signatureOf(program))},
              std::pair{"TarvoAgent"_ba, distributed}}) {
            Console console;
            QVERIFY(console.connectTo(folder->port()));
            QCOMPARE(codeOf(console.exchange(fileRequest(500, name, bytes))), "501"_ba);
            QVERIFY(console.end());
        }
        Console console;
        QVERIFY(console.connectTo(folder->port()));
        QCOMPARE(codeOf(console.exchange(rawFrame(130, {}))), accept ? "131"_ba : "132"_ba);
        if (!accept)
            QVERIFY(console.end());
    }

    if (!accept) {
        // The old program goes on answering; the refused one and its signature are gone.
        QVERIFY(folder->answers());
        QCOMPARE(folder->firstAgent().state(), QProcess::Running);
        QCOMPARE(folder->agentPid(), oldPid);
        QCOMPARE(readFile(folder->file(Agent)), folder->agentBytes());
        QVERIFY(!QFile::exists(folder->file(u"TarvoAgent.new"_s)));
        QVERIFY(!QFile::exists(folder->file(Pending)));
        QCOMPARE(readFile(folder->file(Signature)), recordBefore);
        const QString log = folder->statusLog();
        QVERIFY2(log.contains(Refused + refusal), qPrintable(log));
        QCOMPARE(log.count(Refused), 1);
        return;
    }
    QVERIFY(folder->firstAgent().waitForFinished(Bound));
    QTRY_VERIFY_WITH_TIMEOUT(folder->answers(), Bound);
    const qint64 newPid = folder->agentPid();
    QVERIFY(newPid != oldPid);
    QCOMPARE(runningProgram(newPid), distributed);
    QCOMPARE(readFile(folder->file(Agent)), distributed);
    // The accepted signature is now the record of the running program.
    QCOMPARE(readFile(folder->file(Signature)), readFile(signatureOf(program)));
    const QString log = folder->statusLog();
    QVERIFY2(!log.contains(u"更新プログラムの署名は確認されません"_s), qPrintable(log));
    QVERIFY(!log.contains(Refused));
}

void TestSignedUpdate::updaterChecksAgainBeforeTheSwap()
{
    // A new program that changed after the agent's check (here: before the updater runs, with
    // no agent to wait for): the updater refuses it and starts the old program again.
    const auto folder = signedFolder({0}, false);
    QVERIFY(folder && folder->isValid());
    const QString program = m_console.filePath(u"checked/TarvoAgent"_s);
    QVERIFY(QDir().mkpath(QFileInfo(program).path()));
    {
        QFile out(program);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(out.write(folder->distributedAgent()) > 0);
    }
    QVERIFY(m_signer.sign(0, program, false));
    QVERIFY(folder->write(u"TarvoAgent.new"_s, folder->distributedAgent() + "changed", false));
    QVERIFY(folder->write(Pending, readFile(signatureOf(program)), false));

    QProcess updater;
    keepOutputForTheAgent(updater, *folder);
    updater.start(folder->file(Updater), {u"update"_s, Agent, Agent, u"TarvoAgent.new"_s});
    QVERIFY(updater.waitForFinished(Bound));
    QTRY_VERIFY_WITH_TIMEOUT(folder->answers(), Bound);
    QCOMPARE(runningProgram(folder->agentPid()), folder->agentBytes());
    QCOMPARE(readFile(folder->file(Agent)), folder->agentBytes());
    QVERIFY(!QFile::exists(folder->file(u"TarvoAgent.new"_s)));
    QVERIFY(!QFile::exists(folder->file(Pending)));
    QVERIFY(!QFile::exists(folder->file(Signature)));
    QVERIFY(!QFile::exists(folder->file(u"TarvoAgent.07032004"_s))); // nothing was backed up
}

void TestSignedUpdate::killedSwapLeavesEitherProgramWhole()
{
    // kill -9 of the updater while it copies and checks a large signed program.
    const auto folder = signedFolder({0}, false);
    QVERIFY(folder && folder->isValid());
    const QString program = m_console.filePath(u"large/TarvoAgent"_s);
    QVERIFY(QDir().mkpath(QFileInfo(program).path()));
    const QByteArray large = folder->distributedAgent() + QByteArray(64 << 20, 'x');
    {
        QFile out(program);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(out.write(large) == large.size());
    }
    QVERIFY(m_signer.sign(0, program, false));
    QVERIFY(folder->write(u"TarvoAgent.new"_s, large, false));
    QVERIFY(folder->write(Pending, readFile(signatureOf(program)), false));

    QProcess updater;
    keepOutputForTheAgent(updater, *folder);
    QFileSystemWatcher watcher({QFileInfo(folder->file(Agent)).path()});
    bool killed = false;
    // The moment the copy's temporary file appears, the swap is under way.
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, [&](const QString &path) {
        const QStringList temporary =
            QDir(path, u".tarvo-tmp-*"_s, QDir::Name, QDir::Files | QDir::Hidden).entryList();
        if (!killed && !temporary.isEmpty() && updater.processId() > 0) {
            killed = ::kill(pid_t(updater.processId()), SIGKILL) == 0;
        }
    });
    updater.start(folder->file(Updater), {u"update"_s, Agent, Agent, u"TarvoAgent.new"_s});
    QVERIFY(updater.waitForStarted(Bound));
    QTRY_VERIFY_WITH_TIMEOUT(updater.state() == QProcess::NotRunning, Bound);
    QVERIFY(killed);
    QCOMPARE(updater.exitStatus(), QProcess::CrashExit);

    const QByteArray installed = readFile(folder->file(Agent));
    QVERIFY2(installed == folder->agentBytes() || installed == large,
             qPrintable(u"%1 bytes"_s.arg(installed.size())));
    QVERIFY(QFileInfo(folder->file(Agent)).isExecutable());
}

QTEST_GUILESS_MAIN(TestSignedUpdate)
#include "tst_signedupdate.moc"
