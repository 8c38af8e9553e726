#include "collector/appitemevaluation.h"
#include "collector/registrytext.h"
#include "common/codepage.h"
#include "platform/probes/registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAppItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void valueText_data();
    void valueText();
    void registryItem_data();
    void registryItem();
    void fileItem_data();
    void fileItem();
    void evaluateKeepsOtherRows();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Registry> m_registry;
};

namespace {

QByteArray wide(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

AppItem item(const QString &id, const QString &keyOrFolder, const QString &subKeyOrFile,
             const QString &entry = {})
{
    AppItem row;
    row.column = u"Item"_s;
    row.id = id;
    row.date = u"YYYYMMDD"_s;
    row.time = u"HHMMSS"_s;
    row.keyOrFolder = keyOrFolder;
    row.subKeyOrFile = subKeyOrFile;
    row.valueEntry = entry;
    row.value = u"stored"_s;
    return row;
}

} // namespace

void TestAppItem::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).mkpath(u"registry"_s);
    QFile hive(m_dir.filePath(u"registry/app.reg"_s));
    QVERIFY(hive.open(QIODevice::WriteOnly));
    // A version 5 file in UTF-16LE, as regedit exports it.
    const QString text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                         u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo\\Test]\r\n"
                         u"\"Text\"=\"日本語 text\"\r\n"
                         u"\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
                         u"\"Count\"=dword:000000ff\r\n"
                         u"\"Ten\"=dword:0000000a\r\n"
                         u"\"List\"=hex(7):61,00,00,00,62,00,00,00,63,00,00,00,00,00\r\n"
                         u"\"Bin\"=hex:01,af,00\r\n"
                         u"\"Two\"=hex:01,02\r\n"
                         u"\"Quote\"=\"it's\"\r\n"
                         u"\"Big\"=hex:"_s
                         + QString(u"00,"_s).repeated(256) + u"00\r\n"_s
                         + u"\"Full\"=hex:"_s + QString(u"11,"_s).repeated(255) + u"11\r\n"_s
                         + u"\r\n[HKEY_CURRENT_USER\\Software\\Empty]\r\n"_s;
    QVERIFY(hive.write("\xFF\xFE" + wide(text)) > 0);
    hive.close();

    Registry::Sources sources;
    sources.hiveFolders = {m_dir.filePath(u"registry"_s)};
    sources.dpkgStatusPath = m_dir.filePath(u"status"_s);
    QFile status(sources.dpkgStatusPath);
    QVERIFY(status.open(QIODevice::WriteOnly));
    status.write("Package: tarvo-demo\nStatus: install ok installed\nVersion: 1.5.0-2\n\n");
    status.close();
    sources.cpuInfo = [] { return CpuInfo{4, 6, 158, 10, 2800, u"Test CPU"_s, u"GenuineIntel"_s}; };
    m_registry = std::make_unique<Registry>(sources);

    QDir(m_dir.path()).mkpath(u"files/folder"_s);
    QFile file(m_dir.filePath(u"files/present.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

void TestAppItem::valueText_data()
{
    QTest::addColumn<bool>("found");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("missing") << false << 0u << QByteArray() << u"取得できず"_s;
    QTest::newRow("REG_SZ") << true << 1u << "Version 9\0"_ba << u"Version 9"_s;
    QTest::newRow("REG_SZ CP932") << true << 1u << CodePage::toAnsi(u"日本語") + '\0'
                                  << u"日本語"_s;
    QTest::newRow("REG_SZ up to first NUL") << true << 1u << "ab\0cd\0"_ba << u"ab"_s;
    QTest::newRow("REG_SZ without NUL") << true << 1u << "abc"_ba << u"abc"_s;
    QTest::newRow("REG_EXPAND_SZ not expanded") << true << 2u << "%HOME%\\x\0"_ba
                                                << u"%HOME%\\x"_s;
    QTest::newRow("REG_DWORD 10") << true << 4u << "\x0a\0\0\0"_ba << u"0000000A"_s;
    QTest::newRow("REG_DWORD 255") << true << 4u << "\xff\0\0\0"_ba << u"000000FF"_s;
    QTest::newRow("REG_DWORD order") << true << 4u << "\x78\x56\x34\x12"_ba << u"12345678"_s;
    QTest::newRow("REG_MULTI_SZ") << true << 7u << "a\0b\0c\0\0"_ba << u"a\r\nb\r\nc"_s;
    QTest::newRow("REG_MULTI_SZ one") << true << 7u << "only\0\0"_ba << u"only"_s;
    QTest::newRow("REG_MULTI_SZ empty") << true << 7u << "\0"_ba << QString();
    QTest::newRow("REG_BINARY") << true << 3u << "\x01\xaf\x00"_ba << u"01 AF 00 "_s;
    QTest::newRow("REG_BINARY 1 2") << true << 3u << "\x01\x02"_ba << u"01 02 "_s;
    QTest::newRow("REG_BINARY empty") << true << 3u << QByteArray() << QString();
    QTest::newRow("REG_QWORD as bytes") << true << 11u << "\x01\0\0\0\0\0\0\0"_ba
                                        << u"01 00 00 00 00 00 00 00 "_s;
    QTest::newRow("256 bytes fit") << true << 3u << QByteArray(256, '\x10')
                                   << u"10 "_s.repeated(256);
    QTest::newRow("257 bytes do not") << true << 3u << QByteArray(257, '\x10') << u"取得できず"_s;
}

void TestAppItem::valueText()
{
    QFETCH(bool, found);
    QFETCH(quint32, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(RegistryText::valueText(RegistryValue{found, type, bytes}), text);
}

void TestAppItem::registryItem_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("subKey");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("value");

    const QString key = u"SOFTWARE\\Tarvo\\Test"_s;
    const QString hklm = u"HKEY_LOCAL_MACHINE"_s;
    QTest::newRow("existing key, no entry") << hklm << key << QString() << u"True"_s;
    QTest::newRow("key names ignore case") << hklm << u"software\\TARVO\\test"_s << QString()
                                           << u"True"_s;
    QTest::newRow("missing key, no entry") << hklm << u"SOFTWARE\\Nothing"_s << QString()
                                           << u"False"_s;
    QTest::newRow("empty key in other root") << u"HKEY_CURRENT_USER"_s << u"Software\\Empty"_s
                                             << QString() << u"True"_s;
    QTest::newRow("missing key with entry") << hklm << u"SOFTWARE\\Nothing"_s << u"Version"_s
                                            << u"オープンできず"_s;
    QTest::newRow("missing value") << hklm << key << u"Nothing"_s << u"取得できず"_s;
    QTest::newRow("REG_SZ from UTF-16 hive") << hklm << key << u"Text"_s << u"日本語 text"_s;
    QTest::newRow("value names ignore case") << hklm << key << u"tEXT"_s << u"日本語 text"_s;
    QTest::newRow("REG_EXPAND_SZ") << hklm << key << u"Path"_s << u"%HOME%"_s;
    QTest::newRow("REG_DWORD") << hklm << key << u"Count"_s << u"000000FF"_s;
    QTest::newRow("REG_DWORD 10") << hklm << key << u"Ten"_s << u"0000000A"_s;
    QTest::newRow("REG_MULTI_SZ") << hklm << key << u"List"_s << u"a\r\nb\r\nc"_s;
    QTest::newRow("REG_BINARY") << hklm << key << u"Bin"_s << u"01 AF 00 "_s;
    QTest::newRow("REG_BINARY 1 2") << hklm << key << u"Two"_s << u"01 02 "_s;
    QTest::newRow("256 bytes") << hklm << key << u"Full"_s << u"11 "_s.repeated(256);
    QTest::newRow("257 bytes") << hklm << key << u"Big"_s << u"取得できず"_s;
    QTest::newRow("root name is exact") << u"hkey_local_machine"_s << key << QString()
                                        << u"False"_s;
    QTest::newRow("abbreviated root") << u"HKLM"_s << key << u"Count"_s << u"オープンできず"_s;
    QTest::newRow("no root") << QString() << key << QString() << u"False"_s;
    QTest::newRow("root alone") << hklm << QString() << QString() << u"True"_s;
    QTest::newRow("package version")
        << hklm << u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarvo-demo"_s
        << u"DisplayVersion"_s << u"1.5.0-2"_s;
    QTest::newRow("package name")
        << hklm << u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarvo-demo"_s
        << u"DisplayName"_s << u"tarvo-demo"_s;
    QTest::newRow("package not installed")
        << hklm << u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\absent-package"_s
        << u"DisplayVersion"_s << u"オープンできず"_s;
    QTest::newRow("processor clock")
        << hklm << u"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"_s << u"~MHz"_s
        << u"00000AF0"_s;
    QTest::newRow("processor name")
        << hklm << u"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"_s
        << u"ProcessorNameString"_s << u"Test CPU"_s;
}

void TestAppItem::registryItem()
{
    QFETCH(QString, root);
    QFETCH(QString, subKey);
    QFETCH(QString, entry);
    QFETCH(QString, value);
    QCOMPARE(evaluateRegistryItem(item(u"R"_s, root, subKey, entry), *m_registry), value);
}

void TestAppItem::fileItem_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("value");

    const QString files = m_dir.filePath(u"files"_s);
    QTest::newRow("existing file") << files << u"present.txt"_s << u"True"_s;
    QTest::newRow("folder with trailing separator") << files + u'/' << u"present.txt"_s
                                                    << u"True"_s;
    QTest::newRow("missing file") << files << u"absent.txt"_s << u"False"_s;
    QTest::newRow("a folder is not a readable file") << files << u"folder"_s << u"False"_s;
    QTest::newRow("existing folder, empty file") << files + u"/folder"_s << QString() << u"True"_s;
    QTest::newRow("existing file as folder field") << files + u"/present.txt"_s << QString()
                                                   << u"True"_s;
    QTest::newRow("missing folder") << files + u"/nothing"_s << QString() << u"False"_s;
    QTest::newRow("missing folder with file") << files + u"/nothing"_s << u"present.txt"_s
                                              << u"False"_s;
    QTest::newRow("wildcard match") << files + u"/pres*.txt"_s << QString() << u"True"_s;
    QTest::newRow("wildcard no match") << files + u"/*.doc"_s << QString() << u"False"_s;
    QTest::newRow("empty folder field") << QString() << QString() << u"False"_s;
}

void TestAppItem::fileItem()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, value);
    QCOMPARE(evaluateFileItem(item(u"F"_s, folder, file)), value);
}

