#include "platform/probes/cpuinfo.h"
#include "platform/probes/keyboard.h"
#include "platform/probes/memory.h"
#include "platform/probes/msnetwork.h"
#include "platform/probes/os.h"
#include "platform/probes/printer.h"
#include "platform/probes/processor.h"
#include "platform/probes/screen.h"
#include "platform/probes/sysinfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QTest>

using namespace Qt::StringLiterals;

class TestSysInfoParsers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cpuInfo_data();
    void cpuInfo();
    void processorTexts_data();
    void processorTexts();
    void formatSize_data();
    void formatSize();
    void uptimeText_data();
    void uptimeText();
    void uptimeFromProc_data();
    void uptimeFromProc();
    void memoryItems_data();
    void memoryItems();
    void osName_data();
    void osName();
    void kernelRelease_data();
    void kernelRelease();
    void hostNameParts_data();
    void hostNameParts();
    void keyboard_data();
    void keyboard();
    void microsoftNetwork_data();
    void microsoftNetwork();
    void defaultPrinter_data();
    void defaultPrinter();
    void screenModes_data();
    void screenModes();
    void screenFromConnectors();
};

void TestSysInfoParsers::cpuInfo_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("processors");
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("stepping");
    QTest::addColumn<int>("mhz");
    QTest::addColumn<QString>("modelName");
    QTest::addColumn<QString>("vendor");

    QTest::newRow("two Intel cores, first block wins")
        << R"(processor	: 0
vendor_id	: GenuineIntel
cpu family	: 6
model		: 158
model name	: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz
stepping	: 10
cpu MHz		: 3191.998
cache size	: 12288 KB

processor	: 1
vendor_id	: GenuineIntel
cpu family	: 6
model		: 159
model name	: Other
stepping	: 11
cpu MHz		: 800.000

)"_ba << 2 << 6 << 158 << 10 << 3192 << u"Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz"_s
        << u"GenuineIntel"_s;
    QTest::newRow("AMD, MHz rounds half up")
        << "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 26\nmodel\t\t: 2\n"
           "model name\t: AMD EPYC\nstepping\t: 1\ncpu MHz\t\t: 2096.5\n"_ba
        << 1 << 26 << 2 << 1 << 2097 << u"AMD EPYC"_s << u"AuthenticAMD"_s;
    QTest::newRow("ARM without family or clock")
        << "processor\t: 0\nBogoMIPS\t: 108.00\nFeatures\t: fp asimd\nCPU implementer\t: 0x41\n\n"
           "processor\t: 1\nBogoMIPS\t: 108.00\n\nprocessor\t: 2\n\nprocessor\t: 3\n\n"
           "Hardware\t: BCM2835\nRevision\t: c03111\n"_ba
        << 4 << 0 << 0 << 0 << 0 << QString() << QString();
    QTest::newRow("garbage numbers read as unknown")
        << "processor : 0\ncpu family : x\nmodel : -3\ncpu MHz : nan\n"_ba
        << 1 << 0 << 0 << 0 << 0 << QString() << QString();
    QTest::newRow("empty") << QByteArray() << 0 << 0 << 0 << 0 << 0 << QString() << QString();
}

void TestSysInfoParsers::cpuInfo()
{
    QFETCH(QByteArray, text);
    const CpuInfo info = parseCpuInfo(text);
    QTEST(info.processors, "processors");
    QTEST(info.family, "family");
    QTEST(info.model, "model");
    QTEST(info.stepping, "stepping");
    QTEST(info.mhz, "mhz");
    QTEST(info.modelName, "modelName");
    QTEST(info.vendor, "vendor");
}

