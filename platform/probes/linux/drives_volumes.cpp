#include "platform/probes/drives.h"

#include "platform/probes/sysprobe.h"

#include <QDir>
#include <QFileInfo>

#include <sys/statvfs.h>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

// /sys/block/<disk>/removable of the disk a device node belongs to (a partition's parent).
bool isRemovableMedium(const QString &device)
{
    const QString node = QFileInfo(device).canonicalFilePath();
    if (!node.startsWith(u"/dev/"_s))
        return false;
    const QFileInfo block(u"/sys/class/block/"_s + QFileInfo(node).fileName());
    if (!block.exists())
        return false;
    QString disk = block.canonicalFilePath();
    if (QFileInfo::exists(disk + u"/partition"_s))
        disk = QFileInfo(disk).absolutePath();
    return readSmallFile(disk + u"/removable"_s).trimmed() == "1";
}

QString volumeLabel(const QString &device)
{
    const QString node = QFileInfo(device).canonicalFilePath();
    if (node.isEmpty())
        return {};
    const QDir labels(u"/dev/disk/by-label"_s);
    for (const QFileInfo &link : labels.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() == node)
            return unescapeLabel(link.fileName());
    }
    return {};
}

DriveRow driveRow(const DriveMount &drive)
{
    DriveRow row = emptyDriveRow(drive.letter);
    const MountEntry &mount = drive.mount;
    const bool network = isNetworkFileSystem(mount.fsType);
    row.type = driveTypeText(mount, !network && isRemovableMedium(mount.device));
    row.fileSystem = mount.fsType;
    if (!network)
        row.volume = volumeLabel(mount.device);
    struct statvfs figures = {};
    if (statvfs(QFile::encodeName(mount.mountPoint).constData(), &figures) == 0) {
        // All free blocks of the volume, including those reserved for the superuser.
        row.total = SysInfo::FormatSize(quint64(figures.f_blocks) * figures.f_frsize);
        row.free = SysInfo::FormatSize(quint64(figures.f_bfree) * figures.f_frsize);
    }
    return row;
}

} // namespace

QList<DriveRow> readDriveRows()
{
    QList<DriveRow> rows;
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter)
        rows << emptyDriveRow(QChar(letter));
    const QList<DriveMount> drives = assignDriveLetters(parseMounts(readSmallFile(u"/proc/mounts"_s)));
    for (const DriveMount &drive : drives)
        rows[drive.letter.unicode() - u'A'] = driveRow(drive);
    return rows;
}

} // namespace SysProbe
