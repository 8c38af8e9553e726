#include "agent/agentcore.h"
#include "agent/launcher.h"
#include "agent/schedule.h"
#include "support/fakeclock.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Runs = QList<QDateTime>;

QDateTime at(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

/// Starts a scheduler at `start` and ticks every 30 seconds until `end`; the times it ran.
Runs simulate(const QString &timeStart, const QDateTime &start, const QDateTime &end)
{
    FakeClock clock(start);
    Scheduler scheduler(*Schedule::parse(timeStart), clock);
    scheduler.evaluateAtStart();
    Runs runs;
    for (clock.advanceSeconds(30); clock.now() <= end; clock.advanceSeconds(30)) {
        if (scheduler.tick())
            runs << clock.now();
    }
    return runs;
}

class RecordingLauncher : public ProgramLauncher
{
public:
    bool launchCollector(const QString &file, const QString &arguments) override
    {
        calls << file + u' ' + arguments;
        return true;
    }
    bool startUpdater(const QStringList &) override { return false; }
    QStringList calls;
};

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void runs_data();
    void runs();
    void autoExitEndsAfterScheduledRun_data();
    void autoExitEndsAfterScheduledRun();
};

void TestSchedule::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QStringList>("days");

    QTest::newRow("week") << u"WEEK,08:30,MON,WED,FRI"_s << true << u"WEEK"_s << u"08:30"_s
                          << QStringList{u"MON"_s, u"WED"_s, u"FRI"_s};
    QTest::newRow("day") << u"DAY,23:00,1,15"_s << true << u"DAY"_s << u"23:00"_s
                         << QStringList{u"1"_s, u"15"_s};
    QTest::newRow("empty day list") << u"WEEK,08:30,"_s << true << u"WEEK"_s << u"08:30"_s
                                    << QStringList();
    QTest::newRow("one comma") << u","_s << false << QString() << QString() << QStringList();
    QTest::newRow("empty") << QString() << false << QString() << QString() << QStringList();
}

void TestSchedule::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto schedule = Schedule::parse(text);
    QCOMPARE(schedule.has_value(), valid);
    if (!valid)
        return;
    QTEST(schedule->mode, "mode");
    QTEST(schedule->startTime, "startTime");
    QTEST(schedule->dayList, "days");
}

void TestSchedule::runs_data()
{
    QTest::addColumn<QString>("timeStart");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<Runs>("expected");

    // 2 October 2024 is a Wednesday.
    QTest::newRow("week, started before the time")
        << u"WEEK,08:30,MON,WED,FRI"_s << at(2024, 10, 2, 8, 0) << at(2024, 10, 4, 12, 0)
        << Runs{at(2024, 10, 2, 8, 30), at(2024, 10, 4, 8, 30)};
    QTest::newRow("week, started after the time waits for the next listed day")
        << u"WEEK,08:30,MON,WED,FRI"_s << at(2024, 10, 2, 9, 0) << at(2024, 10, 4, 12, 0)
        << Runs{at(2024, 10, 4, 8, 30)};
    QTest::newRow("week, 8:30 without leading zero")
        << u"WEEK,8:30,WED"_s << at(2024, 10, 2, 8, 0) << at(2024, 10, 2, 12, 0)
        << Runs{at(2024, 10, 2, 8, 30)};
    QTest::newRow("day of month")
        << u"DAY,23:00,1,15"_s << at(2024, 10, 1, 0, 0) << at(2024, 10, 31, 23, 59)
        << Runs{at(2024, 10, 1, 23, 0), at(2024, 10, 15, 23, 0)};
    QTest::newRow("day of month, unlisted day")
        << u"DAY,23:00,1,15"_s << at(2024, 10, 5, 0, 0) << at(2024, 10, 5, 23, 59) << Runs{};
    QTest::newRow("all seven days for a week")
        << u"WEEK,12:00,SUN,MON,TUE,WED,THU,FRI,SAT"_s << at(2024, 10, 2, 13, 0)
        << at(2024, 10, 9, 13, 0)
        << Runs{at(2024, 10, 3, 12, 0), at(2024, 10, 4, 12, 0), at(2024, 10, 5, 12, 0),
                at(2024, 10, 6, 12, 0), at(2024, 10, 7, 12, 0), at(2024, 10, 8, 12, 0),
                at(2024, 10, 9, 12, 0)};
    QTest::newRow("other mode runs at once, then daily")
        << u"DAILY,10:00,"_s << at(2024, 10, 2, 12, 0) << at(2024, 10, 3, 12, 0)
        << Runs{at(2024, 10, 2, 12, 0).addSecs(30), at(2024, 10, 3, 10, 0)};
    QTest::newRow("empty day list never runs")
        << u"WEEK,08:30,"_s << at(2024, 10, 2, 8, 0) << at(2024, 10, 9, 12, 0) << Runs{};
    QTest::newRow("midnight start time runs after the day change tick")
        << u"WEEK,00:00,THU"_s << at(2024, 10, 2, 23, 0) << at(2024, 10, 3, 1, 0)
        << Runs{at(2024, 10, 3, 0, 0).addSecs(30)};
    QTest::newRow("unreadable start time never runs")
        << u"WEEK,xx,WED"_s << at(2024, 10, 2, 8, 0) << at(2024, 10, 3, 12, 0) << Runs{};
}

void TestSchedule::runs()
{
    QFETCH(QString, timeStart);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QTEST(simulate(timeStart, start, end), "expected");
}

void TestSchedule::autoExitEndsAfterScheduledRun_data()
{
    QTest::addColumn<QString>("autoExit");
    QTest::addColumn<bool>("ends");
    QTest::newRow("AutoExit 1") << u"1"_s << true;
    QTest::newRow("AutoExit 0") << u"0"_s << false;
    QTest::newRow("AutoExit yes") << u"yes"_s << false;
}

void TestSchedule::autoExitEndsAfterScheduledRun()
{
    QFETCH(QString, autoExit);
    QFETCH(bool, ends);

    AgentSettings settings;
    settings.Port = 1;
    settings.TimeOut = 60000;
    settings.StatusLog = 100;
    settings.DebugMode = u"1"_s;
    settings.AutoExit = autoExit;
    settings.ExeFile = u"TarvoInfo"_s;
    settings.schedule = *Schedule::parse(u"WEEK,08:30,WED"_s);
    FakeClock clock(at(2024, 10, 2, 8, 29));
    RecordingLauncher launcher;
    AgentCore core(settings, QDir::tempPath(), u"TarvoAgent"_s, clock, launcher);
    QSignalSpy finished(&core, &AgentCore::finished);

    core.schedulerTick();
    QVERIFY(launcher.calls.isEmpty());
    clock.advanceSeconds(60);
    core.schedulerTick();
    QCOMPARE(launcher.calls, QStringList{u"TarvoInfo ALL"_s});
    QCOMPARE(finished.count(), ends ? 1 : 0);
    clock.advanceSeconds(30);
    core.schedulerTick();
    QCOMPARE(launcher.calls.size(), 1);
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
