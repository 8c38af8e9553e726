#include "agent/settingsforms.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

SettingsForm formNamed(const QString &name, const QString &iniPath)
{
    if (name == u"mail"_s)
        return SettingsForms::mail(iniPath);
    if (name == u"ftp"_s)
        return SettingsForms::ftp(iniPath);
    if (name == u"sql"_s)
        return SettingsForms::sql(iniPath);
    return SettingsForms::agent(iniPath);
}

// "control=value" pairs as a user would type or click them.
void enter(SettingsForm &form, const QStringList &values)
{
    for (const QString &pair : values)
        form.setValue(pair.section(u'=', 0, 0), pair.section(u'=', 1));
}

const QStringList ValidAgent = {u"txtPort=8080"_s, u"txtTimeOut=30"_s, u"txtStatusLog=1000"_s};
const QStringList ValidMail = {u"txtSmtpServer=mail.example.jp"_s, u"txtSmtpPort=25"_s,
                               u"txtTo=admin@example.jp"_s, u"txtFrom=pc@example.jp"_s,
                               u"txtSubject=収集結果"_s};
const QStringList ValidFtp = {u"txtFtpAddress=ftp.example.jp"_s, u"txtFtpPort=21"_s,
                              u"txtFtpDirectory=/in"_s, u"txtFtpUser=tarvo"_s};

} // namespace

class TestSettingsForms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void refusals_data();
    void refusals();
    void writtenBytes_data();
    void writtenBytes();
    void loadedValues_data();
    void loadedValues();
    void scheduleLabels_data();
    void scheduleLabels();

private:
    void writeIni(const QByteArray &bytes);
    QByteArray iniBytes() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
};

void TestSettingsForms::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = m_dir->filePath(u"TarvoAgent.ini"_s);
}

