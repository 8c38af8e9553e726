// Runs the real TarvoInfo in a temporary program folder and checks what it leaves there.
#include "common/codepage.h"
#include "common/profilefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCollectionPass : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void firstRun();
    void applicationValues_data();
    void applicationValues();
    void secondRunReportsChanges_data();
    void secondRunReportsChanges();
    void allModeRewritesEverything();
    void missingDefinitionFile();
    void switchesOffWriteOnlyTheDefinitionFile();

private:
    void run(const QStringList &arguments = {});
    ProfileFile definitions() const;
    QString value(const char *section, const QByteArray &key) const;
    // Sets the date and time of every stored line to 20000101;000000, so that a later run
    // shows which lines it rewrote.
    void ageStamps();

    QString m_program;
    std::unique_ptr<QTemporaryDir> m_dir;
    QDateTime m_before;
    QDateTime m_after;
};

namespace {

const QStringList SystemItems = {
    u"SysOS"_s, u"SysOSVersion"_s, u"SysOSBuildNumber"_s, u"SysOSServicePack"_s,
    u"SysUserName"_s, u"SysWindowsDirectory"_s, u"SysSystemDirectory"_s,
    u"SysTemporaryDirectory"_s, u"SysKeyboard"_s, u"SysFunctionKeys"_s, u"SysComputerName"_s,
    u"SysProcessors"_s, u"SysProcessorType"_s, u"SysProcessorSpeed"_s, u"SysProcessorLevel"_s,
    u"SysProcessorRevision"_s, u"SysPhisicalMemory"_s, u"SysPhisicalMemoryAvail"_s,
    u"SysPageFile"_s, u"SysPageFileAvail"_s, u"SysVirtualMemory"_s, u"SysVirtualMemoryAvail"_s,
    u"SysMemoryLoad"_s, u"SysTickCount"_s, u"SysDefaultPrinter"_s, u"SysMicrosoftNetwork"_s,
    u"SysMicrosoftNetworkType"_s, u"SysScreenResolution"_s, u"SysNetAdapter"_s,
    u"SysMACAddress"_s, u"SysIPAddress"_s, u"SysSubnetMasks"_s, u"SysGatewayAddress"_s,
    u"SysDNSAddress"_s, u"SysHostName"_s, u"SysDomainName"_s, u"SysDHCPAddress"_s,
    u"SysPriWINSAddress"_s, u"SysSecWINSAddress"_s, u"SysDHCPGetLease"_s,
    u"SysDHCPExpireLease"_s,
};

const QStringList AppKeys = {
    u"AppVersion"_s, u"AppName"_s, u"AppBuild"_s, u"AppPaths"_s, u"AppRaw"_s, u"AppKey"_s,
    u"AppNoKey"_s, u"AppMissingKey"_s, u"AppMissingValue"_s, u"AppLibc"_s, u"RegFolder"_s,
    u"RegFile"_s, u"NoFile"_s, u"Note"_s,
};

QStringList driveKeys()
{
    QStringList keys;
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        const QString base = u"SysDrive"_s + QChar(letter);
        keys << base << base + u"Volume"_s << base + u"File"_s << base + u"Total"_s
             << base + u"Free"_s;
    }
    return keys;
}

const QString OldStamp = u"20000101;000000"_s;

bool copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to) && QFile::setPermissions(to, QFile::permissions(from));
}

QString dpkgVersion(const QString &package)
{
    QProcess query;
    query.start(u"dpkg-query"_s, {u"-W"_s, u"-f"_s, u"${Version}"_s, package});
    if (!query.waitForFinished(30000) || query.exitCode() != 0)
        return {};
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

} // namespace

void TestCollectionPass::initTestCase()
{
    m_program = QStringLiteral(TARVO_BIN_DIR) + u"/TarvoInfo"_s;
    QVERIFY2(QFileInfo::exists(m_program), "build the TarvoInfo target before this test");
}