void TestSysInfoParsers::processorTexts_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("stepping");
    QTest::addColumn<int>("mhz");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("revision");
    QTest::addColumn<QString>("speed");

    QTest::newRow("386") << 3 << 0 << 0 << 25 << u"386"_s << u"Intel 80386"_s
                         << u"x86 Family 3 Model 0 Stepping 0"_s << u"25 MHz"_s;
    QTest::newRow("486") << 4 << 8 << 1 << 100 << u"486"_s << u"Intel 80486"_s
                         << u"x86 Family 4 Model 8 Stepping 1"_s << u"100 MHz"_s;
    QTest::newRow("Pentium") << 5 << 2 << 12 << 133 << u"Pentium"_s << u"Intel Pentium"_s
                             << u"x86 Family 5 Model 2 Stepping 12"_s << u"133 MHz"_s;
    QTest::newRow("Core i7 (family 6)")
        << 6 << 158 << 10 << 3192 << u"Pentium"_s << u"Intel Pentium Pro, II, III or 4"_s
        << u"x86 Family 6 Model 158 Stepping 10"_s << u"3192 MHz"_s;
    QTest::newRow("Pentium 4 (family 15)") << 15 << 2 << 9 << 2800 << u"Pentium"_s << u"Intel"_s
                                           << u"x86 Family 15 Model 2 Stepping 9"_s << u"2800 MHz"_s;
    QTest::newRow("AMD Zen 5 (family 26)") << 26 << 2 << 1 << 2096 << u"Pentium"_s << u"Intel"_s
                                           << u"x86 Family 26 Model 2 Stepping 1"_s << u"2096 MHz"_s;
    QTest::newRow("clock unknown") << 6 << 85 << 7 << 0 << u"Pentium"_s
                                   << u"Intel Pentium Pro, II, III or 4"_s
                                   << u"x86 Family 6 Model 85 Stepping 7"_s << QString();
    QTest::newRow("not x86: no x86 texts") << 0 << 0 << 0 << 1500 << QString() << QString()
                                           << QString() << u"1500 MHz"_s;
}

void TestSysInfoParsers::processorTexts()
{
    QFETCH(int, family);
    QFETCH(int, model);
    QFETCH(int, stepping);
    QFETCH(int, mhz);
    CpuInfo cpu;
    cpu.processors = 4;
    cpu.family = family;
    cpu.model = model;
    cpu.stepping = stepping;
    cpu.mhz = mhz;
    SysProbe::ItemTexts items;
    SysProbe::processorItems(cpu, items);
    QCOMPARE(items.value(u"SysProcessors"_s), u"4"_s);
    QTEST(items.value(u"SysProcessorType"_s), "type");
    QTEST(items.value(u"SysProcessorLevel"_s), "level");
    QTEST(items.value(u"SysProcessorRevision"_s), "revision");
    QTEST(items.value(u"SysProcessorSpeed"_s), "speed");
}

void TestSysInfoParsers::formatSize_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << quint64(0) << u" 0Bytes"_s;
    QTest::newRow("one byte") << quint64(1) << u" 1Bytes"_s;
    QTest::newRow("1,024 is still bytes") << quint64(1024) << u" 1024Bytes"_s;
    QTest::newRow("1,025: exact kilobytes") << quint64(1025) << u"1.0009765625KB"_s;
    QTest::newRow("1,536") << quint64(1536) << u"1.5KB"_s;
    QTest::newRow("2,048") << quint64(2048) << u"2KB"_s;
    QTest::newRow("1,000 KB without exponent") << quint64(1024000) << u"1000KB"_s;
    QTest::newRow("1,024 KB is still KB") << quint64(1048576) << u"1024KB"_s;
    QTest::newRow("just above 1,024 KB") << quint64(1048577) << u"1MB"_s;
    QTest::newRow("10.50 prints as 10.5") << quint64(11010048) << u"10.5MB"_s;
    QTest::newRow("half rounds up") << quint64(1179648) << u"1.13MB"_s;
    QTest::newRow("5,000,000,000") << quint64(5000000000) << u"4768.37MB"_s;
    QTest::newRow("one terabyte, no grouping") << quint64(1000000000000) << u"953674.32MB"_s;
    QTest::newRow("largest count") << quint64(18446744073709551615ULL) << u"17592186044416MB"_s;
}

void TestSysInfoParsers::formatSize()
{
    QFETCH(quint64, bytes);
    QTEST(SysInfo::FormatSize(bytes), "text");
}

