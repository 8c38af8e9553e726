#pragma once

#include "platform/probes/cpuinfo.h"
#include "platform/probes/sysprobe.h"

/// The processor items from /proc/cpuinfo.
namespace SysProbe {

/// SysProcessorType: "386", "486", "Pentium" by x86 family (every Pentium-class and later x86
/// processor counts as "Pentium", as Windows' processor type 586 does); empty when unknown.
QString processorTypeText(const CpuInfo &cpu);
/// SysProcessorLevel: the Intel family names by level, "Intel" for any other x86 family.
QString processorLevelText(const CpuInfo &cpu);
/// SysProcessorRevision: "x86 Family f Model m Stepping s".
QString processorRevisionText(const CpuInfo &cpu);
/// SysProcessorSpeed: "n MHz", empty when the clock is unknown.
QString processorSpeedText(const CpuInfo &cpu);

/// Fills the five processor items and SysProcessors (pure).
void processorItems(const CpuInfo &cpu, ItemTexts &items);

void probeProcessor(ItemTexts &items);

} // namespace SysProbe
