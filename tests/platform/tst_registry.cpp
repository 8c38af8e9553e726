#include "common/codepage.h"
#include "platform/probes/dpkgstatus.h"
#include "platform/probes/regfile.h"
#include "platform/probes/registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headers_data();
    void headers();
    void values_data();
    void values();
    void continuationLines();
    void deletions();
    void hiveFilesInOrder();
    void rootNames_data();
    void rootNames();
    void liveKeys();
    void dpkgStatus();
};

namespace {

QByteArray utf16WithBom(const QString &text)
{
    return "\xFF\xFE"_ba + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

QByteArray wide(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

const RegOp *findValue(const RegFile &file, const QString &name)
{
    for (const RegOp &op : file.ops) {
        if (op.kind == RegOp::SetValue && op.valueName == name)
            return &op;
    }
    return nullptr;
}

} // namespace

void TestRegistry::headers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("version");

    const QString body = u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"A\"=\"1\"\r\n"_s;
    QTest::newRow("REGEDIT4 CP932") << "REGEDIT4"_ba + CodePage::toAnsi(body) << 4;
    QTest::newRow("version 5 UTF-16LE")
        << utf16WithBom(u"Windows Registry Editor Version 5.00"_s + body) << 5;
    QTest::newRow("version 5 CP932")
        << CodePage::toAnsi(QString(u"Windows Registry Editor Version 5.00"_s + body)) << 5;
    QTest::newRow("LF only") << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n\"A\"=\"1\"\n"_ba
                             << 4;
    QTest::newRow("comment before header") << "; exported\r\nREGEDIT4"_ba + CodePage::toAnsi(body)
                                           << 4;
    QTest::newRow("no header") << CodePage::toAnsi(body) << 0;
    QTest::newRow("other header") << "REGEDIT5"_ba + CodePage::toAnsi(body) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestRegistry::headers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, version);
    const RegFile file = RegFileParser::parse(bytes);
    QCOMPARE(file.ok, version != 0);
    QCOMPARE(file.version, version);
    if (version != 0) {
        const RegOp *value = findValue(file, u"A"_s);
        QVERIFY(value);
        QCOMPARE(value->keyPath, u"HKEY_LOCAL_MACHINE\\SOFTWARE\\T"_s);
    } else {
        QVERIFY(file.ops.isEmpty());
    }
}

void TestRegistry::values_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("wideString");

    const QString v4 = u"REGEDIT4"_s;
    const QString v5 = u"Windows Registry Editor Version 5.00"_s;
    QTest::newRow("string") << v4 << u"\"Name\"=\"テスト\""_s << u"Name"_s << 1u
                            << wide(u"テスト"_s) + QByteArray(2, '\0') << true;
    QTest::newRow("string escapes") << v5 << u"\"P\"=\"C:\\\\x \\\"q\\\"\""_s << u"P"_s << 1u
                                    << wide(u"C:\\x \"q\""_s) + QByteArray(2, '\0') << true;
    QTest::newRow("escaped value name") << v5 << u"\"a\\\\b\"=\"1\""_s << u"a\\b"_s << 1u
                                        << wide(u"1"_s) + QByteArray(2, '\0') << true;
    QTest::newRow("default value") << v4 << u"@=\"d\""_s << QString() << 1u
                                   << wide(u"d"_s) + QByteArray(2, '\0') << true;
    QTest::newRow("blanks around =") << v4 << u"\"N\" = dword:00000001"_s << u"N"_s << 4u
                                     << "\x01\0\0\0"_ba << false;
    QTest::newRow("dword") << v5 << u"\"D\"=dword:0000012c"_s << u"D"_s << 4u << "\x2c\x01\0\0"_ba
                           << false;
    QTest::newRow("dword upper case") << v5 << u"\"D\"=DWORD:FFFFFFFF"_s << u"D"_s << 4u
                                      << "\xff\xff\xff\xff"_ba << false;
    QTest::newRow("binary") << v4 << u"\"B\"=hex:01,af,00"_s << u"B"_s << 3u << "\x01\xaf\x00"_ba
                            << false;
    QTest::newRow("binary empty") << v4 << u"\"B\"=hex:"_s << u"B"_s << 3u << QByteArray() << false;
    QTest::newRow("expand v5 wide") << v5 << u"\"E\"=hex(2):25,00,41,00,25,00,00,00"_s << u"E"_s
                                    << 2u << "%\0A\0%\0\0\0"_ba << true;
    QTest::newRow("expand v4 ANSI") << v4 << u"\"E\"=hex(2):25,41,25,00"_s << u"E"_s << 2u
                                    << "%A%\0"_ba << false;
    QTest::newRow("multi v5 wide") << v5 << u"\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00"_s
                                   << u"M"_s << 7u << "a\0\0\0b\0\0\0\0\0"_ba << true;
    QTest::newRow("multi v4 ANSI") << v4 << u"\"M\"=hex(7):61,00,62,00,00"_s << u"M"_s << 7u
                                   << "a\0b\0\0"_ba << false;
    QTest::newRow("qword") << v5 << u"\"Q\"=hex(b):01,00,00,00,00,00,00,00"_s << u"Q"_s << 11u
                           << "\x01\0\0\0\0\0\0\0"_ba << false;
    QTest::newRow("none type") << v5 << u"\"Z\"=hex(0):"_s << u"Z"_s << 0u << QByteArray() << false;
}