void TestAppItem::evaluateKeepsOtherRows()
{
    QList<AppItem> rows = {
        item(u"R"_s, u"HKEY_LOCAL_MACHINE"_s, u"SOFTWARE\\Tarvo\\Test"_s, u"Count"_s),
        item(u"F"_s, m_dir.filePath(u"files"_s), u"present.txt"_s),
        item(u"X"_s, u"HKEY_LOCAL_MACHINE"_s, u"SOFTWARE\\Tarvo\\Test"_s, u"Count"_s),
        item(u"r"_s, u"HKEY_LOCAL_MACHINE"_s, u"SOFTWARE\\Tarvo\\Test"_s, u"Count"_s),
    };
    EvaluateAppItems(rows, *m_registry);
    QCOMPARE(rows[0].value, u"000000FF"_s);
    QCOMPARE(rows[1].value, u"True"_s);
    QCOMPARE(rows[2].value, u"stored"_s);
    QCOMPARE(rows[3].value, u"stored"_s);
    // Date and time stay as loaded: the collection step stamps what it writes.
    QCOMPARE(rows[0].date, u"YYYYMMDD"_s);
    QCOMPARE(rows[1].time, u"HHMMSS"_s);
}

QTEST_APPLESS_MAIN(TestAppItem)
#include "tst_appitem.moc"
