#include "common/versioninfo.h"

namespace {

constexpr quint32 Major = 1, Minor = 5, Patch = 0, Build = 1;

// The layout of VS_FIXEDFILEINFO: signature, structure version, file version (MS, LS),
// product version (MS, LS), then flags, OS, type and date fields left zero.
[[gnu::used, gnu::section(".tarvo_version")]] const quint32 fixedFileInfo[13] = {
    VersionInfo::Signature, VersionInfo::StructVersion,
    (Major << 16) | Minor, (Patch << 16) | Build,
    (Major << 16) | Minor, (Patch << 16) | Build,
    0, 0, 0, 0, 0, 0, 0,
};

} // namespace

QString VersionInfo::text()
{
    return QString::number(fixedFileInfo[2] >> 16) + u'.' + QString::number(fixedFileInfo[2] & 0xFFFF)
        + u'.' + QString::number(fixedFileInfo[3] >> 16) + u'.'
        + QString::number(fixedFileInfo[3] & 0xFFFF);
}
