// The queue's store on its own: durations, claims of two runs on one database file, expiry
// under a clock the test moves, and the copies of distributed files.
#include "console/queue/jobqueue.h"
#include "support/fakeclock.h"

#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 ClaimLife = 60;

QString stateOf(JobQueue &queue, qint64 job, const QString &host)
{
    const auto entries = queue.entries(job);
    for (const QueueEntry &entry : entries.value_or(QList<QueueEntry>{})) {
        if (entry.host == host)
            return entry.state + u'/' + entry.status;
    }
    return u"missing"_s;
}

QueueEntry entry(qint64 job, const QString &host)
{
    return QueueEntry{job, host, u"pending"_s, {}, {}};
}

} // namespace

class TestJobQueue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void duration_data();
    void duration();
    void twoRuns();
    void expiry();
    void copiedFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock;
};

void TestJobQueue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_clock.set(QDateTime(QDate(2026, 5, 1), QTime(8, 0, 0)));
}

void TestJobQueue::duration_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("seconds"); // -1: refused
    QTest::newRow("seconds") << u"90s"_s << qint64(90);
    QTest::newRow("minutes") << u"30m"_s << qint64(1800);
    QTest::newRow("hours") << u"12h"_s << qint64(43200);
    QTest::newRow("days") << u"7d"_s << qint64(604800);
    QTest::newRow("a year and a day") << u"366d"_s << qint64(366 * 86400);
    QTest::newRow("too long") << u"367d"_s << qint64(-1);
    QTest::newRow("zero") << u"0s"_s << qint64(-1);
    QTest::newRow("no unit") << u"90"_s << qint64(-1);
    QTest::newRow("weeks") << u"2w"_s << qint64(-1);
    QTest::newRow("sign") << u"-5m"_s << qint64(-1);
    QTest::newRow("fraction") << u"1.5h"_s << qint64(-1);
    QTest::newRow("blank") << u" 5m"_s << qint64(-1);
    QTest::newRow("empty") << QString() << qint64(-1);
}

void TestJobQueue::duration()
{
    QFETCH(QString, text);
    QFETCH(qint64, seconds);
    QCOMPARE(ParseQueueDuration(text).value_or(-1), seconds);
}

void TestJobQueue::twoRuns()
{
    JobQueue first(m_dir->path(), m_clock);
    JobQueue second(m_dir->path(), m_clock);
    QVERIFY2(first.open(), qPrintable(first.errorText()));
    QVERIFY2(second.open(), qPrintable(second.errorText()));
    const auto job = first.addJob(u"collect"_s, {}, {u"pc-a"_s, u"pc-b"_s}, 3600, false, {}, false);
    QVERIFY2(job, qPrintable(first.errorText()));

    // The second run sees the job, but not the entry the first holds.
    QVERIFY(first.claim(entry(*job, u"pc-a"_s), u"run-1"_s, ClaimLife));
    QVERIFY(!second.claim(entry(*job, u"pc-a"_s), u"run-2"_s, ClaimLife));
    QCOMPARE(second.errorText(), QString());
    const auto triable = second.triable(ClaimLife);
    QVERIFY(triable);
    QCOMPARE(triable->size(), 1);
    QCOMPARE(triable->first().host, u"pc-b"_s);

    // The first run was killed. A run of this computer whose process is gone frees its claims
    // at once; any other claim is free once its claim life has passed.
    const QString local = QSysInfo::machineHostName() + u":4242:x"_s;
    QVERIFY(first.claim(entry(*job, u"pc-b"_s), local, ClaimLife));
    QCOMPARE(second.releaseDeadClaims([](qint64 pid) { return pid == 4242; }), std::optional<int>(0));
    QVERIFY(!second.claim(entry(*job, u"pc-b"_s), u"run-2"_s, ClaimLife));
    QCOMPARE(second.releaseDeadClaims([](qint64) { return false; }), std::optional<int>(1));
    QCOMPARE(second.triable(ClaimLife)->size(), 1);
    m_clock.advanceSeconds(ClaimLife + 1);
    QVERIFY(second.claim(entry(*job, u"pc-a"_s), u"run-2"_s, ClaimLife));
    QVERIFY(second.record(entry(*job, u"pc-a"_s), u"run-2"_s, u"done"_s, u"情報収集プログラム実行！"_s));
    // A late word of another try never undoes a success.
    QVERIFY(first.record(entry(*job, u"pc-a"_s), u"run-1"_s, u"pending"_s, u"タイムアウト！"_s));
    QCOMPARE(stateOf(first, *job, u"pc-a"_s), u"done/情報収集プログラム実行！"_s);
    QVERIFY(!first.claim(entry(*job, u"pc-a"_s), u"run-3"_s, ClaimLife));

    // A failure stays until a person puts it back.
    QVERIFY(first.claim(entry(*job, u"pc-b"_s), u"run-3"_s, ClaimLife));
    QVERIFY(first.record(entry(*job, u"pc-b"_s), u"run-3"_s, u"failed"_s, u"失敗！"_s));
    QCOMPARE(first.triable(ClaimLife)->size(), 0);
    QCOMPARE(second.retry(*job), std::optional<int>(1));
    QCOMPARE(first.triable(ClaimLife)->size(), 1);
    const auto counts = first.job(*job);
    QVERIFY(counts);
    QCOMPARE((QList<int>{counts->done, counts->pending, counts->failed, counts->expired}),
             (QList<int>{1, 1, 0, 0}));
    QVERIFY(!first.retry(*job + 1));
    QVERIFY(!first.drop(*job + 1));
    QVERIFY(first.errorText().contains(u"no job"_s));
}

