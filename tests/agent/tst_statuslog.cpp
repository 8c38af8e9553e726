#include "agent/statuslog.h"
#include "support/fakeclock.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStatusLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filtersAndBounds_data();
    void filtersAndBounds();
    void lineFormat();
};

void TestStatusLog::filtersAndBounds_data()
{
    QTest::addColumn<QString>("debugMode");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("mainLines");
    QTest::addColumn<int>("detailLines");
    QTest::addColumn<QStringList>("expected");

    // Main lines are "m1".."mN", detail lines "d1".."dN"; they are logged alternately, main first,
    // then the remaining lines of whichever kind is longer.
    QTest::newRow("main only, limit 3 keeps four")
        << u"0"_s << 3 << 5 << 10 << QStringList{u"m2"_s, u"m3"_s, u"m4"_s, u"m5"_s};
    QTest::newRow("everything") << u"1"_s << 10 << 2 << 2
                                << QStringList{u"m1"_s, u"d1"_s, u"m2"_s, u"d2"_s};
    QTest::newRow("everything, bounded")
        << u"1"_s << 2 << 3 << 3 << QStringList{u"d2"_s, u"m3"_s, u"d3"_s};
    QTest::newRow("empty mode logs nothing") << QString() << 10 << 5 << 5 << QStringList();
    QTest::newRow("other word logs nothing") << u"yes"_s << 10 << 5 << 5 << QStringList();
    QTest::newRow("limit 0 keeps one") << u"1"_s << 0 << 3 << 0 << QStringList{u"m3"_s};
}

void TestStatusLog::filtersAndBounds()
{
    QFETCH(QString, debugMode);
    QFETCH(int, limit);
    QFETCH(int, mainLines);
    QFETCH(int, detailLines);
    QFETCH(QStringList, expected);

    FakeClock clock(QDateTime(QDate(2024, 7, 3), QTime(8, 30, 5)));
    StatusLog log(clock);
    log.configure(debugMode, limit);
    QSignalSpy added(&log, &StatusLog::lineAdded);
    for (int i = 1; i <= qMax(mainLines, detailLines); ++i) {
        if (i <= mainLines)
            log.AddLog(u"m"_s + QString::number(i), StatusLog::Main);
        if (i <= detailLines)
            log.AddLog(u"d"_s + QString::number(i), StatusLog::Detail);
    }
    QStringList texts;
    for (const QString &line : log.lines())
        texts << line.section(u'\t', 1);
    QCOMPARE(texts, expected);
    if (expected.isEmpty())
        QCOMPARE(added.count(), 0);
}

void TestStatusLog::lineFormat()
{
    FakeClock clock(QDateTime(QDate(2004, 7, 3), QTime(9, 5, 7)));
    StatusLog log(clock);
    log.configure(u"1"_s, 10);
    QSignalSpy added(&log, &StatusLog::lineAdded);
    log.AddLog(u"起動処理開始！"_s, StatusLog::Main);
    QCOMPARE(log.lines(), QStringList{u"2004/07/03 09:05:07\t起動処理開始！"_s});
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(0).toString(), log.lines().constFirst());
}

QTEST_GUILESS_MAIN(TestStatusLog)
#include "tst_statuslog.moc"
