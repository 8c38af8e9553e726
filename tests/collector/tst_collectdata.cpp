#include "collector/collectdata.h"
#include "collector/definitions/definitionfile.h"
#include "common/codepage.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCollectData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runMode_data();
    void runMode();
    void systemItems_data();
    void systemItems();
    void columnOrder();
    void driveKeys();
    void appItems_data();
    void appItems();
    void allModeRewrites();
    void quotesInColumns();
};

namespace {

const QDateTime RunTime(QDate(2026, 12, 7), QTime(10, 15, 0));

CollectInput input(RunMode mode, QList<SystemItem> items = {}, QList<AppItem> apps = {})
{
    CollectInput in;
    in.mode = mode;
    in.now = RunTime;
    in.systemItems = std::move(items);
    in.appItems = std::move(apps);
    in.appSection = u"APPLICATION_LINUX"_s;
    return in;
}

ProfileFile profile(const QByteArray &text)
{
    ProfileFile file;
    file.parse(text);
    return file;
}

QString value(const ProfileFile &file, const char *section, const char *key)
{
    return CodePage::fromAnsi(file.value(section, key));
}

DriveRow drive(char16_t letter, QString type, QString volume, QString fs, QString total,
               QString free)
{
    return DriveRow{QString(QChar(letter)), type, volume, fs, total, free};
}

AppItem appItem(const QString &column, const QString &id, const QString &value)
{
    AppItem item;
    item.column = column;
    item.id = id;
    item.date = u"YYYYMMDD"_s;
    item.time = u"HHMMSS"_s;
    item.keyOrFolder = u"HKEY_LOCAL_MACHINE"_s;
    item.subKeyOrFile = u"SOFTWARE\\X"_s;
    item.valueEntry = u"V"_s;
    item.value = value;
    return item;
}

} // namespace

void TestCollectData::runMode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("all");

    QTest::newRow("ALL") << QStringList{u"ALL"_s} << true;
    QTest::newRow("none") << QStringList{} << false;
    QTest::newRow("all") << QStringList{u"all"_s} << false;
    QTest::newRow("All") << QStringList{u"All"_s} << false;
    QTest::newRow("DIF") << QStringList{u"DIF"_s} << false;
    QTest::newRow("ALL and more") << QStringList{u"ALL"_s, u"x"_s} << false;
    QTest::newRow("ALL with blank") << QStringList{u"ALL "_s} << false;
}

void TestCollectData::runMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, all);
    QCOMPARE(runModeFromArguments(arguments) == RunMode::All, all);
}

void TestCollectData::systemItems_data()
{
    QTest::addColumn<QByteArray>("stored");  // the SysOS line in the file ("" none)
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("line");      // what the file holds after the step

    QTest::newRow("fresh key, value") << QByteArray() << u"Debian"_s << true
                                      << u"P;20261207;101500;Debian"_s;
    QTest::newRow("fresh key, empty value") << QByteArray() << QString() << false << QString();
    QTest::newRow("unchanged") << "P;20260101;080000;Debian"_ba << u"Debian"_s << false
                               << u"P;20260101;080000;Debian"_s;
    QTest::newRow("changed") << "P;20260101;080000;Debian 11"_ba << u"Debian 12"_s << true
                             << u"P;20261207;101500;Debian 12"_s;
    QTest::newRow("case counts") << "P;20260101;080000;debian"_ba << u"Debian"_s << true
                                 << u"P;20261207;101500;Debian"_s;
    QTest::newRow("became empty") << "P;20260101;080000;Debian"_ba << QString() << true
                                  << u"P;20261207;101500;"_s;
    QTest::newRow("trailing blanks not a change") << "P;20260101;080000;Debian"_ba
                                                  << u"Debian  "_s << false
                                                  << u"P;20260101;080000;Debian"_s;
    QTest::newRow("leading blank kept") << "P;20260101;080000; 0Bytes"_ba << u" 0Bytes"_s
                                        << false << u"P;20260101;080000; 0Bytes"_s;
    QTest::newRow("long value cut alike") << "P;20260101;080000;"_ba + QByteArray(300, 'x')
                                          << QString(300, u'x') << false
                                          << u"P;20260101;080000;"_s + QString(236, u'x');
    QTest::newRow("empty stored line") << "  "_ba << u"x"_s << true << u"P;20261207;101500;x"_s;
}

