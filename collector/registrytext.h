#pragma once

#include "platform/probes/registry.h"

#include <QString>

/// The texts the collector makes of registry values.
namespace RegistryText {

/// RegQueryValueExA reads into a buffer of this size: a larger value cannot be read.
inline constexpr int ValueBufferBytes = 256;

/// The text of a queried value: "取得できず" when it is missing or too large; strings up to their
/// first NUL; REG_DWORD as eight hexadecimal digits; REG_MULTI_SZ joined by CR LF; any other
/// type as "XX " per byte.
QString valueText(const RegistryValue &value);

} // namespace RegistryText