void TestCollectionPass::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString fixtures = QStringLiteral(TARVO_FIXTURES_DIR) + u"/collector/"_s;
    QVERIFY(copyFile(m_program, m_dir->filePath(u"TarvoInfo"_s)));
    QVERIFY(copyFile(fixtures + u"TarvoInfo.dat"_s, m_dir->filePath(u"TarvoInfo.dat"_s)));
    QVERIFY(copyFile(fixtures + u"TarvoAgent.ini"_s, m_dir->filePath(u"TarvoAgent.ini"_s)));
    QVERIFY(QDir(m_dir->path()).mkdir(u"registry"_s));
    QVERIFY(copyFile(fixtures + u"registry/tarvo-test.reg"_s,
                     m_dir->filePath(u"registry/tarvo-test.reg"_s)));
}

void TestCollectionPass::run(const QStringList &arguments)
{
    QProcess process;
    // Started from elsewhere: the program must find its files in its own folder.
    process.setWorkingDirectory(QDir::tempPath());
    m_before = QDateTime::currentDateTime();
    process.start(m_dir->filePath(u"TarvoInfo"_s), arguments);
    QVERIFY(process.waitForFinished(30000));
    m_after = QDateTime::currentDateTime();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

ProfileFile TestCollectionPass::definitions() const
{
    ProfileFile file(m_dir->filePath(u"TarvoInfo.dat"_s));
    file.load();
    return file;
}

QString TestCollectionPass::value(const char *section, const QByteArray &key) const
{
    return CodePage::fromAnsi(definitions().value(section, key));
}

void TestCollectionPass::ageStamps()
{
    QFile file(m_dir->filePath(u"TarvoInfo.dat"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    static const QRegularExpression stamp(u"^([A-Za-z0-9_]+=[A-Z]);\\d{8};\\d{6};"_s,
                                          QRegularExpression::MultilineOption);
    QString text = QString::fromLatin1(bytes);
    text.replace(stamp, u"\\1;"_s + OldStamp + u';');
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toLatin1());
}

void TestCollectionPass::firstRun()
{
    run();
    const ProfileFile file = definitions();
    static const QRegularExpression line(u"^P;(\\d{8});(\\d{6});(.*)$"_s);
    int written = 0;
    for (const QString &item : SystemItems) {
        const QString stored = CodePage::fromAnsi(file.value("SYSTEM", CodePage::toAnsi(item)));
        if (stored.isEmpty())
            continue; // an empty current value is not reported on a fresh file
        const QRegularExpressionMatch match = line.match(stored);
        QVERIFY2(match.hasMatch(), qPrintable(item + u": "_s + stored));
        const QDateTime stamp = QDateTime::fromString(match.captured(1) + match.captured(2),
                                                      u"yyyyMMddHHmmss"_s);
        QVERIFY(stamp >= m_before.addSecs(-1) && stamp <= m_after);
        QVERIFY2(!match.captured(3).isEmpty(), qPrintable(item));
        ++written;
    }
    // Linux always gives these.
    for (const char *item : {"SysOS", "SysComputerName", "SysMACAddress", "SysPhisicalMemory",
                             "SysTickCount", "SysTemporaryDirectory"})
        QVERIFY2(!value("SYSTEM", item).isEmpty(), item);
    QVERIFY(written >= 6);

    // Every drive key exists; drive C is the root file system.
    for (const QString &key : driveKeys())
        QVERIFY2(file.containsKey("SYSTEM", key.toLatin1()), qPrintable(key));
    QVERIFY(line.match(value("SYSTEM", "SysDriveC")).captured(3) == u"FIXED"_s);
    QCOMPARE(line.match(value("SYSTEM", "SysDriveZTotal")).captured(3), u" 0Bytes"_s);

    // What the collector does not own stays as it was.
    QCOMPARE(value("SYSTEM", "NotAnItem"), u"P;20000101;000000;kept"_s);
    QCOMPARE(value("DAT", "SysDatVersion"), u"20261201093000"_s);
    QCOMPARE(value("APPLICATION_LINUX", "Note"), u"X;YYYYMMDD;HHMMSS;;;;メモ;その二"_s);

    // CP932 with CR LF throughout, the comment line kept.
    QFile raw(m_dir->filePath(u"TarvoInfo.dat"_s));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QVERIFY(bytes.startsWith(CodePage::toAnsi(u"; 収集定義（テスト用）\r\n")));
}

void TestCollectionPass::applicationValues_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("value"); // the stored value after the run

    QTest::newRow("REG_SZ") << "AppVersion"_ba << u"2.1"_s;
    QTest::newRow("REG_SZ CP932") << "AppName"_ba << u"テスト"_s;
    QTest::newRow("REG_DWORD") << "AppBuild"_ba << u"0000012C"_s;
    QTest::newRow("REG_MULTI_SZ escaped") << "AppPaths"_ba << u"\\a\\r\\nb"_s;
    QTest::newRow("REG_BINARY, trailing blank dropped") << "AppRaw"_ba << u"01 02 03"_s;
    QTest::newRow("key exists") << "AppKey"_ba << u"True"_s;
    QTest::newRow("key missing") << "AppNoKey"_ba << u"False"_s;
    QTest::newRow("key cannot be opened") << "AppMissingKey"_ba << u"オープンできず"_s;
    QTest::newRow("value missing") << "AppMissingValue"_ba << u"取得できず"_s;
    QTest::newRow("installed package") << "AppLibc"_ba << dpkgVersion(u"libc6"_s);
    QTest::newRow("folder") << "RegFolder"_ba << u"True"_s;
    QTest::newRow("file") << "RegFile"_ba << u"True"_s;
    QTest::newRow("missing file") << "NoFile"_ba << u"False"_s;
}

void TestCollectionPass::applicationValues()
{
    QFETCH(QByteArray, key);
    QFETCH(QString, value);
    QVERIFY(!value.isEmpty());
    run();
    const QString line = this->value("APPLICATION_LINUX", key);
    static const QRegularExpression stamp(u"^[RF];(\\d{8});(\\d{6});"_s);
    QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
    QCOMPARE(line.section(u';', 6), value);
    // The definition fields are written back as loaded.
    const QString fresh = CodePage::fromAnsi(readProfileString(
        QStringLiteral(TARVO_FIXTURES_DIR) + u"/collector/TarvoInfo.dat"_s, "APPLICATION_LINUX", key));
    QCOMPARE(line.section(u';', 3, 5), fresh.section(u';', 3, 5));
}

void TestCollectionPass::secondRunReportsChanges_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no argument") << QStringList{};
    QTest::newRow("lower-case all means DIF") << QStringList{u"all"_s};
    QTest::newRow("DIF") << QStringList{u"DIF"_s};
}

