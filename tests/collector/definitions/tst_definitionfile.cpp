#include "collector/definitions/appitem.h"
#include "collector/definitions/definitionfile.h"
#include "common/codepage.h"
#include "common/profilefile.h"
#include "platform/probes/registry.h"
#include "platform/probes/sysinfo.h"

#include <QFile>

#include <QTest>

using namespace Qt::StringLiterals;

class TestDefinitionFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sectionForOs_data();
    void sectionForOs();
    void splitFields_data();
    void splitFields();
    void storedValue_data();
    void storedValue();
    void escapedValue_data();
    void escapedValue();
    void readBack_data();
    void readBack();
    void loadAppItems_data();
    void loadAppItems();
    void appLineRoundTrip_data();
    void appLineRoundTrip();
    void keyListBuffer();
    void runStamp();
    void packagedFile();
};

void TestDefinitionFile::sectionForOs_data()
{
    QTest::addColumn<int>("platformId");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("section");

    QTest::newRow("95") << 1 << 4 << 0 << u"APPLICATION_9x"_s;
    QTest::newRow("98") << 1 << 4 << 10 << u"APPLICATION_9x"_s;
    QTest::newRow("Me") << 1 << 4 << 90 << u"APPLICATION_ME"_s;
    QTest::newRow("Me any major") << 1 << 7 << 90 << u"APPLICATION_ME"_s;
    QTest::newRow("NT 4") << 2 << 4 << 0 << u"APPLICATION_NT"_s;
    QTest::newRow("NT 4 minor 1") << 2 << 4 << 1 << u"APPLICATION_NT"_s;
    QTest::newRow("2000") << 2 << 5 << 0 << u"APPLICATION_2K"_s;
    QTest::newRow("XP") << 2 << 5 << 1 << u"APPLICATION_XP"_s;
    QTest::newRow("2003 (5.2)") << 2 << 5 << 2 << QString();
    QTest::newRow("Vista (6.0)") << 2 << 6 << 0 << QString();
    QTest::newRow("NT 3.51") << 2 << 3 << 51 << QString();
    QTest::newRow("Win32s") << 0 << 3 << 10 << QString();
}

void TestDefinitionFile::sectionForOs()
{
    QFETCH(int, platformId);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, section);
    QCOMPARE(DefinitionFile::SectionForOs(platformId, major, minor), section);
}

void TestDefinitionFile::splitFields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("system line") << u"P;20040312;093015;Windows XP"_s << 4
                                 << QStringList{u"P"_s, u"20040312"_s, u"093015"_s, u"Windows XP"_s};
    QTest::newRow("system value with ;") << u"P;20040312;093015;a;b;c"_s << 4
                                         << QStringList{u"P"_s, u"20040312"_s, u"093015"_s, u"a;b;c"_s};
    QTest::newRow("console placeholder")
        << u"R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Example\\Office;Version;"_s << 7
        << QStringList{u"R"_s, u"YYYYMMDD"_s, u"HHMMSS"_s, u"HKEY_LOCAL_MACHINE"_s,
                       u"SOFTWARE\\Example\\Office"_s, u"Version"_s, QString()};
    QTest::newRow("app value with ;") << u"F;20040312;093015;/opt;x;;1;2;3"_s << 7
                                      << QStringList{u"F"_s, u"20040312"_s, u"093015"_s, u"/opt"_s,
                                                     u"x"_s, QString(), u"1;2;3"_s};
    QTest::newRow("too few fields") << u"F;20040312;093015;/opt"_s << 7
                                    << QStringList{u"F"_s, u"20040312"_s, u"093015"_s, u"/opt"_s,
                                                   QString(), QString(), QString()};
    QTest::newRow("empty line") << QString() << 4
                                << QStringList{QString(), QString(), QString(), QString()};
    QTest::newRow("no separator") << u"garbage"_s << 4
                                  << QStringList{u"garbage"_s, QString(), QString(), QString()};
}

