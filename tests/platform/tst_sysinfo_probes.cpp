// The probes on this machine: the values differ from PC to PC, so the forms are checked.
#include "platform/probes/drives.h"
#include "platform/probes/sysinfo.h"
#include "platform/probes/sysprobe.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSysInfoProbes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void itemNamesInOrder();
    void itemForms_data();
    void itemForms();
    void macAddress();
    void drives();

private:
    QHash<QString, QString> m_items;
    QStringList m_names;
};

namespace {

const QString Thousands = u"^\\d{1,3}(,\\d{3})*$"_s;
const QString Size = u"^( \\d{1,4}Bytes|\\d+(\\.\\d+)?KB|\\d+(\\.\\d{1,2})?MB)$"_s;

} // namespace

void TestSysInfoProbes::initTestCase()
{
    for (const SystemItem &item : SysInfo::collectSystemItems()) {
        m_names << item.name;
        m_items.insert(item.name, item.value);
    }
}

void TestSysInfoProbes::itemNamesInOrder()
{
    QCOMPARE(m_names.size(), 41);
    QCOMPARE(m_names.first(), u"SysOS"_s);
    QCOMPARE(m_names[16], u"SysPhisicalMemory"_s);
    QCOMPARE(m_names[23], u"SysTickCount"_s);
    QCOMPARE(m_names[29], u"SysMACAddress"_s);
    QCOMPARE(m_names.last(), u"SysDHCPExpireLease"_s);
    QCOMPARE(QSet<QString>(m_names.begin(), m_names.end()).size(), 41);
}

void TestSysInfoProbes::itemForms_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("SysOS") << u"SysOS"_s << u"^\\S.*$"_s;
    QTest::newRow("SysOSVersion") << u"SysOSVersion"_s << u"^\\d+\\.\\d+$"_s;
    QTest::newRow("SysOSBuildNumber") << u"SysOSBuildNumber"_s << u"^\\d{1,5}$"_s;
    QTest::newRow("SysUserName") << u"SysUserName"_s << u"^\\S+$"_s;
    QTest::newRow("SysWindowsDirectory") << u"SysWindowsDirectory"_s << u"^/(.*/)?$"_s;
    QTest::newRow("SysSystemDirectory") << u"SysSystemDirectory"_s << u"^/.*/$"_s;
    QTest::newRow("SysTemporaryDirectory") << u"SysTemporaryDirectory"_s << u"^/.*/$"_s;
    QTest::newRow("SysComputerName") << u"SysComputerName"_s << u"^[^.\\s]+$"_s;
    QTest::newRow("SysProcessors") << u"SysProcessors"_s << u"^[1-9]\\d*$"_s;
    QTest::newRow("SysProcessorSpeed") << u"SysProcessorSpeed"_s << u"^([1-9]\\d* MHz)?$"_s;
    QTest::newRow("SysProcessorRevision")
        << u"SysProcessorRevision"_s << u"^(x86 Family \\d+ Model \\d+ Stepping \\d+)?$"_s;
    QTest::newRow("SysPhisicalMemory") << u"SysPhisicalMemory"_s << Thousands;
    QTest::newRow("SysPhisicalMemoryAvail") << u"SysPhisicalMemoryAvail"_s << Thousands;
    QTest::newRow("SysPageFile") << u"SysPageFile"_s << Thousands;
    QTest::newRow("SysPageFileAvail") << u"SysPageFileAvail"_s << Thousands;
    QTest::newRow("SysVirtualMemory") << u"SysVirtualMemory"_s << u"^2,097,152$"_s;
    QTest::newRow("SysVirtualMemoryAvail") << u"SysVirtualMemoryAvail"_s << Thousands;
    QTest::newRow("SysMemoryLoad") << u"SysMemoryLoad"_s << u"^(100|\\d{1,2})%$"_s;
    QTest::newRow("SysTickCount") << u"SysTickCount"_s
                                  << u"^\\d{1,3}(,\\d{3})*日([01]?\\d|2[0-3])時[0-5]?\\d分[0-5]?\\d秒$"_s;
    QTest::newRow("SysMicrosoftNetworkType")
        << u"SysMicrosoftNetworkType"_s << u"^(ワークグループ|ドメイン|不明)$"_s;
    QTest::newRow("SysScreenResolution") << u"SysScreenResolution"_s << u"^(\\d+\\*\\d+)?$"_s;
    QTest::newRow("SysIPAddress") << u"SysIPAddress"_s << u"^(\\d{1,3}(\\.\\d{1,3}){3})?$"_s;
    QTest::newRow("SysDNSAddress") << u"SysDNSAddress"_s << u"^([^/\\s]+(/[^/\\s]+)*)?$"_s;
    QTest::newRow("SysDHCPGetLease")
        << u"SysDHCPGetLease"_s << u"^(\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d)?$"_s;
    QTest::newRow("SysDHCPExpireLease")
        << u"SysDHCPExpireLease"_s << u"^(\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d)?$"_s;
}

void TestSysInfoProbes::itemForms()
{
    QFETCH(QString, item);
    QFETCH(QString, pattern);
    QVERIFY(m_items.contains(item));
    const QString value = m_items.value(item);
    QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(), qPrintable(item + u": "_s + value));
}

void TestSysInfoProbes::macAddress()
{
    const QString mac = m_items.value(u"SysMACAddress"_s);
    static const QRegularExpression hex(u"^[0-9A-F]{12}$"_s);
    QVERIFY2(hex.match(mac).hasMatch() || mac == m_items.value(u"SysComputerName"_s),
             qPrintable(mac));
    QVERIFY(!mac.isEmpty());
    // No adapter text without a MAC of its own, and the other way round.
    if (hex.match(mac).hasMatch())
        QVERIFY(!m_items.value(u"SysNetAdapter"_s).isEmpty());
}

void TestSysInfoProbes::drives()
{
    const QList<DriveRow> rows = SysInfo::collectDriveRows();
    QCOMPARE(rows.size(), 26);
    static const QRegularExpression size(Size);
    static const QRegularExpression type(u"^(Unknown\\(1\\)|REMOVABLE|FIXED|REMOTE|CD-ROM|RAMDISK)$"_s);
    for (int i = 0; i < 26; ++i) {
        const DriveRow &row = rows[i];
        QCOMPARE(row.letter, QString(QChar(u'A' + i)));
        QVERIFY2(type.match(row.type).hasMatch(), qPrintable(row.letter + row.type));
        QVERIFY2(size.match(row.total).hasMatch(), qPrintable(row.letter + row.total));
        QVERIFY2(size.match(row.free).hasMatch(), qPrintable(row.letter + row.free));
    }
    // A and B never name a mounted file system here; C is the root.
    QCOMPARE(rows[0].type, u"Unknown(1)"_s);
    QCOMPARE(rows[0].total, u" 0Bytes"_s);
    QVERIFY(rows[2].type != u"Unknown(1)"_s);
    QVERIFY(!rows[2].fileSystem.isEmpty());
    const QList<SysProbe::DriveMount> mounts = SysProbe::assignDriveLetters(
        SysProbe::parseMounts(SysProbe::readSmallFile(u"/proc/mounts"_s)));
    QVERIFY(!mounts.isEmpty());
    QCOMPARE(mounts.first().letter, QChar(u'C'));
    QCOMPARE(mounts.first().mount.mountPoint, u"/"_s);
    QCOMPARE(rows[2].fileSystem, mounts.first().mount.fsType);
}

QTEST_APPLESS_MAIN(TestSysInfoProbes)
#include "tst_sysinfo_probes.moc"