void TestSysInfoParsers::uptimeText_data()
{
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qint64(0) << u"0日0時0分0秒"_s;
    QTest::newRow("below a second") << qint64(999) << u"0日0時0分0秒"_s;
    QTest::newRow("1 h 30 min") << qint64(5400000) << u"0日1時30分0秒"_s;
    QTest::newRow("3d 4h 5m 6s") << qint64(273906000) << u"3日4時5分6秒"_s;
    QTest::newRow("last millisecond of a day") << qint64(86399999) << u"0日23時59分59秒"_s;
    QTest::newRow("beyond the signed 32-bit tick count") << qint64(2147483648LL)
                                                         << u"24日20時31分23秒"_s;
    QTest::newRow("days grouped") << qint64(1000) * 86400000 << u"1,000日0時0分0秒"_s;
    QTest::newRow("negative reads as zero") << qint64(-5000) << u"0日0時0分0秒"_s;
}

void TestSysInfoParsers::uptimeText()
{
    QFETCH(qint64, milliseconds);
    QTEST(SysInfo::UptimeText(milliseconds), "text");
}

void TestSysInfoParsers::uptimeFromProc_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("milliseconds");

    QTest::newRow("usual") << "307.48 492.74\n"_ba << qint64(307480);
    QTest::newRow("long") << "8640000.01 1.00\n"_ba << qint64(8640000010LL);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("garbage") << "up 3 days\n"_ba << qint64(-1);
}

void TestSysInfoParsers::uptimeFromProc()
{
    QFETCH(QByteArray, text);
    QTEST(SysProbe::parseUptimeMilliseconds(text), "milliseconds");
}

void TestSysInfoParsers::memoryItems_data()
{
    QTest::addColumn<QByteArray>("meminfo");
    QTest::addColumn<qint64>("vmSize");
    QTest::addColumn<QStringList>("texts"); // physical, avail, page file, avail, virtual, avail, load

    QTest::newRow("with swap")
        << R"(MemTotal:        8000000 kB
MemFree:         1000000 kB
MemAvailable:    6000000 kB
Buffers:          100000 kB
Cached:           900000 kB
SwapCached:            0 kB
SwapTotal:       2000000 kB
SwapFree:        1500000 kB
)"_ba << qint64(300000)
        << QStringList{u"8,000,000"_s, u"6,000,000"_s, u"10,000,000"_s, u"7,500,000"_s,
                       u"2,097,152"_s, u"1,797,152"_s, u"25%"_s};
    QTest::newRow("no swap, load rounds")
        << "MemTotal: 3 kB\nMemAvailable: 1 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n"_ba << qint64(0)
        << QStringList{u"3"_s, u"1"_s, u"3"_s, u"1"_s, u"2,097,152"_s, u"2,097,152"_s, u"67%"_s};
    QTest::newRow("kernel without MemAvailable")
        << "MemTotal: 4000000 kB\nMemFree: 1000000 kB\nBuffers: 100000 kB\nCached: 900000 kB\n"
           "SwapTotal: 0 kB\nSwapFree: 0 kB\n"_ba
        << qint64(5000000)
        << QStringList{u"4,000,000"_s, u"2,000,000"_s, u"4,000,000"_s, u"2,000,000"_s,
                       u"2,097,152"_s, u"0"_s, u"50%"_s};
    QTest::newRow("memory beyond 4 GB is not cut to 32 bits")
        << "MemTotal: 67108864 kB\nMemAvailable: 33554432 kB\nSwapTotal: 8388608 kB\n"
           "SwapFree: 8388608 kB\n"_ba
        << qint64(1024)
        << QStringList{u"67,108,864"_s, u"33,554,432"_s, u"75,497,472"_s, u"41,943,040"_s,
                       u"2,097,152"_s, u"2,096,128"_s, u"50%"_s};
    QTest::newRow("unreadable") << QByteArray() << qint64(-1)
                                << QStringList{QString(), QString(), QString(), QString(),
                                               u"2,097,152"_s, QString(), QString()};
}

