// One pass inside the test process: what the collection step hands to the SQL step.
#include "collector/collectionrun.h"
#include "support/fakeclock.h"
#include "common/codepage.h"
#include "common/profilefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCollectionRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void firstAndSecondRun();
    void allModeReportsEverything();

private:
    RunContext pass(const QStringList &arguments);

    std::unique_ptr<QTemporaryDir> m_dir;
    QDateTime m_now{QDate(2026, 12, 7), QTime(10, 15, 0)};
};

namespace {

QStringList columns(const RunContext &run)
{
    return run.columns.columnList.split(u',', Qt::SkipEmptyParts);
}

} // namespace

void TestCollectionRun::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString fixtures = QStringLiteral(TARVO_FIXTURES_DIR) + u"/collector/"_s;
    QVERIFY(QFile::copy(fixtures + u"TarvoInfo.dat"_s, m_dir->filePath(u"TarvoInfo.dat"_s)));
    QVERIFY(QFile::setPermissions(m_dir->filePath(u"TarvoInfo.dat"_s),
                                  QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::copy(fixtures + u"TarvoAgent.ini"_s, m_dir->filePath(u"TarvoAgent.ini"_s)));
    QVERIFY(QDir(m_dir->path()).mkdir(u"registry"_s));
    QVERIFY(QFile::copy(fixtures + u"registry/tarvo-test.reg"_s,
                        m_dir->filePath(u"registry/tarvo-test.reg"_s)));
}

RunContext TestCollectionRun::pass(const QStringList &arguments)
{
    // File rows of the fixture name folders relative to the program folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    Registry::Sources sources;
    sources.hiveFolders = {m_dir->filePath(u"registry"_s)};
    const FakeClock clock(m_now);
    CollectionRun run(m_dir->path(), arguments, clock, sources);
    run.run();
    QDir::setCurrent(previous);
    return run.context();
}

void TestCollectionRun::firstAndSecondRun()
{
    const RunContext first = pass({});
    const QStringList reported = columns(first);
    QVERIFY(reported.contains(u"SysOS"_s));
    QVERIFY(reported.contains(u"SysMACAddress"_s));
    QVERIFY(reported.contains(u"SysDriveC"_s));
    QVERIFY(reported.contains(u"AppVersion"_s));
    QVERIFY(!reported.contains(u"Note"_s)); // neither R nor F: its stored value stands
    QVERIFY(!reported.contains(u"NotAnItem"_s));
    // Order: system items, drives, SysDatVersion, application items.
    QVERIFY(reported.indexOf(u"SysOS"_s) < reported.indexOf(u"SysDriveC"_s));
    QVERIFY(reported.indexOf(u"SysDriveZFree"_s) < reported.indexOf(u"SysDatVersion"_s));
    QCOMPARE(reported.indexOf(u"SysDatVersion"_s) + 1, reported.indexOf(u"AppVersion"_s));
    QVERIFY(first.columns.valueList.contains(u"'20261201093000'"_s));
    QVERIFY(first.columns.valueList.contains(u"'a\r\nb'"_s)); // AppPaths keeps its CR LF
    QVERIFY(first.columns.setList.contains(u"AppMissingKey='オープンできず',"_s));

    // The MAC text names the output files.
    QVERIFY(!first.macText.isEmpty());
    QVERIFY(first.columns.setList.contains(u"SysMACAddress='"_s + first.macText + u"',"_s));
    QCOMPARE(first.outputFile(u".SQL.LOG"_s), m_dir->filePath(first.macText + u".SQL.LOG"_s));

    // Nothing changed: only the values that move by themselves, and SysDatVersion.
    m_now = m_now.addSecs(3600);
    const QStringList second = columns(pass({}));
    QVERIFY(second.contains(u"SysDatVersion"_s));
    const QStringList moving = {u"SysTickCount"_s, u"SysPhisicalMemoryAvail"_s,
                                u"SysPageFileAvail"_s, u"SysVirtualMemoryAvail"_s,
                                u"SysMemoryLoad"_s};
    for (const QString &column : second) {
        const bool expected = column == u"SysDatVersion"_s || moving.contains(column)
            || (column.startsWith(u"SysDrive"_s) && column.endsWith(u"Free"_s));
        QVERIFY2(expected, qPrintable(column));
    }
}

void TestCollectionRun::allModeReportsEverything()
{
    pass({});
    const RunContext all = pass({u"ALL"_s});
    const QStringList reported = columns(all);
    // 41 system items, 130 drive values, SysDatVersion, 14 application rows.
    QCOMPARE(reported.size(), 41 + 130 + 1 + 14);
    QCOMPARE(reported.count(u"SysOS"_s), 1);
    QVERIFY(reported.contains(u"Note"_s));
    QVERIFY(all.columns.setList.contains(u"Note='メモ;その二',"_s));
}

QTEST_GUILESS_MAIN(TestCollectionRun)
#include "tst_collectionrun.moc"
