// The agent against hostile folders, settings and failures: links planted in its folder, an
// AllowFrom that must not open up, failed restarts, and temporary files left by a kill.
#include "support/agentprocess.h"

#include "common/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Keys = QMap<QString, QString>;

/// An AllowFrom of more than 254 bytes whose last entry, 10.0.0.0/16, lies at bytes 244 to 254:
/// cut at 254 bytes it would read 10.0.0.0/1, a range that holds 127.0.0.1.
QString allowFromPastTheCut()
{
    QString value = u"192.168.0.1"_s;
    while (value.size() + 13 <= 242)
        value += u", 192.168.0.1"_s;
    value += u',';
    value += QString(244 - value.size(), u' ');
    return value + u"10.0.0.0/16"_s;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot);
}

} // namespace

class TestAgentHostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostileCases_data();
    void hostileCases();
    void noTemporaryFileSurvivesARestart();
    void fullOutputPipeStopsNothing();
    void slowConsoles_data();
    void slowConsoles();
};

void TestAgentHostile::hostileCases_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QByteArray>("outsideBefore"); // link.txt points to it; empty: dangling
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // empty: the console is turned away
    QTest::addColumn<QByteArray>("linkAfter"); // link.txt in the folder afterwards
    QTest::addColumn<bool>("starts");

    const QByteArray big(1536 * 1024, 'L');
    const QByteArray restartFailed = cp932(u"再起動に失敗しました。"_s);
    QTest::newRow("500 through a link to a file outside")
        << Keys{} << "old"_ba << rawFileRequest(500, "link.txt", "new") << rawFrame(501, {})
        << "new"_ba << true;
    QTest::newRow("500 through a dangling link")
        << Keys{} << QByteArray() << rawFileRequest(500, "link.txt", "new") << rawFrame(501, {})
        << "new"_ba << true;
    QTest::newRow("spooled 500 through a link")
        << Keys{} << "old"_ba << rawFileRequest(500, "link.txt", big) << rawFrame(501, {}) << big << true;
    QTest::newRow("520 through a dangling link, no collector")
        << Keys{} << QByteArray() << rawFileRequest(520, "link.txt", "new")
        << rawFrame(522, cp932(u"情報収集プログラムの実行時にエラーが発生しました。"_s))
        << "new"_ba << true;
    QTest::newRow("510 through a link, no updater")
        << Keys{} << "old"_ba << rawFileRequest(510, "link.txt", "new")
        << rawFrame(512, restartFailed) << "new"_ba << true;
    QTest::newRow("510 with a bad name")
        << Keys{} << "old"_ba << rawFileRequest(510, "a/b", "new")
        << rawFrame(512, cp932(u"ファイル名が不正です。"_s)) << QByteArray() << true;
    QTest::newRow("130 without updater")
        << Keys{} << "old"_ba << rawFrame(130, "\r\n") << rawFrame(132, restartFailed + "\r\n")
        << QByteArray() << true;
    QTest::newRow("AllowFrom past the 254-byte cut")
        << Keys{{u"AllowFrom"_s, allowFromPastTheCut()}} << "old"_ba << rawFrame(400, "\r\n")
        << QByteArray() << QByteArray() << true;
    // Values that name nobody must not read as "everyone".
    for (const QString &value : {u","_s, u" , ,,"_s}) {
        QTest::newRow(qPrintable(u"AllowFrom \"%1\""_s.arg(value)))
            << Keys{{u"AllowFrom"_s, value}} << "old"_ba << QByteArray() << QByteArray()
            << QByteArray() << false;
    }
}

void TestAgentHostile::hostileCases()
{
    QFETCH(Keys, keys);
    QFETCH(QByteArray, outsideBefore);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, linkAfter);
    QFETCH(bool, starts);

    AgentFolder folder(keys);
    QTemporaryDir outside;
    const QString outsideFile = outside.filePath(u"v.txt"_s);
    if (!outsideBefore.isEmpty())
        QVERIFY(writeFileAtomically(outsideFile, outsideBefore));
    QVERIFY(QFile::link(outsideFile, folder.file(u"link.txt"_s)));
    AgentProcess agent(folder);
    if (!starts) {
        agent.startOnly();
        int exitCode = 0;
        QVERIFY(agent.waitForExit(10000, &exitCode));
        QCOMPARE(exitCode, 1);
        QVERIFY(agent.standardError().startsWith(u"TarvoAgent: not started: AllowFrom"_s));
        RawConsole refused;
        QVERIFY(!refused.connectTo(folder.port(), 1000));
        return;
    }
    QVERIFY(agent.start());

    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    if (reply.isEmpty()) {
        QVERIFY(console.waitForClose());
        QVERIFY(agent.waitForLine(console.peerLabel()
                                  + u" 接続が許可されていないアドレスのため切断しました。"_s));
    } else {
        QCOMPARE(console.exchange(request, 30000).value_or("no reply"), reply);
    }

    // Nothing outside the folder was written or created.
    QCOMPARE(entries(outside.path()),
             outsideBefore.isEmpty() ? QStringList() : QStringList{u"v.txt"_s});
    if (!outsideBefore.isEmpty())
        QCOMPARE(readAll(outsideFile), outsideBefore);
    // A file written under a link's name replaced the link itself.
    const QFileInfo link(folder.file(u"link.txt"_s));
    QCOMPARE(link.isSymLink(), linkAfter.isEmpty());
    if (!linkAfter.isEmpty())
        QVERIFY(folder.readFile(u"link.txt"_s) == linkAfter);

    // The agent is still there, and serves the next console when this one leaves.
    console.socket().close();
    RawConsole next;
    QVERIFY(next.connectTo(folder.port()));
    if (reply.isEmpty())
        QVERIFY(next.waitForClose());
    else
        QVERIFY(next.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"));
    QVERIFY(agent.isRunning());
}

