#pragma once

#include <QString>

/// The version block every program of the system carries: the same fixed-file-info record a
/// Windows version resource holds, so that one reader finds the version of either kind of file.
namespace VersionInfo {

constexpr quint32 Signature = 0xFEEF04BD;
constexpr quint32 StructVersion = 0x00010000;

/// "1.5.0.1": the version of this build. Calling it keeps the block in the program.
QString text();

} // namespace VersionInfo
