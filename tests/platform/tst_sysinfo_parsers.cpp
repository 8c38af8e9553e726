#include "platform/cpuinfo.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_SysInfoParsers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cpuInfo_data();
    void cpuInfo();
};

void tst_SysInfoParsers::cpuInfo_data()
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

void tst_SysInfoParsers::cpuInfo()
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

QTEST_APPLESS_MAIN(tst_SysInfoParsers)
#include "tst_sysinfo_parsers.moc"