void TestAgentHostile::noTemporaryFileSurvivesARestart()
{
    AgentFolder folder;
    // What a killed writer leaves, and what a collector still at work (this process) holds.
    QProcess ended;
    ended.start(u"true"_s);
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(ended.waitForFinished());
    const QString prefix = QLatin1StringView(AtomicFile::TemporaryPrefix);
    const QString stale = prefix + QString::number(endedPid) + u"-5eed"_s;
    const QString live = prefix + QString::number(QCoreApplication::applicationPid()) + u"-11fe"_s;
    folder.writeFile(stale, "[TarvoAgent]\r\nPort=1\r\n");
    folder.writeFile(live, "partial");

    AgentProcess agent(folder);
    QVERIFY(agent.start());
    QVERIFY(!QFileInfo::exists(folder.file(stale)));
    QVERIFY(QFileInfo::exists(folder.file(live)));

    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QVERIFY(console.exchange(rawFrame(110, "TarvoInfo;SmtpMail=1\r\n\r\n")).value_or("")
                .startsWith("111;"));
    const QByteArray listing = console.exchange(rawFrame(300, "\r\n")).value_or("");
    QVERIFY(listing.startsWith("301;"));
    QVERIFY2(!listing.contains(prefix.toLatin1()), listing.constData());
    // The 110 left no temporary file of its own either.
    QCOMPARE(entries(folder.path()).filter(prefix), QStringList{live});
    QVERIFY(folder.iniBytes().contains("SmtpMail=1"));
}

void TestAgentHostile::fullOutputPipeStopsNothing()
{
    // A pipe nobody reads, full before the agent starts: every status line finds it full.
    int pipeFds[2];
    QVERIFY(::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) == 0);
    const auto closePipe = qScopeGuard([&pipeFds] {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
    });
    ::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
    const QByteArray filler(4096, 'f');
    while (::write(pipeFds[1], filler.constData(), size_t(filler.size())) > 0) {
    }

    AgentFolder folder;
    AgentProcess agent(folder);
    agent.sendOutputTo(u"/proc/self/fd/"_s + QString::number(pipeFds[1]));
    agent.startOnly();
    // The first line that could not go is said on standard error; the agent listens by then.
    QString errors;
    QVERIFY(QTest::qWaitFor([&] {
        errors += agent.standardError();
        return errors.contains(u"status lines are dropped"_s) || !agent.isRunning();
    }, 10000));
    QVERIFY2(agent.isRunning(), qPrintable(errors));

    // Every exchange logs lines the pipe cannot take; the agent serves on all the same.
    for (int round = 0; round < 20; ++round) {
        RawConsole console;
        QVERIFY(console.connectTo(folder.port()));
        QVERIFY(console.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"));
    }
    QVERIFY(agent.signal(SIGTERM));
    int exitCode = -1;
    QVERIFY(agent.waitForExit(2000, &exitCode));
    QCOMPARE(exitCode, 0);
    errors += agent.standardError();
    QCOMPARE(errors.count(u"status lines are dropped"_s), 1);
}

void TestAgentHostile::slowConsoles_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("chunkBytes"); // sent every 100 ms
    QTest::addColumn<QByteArray>("reply"); // empty: closed by the time-out before the end

    QTest::newRow("a request trickled a byte at a time")
        << rawFrame(400, QByteArray(300, ' ') + "\r\n") << 1 << QByteArray();
    // Three times the time-out, at 1 MiB/s: a steady transfer is never cut.
    QTest::newRow("a large file at a steady rate")
        << rawFileRequest(500, "big.bin", QByteArray(3 << 20, 'b')) << 100 * 1024
        << rawFrame(501, {});
}

void TestAgentHostile::slowConsoles()
{
    QFETCH(QByteArray, request);
    QFETCH(int, chunkBytes);
    QFETCH(QByteArray, reply);

    AgentFolder folder(Keys{{u"TimeOut"_s, u"1"_s}});
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    RawConsole console;
    QVERIFY(console.connectTo(folder.port()));
    QTcpSocket &socket = console.socket();
    qsizetype sent = 0;
    // The pause between chunks is a wait for the agent's answer or close.
    while (sent < request.size() && socket.state() == QAbstractSocket::ConnectedState) {
        socket.write(request.mid(sent, chunkBytes));
        socket.waitForBytesWritten(1000);
        sent += chunkBytes;
        if (console.receivesWithin(100))
            break;
    }
    if (reply.isEmpty()) {
        QVERIFY(console.waitForClose(5000));
        QVERIFY2(sent < request.size() / 4, qPrintable(QString::number(sent)));
    } else {
        QCOMPARE(console.readFrame(30000).value_or("no reply"), reply);
        QCOMPARE(folder.readFile(u"big.bin"_s).size(), 3 << 20);
    }
    socket.close();
    RawConsole next;
    QVERIFY(next.connectTo(folder.port()));
    QVERIFY(next.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"));
}

QTEST_GUILESS_MAIN(TestAgentHostile)
#include "tst_agenthostile.moc"
