#include "platform/probes/sysinfo.h"

#include "platform/probes/drives.h"
#include "platform/probes/keyboard.h"
#include "platform/probes/memory.h"
#include "platform/probes/msnetwork.h"
#include "platform/probes/network_adapters.h"
#include "platform/probes/os.h"
#include "platform/probes/printer.h"
#include "platform/probes/processor.h"
#include "platform/probes/screen.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace SysInfo {

namespace {

// The item names in the order the collection pass fills them.
const QStringList &itemNames()
{
    static const QStringList names = {
        u"SysOS"_s, u"SysOSVersion"_s, u"SysOSBuildNumber"_s, u"SysOSServicePack"_s,
        u"SysUserName"_s, u"SysWindowsDirectory"_s, u"SysSystemDirectory"_s,
        u"SysTemporaryDirectory"_s, u"SysKeyboard"_s, u"SysFunctionKeys"_s, u"SysComputerName"_s,
        u"SysProcessors"_s, u"SysProcessorType"_s, u"SysProcessorSpeed"_s, u"SysProcessorLevel"_s,
        u"SysProcessorRevision"_s, u"SysPhisicalMemory"_s, u"SysPhisicalMemoryAvail"_s,
        u"SysPageFile"_s, u"SysPageFileAvail"_s, u"SysVirtualMemory"_s,
        u"SysVirtualMemoryAvail"_s, u"SysMemoryLoad"_s, u"SysTickCount"_s,
        u"SysDefaultPrinter"_s, u"SysMicrosoftNetwork"_s, u"SysMicrosoftNetworkType"_s,
        u"SysScreenResolution"_s, u"SysNetAdapter"_s, u"SysMACAddress"_s, u"SysIPAddress"_s,
        u"SysSubnetMasks"_s, u"SysGatewayAddress"_s, u"SysDNSAddress"_s, u"SysHostName"_s,
        u"SysDomainName"_s, u"SysDHCPAddress"_s, u"SysPriWINSAddress"_s,
        u"SysSecWINSAddress"_s, u"SysDHCPGetLease"_s, u"SysDHCPExpireLease"_s,
    };
    return names;
}

// A probe that fails leaves its items empty; the others still run.
void runGuarded(SysProbe::Probe probe, SysProbe::ItemTexts &items)
{
    SysProbe::ItemTexts own;
    try {
        probe(own);
    } catch (const std::exception &) {
        return;
    } catch (...) {
        return;
    }
    items.insert(own);
}

} // namespace

QList<SystemItem> collectSystemItems()
{
    // The order of the pass: memory, processor, version, screen, workgroup, network; then the
    // remaining single-value queries.
    static constexpr SysProbe::Probe probes[] = {
        SysProbe::probeMemory,         SysProbe::probeProcessor,   SysProbe::probeOsVersion,
        SysProbe::probeScreen,         SysProbe::probeMicrosoftNetwork, SysProbe::probeNetwork,
        SysProbe::probeUserName,       SysProbe::probeDirectories, SysProbe::probeKeyboard,
        SysProbe::probeComputerName,   SysProbe::probeUptime,      SysProbe::probeDefaultPrinter,
    };
    SysProbe::ItemTexts items;
    for (SysProbe::Probe probe : probes)
        runGuarded(probe, items);

    QList<SystemItem> result;
    result.reserve(itemNames().size());
    for (const QString &name : itemNames())
        result << SystemItem{name, items.value(name)};
    return result;
}

QList<DriveRow> collectDriveRows()
{
    try {
        return SysProbe::readDriveRows();
    } catch (...) {
        QList<DriveRow> rows;
        for (char16_t letter = u'A'; letter <= u'Z'; ++letter)
            rows << SysProbe::emptyDriveRow(QChar(letter));
        return rows;
    }
}

} // namespace SysInfo