void TestCollectData::systemItems()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, current);
    QFETCH(bool, reported);
    QFETCH(QString, line);

    QByteArray text = "[SYSTEM]\r\nSysOS=" + stored + "\r\n";
    ProfileFile file = profile(text);
    ColumnLists columns;
    CollectData(file, input(RunMode::Dif, {{u"SysOS"_s, current}}), columns);
    QCOMPARE(value(file, "SYSTEM", "SysOS"), line);
    const QString expected = reported ? u"SysOS,SysDatVersion,"_s : u"SysDatVersion,"_s;
    QCOMPARE(columns.columnList, expected);
    if (reported)
        QCOMPARE(columns.valueList, u"'"_s + current + u"','',"_s);
}

void TestCollectData::columnOrder()
{
    // Keys in file order, unknown keys skipped, a listed item never reported when the
    // file does not list it.
    ProfileFile file = profile("[SYSTEM]\r\nSysUserName=\r\nNotAnItem=x\r\nsysos=\r\n"
                               "[DAT]\r\nSysDatVersion=20261201120000\r\n"
                               "[APPLICATION_LINUX]\r\nApp=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;S;V;\r\n"_ba);
    ColumnLists columns;
    CollectInput in = input(RunMode::Dif,
                            {{u"SysOS"_s, u"Debian"_s}, {u"SysUserName"_s, u"taro"_s},
                             {u"SysComputerName"_s, u"PC1"_s}},
                            {appItem(u"App"_s, u"R"_s, u"9.0"_s)});
    in.drives = {drive(u'C', u"FIXED"_s, u"root"_s, u"ext4"_s, u"10MB"_s, u"5MB"_s)};
    QVERIFY(CollectData(file, in, columns));
    QCOMPARE(columns.columnList,
             u"SysUserName,sysos,SysDriveC,SysDriveCVolume,SysDriveCFile,SysDriveCTotal,"
             u"SysDriveCFree,SysDatVersion,App,"_s);
    QCOMPARE(columns.valueList,
             u"'taro','Debian','FIXED','root','ext4','10MB','5MB','20261201120000','9.0',"_s);
    QCOMPARE(columns.setList.left(33), u"SysUserName='taro',sysos='Debian'"_s);
    QCOMPARE(value(file, "SYSTEM", "NotAnItem"), u"x"_s);
    QVERIFY(!file.containsKey("SYSTEM", "SysComputerName"));
    // The key keeps its spelling in the file.
    QVERIFY(file.serialize().contains("\r\nsysos=P;20261207;101500;Debian\r\n"));
    QCOMPARE(value(file, "DAT", "SysDatVersion"), u"20261201120000"_s);
}

void TestCollectData::driveKeys()
{
    ProfileFile file;
    ColumnLists columns;
    CollectInput in = input(RunMode::Dif);
    in.drives = {drive(u'A', u"Unknown(1)"_s, {}, {}, u" 0Bytes"_s, u" 0Bytes"_s),
                 drive(u'C', u"FIXED"_s, {}, u"ext4"_s, u"4768.37MB"_s, u"2KB"_s)};
    QVERIFY(CollectData(file, in, columns));
    // Every drive key exists afterwards; empty ones are not reported.
    QCOMPARE(value(file, "SYSTEM", "SysDriveAVolume"), u"P;20261207;101500;"_s);
    QCOMPARE(value(file, "SYSTEM", "SysDriveATotal"), u"P;20261207;101500; 0Bytes"_s);
    QCOMPARE(value(file, "SYSTEM", "SysDriveCFile"), u"P;20261207;101500;ext4"_s);
    QCOMPARE(file.keyNames("SYSTEM", 10240).size(), 10);
    QCOMPARE(columns.columnList,
             u"SysDriveA,SysDriveATotal,SysDriveAFree,SysDriveC,SysDriveCFile,SysDriveCTotal,"
             u"SysDriveCFree,SysDatVersion,"_s);
    QCOMPARE(columns.valueList,
             u"'Unknown(1)',' 0Bytes',' 0Bytes','FIXED','ext4','4768.37MB','2KB','',"_s);

    // The second run with the same rows reports nothing but SysDatVersion.
    ColumnLists again;
    in.now = RunTime.addSecs(60);
    QVERIFY(!CollectData(file, in, again));
    QCOMPARE(again.columnList, u"SysDatVersion,"_s);
    QCOMPARE(value(file, "SYSTEM", "SysDriveCFile"), u"P;20261207;101500;ext4"_s);
}