void TestJobQueue::expiry()
{
    JobQueue queue(m_dir->path(), m_clock);
    QVERIFY2(queue.open(), qPrintable(queue.errorText()));
    const auto job = queue.addJob(u"restart"_s, {}, {u"pc-a"_s, u"pc-b"_s, u"pc-c"_s}, 90, false,
                                  {}, false);
    QVERIFY(job);
    QCOMPARE(queue.job(*job)->expires.toSecsSinceEpoch() - queue.job(*job)->created.toSecsSinceEpoch(),
             90);
    QVERIFY(queue.claim(entry(*job, u"pc-a"_s), u"run-1"_s, ClaimLife));
    QVERIFY(queue.record(entry(*job, u"pc-a"_s), u"run-1"_s, u"done"_s, u"OK"_s));

    m_clock.advanceSeconds(89);
    QCOMPARE(queue.expire(ClaimLife), std::optional<int>(0));
    QVERIFY(queue.claim(entry(*job, u"pc-b"_s), u"run-1"_s, ClaimLife));
    m_clock.advanceSeconds(1);
    // Expired jobs are tried no more; the entry a run is still trying waits for its outcome.
    QCOMPARE(queue.triable(ClaimLife)->size(), 0);
    QVERIFY(!queue.claim(entry(*job, u"pc-c"_s), u"run-2"_s, ClaimLife));
    QCOMPARE(queue.expire(ClaimLife), std::optional<int>(1));
    QCOMPARE(stateOf(queue, *job, u"pc-c"_s), u"expired/"_s);
    QCOMPARE(stateOf(queue, *job, u"pc-b"_s), u"pending/"_s);
    m_clock.advanceSeconds(ClaimLife);
    QCOMPARE(queue.expire(ClaimLife), std::optional<int>(1));
    QCOMPARE(stateOf(queue, *job, u"pc-b"_s), u"expired/"_s);
    QCOMPARE(stateOf(queue, *job, u"pc-a"_s), u"done/OK"_s);
}

void TestJobQueue::copiedFile()
{
    const QString original = m_dir->filePath(u"TarvoAgent"_s);
    for (const auto &[path, bytes] : {std::pair{original, QByteArray("program v2")},
                                      std::pair{QString(original + u".minisig"_s), QByteArray("sig")}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const QDateTime modified(QDate(2026, 1, 2), QTime(3, 4, 5));
    {
        QFile file(original);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    JobQueue queue(m_dir->path(), m_clock);
    QVERIFY(queue.open());
    const auto job = queue.addJob(u"distribute-restart"_s, original, {u"pc-a"_s}, 3600, true,
                                  original, true);
    QVERIFY2(job, qPrintable(queue.errorText()));
    const QString copy = queue.job(*job)->filePath;
    QCOMPARE(copy, queue.jobFolder(*job) + u"/TarvoAgent"_s);
    QVERIFY(QFile::remove(original));
    QFile in(copy);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), QByteArray("program v2"));
    QCOMPARE(QFileInfo(copy).lastModified(), modified);
    QCOMPARE(QFileInfo(copy).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
             QFileDevice::Permissions());
    QVERIFY(QFileInfo::exists(copy + u".minisig"_s));
    QVERIFY(queue.job(*job)->wake);

    QVERIFY(queue.drop(*job));
    QVERIFY(!QFileInfo::exists(queue.jobFolder(*job)));
    QVERIFY(!queue.job(*job));
}

QTEST_GUILESS_MAIN(TestJobQueue)
#include "tst_jobqueue.moc"