void TestRegistry::values()
{
    QFETCH(QString, header);
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(quint32, type);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, wideString);
    const RegFile file = RegFileParser::parse(
        CodePage::toAnsi(QString(header + u"\r\n\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"_s + line + u"\r\n"_s)));
    QVERIFY(file.ok);
    const RegOp *value = findValue(file, name);
    QVERIFY(value);
    QCOMPARE(value->keyPath, u"HKEY_CURRENT_USER\\Software\\T"_s);
    QCOMPARE(value->data.type, type);
    QCOMPARE(value->data.bytes, bytes);
    QCOMPARE(value->data.wide, wideString);
}

void TestRegistry::continuationLines()
{
    const RegFile file = RegFileParser::parse(
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n"
        "\"Long\"=hex:01,02,\\\r\n  03,04,\\\r\n  05\r\n"
        "\"After\"=dword:00000007\r\n"
        "\"Text\"=\"ends in backslash \\\\\"\r\n"
        "\"Next\"=\"n\"\r\n"_ba);
    QVERIFY(file.ok);
    QCOMPARE(findValue(file, u"Long"_s)->data.bytes, "\x01\x02\x03\x04\x05"_ba);
    QCOMPARE(findValue(file, u"After"_s)->data.bytes, "\x07\0\0\0"_ba);
    // A string ending in a backslash is no continuation.
    QCOMPARE(findValue(file, u"Text"_s)->data.bytes,
             wide(u"ends in backslash \\"_s) + QByteArray(2, '\0'));
    QVERIFY(findValue(file, u"Next"_s));
}