void TestSysInfoParsers::memoryItems()
{
    QFETCH(QByteArray, meminfo);
    QFETCH(qint64, vmSize);
    QFETCH(QStringList, texts);
    SysProbe::ItemTexts items;
    SysProbe::memoryItems(SysProbe::parseMemInfo(meminfo), vmSize, items);
    const QStringList names = {u"SysPhisicalMemory"_s, u"SysPhisicalMemoryAvail"_s,
                               u"SysPageFile"_s,       u"SysPageFileAvail"_s,
                               u"SysVirtualMemory"_s,  u"SysVirtualMemoryAvail"_s,
                               u"SysMemoryLoad"_s};
    QStringList actual;
    for (const QString &name : names)
        actual << items.value(name);
    QCOMPARE(actual, texts);
}

void TestSysInfoParsers::osName_data()
{
    QTest::addColumn<QByteArray>("osRelease");
    QTest::addColumn<QString>("name");

    QTest::newRow("Debian") << R"os(PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"
NAME="Debian GNU/Linux"
VERSION_ID="12"
VERSION="12 (bookworm)"
ID=debian
)os"_ba << u"Debian GNU/Linux 12 (bookworm)"_s;
    QTest::newRow("no PRETTY_NAME") << "NAME=Fedora\nVERSION='39 (Workstation Edition)'\n"_ba
                                    << u"Fedora 39 (Workstation Edition)"_s;
    QTest::newRow("name only") << "# comment\nNAME=\"Alpine Linux\"\n"_ba << u"Alpine Linux"_s;
    QTest::newRow("escaped quote") << R"(PRETTY_NAME="My \"Own\" OS")"_ba << uR"(My "Own" OS)"_s;
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestSysInfoParsers::osName()
{
    QFETCH(QByteArray, osRelease);
    QTEST(SysProbe::osNameFromRelease(osRelease), "name");
}

void TestSysInfoParsers::kernelRelease_data()
{
    QTest::addColumn<QByteArray>("release");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("patch");

    QTest::newRow("Debian") << "6.1.0-18-amd64"_ba << true << 6 << 1 << 0;
    QTest::newRow("custom") << "6.18.44-fc-v1272"_ba << true << 6 << 18 << 44;
    QTest::newRow("two parts") << "5.10"_ba << true << 5 << 10 << 0;
    QTest::newRow("rc") << "6.9.0-rc3+"_ba << true << 6 << 9 << 0;
    QTest::newRow("major only") << "4"_ba << false << 0 << 0 << 0;
    QTest::newRow("trailing dot") << "4."_ba << false << 0 << 0 << 0;
    QTest::newRow("not a version") << "abc"_ba << false << 0 << 0 << 0;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << 0;
}

void TestSysInfoParsers::kernelRelease()
{
    QFETCH(QByteArray, release);
    const SysProbe::KernelVersion version = SysProbe::parseKernelRelease(release);
    QTEST(version.valid, "valid");
    QTEST(version.major, "major");
    QTEST(version.minor, "minor");
    QTEST(version.patch, "patch");
}

void TestSysInfoParsers::hostNameParts_data()
{
    QTest::addColumn<QString>("hostName");
    QTest::addColumn<QString>("computer");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("folder");

    QTest::newRow("fully qualified") << u"pc1.example.jp"_s << u"pc1"_s << u"example.jp"_s << u"/"_s;
    QTest::newRow("short") << u"vm"_s << u"vm"_s << QString() << u"/tmp/"_s;
    QTest::newRow("empty") << QString() << QString() << QString() << QString();
}

void TestSysInfoParsers::hostNameParts()
{
    QFETCH(QString, hostName);
    QTEST(SysProbe::computerNameOf(hostName), "computer");
    QTEST(SysProbe::domainPartOf(hostName), "domain");
    // The folder rule rides along: a "/" is added once, never twice.
    const QString folder = QTest::currentDataTag() == QByteArrayView("short") ? u"/tmp"_s
        : hostName.isEmpty() ? QString() : u"/"_s;
    QTEST(SysProbe::withTrailingSlash(folder), "folder");
}