void TestCollectionPass::secondRunReportsChanges()
{
    QFETCH(QStringList, arguments);
    run();
    ageStamps();
    // Change what the next run will see: a stored system value, a registry value, a file.
    ProfileFile file = definitions();
    file.setValue("SYSTEM", "SysOS", "P;20000101;000000;Windows 95"_ba);
    QVERIFY(file.save());
    QFile hive(m_dir->filePath(u"registry/tarvo-test.reg"_s));
    QVERIFY(hive.open(QIODevice::Append));
    hive.write("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TarvoTest\\App]\r\n\"Version\"=\"2.2\"\r\n");
    hive.close();
    QFile created(m_dir->filePath(u"registry/absent.reg"_s));
    QVERIFY(created.open(QIODevice::WriteOnly));
    created.close();

    run(arguments);
    const QString fresh = u"^[A-Z];\\d{8};\\d{6};"_s;
    QVERIFY(!value("SYSTEM", "SysOS").startsWith(u"P;"_s + OldStamp));
    QVERIFY(value("SYSTEM", "SysOS") != u"P;20000101;000000;Windows 95"_s);
    QCOMPARE(value("APPLICATION_LINUX", "AppVersion").section(u';', 6), u"2.2"_s);
    QVERIFY(!value("APPLICATION_LINUX", "AppVersion").contains(OldStamp));
    QCOMPARE(value("APPLICATION_LINUX", "NoFile").section(u';', 6), u"True"_s);
    QVERIFY(!value("APPLICATION_LINUX", "NoFile").contains(OldStamp));

    // Unchanged values keep the stamp of the run that reported them.
    for (const char *key : {"AppName", "AppBuild", "AppPaths", "AppRaw", "AppKey", "AppNoKey",
                            "AppMissingKey", "AppMissingValue", "AppLibc", "RegFolder",
                            "RegFile"})
        QVERIFY2(value("APPLICATION_LINUX", key).contains(OldStamp), key);
    for (const char *key : {"SysComputerName", "SysProcessors", "SysMACAddress",
                            "SysWindowsDirectory", "SysDriveA", "SysDriveAVolume",
                            "SysDriveZTotal", "SysDriveC", "SysDriveCFile"})
        QVERIFY2(value("SYSTEM", key).startsWith(u"P;"_s + OldStamp), key);
    QCOMPARE(value("APPLICATION_LINUX", "Note"), u"X;YYYYMMDD;HHMMSS;;;;メモ;その二"_s);
}