void TestDefinitionFile::splitFields()
{
    QFETCH(QString, line);
    QFETCH(int, count);
    QFETCH(QStringList, fields);
    QCOMPARE(DefinitionFile::splitFields(line, count), fields);
}

void TestDefinitionFile::storedValue_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("separators");
    QTest::addColumn<QString>("value");

    QTest::newRow("system") << u"P;20040312;093015;Windows XP"_s << 3 << u"Windows XP"_s;
    QTest::newRow("system keeps ;") << u"P;20040312;093015;x;y"_s << 3 << u"x;y"_s;
    QTest::newRow("system leading blank kept") << u"P;20040312;093015; 0Bytes"_s << 3
                                               << u" 0Bytes"_s;
    QTest::newRow("system empty value") << u"P;20040312;093015;"_s << 3 << QString();
    QTest::newRow("empty line") << QString() << 3 << QString();
    QTest::newRow("short line") << u"P;20040312"_s << 3 << QString();
    QTest::newRow("app") << u"R;20040312;093015;HKEY_LOCAL_MACHINE;SOFTWARE\\X;Version;9.0"_s << 6
                         << u"9.0"_s;
    QTest::newRow("app placeholder") << u"R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;S;V;"_s << 6
                                     << QString();
    QTest::newRow("app keeps ;") << u"F;d;t;/a;b;;x;y;z"_s << 6 << u"x;y;z"_s;
}

void TestDefinitionFile::storedValue()
{
    QFETCH(QString, line);
    QFETCH(int, separators);
    QFETCH(QString, value);
    QCOMPARE(DefinitionFile::storedValue(line, separators), value);
}

void TestDefinitionFile::escapedValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");

    QTest::newRow("plain") << u"Windows XP"_s << u"Windows XP"_s;
    QTest::newRow("inner backslash untouched") << u"C:\\Program Files\\"_s
                                               << u"C:\\Program Files\\"_s;
    QTest::newRow("multi-string") << u"a\r\nb\r\nc"_s << u"\\a\\r\\nb\\r\\nc"_s;
    QTest::newRow("lone LF") << u"a\nb"_s << u"\\a\\nb"_s;
    QTest::newRow("leading backslash") << u"\\\\server\\share"_s << u"\\\\\\\\\\server\\\\share"_s;
    QTest::newRow("multi-string with backslash") << u"C:\\x\r\nD:\\y"_s
                                                 << u"\\C:\\\\x\\r\\nD:\\\\y"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestDefinitionFile::escapedValue()
{
    QFETCH(QString, value);
    QFETCH(QString, stored);
    const QString escaped = DefinitionFile::escapeValue(value);
    QCOMPARE(escaped, stored);
    QVERIFY(!escaped.contains(u'\r') && !escaped.contains(u'\n'));
    QCOMPARE(DefinitionFile::unescapeValue(escaped), value);
}

void TestDefinitionFile::readBack_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unchanged") << u"P;20040312;093015;abc"_s << u"P;20040312;093015;abc"_s;
    QTest::newRow("trailing blanks dropped") << u"P;20040312;093015;abc  "_s
                                             << u"P;20040312;093015;abc"_s;
    QTest::newRow("inner leading blank kept") << u"P;20040312;093015; 0Bytes"_s
                                              << u"P;20040312;093015; 0Bytes"_s;
    const QString longValue(300, u'x');
    QTest::newRow("300 characters cut to 254") << longValue << QString(254, u'x');
    // 127 double-byte characters fill 254 bytes; one more does not fit even in half.
    QTest::newRow("double-byte cut") << QString(130, u'あ') << QString(127, u'あ');
}

void TestDefinitionFile::readBack()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(DefinitionFile::readBack(line), expected);

    // The same as a real write and re-read of the file.
    ProfileFile file;
    file.setValue("SYSTEM", "SysOS", CodePage::toAnsi(line));
    ProfileFile reread;
    reread.parse(file.serialize());
    QCOMPARE(CodePage::fromAnsi(reread.value("SYSTEM", "SysOS")), expected);
}