void TestSettingsForms::writeIni(const QByteArray &bytes)
{
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestSettingsForms::iniBytes() const
{
    QFile file(m_ini);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestSettingsForms::refusals_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("message");

    const auto agentWith = [](const QStringList &changes) { return ValidAgent + changes; };
    QTest::newRow("agent: nothing filled") << u"agent"_s << QStringList() << u"txtPort"_s
                                           << u"ポート番号を指定してください。"_s;
    QTest::newRow("agent: blank time-out") << u"agent"_s << agentWith({u"txtTimeOut=  "_s})
                                           << u"txtTimeOut"_s
                                           << u"タイムアウト値（秒）を指定してください。"_s;
    QTest::newRow("agent: no log size")
        << u"agent"_s << agentWith({u"txtStatusLog="_s}) << u"txtStatusLog"_s
        << u"稼動ステータスのイベントの最大行数を指定してください。"_s;
    const QString portRange = u"ポート番号は1から65535までの数字で指定してください。"_s;
    QTest::newRow("agent: port abc") << u"agent"_s << agentWith({u"txtPort=abc"_s})
                                     << u"txtPort"_s << portRange;
    QTest::newRow("agent: port 0") << u"agent"_s << agentWith({u"txtPort=0"_s}) << u"txtPort"_s
                                   << portRange;
    QTest::newRow("agent: port 65536") << u"agent"_s << agentWith({u"txtPort=65536"_s})
                                       << u"txtPort"_s << portRange;
    QTest::newRow("agent: port -80") << u"agent"_s << agentWith({u"txtPort=-80"_s})
                                     << u"txtPort"_s << portRange;
    QTest::newRow("agent: time-out overflows")
        << u"agent"_s << agentWith({u"txtTimeOut=2147484"_s}) << u"txtTimeOut"_s
        << u"タイムアウト値（秒）は1から2147483までの整数で指定してください。"_s;
    QTest::newRow("agent: log size 1.5")
        << u"agent"_s << agentWith({u"txtStatusLog=1.5"_s}) << u"txtStatusLog"_s
        << u"稼動ステータスのイベントの最大行数は1から100000までの整数で指定してください。"_s;
    QTest::newRow("agent: log size 100001")
        << u"agent"_s << agentWith({u"txtStatusLog=100001"_s}) << u"txtStatusLog"_s
        << u"稼動ステータスのイベントの最大行数は1から100000までの整数で指定してください。"_s;
    QTest::newRow("agent: the largest values")
        << u"agent"_s
        << QStringList{u"txtPort=65535"_s, u"txtTimeOut=2147483"_s, u"txtStatusLog=100000"_s}
        << QString() << QString();
    QTest::newRow("mail: no server") << u"mail"_s << QStringList() << u"txtSmtpServer"_s
                                     << u"SMTPサーバを指定してください。"_s;
    QTest::newRow("mail: port x") << u"mail"_s << ValidMail + QStringList{u"txtSmtpPort=x"_s}
                                  << u"txtSmtpPort"_s
                                  << u"SMTPポート番号は1から65535までの数字で指定してください。"_s;
    QTest::newRow("mail: no recipient") << u"mail"_s << ValidMail + QStringList{u"txtTo="_s}
                                        << u"txtTo"_s << u"宛先アドレスを指定してください。"_s;
    QTest::newRow("mail: no sender") << u"mail"_s << ValidMail + QStringList{u"txtFrom= "_s}
                                     << u"txtFrom"_s << u"送信者アドレスを指定してください。"_s;
    QTest::newRow("mail: no subject") << u"mail"_s << ValidMail + QStringList{u"txtSubject="_s}
                                      << u"txtSubject"_s << u"件名を指定してください。"_s;
    QTest::newRow("ftp: no address") << u"ftp"_s << QStringList() << u"txtFtpAddress"_s
                                     << u"FTPサーバアドレスを指定してください。"_s;
    QTest::newRow("ftp: port 70000") << u"ftp"_s << ValidFtp + QStringList{u"txtFtpPort=70000"_s}
                                     << u"txtFtpPort"_s
                                     << u"FTPポート番号は1から65535までの数字で指定してください。"_s;
    QTest::newRow("ftp: no directory") << u"ftp"_s
                                       << ValidFtp + QStringList{u"txtFtpDirectory="_s}
                                       << u"txtFtpDirectory"_s
                                       << u"FTPサーバディレクトリを指定してください。"_s;
    QTest::newRow("ftp: no user") << u"ftp"_s << ValidFtp + QStringList{u"txtFtpUser="_s}
                                  << u"txtFtpUser"_s << u"FTPユーザIDを指定してください。"_s;
    QTest::newRow("ftp: no password is fine") << u"ftp"_s << ValidFtp << QString() << QString();
    QTest::newRow("sql: no connection") << u"sql"_s << QStringList() << u"txtSqlConnection"_s
                                        << u"SQLサーバ接続文字列を指定してください。"_s;
    QTest::newRow("sql: no table") << u"sql"_s << QStringList{u"txtSqlConnection=DSN=x"_s}
                                   << u"txtSqlTable"_s
                                   << u"SQLサーバテーブル名を指定してください。"_s;
    // Text CP932 cannot hold is refused before anything is written, not saved as "?".
    QTest::newRow("mail: subject with an emoji and a Korean letter")
        << u"mail"_s << ValidMail + QStringList{u"txtTo=a@example.jp"_s, u"txtSubject=結果😀한😀"_s}
        << u"txtSubject"_s
        << u"「件名」にShift-JISで保存できない文字（😀한）があります。別の文字に変えてください。"_s;
    QTest::newRow("ftp: the first unfit box in the form's order")
        << u"ftp"_s << ValidFtp + QStringList{u"txtFtpDirectory=/𠀋"_s, u"txtFtpUser=é"_s}
        << u"txtFtpUser"_s
        << u"「ユーザＩＤ」にShift-JISで保存できない文字（é）があります。別の文字に変えてください。"_s;
    QTest::newRow("ftp: a proxy box that is off is not written")
        << u"ftp"_s << ValidFtp + QStringList{u"txtProxy=é"_s, u"chkProxy=0"_s} << QString() << QString();
    QTest::newRow("sql: a password's characters are not repeated")
        << u"sql"_s << QStringList{u"txtSqlConnection=DSN=x"_s, u"txtSqlTable=t"_s, u"txtSqlPassword=pé"_s}
        << u"txtSqlPassword"_s
        << u"「接続パスワード」にShift-JISで保存できない文字があります。別の文字に変えてください。"_s;
    QTest::newRow("mail: CP932's own signs are fine")
        << u"mail"_s << ValidMail + QStringList{u"txtSubject=〜～①ｱ＼"_s} << QString() << QString();
}

// A refused save names the first failing field and leaves the file as it was.
void TestSettingsForms::refusals()
{
    QFETCH(QString, form);
    QFETCH(QStringList, values);
    QFETCH(QString, control);
    QFETCH(QString, message);

    const QByteArray before = "[TarvoAgent]\r\nPort=1\r\n"_ba;
    writeIni(before);
    SettingsForm settings = formNamed(form, m_ini);
    QVERIFY(settings.load());
    for (const FormBinding &binding : settings.bindings())
        settings.setValue(binding.control, QString());
    enter(settings, values);
    const auto refusal = settings.check();
    QString error;
    const bool saved = settings.save(&error);
    if (control.isEmpty()) {
        QVERIFY2(!refusal, qPrintable(refusal ? refusal->message : QString()));
        QVERIFY2(saved, qPrintable(error));
        return;
    }
    QVERIFY(refusal);
    QCOMPARE(refusal->control, control);
    QCOMPARE(refusal->message, message);
    QVERIFY(!saved);
    QCOMPARE(error, message);
    QCOMPARE(iniBytes(), before);
}

void TestSettingsForms::writtenBytes_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("agent into an empty file: the write order")
        << u"agent"_s << QByteArray()
        << QStringList{u"txtPort= 8080 "_s, u"txtTimeOut=30"_s, u"txtStatusLog=1000"_s,
                       u"optAutoStart=1"_s, u"optDebugMode=1"_s, u"optMail=1"_s}
        << "[TarvoAgent]\r\nPort=8080\r\nTimeOut=30\r\nStatusLog=1000\r\nAutoStart=1\r\n"
           "AutoExit=0\r\nDebugMode=1\r\n[TarvoInfo]\r\nSmtpMail=1\r\nFtpUpload=0\r\n"
           "SQLUpdate=0\r\n"_ba;
    QTest::newRow("agent keeps what it does not show")
        << u"agent"_s
        << "; installed\r\n[TarvoAgent]\r\nPort=1\r\nTimeStart=WEEK,08:30,MON\r\n"
           "ExeFile=TarvoInfo\r\nListenAddress=127.0.0.1\r\n[TarvoInfo]\r\nFTPUpload=1\r\n"
           "SqlTable=pcs\r\n[Extra]\r\nA=b\r\n"_ba
        << QStringList{u"txtPort=2"_s, u"txtTimeOut=60"_s, u"txtStatusLog=5"_s, u"optFtp=1"_s}
        << "; installed\r\n[TarvoAgent]\r\nPort=2\r\nTimeStart=WEEK,08:30,MON\r\n"
           "ExeFile=TarvoInfo\r\nListenAddress=127.0.0.1\r\nTimeOut=60\r\nStatusLog=5\r\n"
           "AutoStart=0\r\nAutoExit=0\r\nDebugMode=0\r\n[TarvoInfo]\r\nFTPUpload=1\r\n"
           "SqlTable=pcs\r\nSmtpMail=0\r\nSQLUpdate=0\r\n[Extra]\r\nA=b\r\n"_ba;
    QTest::newRow("mail: trimmed, in CP932, in order")
        << u"mail"_s << QByteArray()
        << QStringList{u"txtSmtpServer= mail.example.jp"_s, u"txtSmtpPort=587"_s,
                       u"txtTo=a@example.jp;b@example.jp"_s, u"txtFrom=pc@example.jp"_s,
                       u"txtSubject=収集結果 "_s}
        << "[TarvoInfo]\r\nSmtpServer=mail.example.jp\r\nSmtpPort=587\r\n"
           "To=a@example.jp;b@example.jp\r\nFrom=pc@example.jp\r\nSubject=\x8e\xfb\x8f\x57"
           "\x8c\x8b\x89\xca\r\nSmtpTls=0\r\nSmtpUser=\r\nSmtpPassword=\r\nSmtpCaFile=\r\n"_ba;
    QTest::newRow("mail: TLS from the first byte and the login kept")
        << u"mail"_s << "[TarvoInfo]\r\nSmtpTls=2\r\nSmtpUser=pc01\r\n"_ba
        << ValidMail + QStringList{u"txtSmtpPassword=pw"_s}
        << "[TarvoInfo]\r\nSmtpTls=2\r\nSmtpUser=pc01\r\nSmtpServer=mail.example.jp\r\n"
           "SmtpPort=25\r\nTo=admin@example.jp\r\nFrom=pc@example.jp\r\n"
           "Subject=\x8e\xfb\x8f\x57\x8c\x8b\x89\xca\r\n"
           "SmtpPassword=pw\r\nSmtpCaFile=\r\n"_ba;
    QTest::newRow("ftp: proxy off empties it, passive and binary")
        << u"ftp"_s << "[TarvoInfo]\r\nFtpProxy=proxy:8080\r\nFtpType=1\r\n"_ba
        << ValidFtp + QStringList{u"txtFtpPassword=secret"_s, u"txtProxy=proxy:8080"_s,
                                  u"chkProxy=0"_s, u"chkPassive=1"_s, u"optBin=1"_s}
        << "[TarvoInfo]\r\nFtpProxy=\r\nFtpType=2\r\nFtpAddress=ftp.example.jp\r\n"
           "FtpPort=21\r\nFtpUser=tarvo\r\nFtpPassword=secret\r\nFtpDirectory=/in\r\n"
           "FtpPassive=1\r\nFtpTls=0\r\nFtpCaFile=\r\n"_ba;
    QTest::newRow("ftp: proxy on, active, ASCII")
        << u"ftp"_s << QByteArray()
        << ValidFtp + QStringList{u"txtProxy=proxy:8080"_s, u"chkProxy=1"_s, u"chkPassive=0"_s,
                                  u"optBin=0"_s, u"chkFtpTls=1"_s, u"txtFtpCaFile=/etc/tarvo/ca.pem"_s}
        << "[TarvoInfo]\r\nFtpAddress=ftp.example.jp\r\nFtpPort=21\r\nFtpUser=tarvo\r\n"
           "FtpPassword=\r\nFtpProxy=proxy:8080\r\nFtpDirectory=/in\r\nFtpPassive=0\r\n"
           "FtpType=1\r\nFtpTls=1\r\nFtpCaFile=/etc/tarvo/ca.pem\r\n"_ba;
    QTest::newRow("sql: in order")
        << u"sql"_s << QByteArray()
        << QStringList{u"txtSqlConnection=Server=db;Database=tarvo"_s, u"txtSqlTable=pcs"_s,
                       u"txtSqlUserid=sa"_s, u"txtSqlPassword=pw"_s}
        << "[TarvoInfo]\r\nSqlConnection=Server=db;Database=tarvo\r\nSqlTable=pcs\r\n"
           "SqlUserid=sa\r\nSqlPassword=pw\r\n"_ba;
}