void TestCollectData::appItems_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("line");

    QTest::newRow("console placeholder")
        << "R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;"_ba << u"R"_s << u"9.0"_s << true
        << u"R;20261207;101500;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;9.0"_s;
    QTest::newRow("unchanged")
        << "R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;9.0"_ba << u"R"_s << u"9.0"_s
        << false << u"R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;9.0"_s;
    QTest::newRow("changed")
        << "R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;9.0"_ba << u"R"_s << u"10.0"_s
        << true << u"R;20261207;101500;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;10.0"_s;
    QTest::newRow("value with ;")
        << "R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;a;b"_ba << u"R"_s << u"a;b"_s
        << false << u"R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;a;b"_s;
    QTest::newRow("multi-string stored escaped")
        << "R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;"_ba << u"R"_s << u"a\r\nb"_s
        << true << u"R;20261207;101500;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;\\a\\r\\nb"_s;
    QTest::newRow("multi-string unchanged")
        << "R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;\\a\\r\\nb"_ba << u"R"_s
        << u"a\r\nb"_s << false
        << u"R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;\\a\\r\\nb"_s;
    QTest::newRow("trailing blanks") << "R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;01 02"_ba
                                     << u"R"_s << u"01 02 "_s << false
                                     << u"R;20260101;080000;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;01 02"_s;
}

void TestCollectData::appItems()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, id);
    QFETCH(QString, current);
    QFETCH(bool, reported);
    QFETCH(QString, line);

    ProfileFile file = profile("[APPLICATION_LINUX]\r\nApp=" + stored + "\r\n");
    ColumnLists columns;
    CollectData(file, input(RunMode::Dif, {}, {appItem(u"App"_s, id, current)}), columns);
    QCOMPARE(value(file, "APPLICATION_LINUX", "App"), line);
    QCOMPARE(columns.columnList, reported ? u"SysDatVersion,App,"_s : u"SysDatVersion,"_s);
    if (reported) // the column lists get the value itself, line breaks included
        QVERIFY(columns.valueList.endsWith(u"'"_s + current + u"',"_s));
    // One line per key whatever the value holds.
    QCOMPARE(file.serialize().count('\n'), 2);
}

void TestCollectData::allModeRewrites()
{
    ProfileFile file = profile("[SYSTEM]\r\nSysOS=P;20260101;080000;Debian\r\nSysUserName=\r\n"
                               "[APPLICATION_LINUX]\r\nApp=R;20260101;080000;HKEY_LOCAL_MACHINE;S;V;9.0\r\n"_ba);
    ColumnLists columns;
    QVERIFY(CollectData(file,
                        input(RunMode::All, {{u"SysOS"_s, u"Debian"_s}, {u"SysUserName"_s, {}}},
                              {appItem(u"App"_s, u"R"_s, u"9.0"_s)}),
                        columns));
    QCOMPARE(value(file, "SYSTEM", "SysOS"), u"P;20261207;101500;Debian"_s);
    QCOMPARE(value(file, "SYSTEM", "SysUserName"), u"P;20261207;101500;"_s);
    QCOMPARE(value(file, "APPLICATION_LINUX", "App"),
             u"R;20261207;101500;HKEY_LOCAL_MACHINE;SOFTWARE\\X;V;9.0"_s);
    QCOMPARE(columns.columnList, u"SysOS,SysUserName,SysDatVersion,App,"_s);
    QCOMPARE(columns.valueList, u"'Debian','','','9.0',"_s);
}

void TestCollectData::quotesInColumns()
{
    ProfileFile file = profile("[SYSTEM]\r\nSysUserName=\r\n"_ba);
    ColumnLists columns;
    CollectData(file, input(RunMode::Dif, {{u"SysUserName"_s, u"o'brien'); DROP TABLE x; --"_s}}),
                columns);
    QCOMPARE(columns.valueList, u"'o''brien''); DROP TABLE x; --','',"_s);
    QCOMPARE(columns.setList, u"SysUserName='o''brien''); DROP TABLE x; --',SysDatVersion='',"_s);
    // The file keeps the value as it is.
    QCOMPARE(value(file, "SYSTEM", "SysUserName"), u"P;20261207;101500;o'brien'); DROP TABLE x; --"_s);
}

QTEST_APPLESS_MAIN(TestCollectData)
#include "tst_collectdata.moc"