void TestDefinitionFile::loadAppItems_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("row"); // column, id, date, time, key, subkey, entry, value

    QTest::newRow("console definition")
        << "[APPLICATION_LINUX]\r\nOfficeVersion=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;"
           "SOFTWARE\\Example\\Office;Version;\r\n"_ba
        << QStringList{u"OfficeVersion"_s, u"R"_s, u"YYYYMMDD"_s, u"HHMMSS"_s,
                       u"HKEY_LOCAL_MACHINE"_s, u"SOFTWARE\\Example\\Office"_s, u"Version"_s,
                       QString()};
    QTest::newRow("after a run")
        << "[APPLICATION_LINUX]\r\nOfficeVersion=R;20040312;093015;HKEY_LOCAL_MACHINE;"
           "SOFTWARE\\Example\\Office;Version;9.0\r\n"_ba
        << QStringList{u"OfficeVersion"_s, u"R"_s, u"20040312"_s, u"093015"_s,
                       u"HKEY_LOCAL_MACHINE"_s, u"SOFTWARE\\Example\\Office"_s, u"Version"_s,
                       u"9.0"_s};
    QTest::newRow("fields trimmed")
        << "[APPLICATION_LINUX]\r\n  Tool  = F ; 20040312 ; 093015 ; /opt/tool ; run.sh ;  ; True \r\n"_ba
        << QStringList{u"Tool"_s, u"F"_s, u"20040312"_s, u"093015"_s, u"/opt/tool"_s,
                       u"run.sh"_s, QString(), u"True"_s};
    QTest::newRow("value with ;")
        << "[APPLICATION_LINUX]\r\nPath=R;20040312;093015;HKEY_LOCAL_MACHINE;S;P;a;b\r\n"_ba
        << QStringList{u"Path"_s, u"R"_s, u"20040312"_s, u"093015"_s, u"HKEY_LOCAL_MACHINE"_s,
                       u"S"_s, u"P"_s, u"a;b"_s};
    QTest::newRow("escaped multi-string")
        << "[APPLICATION_LINUX]\r\nList=R;20040312;093015;HKEY_LOCAL_MACHINE;S;L;\\a\\r\\nb\r\n"_ba
        << QStringList{u"List"_s, u"R"_s, u"20040312"_s, u"093015"_s, u"HKEY_LOCAL_MACHINE"_s,
                       u"S"_s, u"L"_s, u"a\r\nb"_s};
    QTest::newRow("short line")
        << "[APPLICATION_LINUX]\r\nOdd=F;20040312\r\n"_ba
        << QStringList{u"Odd"_s, u"F"_s, u"20040312"_s, QString(), QString(), QString(),
                       QString(), QString()};
    QTest::newRow("CP932 value")
        << "[APPLICATION_LINUX]\r\nName=X;20040312;093015;;;;"_ba + CodePage::toAnsi(u"取得できず")
               + "\r\n"_ba
        << QStringList{u"Name"_s, u"X"_s, u"20040312"_s, u"093015"_s, QString(), QString(),
                       QString(), u"取得できず"_s};
}

void TestDefinitionFile::loadAppItems()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, row);
    ProfileFile definitions;
    definitions.parse(file);
    const QList<AppItem> items = LoadAppItems(definitions, u"APPLICATION_LINUX"_s);
    QCOMPARE(items.size(), 1);
    const AppItem &item = items.first();
    QCOMPARE((QStringList{item.column, item.id, item.date, item.time, item.keyOrFolder,
                          item.subKeyOrFile, item.valueEntry, item.value}),
             row);
    // No section, no items.
    QVERIFY(LoadAppItems(definitions, QString()).isEmpty());
    QVERIFY(LoadAppItems(definitions, u"APPLICATION_XP"_s).isEmpty());
}

void TestDefinitionFile::appLineRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << u"9.0"_s;
    QTest::newRow("semicolons") << u"x;y;;z"_s;
    QTest::newRow("multi-string") << u"first\r\nsecond\r\nthird"_s;
    QTest::newRow("backslashes") << u"\\\\host\\share\\"_s;
    QTest::newRow("Japanese") << u"オープンできず"_s;
}