void TestSettingsForms::writtenBytes()
{
    QFETCH(QString, form);
    QFETCH(QByteArray, before);
    QFETCH(QStringList, values);
    QFETCH(QByteArray, after);

    if (!before.isEmpty())
        writeIni(before);
    SettingsForm settings = formNamed(form, m_ini);
    QVERIFY(settings.load());
    enter(settings, values);
    QString error;
    QVERIFY2(settings.save(&error), qPrintable(error));
    QCOMPARE(iniBytes(), after);
}

void TestSettingsForms::loadedValues_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("agent: only 1 is on")
        << u"agent"_s
        << "[TarvoAgent]\r\nPort=80\r\nAutoStart=yes\r\nAutoExit=1\r\nDebugMode=0\r\n"
           "ExeFile=TarvoInfo\r\n[TarvoInfo]\r\nFTPUpload=1\r\nSQLUpdate=true\r\n"_ba
        << QStringList{u"txtPort=80"_s, u"optAutoStart=0"_s, u"optAutoExit=1"_s,
                       u"optDebugMode=0"_s, u"optMail=0"_s, u"optFtp=1"_s, u"optSql=0"_s,
                       u"lblProgram=TarvoInfo"_s};
    QTest::newRow("ftp: binary, passive by default, proxy")
        << u"ftp"_s << "[TarvoInfo]\r\nFtpType=2\r\nFtpProxy=gw:8080\r\n"_ba
        << QStringList{u"optBin=1"_s, u"chkPassive=1"_s, u"txtProxy=gw:8080"_s};
    QTest::newRow("ftp: 3 is ASCII, 0 is active")
        << u"ftp"_s << "[TarvoInfo]\r\nFtpType=3\r\nFtpPassive=0\r\n"_ba
        << QStringList{u"optBin=0"_s, u"chkPassive=0"_s, u"txtProxy="_s};
    QTest::newRow("mail: values cut at 254 bytes")
        << u"mail"_s << "[TarvoInfo]\r\nSubject="_ba + QByteArray(300, 'x') + "\r\n"_ba
        << QStringList{u"txtSubject="_s + QString(254, u'x')};
}

