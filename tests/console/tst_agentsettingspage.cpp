// The agent-settings page over real TarvoAgent.ini files: what a load shows, what a save writes,
// the checks before saving, the schedule texts and the schedule dialog.
#include "console/settings/agentsettingspage.h"

#include "common/codepage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace AgentSettingsPage;
using Timer = std::array<QString, 3>;

class TestAgentSettingsPage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeIni(const QString &text)
    {
        const QString path = m_dir.filePath(u"TarvoAgent.ini"_s);
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(CodePage::toAnsi(text));
        return path;
    }
    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private Q_SLOTS:
    void roundTripKeepsWhatThePageDoesNotKnow()
    {
        const QString path = writeIni(
            u"; 管理者のメモ\r\n[TarvoAgent]\r\nPort=9000\r\nTimeOut= 30\r\nStatusLog=100\r\n"
            "AutoStart=yes\r\nAutoExit=1\r\nDebugMode=1\r\nExeFile=TarvoInfo\r\n"
            "TimeStart=WEEK,08:30,MON,FRI\r\nOwner=総務部\r\n"
            "[Extra]\r\nKeep=this\r\n"
            "[tarvoinfo]\r\nFTPUpload=1\r\nFtpProxy=proxy:8080\r\nFtpType=x\r\nSubject=月次報告\r\n"_s);
        AgentSettingsValues values = load(path);

        QCOMPARE(values.text(u"txtFunc6Port"_s), u"9000"_s);
        QCOMPARE(values.text(u"txtFunc6TimeOut"_s), u"30"_s); // profile rules drop the blanks
        QCOMPARE(values.text(u"txtFunc6Subject"_s), u"月次報告"_s);
        QVERIFY(values.isChecked(u"optFunc6AutoStart_1"_s)); // only "1" is on
        QVERIFY(values.isChecked(u"optFunc6AutoExit_0"_s));
        QVERIFY(values.isChecked(u"optFunc6DebugMode_0"_s));
        QVERIFY(values.isChecked(u"chkFunc6Proxy"_s));
        QVERIFY(values.isChecked(u"chkFunc6Passive"_s)); // missing: passive
        QVERIFY(values.isChecked(u"optFunc6Ascii"_s));
        QVERIFY(values.isChecked(u"chkFunc6Ftp"_s));
        QVERIFY(!values.isChecked(u"chkFunc6Sql"_s));
        QCOMPARE(values.timer, (Timer{u"曜日指定"_s, u"MON,FRI"_s, u"起動時刻 08:30"_s}));
        const QMap<QString, bool> states = sectionStates(values);
        QCOMPARE(states.value(u"frameFunc6Ftp"_s), true);
        QCOMPARE(states.value(u"frameFunc6Sql"_s), false);

        // Unchecking "Proxy" does not disable the box: it follows the FTP section.
        values.checks[u"chkFunc6Proxy"_s] = false;
        QCOMPARE(sectionStates(values).value(u"txtFunc6Proxy"_s), true);
        values.checks[u"chkFunc6Ftp"_s] = false;
        QCOMPARE(sectionStates(values).value(u"txtFunc6Proxy"_s), false);

        values.texts[u"txtFunc6Program"_s] = u"  TarvoInfo2 "_s;
        values.checks[u"optFunc6Bin"_s] = true;
        QVERIFY(save(path, values));
        const QString expected =
            u"; 管理者のメモ\r\n[TarvoAgent]\r\nPort=9000\r\nTimeOut=30\r\nStatusLog=100\r\n"
            "AutoStart=0\r\nAutoExit=1\r\nDebugMode=1\r\nExeFile=TarvoInfo2\r\n"
            "TimeStart=WEEK,08:30,MON,FRI\r\nOwner=総務部\r\n"
            "[Extra]\r\nKeep=this\r\n"
            "[tarvoinfo]\r\nFTPUpload=0\r\nFtpProxy=proxy:8080\r\nFtpType=2\r\nSubject=月次報告\r\n"
            "SqlConnection=\r\nSqlTable=\r\nSqlUserid=\r\nSqlPassword=\r\nFtpAddress=\r\nFtpPort=\r\n"
            "FtpUser=\r\nFtpPassword=\r\nFtpDirectory=\r\nFtpPassive=1\r\nFtpTls=0\r\nFtpCaFile=\r\n"
            "SmtpServer=\r\nSmtpPort=\r\n"
            "From=\r\nTo=\r\nSmtpTls=0\r\nSmtpUser=\r\nSmtpPassword=\r\nSmtpCaFile=\r\n"
            "SQLUpdate=0\r\nSmtpMail=0\r\n"_s;
        QCOMPARE(CodePage::fromAnsi(readFile(path)), expected);
        QCOMPARE(keysToWrite(values).constFirst().first, u"Port"_s);
        QCOMPARE(keysToWrite(values).constLast().first, u"SmtpMail"_s);
    }

    void missingFileAndNoScheduleSaveAComma()
    {
        const QString path = m_dir.filePath(u"new/TarvoAgent.ini"_s);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"new"_s)));
        const Timer kept{u"日付指定"_s, u"1"_s, u"起動時刻 01:00"_s};
        AgentSettingsValues values = load(path, kept);
        QCOMPARE(values.timer, kept); // no condition in the file: the labels keep theirs
        QVERIFY(load(path).timer[0].isEmpty());
        QCOMPARE(composeTimeStart(load(path).timer), u","_s);
        QVERIFY(save(path, load(path)));
        QVERIFY(readFile(path).contains("TimeStart=,\r\n"));
        QVERIFY(!save(m_dir.filePath(u"absent/TarvoAgent.ini"_s), values));
    }

    void checksInOrder_data()
    {
        QTest::addColumn<QStringList>("filled");
        QTest::addColumn<QStringList>("sections");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("message");
        const QStringList always = {u"txtFunc6Port"_s, u"txtFunc6TimeOut"_s,
                                    u"txtFunc6StatusLog"_s, u"txtFunc6Program"_s};
        const QStringList sql = {u"txtFunc6SqlConnection"_s, u"txtFunc6SqlTable"_s};
        const QStringList ftp = {u"txtFunc6FtpAddress"_s, u"txtFunc6FtpDirectory"_s,
                                 u"txtFunc6FtpPort"_s, u"txtFunc6FtpUser"_s};
        const QStringList mail = {u"txtFunc6SmtpServer"_s, u"txtFunc6SmtpPort"_s, u"txtFunc6To"_s,
                                  u"txtFunc6From"_s, u"txtFunc6Subject"_s};
        const QStringList messages = {
            u"ポート番号を指定してください。"_s, u"タイムアウト値（秒）を指定してください。"_s,
            u"稼動ログの表示行数を指定してください。"_s, u"情報収集プログラム名を指定してください。"_s,
            u"SQLサーバ接続文字列を指定してください。"_s, u"SQLサーバテーブル名を指定してください。"_s,
            u"FTPサーバアドレスを指定してください。"_s, u"ディレクトリを指定してください。"_s,
            u"ポートを指定してください。"_s, u"ユーザIDを指定してください。"_s,
            u"SMTPサーバを指定してください。"_s, u"サーバのポートを指定してください。"_s,
            u"宛先アドレスを指定してください。"_s, u"送信者アドレスを指定してください。"_s,
            u"件名を指定してください。"_s};
        const QStringList order = always + sql + ftp + mail;
        const QStringList allSections = {u"chkFunc6Sql"_s, u"chkFunc6Ftp"_s, u"chkFunc6Mail"_s};
        // Fill every field before the n-th: the n-th is the one reported.
        for (int n = 0; n < order.size(); ++n) {
            QTest::addRow("%d %s", n + 1, qPrintable(order.at(n)))
                << order.mid(0, n) << allSections << order.at(n) << messages.at(n);
        }
        QTest::newRow("unchecked sections are not checked") << always << QStringList() << QString() << QString();
        QTest::newRow("blanks are empty") << QStringList() << QStringList() << u"txtFunc6Port"_s << messages.at(0);
        QTest::newRow("only mail checked") << always + sql << QStringList{u"chkFunc6Mail"_s}
                                           << u"txtFunc6SmtpServer"_s << messages.at(10);
    }
    void checksInOrder()
    {
        QFETCH(QStringList, filled);
        QFETCH(QStringList, sections);
        QFETCH(QString, control);
        QFETCH(QString, message);
        AgentSettingsValues values;
        values.texts[u"txtFunc6Port"_s] = u"   "_s;
        for (const QString &name : filled)
            values.texts[name] = u"x"_s;
        for (const QString &name : sections)
            values.checks[name] = true;
        const auto refusal = check(values);
        QCOMPARE(refusal.has_value(), !control.isEmpty());
        if (refusal) {
            QCOMPARE(refusal->control, control);
            QCOMPARE(refusal->message, message);
        }
    }

    void timeStart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("labels"); // empty: the labels are kept
        QTest::addColumn<QString>("composed");
        QTest::newRow("week") << u"WEEK,08:30,MON,WED,FRI"_s
                              << QStringList{u"曜日指定"_s, u"MON,WED,FRI"_s, u"起動時刻 08:30"_s}
                              << u"WEEK,08:30,MON,WED,FRI"_s;
        QTest::newRow("day") << u"DAY,23:00,1,15,31"_s
                             << QStringList{u"日付指定"_s, u"1,15,31"_s, u"起動時刻 23:00"_s}
                             << u"DAY,23:00,1,15,31"_s;
        QTest::newRow("empty list") << u"WEEK,08:30,"_s
                                    << QStringList{u"曜日指定"_s, QString(), u"起動時刻 08:30"_s}
                                    << u"WEEK,08:30,"_s;
        QTest::newRow("one comma") << u"DAY,"_s << QStringList{u"日付指定"_s, QString(), u"起動時刻 "_s}
                                   << u"DAY,,"_s;
        QTest::newRow("lower case") << u"week,08:30,MON"_s << QStringList() << QString();
        QTest::newRow("other word") << u"DAILY,08:30,"_s << QStringList() << QString();
        QTest::newRow("no comma") << u"WEEK"_s << QStringList() << QString();
    }
    void timeStart()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, labels);
        QFETCH(QString, composed);
        const auto timer = parseTimeStart(text);
        QCOMPARE(timer.has_value(), !labels.isEmpty());
        if (timer) {
            QCOMPARE(QStringList(timer->begin(), timer->end()), labels);
            QCOMPARE(composeTimeStart(*timer), composed);
        }
    }

    void normalizeTime_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << u"07:30"_s << u"07:30"_s;
        QTest::newRow("last minute") << u"23:59"_s << u"23:59"_s;
        QTest::newRow("midnight") << u"00:00"_s << u"00:00"_s;
        QTest::newRow("carry") << u"07:75"_s << u"08:15"_s;
        QTest::newRow("carry to 24") << u"23:60"_s << QString();
        QTest::newRow("full-width colon") << u"09：05"_s << u"09:05"_s;
        QTest::newRow("hour 24") << u"24:00"_s << QString();
        QTest::newRow("one-digit hour") << u"7:30"_s << QString();
        QTest::newRow("no colon") << u"0730"_s << QString();
        QTest::newRow("dash") << u"09-30"_s << QString();
        QTest::newRow("letters") << u"ab:cd"_s << QString();
        QTest::newRow("blank inside") << u" 9:30"_s << QString();
    }
    void normalizeTime()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(NormalizeTime(typed), stored);
    }

    void timingDialog_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("editTime"); // replaces the preset time when not empty
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("refusal");
        const QString week = u"曜日指定"_s, day = u"日付指定"_s;
        QTest::newRow("week kept") << QStringList{week, u"MON,SAT"_s, u"起動時刻 08:30"_s} << QString()
                                   << QStringList{week, u"MON,SAT"_s, u"起動時刻 08:30"_s} << QString();
        QTest::newRow("days in order, junk skipped")
            << QStringList{day, u"31,x,1,15"_s, u"起動時刻 23:00"_s} << u"07:75"_s
            << QStringList{day, u"1,15,31"_s, u"起動時刻 08:15"_s} << QString();
        QTest::newRow("bad time") << QStringList{week, u"SUN"_s, u"起動時刻 08:30"_s} << u"9:30"_s
                                  << QStringList() << u"txtWeekTime 時刻のフォーマットが正しくありません！"_s;
        QTest::newRow("no weekday") << QStringList{week, u"mon"_s, u"起動時刻 08:30"_s} << QString()
                                    << QStringList() << u"chkWeek_0 曜日を指定してください！"_s;
        QTest::newRow("no day") << QStringList{day, u"0,32"_s, u"起動時刻 08:30"_s} << QString()
                                << QStringList() << u"chkDay_0 日付を指定してください！"_s;
        QTest::newRow("no condition") << QStringList{QString(), u"x"_s, u"y"_s} << QString()
                                      << QStringList{QString(), QString(), u"起動時刻 "_s} << QString();
    }
    void timingDialog()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, editTime);
        QFETCH(QStringList, after);
        QFETCH(QString, refusal);
        TimingChoice choice = TimingChoice::fromTimer({before[0], before[1], before[2]});
        if (!editTime.isEmpty())
            (choice.condition == 0 ? choice.weekTime : choice.dayTime) = editTime;
        Timer timer{u"unchanged"_s};
        const auto refused = choice.accept(&timer);
        QCOMPARE(refused ? refused->control + u' ' + refused->message : QString(), refusal);
        if (!refused)
            QCOMPARE(QStringList(timer.begin(), timer.end()), after);
        else
            QCOMPARE(timer[0], u"unchanged"_s);
    }
};

QTEST_GUILESS_MAIN(TestAgentSettingsPage)
#include "tst_agentsettingspage.moc"
