#pragma once

#include "platform/probes/sysinfo.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

/// The drive rows: drive letters over the mounted file systems (C is "/", D onward the other
/// block-device and network file systems in mount order).
namespace SysProbe {

struct MountEntry
{
    QString device;
    QString mountPoint;
    QString fsType;
};

/// /proc/mounts lines; the octal escapes of blanks ("\040") are undone.
QList<MountEntry> parseMounts(QByteArrayView text);
bool isNetworkFileSystem(const QString &fsType);
/// A file system that gets a letter: a block device's (not an application image) or a network
/// share. Pseudo file systems (proc, sysfs, tmpfs, cgroup, overlay ...) get none.
bool isDriveFileSystem(const MountEntry &mount);

struct DriveMount
{
    QChar letter;
    MountEntry mount;
};

/// Letters for the visible mounts: C for "/", then D onward in mount order. A mount hidden by a
/// later mount on the same folder, and a second mount of a device already lettered (bind
/// mounts, subvolumes), get none; letters end at Z.
QList<DriveMount> assignDriveLetters(const QList<MountEntry> &mounts);

/// "FIXED", "REMOVABLE", "REMOTE", "CD-ROM" or "RAMDISK" of a lettered mount.
QString driveTypeText(const MountEntry &mount, bool removableMedium);
/// A /dev/disk/by-label link name with udev's "\xNN" escapes undone.
QString unescapeLabel(const QString &linkName);

/// The row of a letter without a drive.
DriveRow emptyDriveRow(QChar letter);

QList<DriveRow> readDriveRows();

} // namespace SysProbe