void TestCollectionPass::allModeRewritesEverything()
{
    run();
    ageStamps();
    run({u"ALL"_s});
    const ProfileFile file = definitions();
    QStringList keys = SystemItems + driveKeys();
    for (const QString &key : keys) {
        const QString line = CodePage::fromAnsi(file.value("SYSTEM", key.toLatin1()));
        // Empty values too: every item is written with the run's stamp.
        QVERIFY2(line.startsWith(u"P;"_s) && !line.contains(OldStamp), qPrintable(key + line));
    }
    for (const QString &key : AppKeys) {
        const QString line = CodePage::fromAnsi(file.value("APPLICATION_LINUX", key.toLatin1()));
        QVERIFY2(!line.contains(OldStamp) && !line.contains(u"YYYYMMDD"_s),
                 qPrintable(key + line));
    }
    QCOMPARE(value("APPLICATION_LINUX", "Note").section(u';', 6), u"メモ;その二"_s);
    QCOMPARE(value("APPLICATION_LINUX", "AppPaths").section(u';', 6), u"\\a\\r\\nb"_s);
    QCOMPARE(value("SYSTEM", "NotAnItem"), u"P;20000101;000000;kept"_s);
    QCOMPARE(value("DAT", "SysDatVersion"), u"20261201093000"_s);
}

void TestCollectionPass::missingDefinitionFile()
{
    QVERIFY(QFile::remove(m_dir->filePath(u"TarvoInfo.dat"_s)));
    run();
    const ProfileFile file = definitions();
    QCOMPARE(file.sectionNames(), QList<QByteArray>{"SYSTEM"});
    QStringList keys;
    for (const QByteArray &key : file.keyNames("SYSTEM", 10240))
        keys << QString::fromLatin1(key);
    QCOMPARE(keys, driveKeys());
}

void TestCollectionPass::switchesOffWriteOnlyTheDefinitionFile()
{
    run({u"ALL"_s});
    const QStringList entries = QDir(m_dir->path()).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QCOMPARE(entries, (QStringList{u"TarvoAgent.ini"_s, u"TarvoInfo"_s, u"TarvoInfo.dat"_s,
                                   u"registry"_s}));
    QCOMPARE(QDir(m_dir->filePath(u"registry"_s)).entryList(QDir::Files),
             QStringList{u"tarvo-test.reg"_s});
    QVERIFY(definitions().containsKey("SYSTEM", "SysDriveC"));

    // Without any settings file every switch is off too.
    QVERIFY(QFile::remove(m_dir->filePath(u"TarvoAgent.ini"_s)));
    run();
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{u"TarvoInfo"_s, u"TarvoInfo.dat"_s}));
}

QTEST_GUILESS_MAIN(TestCollectionPass)
#include "tst_collectionpass.moc"
