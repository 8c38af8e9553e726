// The database pages' commands of TarvoControl, run as a script would: exit status, standard
// output and the messages on standard error, over an SQLite table named in TarvoControl.ini.
#include "common/codepage.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "db/database.h"

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
}

} // namespace

class TestDatabaseCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    Run console(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"), QStringList{u"--folder"_s, m_folder.path()} + arguments);
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A relative database file: it is found in the console folder.
        writeFile(m_folder.filePath(u"TarvoControl.ini"_s),
                  "[TarvoControl]\r\nSqlConnection=Provider=SQLite;Data Source=inv.db\r\nSqlTable=PcInfo\r\n");
        writeFile(m_folder.filePath(u"inv.db"_s), {});
        writeFile(m_folder.filePath(u"TarvoInfo.dat"_s),
                  CodePage::toAnsi(u"[APPLICATION_XP]\r\nOfficeVersion=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Office;Version;\r\n"
                                   "[APPLICATION_LINUX]\r\n表計算=F;YYYYMMDD;HHMMSS;/usr/bin;localc;;\r\n"_s));
        Database db(m_folder.path());
        QVERIFY(db.open(u"Provider=SQLite;Data Source=inv.db"_s));
        QVERIFY(db.execute(u"CREATE TABLE PcInfo (SysComputerName TEXT, LastUpdateDate TEXT, OfficeVersion TEXT, Disks INTEGER)"_s));
        QVERIFY(db.execute(u"INSERT INTO PcInfo VALUES ('PC01', '2026/12/07', '9.0', 2)"_s));
        QVERIFY(db.execute(u"INSERT INTO PcInfo VALUES ('PC02', NULL, 'say \"16\"', 1)"_s));
    }

    // One script from the first look at the table to the query of the renamed column.
    void scriptRun()
    {
        Run run = console({u"fields"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("OfficeVersion\nDisks\n"));

        run = console({u"check"_s, m_folder.filePath(u"TarvoInfo.dat"_s)});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(QString::fromUtf8(run.out), u"[APPLICATION_LINUX] 表計算\n"_s);

        // A definition file that is not there gets no verdict, only the reason.
        run = console({u"check"_s, u"nowhere/TarvoInfo.dat"_s});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.startsWith(u"nowhere/TarvoInfo.dat ファイルを開けません（"_s), qPrintable(run.err));

        run = console({u"field-add"_s, u"表計算; DROP TABLE PcInfo"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(u"フィールド名「表計算; DROP TABLE PcInfo」は使用できません。"_s), qPrintable(run.err));

        QCOMPARE(console({u"field-add"_s, u"表計算"_s}).exitCode, 0);
        run = console({u"check"_s, m_folder.filePath(u"TarvoInfo.dat"_s)});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QString::fromUtf8(run.out),
                 u"GOOD!\n\nTarvoInfo.datのキーはすべてDBのテーブルフィールドとして存在します。\n"_s);

        run = console({u"field-drop"_s, u"SysComputerName"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"SysComputerName"_s));

        QCOMPARE(console({u"field-change"_s, u"OfficeVersion"_s, u"OfficeVer2"_s}).exitCode, 0);
        QCOMPARE(console({u"fields"_s}).out, QByteArray("Disks\n") + u"表計算\nOfficeVer2\n"_s.toUtf8());

        run = console({u"query"_s, u"--where"_s, u"Disks > 0"_s, u"SysComputerName"_s, u"OfficeVer2"_s, u"LastUpdateDate"_s, u"Disks"_s});
        QCOMPARE(run.exitCode, 0);
        const QByteArray csv = "\"SysComputerName\",\"OfficeVer2\",\"LastUpdateDate\",\"Disks\",\r\n"
                               "\"PC01\",\"9.0\",\"2026/12/07\",2,\r\n"
                               "\"PC02\",\"say \"\"16\"\"\",#NULL#,1,\r\n";
        QCOMPARE(run.out, csv);
        const QString file = m_folder.filePath(u"out.csv"_s);
        QCOMPARE(console({u"query"_s, u"--out"_s, file, u"--where"_s, u"Disks > 0"_s, u"SysComputerName"_s,
                          u"OfficeVer2"_s, u"LastUpdateDate"_s, u"Disks"_s}).exitCode, 0);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), csv);

        run = console({u"query"_s, u"NoSuchColumn"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"NoSuchColumn"_s), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(console({u"query"_s}).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseCommands)
#include "tst_databasecommands.moc"
