#include "platform/probes/memory.h"

#include "common/formats.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

qint64 kilobytesOf(QByteArrayView value)
{
    // "  24683748 kB": the number, then the unit the kernel always writes.
    const QByteArray number = QByteArray(value.data(), value.size()).trimmed().split(' ').value(0);
    bool ok = false;
    const qint64 kb = number.toLongLong(&ok);
    return ok && kb >= 0 ? kb : -1;
}

QString kbText(qint64 kb)
{
    return kb < 0 ? QString() : Formats::thousandsOrZero(kb);
}

} // namespace

MemInfo parseMemInfo(QByteArrayView text)
{
    MemInfo info;
    const struct
    {
        QByteArrayView key;
        qint64 MemInfo::*field;
    } fields[] = {
        {"MemTotal", &MemInfo::memTotal},   {"MemFree", &MemInfo::memFree},
        {"MemAvailable", &MemInfo::memAvailable}, {"Buffers", &MemInfo::buffers},
        {"Cached", &MemInfo::cached},       {"SwapTotal", &MemInfo::swapTotal},
        {"SwapFree", &MemInfo::swapFree},
    };
    for (const QByteArray &line : QByteArray(text.data(), text.size()).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArrayView key = QByteArrayView(line).first(colon);
        for (const auto &field : fields) {
            if (key == field.key)
                info.*field.field = kilobytesOf(QByteArrayView(line).sliced(colon + 1));
        }
    }
    return info;
}

qint64 parseVmSizeKb(QByteArrayView procStatus)
{
    for (const QByteArray &line : QByteArray(procStatus.data(), procStatus.size()).split('\n')) {
        if (line.startsWith("VmSize:"))
            return kilobytesOf(QByteArrayView(line).sliced(7));
    }
    return -1;
}

void memoryItems(const MemInfo &info, qint64 processVmSizeKb, ItemTexts &items)
{
    const qint64 total = info.memTotal;
    qint64 available = info.memAvailable;
    // Kernels before 3.14 have no MemAvailable: free memory plus what the caches would give back.
    if (available < 0 && info.memFree >= 0)
        available = info.memFree + std::max<qint64>(info.buffers, 0) + std::max<qint64>(info.cached, 0);
    if (total >= 0 && available > total)
        available = total;

    items[u"SysPhisicalMemory"_s] = kbText(total);
    items[u"SysPhisicalMemoryAvail"_s] = kbText(available);
    // The commit limit of Windows is physical memory plus the page files; swap is Linux's page file.
    const bool swapKnown = info.swapTotal >= 0 && info.swapFree >= 0;
    items[u"SysPageFile"_s] = total >= 0 && swapKnown ? kbText(total + info.swapTotal) : QString();
    items[u"SysPageFileAvail"_s] =
        available >= 0 && swapKnown ? kbText(available + info.swapFree) : QString();
    items[u"SysVirtualMemory"_s] = kbText(UserAddressSpaceKb);
    items[u"SysVirtualMemoryAvail"_s] =
        processVmSizeKb >= 0 ? kbText(std::max<qint64>(UserAddressSpaceKb - processVmSizeKb, 0))
                             : QString();
    if (total > 0 && available >= 0) {
        const qint64 load = ((total - available) * 100 + total / 2) / total;
        items[u"SysMemoryLoad"_s] = QString::number(load) + u'%';
    }
}

void probeMemory(ItemTexts &items)
{
    memoryItems(parseMemInfo(readSmallFile(u"/proc/meminfo"_s)),
                parseVmSizeKb(readSmallFile(u"/proc/self/status"_s)), items);
}

} // namespace SysProbe