void TestSysInfoParsers::keyboard_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("keyboard");
    QTest::addColumn<QString>("functionKeys");

    const QString japanese = u"日本語(106 or 109)キーボード"_s;
    const QString enhanced = u"IBM 拡張(101 or 102)キーボード"_s;
    QTest::newRow("jp106") << "XKBMODEL=\"jp106\"\nXKBLAYOUT=\"jp\"\nXKBVARIANT=\"\"\n"_ba
                           << japanese << u"12"_s;
    QTest::newRow("installer's pc105 with jp layout")
        << R"(# KEYBOARD CONFIGURATION FILE

# Consult the keyboard(5) manual page.

XKBMODEL="pc105"
XKBLAYOUT="jp"
XKBVARIANT=""
XKBOPTIONS=""

BACKSPACE="guess"
)"_ba << japanese << u"12"_s;
    QTest::newRow("pc105 us") << "XKBMODEL=pc105\nXKBLAYOUT=us\n"_ba << enhanced << u"12"_s;
    QTest::newRow("pc104 de") << "XKBMODEL=\"pc104\"\nXKBLAYOUT=\"de\"\n"_ba << enhanced << u"12"_s;
    QTest::newRow("pc101") << "XKBMODEL=pc101\n"_ba << enhanced << u"12"_s;
    QTest::newRow("first layout decides") << "XKBMODEL=pc105\nXKBLAYOUT=\"us,jp\"\n"_ba << enhanced
                                          << u"12"_s;
    QTest::newRow("other model") << "XKBMODEL=macintosh\nXKBLAYOUT=us\n"_ba
                                 << u"その他のキーボード"_s << QString();
    QTest::newRow("commented out") << "#XKBMODEL=jp106\n#XKBLAYOUT=jp\n"_ba << QString() << QString();
    QTest::newRow("no file") << QByteArray() << QString() << QString();
}

void TestSysInfoParsers::keyboard()
{
    QFETCH(QByteArray, file);
    const SysProbe::KeyboardTexts texts = SysProbe::keyboardTexts(file);
    QTEST(texts.keyboard, "keyboard");
    QTEST(texts.functionKeys, "functionKeys");
}

void TestSysInfoParsers::microsoftNetwork_data()
{
    QTest::addColumn<QByteArray>("smbConf");
    QTest::addColumn<QByteArray>("sssdConf");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name");

    const QString workgroup = u"ワークグループ"_s;
    const QString domain = u"ドメイン"_s;
    QTest::newRow("workgroup") << R"(#======================= Global Settings =======================
[global]
   workgroup = OFFICE
   server string = %h server (Samba, Ubuntu)
[homes]
   comment = Home Directories
)"_ba << QByteArray() << workgroup << u"OFFICE"_s;
    QTest::newRow("AD member") << "[global]\nworkgroup = CORP\nsecurity = ADS\nrealm = CORP.EXAMPLE.JP\n"_ba
                               << QByteArray() << domain << u"CORP"_s;
    QTest::newRow("NT4 domain member") << "[global]\n\tsecurity = domain\n\tworkgroup = NTDOM\n"_ba
                                       << QByteArray() << domain << u"NTDOM"_s;
    QTest::newRow("share section's setting does not count")
        << "[global]\nsecurity = user\n[homes]\nworkgroup = WRONG\n"_ba << QByteArray() << workgroup
        << u"WORKGROUP"_s;
    QTest::newRow("names compare loosely, comments skipped")
        << "; workgroup = NO\n# workgroup = NO\n[Global]\n  Work Group = TEAM\n"_ba << QByteArray()
        << workgroup << u"TEAM"_s;
    QTest::newRow("continued line") << "[global]\nworkgroup = \\\n  SALES\n"_ba << QByteArray()
                                    << workgroup << u"SALES"_s;
    QTest::newRow("SSSD AD domain")
        << QByteArray()
        << "[sssd]\ndomains = corp.example.jp\n\n[domain/corp.example.jp]\nid_provider = ad\n"_ba
        << domain << u"corp.example.jp"_s;
    QTest::newRow("SSSD plain LDAP is no Windows domain")
        << QByteArray() << "[sssd]\ndomains = people\n[domain/people]\nid_provider = ldap\n"_ba
        << u"不明"_s << QString();
    QTest::newRow("neither") << QByteArray() << QByteArray() << u"不明"_s << QString();
}