void TestRegistry::deletions()
{
    const RegFile file = RegFileParser::parse(
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep]\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Gone\\Child]\r\n\"C\"=\"3\"\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Gone]\r\n\"Ignored\"=\"x\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep]\r\n\"B\"=-\r\n"
        "[HKEY_NOWHERE\\X]\r\n\"N\"=\"n\"\r\n"_ba);
    QVERIFY(file.ok);
    RegHive hive;
    hive.apply(file);
    QVERIFY(hive.hasKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep"_s));
    QVERIFY(hive.value(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep"_s, u"A"_s));
    QVERIFY(!hive.value(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep"_s, u"B"_s));
    QVERIFY(!hive.hasKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Gone"_s));
    QVERIFY(!hive.hasKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Gone\\Child"_s));
    // Values after a deleted key's header belong to no key.
    QVERIFY(!findValue(file, u"Ignored"_s));
    QVERIFY(!findValue(file, u"N"_s));
    // Ancestors exist; names ignore case; abbreviations of roots are understood.
    QVERIFY(hive.hasKey(u"hkey_local_machine\\software\\t"_s));
    QCOMPARE(RegFileParser::canonicalRoot(u"HKLM"), u"HKEY_LOCAL_MACHINE"_s);
    QCOMPARE(RegFileParser::canonicalRoot(u"hkcu"), u"HKEY_CURRENT_USER"_s);
    QCOMPARE(RegFileParser::canonicalRoot(u"HKEY_NOWHERE"), QString());
}

void TestRegistry::hiveFilesInOrder()
{
    QTemporaryDir system;
    QTemporaryDir program;
    writeFile(system.filePath(u"10-base.reg"_s),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"V\"=\"system\"\r\n"
              "\"Only\"=\"s\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"_ba);
    writeFile(program.filePath(u"a.reg"_s),
              utf16WithBom(u"Windows Registry Editor Version 5.00\r\n\r\n"
                           u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"V\"=\"program a\"\r\n"_s));
    writeFile(program.filePath(u"b.reg"_s),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"V\"=\"program b\"\r\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"_ba);
    writeFile(program.filePath(u"notes.txt"_s),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"V\"=\"not a hive\"\r\n"_ba);
    writeFile(program.filePath(u"c.reg"_s), "garbage\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bad]\r\n"_ba);

    Registry::Sources sources;
    sources.hiveFolders = {system.path(), program.path(), program.filePath(u"missing"_s)};
    sources.dpkgStatusPath = program.filePath(u"no-status"_s);
    sources.cpuInfo = [] { return CpuInfo{}; };
    const Registry registry(sources);
    const RegistryValue v =
        registry.queryValue(RegistryRoot::LocalMachine, u"SOFTWARE\\T"_s, u"V"_s);
    QVERIFY(v.found);
    QCOMPARE(v.type, 1u);
    QCOMPARE(v.bytes, "program b\0"_ba);
    QCOMPARE(registry.queryValue(RegistryRoot::LocalMachine, u"Software\\t"_s, u"ONLY"_s).bytes,
             "s\0"_ba);
    QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, u"SOFTWARE\\Old"_s));
    QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, u"SOFTWARE\\Bad"_s));
    QVERIFY(!registry.openKey(RegistryRoot::CurrentUser, u"SOFTWARE\\T"_s));
    QVERIFY(registry.openKey(RegistryRoot::LocalMachine, u"\\SOFTWARE\\T\\"_s));
}

void TestRegistry::rootNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("handle"); // 0: no root

    QTest::newRow("HKEY_CLASSES_ROOT") << u"HKEY_CLASSES_ROOT"_s << 0x80000000u;
    QTest::newRow("HKEY_CURRENT_USER") << u"HKEY_CURRENT_USER"_s << 0x80000001u;
    QTest::newRow("HKEY_LOCAL_MACHINE") << u"HKEY_LOCAL_MACHINE"_s << 0x80000002u;
    QTest::newRow("HKEY_USERS") << u"HKEY_USERS"_s << 0x80000003u;
    QTest::newRow("HKEY_PERFORMANCE_DATA") << u"HKEY_PERFORMANCE_DATA"_s << 0x80000004u;
    QTest::newRow("HKEY_CURRENT_CONFIG") << u"HKEY_CURRENT_CONFIG"_s << 0x80000005u;
    QTest::newRow("HKEY_DYN_DATA") << u"HKEY_DYN_DATA"_s << 0x80000006u;
    QTest::newRow("lower case") << u"hkey_local_machine"_s << 0u;
    QTest::newRow("abbreviation") << u"HKLM"_s << 0u;
    QTest::newRow("trailing blank") << u"HKEY_USERS "_s << 0u;
    QTest::newRow("empty") << QString() << 0u;
}

void TestRegistry::rootNames()
{
    QFETCH(QString, name);
    QFETCH(quint32, handle);
    const std::optional<RegistryRoot> root = Registry::rootFromName(name);
    QCOMPARE(root.has_value(), handle != 0);
    if (root)
        QCOMPARE(quint32(*root), handle);
}

void TestRegistry::liveKeys()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(u"status"_s),
              "Package: tarvo-demo\nStatus: install ok installed\nVersion: 1:2.3-4\n"
              "Description: x\n continued line\n\n"
              "Package: removed-one\nStatus: deinstall ok config-files\nVersion: 0.1\n\n"_ba);
    // A hive may add values to a live key; the live values win.
    writeFile(dir.filePath(u"x.reg"_s),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0]\r\n"
              "\"~MHz\"=dword:00000001\r\n\"Identifier\"=\"x86 Family 6\"\r\n"_ba);
    Registry::Sources sources;
    sources.hiveFolders = {dir.path()};
    sources.dpkgStatusPath = dir.filePath(u"status"_s);
    sources.cpuInfo = [] { return CpuInfo{2, 6, 158, 10, 2800, u"Model X"_s, u"GenuineIntel"_s}; };
    const Registry registry(sources);

    const QString cpu = u"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"_s;
    const RegistryValue mhz = registry.queryValue(RegistryRoot::LocalMachine, cpu, u"~mhz"_s);
    QCOMPARE(mhz.type, 4u);
    QCOMPARE(mhz.bytes, "\xf0\x0a\0\0"_ba);
    QCOMPARE(registry.queryValue(RegistryRoot::LocalMachine, cpu, u"ProcessorNameString"_s).bytes,
             "Model X\0"_ba);
    QCOMPARE(registry.queryValue(RegistryRoot::LocalMachine, cpu, u"Identifier"_s).bytes,
             "x86 Family 6\0"_ba);
    QVERIFY(registry.openKey(RegistryRoot::LocalMachine, u"HARDWARE\\DESCRIPTION"_s));

    const QString uninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"_s;
    QVERIFY(registry.openKey(RegistryRoot::LocalMachine, uninstall + u"tarvo-demo"_s));
    QVERIFY(registry.openKey(RegistryRoot::LocalMachine, uninstall + u"TARVO-DEMO"_s));
    QCOMPARE(registry.queryValue(RegistryRoot::LocalMachine, uninstall + u"tarvo-demo"_s,
                                 u"DisplayVersion"_s).bytes,
             "1:2.3-4\0"_ba);
    QCOMPARE(registry.queryValue(RegistryRoot::LocalMachine, uninstall + u"tarvo-demo"_s,
                                 u"DisplayName"_s).bytes,
             "tarvo-demo\0"_ba);
    QVERIFY(!registry.queryValue(RegistryRoot::LocalMachine, uninstall + u"tarvo-demo"_s,
                                 u"Publisher"_s).found);
    QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, uninstall + u"removed-one"_s));
    QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, uninstall + u"tarvo-demo\\Sub"_s));
    QVERIFY(!registry.openKey(RegistryRoot::CurrentUser, uninstall + u"tarvo-demo"_s));
}

void TestRegistry::dpkgStatus()
{
    const QHash<QByteArray, QByteArray> packages = DpkgStatus::parseInstalled(
        "Package: a\nStatus: install ok installed\nArchitecture: amd64\nVersion: 1.0\n\n"
        "Package: a\nStatus: install ok installed\nArchitecture: i386\nVersion: 0.9\n\n"
        "Package: b\nStatus: install ok half-configured\nVersion: 2.0\n\n"
        "Package: c\nVersion: 3.0\nStatus: hold ok installed\n"_ba);
    QCOMPARE(packages.value("a"), "1.0"_ba);
    QVERIFY(!packages.contains("b"));
    QCOMPARE(packages.value("c"), "3.0"_ba);
    QCOMPARE(packages.size(), 2);
}

QTEST_APPLESS_MAIN(TestRegistry)
#include "tst_registry.moc"
