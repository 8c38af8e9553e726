#include "updater/bastarvoutil.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBackupName : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void name_data();
    void name();
    void fromFileTime_data();
    void fromFileTime();
    void missingFileHasNoTime();
};

void TestBackupName::initTestCase()
{
    // Nine hours east of UTC: a date taken from universal time instead of local time shows.
    qputenv("TZ", "JST-9");
    QCOMPARE(QDateTime(QDate(2004, 7, 4), QTime(0, 0, 30)).toUTC().date(), QDate(2004, 7, 3));
}

void TestBackupName::name_data()
{
    QTest::addColumn<QString>("agentName");
    QTest::addColumn<QDateTime>("lastWritten");
    QTest::addColumn<QString>("expected");

    QTest::newRow("3 July 2004") << u"TarvoAgent"_s << QDateTime(QDate(2004, 7, 3), QTime(9, 15))
                                 << u"TarvoAgent.07032004"_s;
    QTest::newRow("end of year") << u"TarvoAgent"_s
                                 << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))
                                 << u"TarvoAgent.12311999"_s;
    QTest::newRow("midnight") << u"TarvoAgent"_s << QDateTime(QDate(2024, 1, 1), QTime(0, 0))
                              << u"TarvoAgent.01012024"_s;
    QTest::newRow("leap day") << u"TarvoAgent"_s << QDateTime(QDate(2000, 2, 29), QTime(12, 0))
                              << u"TarvoAgent.02292000"_s;
    QTest::newRow("another name") << u"Agent2"_s << QDateTime(QDate(2010, 10, 10), QTime(1, 2))
                                  << u"Agent2.10102010"_s;
}

void TestBackupName::name()
{
    QFETCH(QString, agentName);
    QFETCH(QDateTime, lastWritten);
    QFETCH(QString, expected);
    QCOMPARE(basTarvoUtil::backupFileName(agentName, lastWritten), expected);
}

void TestBackupName::fromFileTime_data()
{
    QTest::addColumn<QDateTime>("lastWritten");
    QTest::addColumn<QString>("expected");

    QTest::newRow("3 July 2004") << QDateTime(QDate(2004, 7, 3), QTime(12, 0, 7))
                                 << u"TarvoAgent.07032004"_s;
    // Local time decides the date, not universal time.
    QTest::newRow("just after local midnight") << QDateTime(QDate(2004, 7, 4), QTime(0, 0, 30))
                                               << u"TarvoAgent.07042004"_s;
    QTest::newRow("just before local midnight")
        << QDateTime(QDate(2004, 7, 3), QTime(23, 59, 30)) << u"TarvoAgent.07032004"_s;
}

void TestBackupName::fromFileTime()
{
    QFETCH(QDateTime, lastWritten);
    QFETCH(QString, expected);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile program(folder.filePath(u"TarvoAgent"_s));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("agent");
    QVERIFY(program.flush()); // bytes flushed later would move the time again
    QVERIFY(program.setFileTime(lastWritten.addMSecs(480), QFileDevice::FileModificationTime));
    program.close();

    const auto read = basTarvoUtil::readLastWriteTime(program.fileName());
    QVERIFY(read.has_value());
    QCOMPARE(*read, lastWritten); // whole seconds
    QCOMPARE(basTarvoUtil::backupFileName(u"TarvoAgent"_s, *read), expected);
}

void TestBackupName::missingFileHasNoTime()
{
    QTemporaryDir folder;
    QVERIFY(!basTarvoUtil::readLastWriteTime(folder.filePath(u"TarvoAgent"_s)).has_value());
    QVERIFY(!basTarvoUtil::readLastWriteTime(QString()).has_value());
}

QTEST_APPLESS_MAIN(TestBackupName)
#include "tst_backupname.moc"