void TestSysInfoParsers::microsoftNetwork()
{
    QFETCH(QByteArray, smbConf);
    QFETCH(QByteArray, sssdConf);
    const SysProbe::MsNetwork network = SysProbe::microsoftNetwork(smbConf, sssdConf);
    QTEST(network.type, "type");
    QTEST(network.name, "name");
}

void TestSysInfoParsers::defaultPrinter_data()
{
    QTest::addColumn<bool>("printersConf");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name");

    QTest::newRow("lpoptions default") << false
                                       << "Dest other\nDefault office sides=two-sided-long-edge\n"_ba
                                       << u"office"_s;
    QTest::newRow("lpoptions instance, last wins") << false
                                                   << "Default first\nDefault office/duplex\n"_ba
                                                   << u"office/duplex"_s;
    QTest::newRow("lpoptions without default") << false << "Dest office media=A4\n"_ba << QString();
    QTest::newRow("printers.conf")
        << true << "# Printer configuration file\n<Printer Other>\n</Printer>\n"
                   "<DefaultPrinter Canon_MF644>\nInfo Office\n</DefaultPrinter>\n"_ba
        << u"Canon_MF644"_s;
    QTest::newRow("printers.conf without default")
        << true << "<Printer Other>\nInfo x\n</Printer>\n"_ba << QString();
}

void TestSysInfoParsers::defaultPrinter()
{
    QFETCH(bool, printersConf);
    QFETCH(QByteArray, text);
    QTEST(printersConf ? SysProbe::parsePrintersConfDefault(text) : SysProbe::parseLpoptionsDefault(text),
          "name");
}

void TestSysInfoParsers::screenModes_data()
{
    QTest::addColumn<bool>("framebuffer");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("resolution");

    QTest::newRow("preferred mode first") << false << "1920x1080\n1280x720\n800x600\n"_ba
                                          << u"1920*1080"_s;
    QTest::newRow("interlaced") << false << "1920x1080i\n"_ba << u"1920*1080"_s;
    QTest::newRow("no modes") << false << QByteArray() << QString();
    QTest::newRow("garbage") << false << "x\n"_ba << QString();
    QTest::newRow("framebuffer") << true << "1024,768\n"_ba << u"1024*768"_s;
    QTest::newRow("framebuffer zero") << true << "0,0\n"_ba << QString();
}

void TestSysInfoParsers::screenModes()
{
    QFETCH(bool, framebuffer);
    QFETCH(QByteArray, text);
    QTEST(framebuffer ? SysProbe::resolutionFromFramebuffer(text) : SysProbe::resolutionFromDrmModes(text),
          "resolution");
}

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

} // namespace

void TestSysInfoParsers::screenFromConnectors()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString drm = root.filePath(u"drm"_s);
    const QString graphics = root.filePath(u"graphics"_s);
    QVERIFY(QDir().mkpath(drm + u"/card0"_s));
    writeFile(drm + u"/card0-DP-1/status"_s, "disconnected\n");
    writeFile(drm + u"/card0-DP-1/modes"_s, "800x600\n");
    writeFile(drm + u"/card0-HDMI-A-1/status"_s, "connected\n");
    writeFile(drm + u"/card0-HDMI-A-1/modes"_s, "2560x1440\n1920x1080\n");
    writeFile(graphics + u"/fb0/virtual_size"_s, "1024,768\n");
    QCOMPARE(SysProbe::screenResolution(drm, graphics), u"2560*1440"_s);

    // Nothing connected: the framebuffer console's size.
    writeFile(drm + u"/card0-HDMI-A-1/status"_s, "disconnected\n");
    QCOMPARE(SysProbe::screenResolution(drm, graphics), u"1024*768"_s);

    QCOMPARE(SysProbe::screenResolution(root.filePath(u"none"_s), root.filePath(u"none"_s)), QString());
}

QTEST_APPLESS_MAIN(TestSysInfoParsers)
#include "tst_sysinfo_parsers.moc"
