#include "platform/probes/processor.h"

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

// Family 0 means /proc/cpuinfo named none: not an x86 processor, so no x86 text applies.
bool isX86(const CpuInfo &cpu)
{
    return cpu.family > 0;
}

} // namespace

QString processorTypeText(const CpuInfo &cpu)
{
    if (cpu.family == 3)
        return u"386"_s;
    if (cpu.family == 4)
        return u"486"_s;
    if (cpu.family >= 5)
        return u"Pentium"_s;
    return {};
}

QString processorLevelText(const CpuInfo &cpu)
{
    if (!isX86(cpu))
        return {};
    switch (cpu.family) {
    case 3:
        return u"Intel 80386"_s;
    case 4:
        return u"Intel 80486"_s;
    case 5:
        return u"Intel Pentium"_s;
    case 6:
        return u"Intel Pentium Pro, II, III or 4"_s;
    default:
        return u"Intel"_s;
    }
}

QString processorRevisionText(const CpuInfo &cpu)
{
    if (!isX86(cpu))
        return {};
    // The revision word holds the model in its high byte and the stepping in its low byte.
    return u"x86 Family "_s + QString::number(cpu.family) + u" Model "_s
        + QString::number(cpu.model & 0xFF) + u" Stepping "_s + QString::number(cpu.stepping & 0xFF);
}

QString processorSpeedText(const CpuInfo &cpu)
{
    return cpu.mhz > 0 ? QString::number(cpu.mhz) + u" MHz"_s : QString();
}

void processorItems(const CpuInfo &cpu, ItemTexts &items)
{
    items[u"SysProcessors"_s] = cpu.processors > 0 ? QString::number(cpu.processors) : QString();
    items[u"SysProcessorType"_s] = processorTypeText(cpu);
    items[u"SysProcessorSpeed"_s] = processorSpeedText(cpu);
    items[u"SysProcessorLevel"_s] = processorLevelText(cpu);
    items[u"SysProcessorRevision"_s] = processorRevisionText(cpu);
}

void probeProcessor(ItemTexts &items)
{
    processorItems(readCpuInfo(), items);
}

} // namespace SysProbe
