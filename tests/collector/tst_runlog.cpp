#include "collector/runcontext.h"
#include "collector/runlog.h"
#include "support/fakeclock.h"
#include "common/codepage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRunLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layout();
    void createdAnew();
    void unwritableLog();
    void addColumn_data();
    void addColumn();
    void outputFile();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray Banner = QByteArray(58, '=') + "\r\n";

} // namespace

void TestRunLog::layout()
{
    QTemporaryDir dir;
    FakeClock clock;
    const QString path = dir.filePath(u"02FC00000001.SQL.LOG"_s);
    {
        RunLog log(clock);
        QVERIFY(log.OpenRunLog(path));
        clock.advanceSeconds(2);
        log.WriteRunLog(u"データベースに接続しました"_s);
        // Written as it goes: a step that hangs has its lines on disk already.
        QVERIFY(contents(path).endsWith(CodePage::toAnsi(u"接続しました\r\n")));
        log.WriteRunLog(u"end"_s);
    } // ending closes the log
    const QByteArray expected = Banner
        + CodePage::toAnsi(u"2004年03月12日 09時30分15秒に起動\r\n") + Banner
        + CodePage::toAnsi(u"2004/03/12 09:30:17\tデータベースに接続しました\r\n")
        + "2004/03/12 09:30:17\tend\r\n"_ba;
    QCOMPARE(contents(path), expected);
}

void TestRunLog::createdAnew()
{
    QTemporaryDir dir;
    FakeClock clock;
    const QString path = dir.filePath(u"X.FTP.LOG"_s);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'x'));
    old.close();
    RunLog log(clock);
    QVERIFY(log.OpenRunLog(path));
    log.WriteRunLog(u"one"_s);
    log.CloseRunLog();
    log.WriteRunLog(u"after close"_s);
    const QByteArray bytes = contents(path);
    QVERIFY(bytes.startsWith(Banner));
    QVERIFY(!bytes.contains('x'));
    QVERIFY(bytes.endsWith("\tone\r\n"));
}

void TestRunLog::unwritableLog()
{
    QTemporaryDir dir;
    FakeClock clock;
    RunLog log(clock);
    QVERIFY(!log.OpenRunLog(dir.filePath(u"missing/folder/X.MAIL.LOG"_s)));
    log.WriteRunLog(u"goes nowhere"_s); // the step goes on without its log
    QVERIFY(!QFile::exists(dir.filePath(u"missing"_s)));
}

void TestRunLog::addColumn_data()
{
    QTest::addColumn<QStringList>("pairs");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("sets");

    QTest::newRow("one") << QStringList{u"SysOS"_s, u"Debian"_s} << u"SysOS,"_s << u"'Debian',"_s
                         << u"SysOS='Debian',"_s;
    QTest::newRow("two, empty value")
        << QStringList{u"SysOS"_s, u"Debian"_s, u"SysDatVersion"_s, QString()}
        << u"SysOS,SysDatVersion,"_s << u"'Debian','',"_s << u"SysOS='Debian',SysDatVersion='',"_s;
    QTest::newRow("quote doubled") << QStringList{u"A"_s, u"it's"_s} << u"A,"_s << u"'it''s',"_s
                                   << u"A='it''s',"_s;
    QTest::newRow("line break kept") << QStringList{u"A"_s, u"a\r\nb"_s} << u"A,"_s
                                     << u"'a\r\nb',"_s << u"A='a\r\nb',"_s;
}

void TestRunLog::addColumn()
{
    QFETCH(QStringList, pairs);
    QFETCH(QString, columns);
    QFETCH(QString, values);
    QFETCH(QString, sets);
    ColumnLists lists;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        lists.AddColumn(pairs[i], pairs[i + 1]);
    QCOMPARE(lists.columnList, columns);
    QCOMPARE(lists.valueList, values);
    QCOMPARE(lists.setList, sets);
}

void TestRunLog::outputFile()
{
    RunContext run;
    run.folder = u"/opt/tarvo"_s;
    run.macText = u"02FC00000001"_s;
    QCOMPARE(run.outputFile(u".SQL.LOG"_s), u"/opt/tarvo/02FC00000001.SQL.LOG"_s);
    run.agentSettings.parse("[tarvoinfo]\r\nftpupload=1\r\nSmtpMail= 1 \r\n"_ba);
    QCOMPARE(run.setting("FtpUpload"), u"1"_s);
    QCOMPARE(run.setting("SMTPMAIL"), u"1"_s);
    QCOMPARE(run.setting("SQLUpdate"), QString());
}

QTEST_APPLESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