void TestDefinitionFile::appLineRoundTrip()
{
    QFETCH(QString, value);
    AppItem item;
    item.column = u"Item"_s;
    item.id = u"R"_s;
    item.keyOrFolder = u"HKEY_LOCAL_MACHINE"_s;
    item.subKeyOrFile = u"SOFTWARE\\Tarvo"_s;
    item.valueEntry = u"Value"_s;
    item.value = value;

    ProfileFile written;
    written.setValue("APPLICATION_LINUX", "Item",
                     CodePage::toAnsi(item.line(u"20261207"_s, u"101500"_s)));
    const QByteArray bytes = written.serialize();
    QCOMPARE(bytes.count('\n'), 2); // header and one line: the value stays on its line

    ProfileFile reread;
    reread.parse(bytes);
    const QList<AppItem> items = LoadAppItems(reread, u"APPLICATION_LINUX"_s);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].value, value);
    QCOMPARE(items[0].date, u"20261207"_s);
    QCOMPARE(items[0].time, u"101500"_s);
    QCOMPARE(items[0].subKeyOrFile, u"SOFTWARE\\Tarvo"_s);
}

void TestDefinitionFile::keyListBuffer()
{
    // 1,000 keys of 11 characters and a NUL each fill 12,000 bytes: only what fits in the
    // 10,240-byte key list is seen.
    QByteArray text = "[SYSTEM]\r\n"_ba;
    for (int i = 0; i < 1000; ++i)
        text += "Key" + QByteArray::number(i).rightJustified(8, '0') + "=P;1;2;v\r\n";
    ProfileFile file;
    file.parse(text);
    const QList<QByteArray> keys = DefinitionFile::sectionKeys(file, "system");
    // 853 names and their NULs take 10,236 bytes; the cut remainder of the next is no key.
    QCOMPARE(keys.size(), 853);
    QCOMPARE(keys.first(), "Key00000000"_ba);
    QCOMPARE(keys.last(), "Key00000852"_ba);
    QVERIFY(DefinitionFile::sectionKeys(file, "APPLICATION_LINUX").isEmpty());
}

void TestDefinitionFile::runStamp()
{
    const QDateTime when(QDate(2004, 3, 12), QTime(9, 30, 15));
    QCOMPARE(DefinitionFile::runDate(when), u"20040312"_s);
    QCOMPARE(DefinitionFile::runTime(when), u"093015"_s);
    QCOMPARE(DefinitionFile::runTime(QDateTime(QDate(2004, 3, 12), QTime(23, 5, 0))),
             u"230500"_s);
}

void TestDefinitionFile::packagedFile()
{
    QFile raw(QStringLiteral(TARVO_SOURCE_DIR) + u"/packaging/TarvoInfo.dat"_s);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    bool ok = false;
    CodePage::fromAnsi(bytes, &ok);
    QVERIFY(ok);

    ProfileFile file;
    file.parse(bytes);
    QStringList keys;
    for (const QByteArray &key : DefinitionFile::sectionKeys(file, DefinitionFile::SystemSection))
        keys << QString::fromLatin1(key);
    QStringList names;
    for (const SystemItem &item : SysInfo::collectSystemItems())
        names << item.name;
    QCOMPARE(keys, names);
    QCOMPARE(file.value("DAT", "SysDatVersion").size(), 14);

    const QList<AppItem> items = LoadAppItems(file, DefinitionFile::applicationSection());
    QVERIFY(items.size() >= 3);
    for (const AppItem &item : items) {
        QVERIFY2(item.id == u"R" || item.id == u"F", qPrintable(item.column));
        if (item.id == u"R")
            QVERIFY2(Registry::rootFromName(item.keyOrFolder), qPrintable(item.column));
        QCOMPARE(item.date, u"YYYYMMDD"_s);
        QCOMPARE(item.value, QString());
    }
}

QTEST_APPLESS_MAIN(TestDefinitionFile)
#include "tst_definitionfile.moc"
