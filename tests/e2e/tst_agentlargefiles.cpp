// Files of a megabyte and more go straight to disk as they arrive: the same replies, the same
// files, and nothing left behind when a distribution is refused or cut off.
#include "support/agentprocess.h"

#include "common/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray largeData(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4096) & 0xff);
    return data;
}

QStringList folderEntries(const AgentFolder &folder)
{
    return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                         QDir::Name);
}

// Sends `bytes` in pieces of `piece` bytes, each written out before the next.
bool sendInPieces(RawConsole &console, const QByteArray &bytes, qsizetype piece)
{
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        if (!console.send(bytes.mid(at, piece)))
            return false;
    }
    return true;
}

} // namespace

class TestAgentLargeFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void distribute_data();
    void distribute();
    void cutOffMidway();

private:
    std::unique_ptr<AgentFolder> m_folder;
    std::unique_ptr<AgentProcess> m_agent;
    QStringList m_initialEntries;
};

void TestAgentLargeFiles::initTestCase()
{
    m_folder = std::make_unique<AgentFolder>();
    m_agent = std::make_unique<AgentProcess>(*m_folder);
    QVERIFY(m_agent->start());
    m_initialEntries = folderEntries(*m_folder);
}

void TestAgentLargeFiles::distribute_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<qsizetype>("piece");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("stored");

    const QByteArray badName = cp932(u"ファイル名が不正です。"_s);
    QTest::newRow("3 MiB in one go") << 500 << "big.bin"_ba << qsizetype(3 << 20)
                                     << qsizetype(3 << 20) << rawFrame(501, {}) << u"big.bin"_s;
    QTest::newRow("odd size in small pieces") << 500 << "odd.bin"_ba << qsizetype((1 << 20) + 17)
                                              << qsizetype(1000) << rawFrame(501, {})
                                              << u"odd.bin"_s;
    QTest::newRow("japanese name") << 500 << cp932(u"大きい.dat"_s) << qsizetype(2 << 20)
                                   << qsizetype(65536) << rawFrame(501, {}) << u"大きい.dat"_s;
    QTest::newRow("own program") << 500 << "tarvoagent"_ba << qsizetype(2 << 20)
                                 << qsizetype(65536) << rawFrame(501, {})
                                 << u"TarvoAgent.new"_s;
    QTest::newRow("bad name") << 500 << "sub\\big.bin"_ba << qsizetype(2 << 20)
                              << qsizetype(65536) << rawFrame(502, badName) << QString();
    QTest::newRow("bad name, 520") << 520 << "../big.bin"_ba << qsizetype(2 << 20)
                                   << qsizetype(65536) << rawFrame(522, badName) << QString();
    QTest::newRow("times that are no dates")
        << 500 << "times.bin"_ba << qsizetype(2 << 20) << qsizetype(65536)
        << rawFrame(502, cp932(u"ファイルの配信時にエラーが発生しました。"_s)) << QString();
}

void TestAgentLargeFiles::distribute()
{
    QFETCH(int, code);
    QFETCH(QByteArray, name);
    QFETCH(qsizetype, size);
    QFETCH(qsizetype, piece);
    QFETCH(QByteArray, reply);
    QFETCH(QString, stored);

    const QByteArray data = largeData(size);
    const QByteArray times = name == "times.bin" ? "a;b;c"_ba
                                                 : "2004/07/03 10:20:30;2004/07/03 10:20:30;"
                                                   "2004/07/03 10:20:30"_ba;
    const qsizetype listened = m_agent->texts().count(m_agent->listeningText());
    RawConsole console;
    QVERIFY(console.connectTo(m_folder->port()));
    QVERIFY(sendInPieces(console, rawFileRequest(code, name, data, times), piece));
    QCOMPARE(console.readFrame().value_or("no reply"), reply);
    // The connection goes on as after any request.
    QVERIFY(console.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"));
    QVERIFY(console.exchange(rawFrame(900, "\r\n")));
    QVERIFY(console.waitForClose());
    QVERIFY(m_agent->waitForLineCount(m_agent->listeningText(), listened + 1));

    QStringList expected = m_initialEntries;
    if (!stored.isEmpty()) {
        QCOMPARE(m_folder->readFile(stored), data);
        const QFileInfo info(m_folder->file(stored));
        QCOMPARE(info.lastModified(), QDateTime(QDate(2004, 7, 3), QTime(10, 20, 30)));
        QCOMPARE(info.isExecutable(), stored.endsWith(u".new"_s));
        expected << stored;
    }
    // Nothing else: no temporary file stays behind.
    QStringList entries = folderEntries(*m_folder);
    expected.sort();
    entries.sort();
    QCOMPARE(entries, expected);
    if (!stored.isEmpty())
        QVERIFY(QFile::remove(m_folder->file(stored)));
}

void TestAgentLargeFiles::cutOffMidway()
{
    const QByteArray request = rawFileRequest(500, "partial.bin", largeData(4 << 20));
    const qsizetype listened = m_agent->texts().count(m_agent->listeningText());
    QString peer;
    {
        RawConsole console;
        QVERIFY(console.connectTo(m_folder->port()));
        peer = console.peerLabel();
        QVERIFY(console.send(request.left(2 << 20)));
    }
    QVERIFY(m_agent->waitForLine(peer + u" 切断されています！"_s));
    QVERIFY(m_agent->waitForLineCount(m_agent->listeningText(), listened + 1));
    QCOMPARE(folderEntries(*m_folder), m_initialEntries);
    RawConsole next;
    QVERIFY(next.connectTo(m_folder->port()));
    QVERIFY(next.exchange(rawFrame(400, "\r\n")).value_or("").startsWith("401;"));
}

QTEST_GUILESS_MAIN(TestAgentLargeFiles)
#include "tst_agentlargefiles.moc"
