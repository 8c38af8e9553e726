#include "agent/fileversion.h"

#include "common/versioninfo.h"

#include <QFile>

#include <cstring>

namespace {

constexpr qsizetype MaxScannedBytes = 64 << 20;

quint32 u32(QByteArrayView bytes, qsizetype offset)
{
    quint32 value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value; // little-endian files on a little-endian machine
}

quint16 u16(QByteArrayView bytes, qsizetype offset)
{
    quint16 value;
    std::memcpy(&value, bytes.data() + offset, 2);
    return value;
}

QString versionText(quint32 mostSignificant, quint32 leastSignificant)
{
    return QString::number(mostSignificant >> 16) + u'.' + QString::number(mostSignificant & 0xFFFF)
        + u'.' + QString::number(leastSignificant >> 16) + u'.'
        + QString::number(leastSignificant & 0xFFFF);
}

std::optional<FileVersion> scan(QByteArrayView bytes)
{
    for (qsizetype at = 0; at + 52 <= bytes.size(); at += 4) {
        if (u32(bytes, at) == VersionInfo::Signature
            && u32(bytes, at + 4) == VersionInfo::StructVersion) {
            return FileVersion{versionText(u32(bytes, at + 8), u32(bytes, at + 12)),
                               versionText(u32(bytes, at + 16), u32(bytes, at + 20))};
        }
    }
    return std::nullopt;
}

/// The raw bytes of the ".rsrc" section of a PE file, or an empty view.
QByteArrayView peResourceSection(QByteArrayView bytes)
{
    if (bytes.size() < 0x40)
        return {};
    const quint32 peOffset = u32(bytes, 0x3C);
    if (qsizetype(peOffset) + 24 > bytes.size() || std::memcmp(bytes.data() + peOffset, "PE\0\0", 4))
        return {};
    const quint16 sections = u16(bytes, peOffset + 6);
    const quint16 optionalSize = u16(bytes, peOffset + 20);
    qsizetype table = qsizetype(peOffset) + 24 + optionalSize;
    for (int i = 0; i < sections && table + 40 <= bytes.size(); ++i, table += 40) {
        if (std::memcmp(bytes.data() + table, ".rsrc\0\0\0", 8) != 0)
            continue;
        const quint32 rawSize = u32(bytes, table + 16);
        const quint32 rawOffset = u32(bytes, table + 20);
        if (rawOffset >= quint64(bytes.size()))
            return {};
        return bytes.sliced(rawOffset, qMin<qsizetype>(rawSize, bytes.size() - rawOffset));
    }
    return {};
}

} // namespace

std::optional<FileVersion> findFileVersion(QByteArrayView bytes)
{
    if (bytes.startsWith("MZ")) {
        // The record is 4-byte aligned inside the resource data; the section starts aligned.
        return scan(peResourceSection(bytes));
    }
    if (bytes.startsWith("\x7f" "ELF"))
        return scan(bytes.first(qMin(bytes.size(), MaxScannedBytes)));
    return std::nullopt;
}

std::optional<FileVersion> readFileVersion(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 4)
        return std::nullopt;
    uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return std::nullopt;
    auto version = findFileVersion(QByteArrayView(mapped, file.size()));
    file.unmap(mapped);
    return version;
}