void TestSettingsForms::loadedValues()
{
    QFETCH(QString, form);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, expected);

    writeIni(ini);
    SettingsForm settings = formNamed(form, m_ini);
    QVERIFY(settings.load());
    for (const QString &pair : expected)
        QCOMPARE(pair.section(u'=', 0, 0) + u'=' + settings.value(pair.section(u'=', 0, 0)), pair);
}

void TestSettingsForms::scheduleLabels_data()
{
    QTest::addColumn<QString>("timeStart");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("week") << u"WEEK,08:30,MON,WED,FRI"_s
                          << QStringList{u"毎週"_s, u"MON,WED,FRI"_s, u"起動時刻 08:30"_s};
    QTest::newRow("day") << u"DAY,23:00,1,15"_s
                         << QStringList{u"日付指定"_s, u"1,15"_s, u"起動時刻 23:00"_s};
    QTest::newRow("week without days") << u"WEEK,08:30,"_s
                                       << QStringList{u"毎週"_s, QString(), u"起動時刻 08:30"_s};
    QTest::newRow("other mode") << u"EVERY,08:00,"_s << QStringList(3);
    QTest::newRow("no schedule") << u","_s << QStringList(3);
}

void TestSettingsForms::scheduleLabels()
{
    QFETCH(QString, timeStart);
    QFETCH(QStringList, labels);
    QCOMPARE(SettingsForms::scheduleLabels(timeStart), labels);
}

QTEST_GUILESS_MAIN(TestSettingsForms)
#include "tst_settingsforms.moc"
