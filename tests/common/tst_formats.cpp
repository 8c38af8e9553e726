#include "common/formats.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dateTime_data();
    void dateTime();
    void parseDateTime_data();
    void parseDateTime();
    void parseTimeOfDay_data();
    void parseTimeOfDay();
    void thousands_data();
    void thousands();
};

void TestFormats::dateTime_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("text");

    QTest::newRow("padded") << QDateTime(QDate(2004, 3, 7), QTime(8, 5, 9)) << u"2004/03/07 08:05:09"_s;
    QTest::newRow("afternoon") << QDateTime(QDate(2004, 12, 31), QTime(23, 59, 58))
                               << u"2004/12/31 23:59:58"_s;
    QTest::newRow("milliseconds dropped") << QDateTime(QDate(2010, 1, 1), QTime(0, 0, 0, 999))
                                          << u"2010/01/01 00:00:00"_s;
}

void TestFormats::dateTime()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, text);
    QCOMPARE(Formats::dateTime(when), text);
    QCOMPARE(Formats::parseDateTime(text), std::optional<QDateTime>(when.addMSecs(-when.time().msec())));
}

void TestFormats::parseDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: rejected

    const QDateTime sample(QDate(2004, 3, 7), QTime(8, 5, 9));
    QTest::newRow("padded") << u"2004/03/07 08:05:09"_s << sample;
    QTest::newRow("one-digit fields") << u"2004/3/7 8:05:09"_s << sample;
    QTest::newRow("one-digit everything") << u"2004/3/7 8:5:9"_s << sample;
    QTest::newRow("no seconds") << u"2004/3/7 8:05"_s << QDateTime(QDate(2004, 3, 7), QTime(8, 5));
    QTest::newRow("date only") << u"2004/3/7"_s << QDateTime(QDate(2004, 3, 7), QTime(0, 0));
    QTest::newRow("dashes") << u"2004-03-07 08:05:09"_s << sample;
    QTest::newRow("blanks around") << u"  2004/03/07 08:05:09 "_s << sample;
    QTest::newRow("empty") << QString() << QDateTime();
    QTest::newRow("garbage") << u"yesterday"_s << QDateTime();
    QTest::newRow("month 13") << u"2004/13/07 08:05:09"_s << QDateTime();
    QTest::newRow("February 30") << u"2004/02/30 08:05:09"_s << QDateTime();
    QTest::newRow("hour 24") << u"2004/03/07 24:00:00"_s << QDateTime();
    QTest::newRow("trailing text") << u"2004/03/07 08:05:09x"_s << QDateTime();
    QTest::newRow("full-width digits") << u"２００４/03/07"_s << QDateTime();
}

void TestFormats::parseDateTime()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const std::optional<QDateTime> parsed = Formats::parseDateTime(text);
    QCOMPARE(parsed.has_value(), expected.isValid());
    if (parsed)
        QCOMPARE(*parsed, expected);
}

void TestFormats::parseTimeOfDay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("expected"); // invalid: rejected

    QTest::newRow("hh:mm") << u"08:30"_s << QTime(8, 30);
    QTest::newRow("h:mm") << u"8:30"_s << QTime(8, 30);
    QTest::newRow("h:mm:ss") << u"8:30:15"_s << QTime(8, 30, 15);
    QTest::newRow("late") << u"23:59"_s << QTime(23, 59);
    QTest::newRow("midnight") << u"0:00"_s << QTime(0, 0);
    QTest::newRow("blanks") << u" 08:30 "_s << QTime(8, 30);
    QTest::newRow("empty") << QString() << QTime();
    QTest::newRow("word") << u"noon"_s << QTime();
    QTest::newRow("hour only") << u"8"_s << QTime();
    QTest::newRow("hour 24") << u"24:00"_s << QTime();
    QTest::newRow("minute 60") << u"8:60"_s << QTime();
    QTest::newRow("three-digit minute") << u"8:300"_s << QTime();
    QTest::newRow("negative") << u"-8:30"_s << QTime();
    QTest::newRow("trailing colon") << u"8:30:"_s << QTime();
    QTest::newRow("comma instead") << u"08,30"_s << QTime();
}

void TestFormats::parseTimeOfDay()
{
    QFETCH(QString, text);
    QFETCH(QTime, expected);
    const std::optional<QTime> parsed = Formats::parseTimeOfDay(text);
    QCOMPARE(parsed.has_value(), expected.isValid());
    if (parsed)
        QCOMPARE(*parsed, expected);
}

void TestFormats::thousands_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("grouped");
    QTest::addColumn<QString>("groupedOrZero");

    QTest::newRow("zero") << qint64(0) << QString() << u"0"_s;
    QTest::newRow("one") << qint64(1) << u"1"_s << u"1"_s;
    QTest::newRow("three digits") << qint64(999) << u"999"_s << u"999"_s;
    QTest::newRow("four digits") << qint64(1000) << u"1,000"_s << u"1,000"_s;
    QTest::newRow("seven digits") << qint64(1234567) << u"1,234,567"_s << u"1,234,567"_s;
    QTest::newRow("negative") << qint64(-1234) << u"-1,234"_s << u"-1,234"_s;
    QTest::newRow("negative three digits") << qint64(-123) << u"-123"_s << u"-123"_s;
    QTest::newRow("32-bit low word as signed") << qint64(-2147483648LL) << u"-2,147,483,648"_s
                                               << u"-2,147,483,648"_s;
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << u"9,223,372,036,854,775,807"_s
                             << u"9,223,372,036,854,775,807"_s;
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << u"-9,223,372,036,854,775,808"_s
                              << u"-9,223,372,036,854,775,808"_s;
}

void TestFormats::thousands()
{
    QFETCH(qint64, value);
    QFETCH(QString, grouped);
    QFETCH(QString, groupedOrZero);
    QCOMPARE(Formats::thousands(value), grouped);
    QCOMPARE(Formats::thousandsOrZero(value), groupedOrZero);
}

QTEST_APPLESS_MAIN(TestFormats)
#include "tst_formats.moc"
