#pragma once

#include "platform/probes/sysprobe.h"

#include <QByteArrayView>

/// The memory items (Windows' memory status) from /proc/meminfo and /proc/self/status.
namespace SysProbe {

/// The /proc/meminfo figures the items use, in kilobytes; -1 when the line is missing.
struct MemInfo
{
    qint64 memTotal = -1;
    qint64 memFree = -1;
    qint64 memAvailable = -1;
    qint64 buffers = -1;
    qint64 cached = -1;
    qint64 swapTotal = -1;
    qint64 swapFree = -1;
};

MemInfo parseMemInfo(QByteArrayView text);
/// "VmSize:" of /proc/<pid>/status in kilobytes, -1 when missing.
qint64 parseVmSizeKb(QByteArrayView procStatus);

/// A 32-bit Windows program sees 2 GB of user address space: the virtual figures keep that scale.
constexpr qint64 UserAddressSpaceKb = 2 * 1024 * 1024;

/// Fills the seven memory items from parsed figures (pure: the probe reads, this decides).
void memoryItems(const MemInfo &info, qint64 processVmSizeKb, ItemTexts &items);

void probeMemory(ItemTexts &items);

} // namespace SysProbe
