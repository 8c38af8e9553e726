#include "platform/probes/drives.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

QString unescapeOctal(const QByteArray &field)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return QString::fromUtf8(out);
}

bool startsWithAny(const QString &text, std::initializer_list<QStringView> prefixes)
{
    for (QStringView prefix : prefixes) {
        if (text.startsWith(prefix))
            return true;
    }
    return false;
}

} // namespace

QList<MountEntry> parseMounts(QByteArrayView text)
{
    QList<MountEntry> mounts;
    for (const QByteArray &line : QByteArray(text.data(), text.size()).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        mounts << MountEntry{unescapeOctal(fields[0]), unescapeOctal(fields[1]),
                             QString::fromUtf8(fields[2])};
    }
    return mounts;
}

bool isNetworkFileSystem(const QString &fsType)
{
    static const QSet<QString> network = {
        u"nfs"_s,  u"nfs4"_s,      u"cifs"_s, u"smb3"_s,       u"smbfs"_s,          u"ncpfs"_s,
        u"afs"_s,  u"ceph"_s,      u"9p"_s,   u"glusterfs"_s,  u"davfs"_s,          u"fuse.sshfs"_s,
        u"fuse.glusterfs"_s, u"fuse.davfs2"_s, u"fuse.rclone"_s, u"fuse.s3fs"_s,
    };
    return network.contains(fsType);
}

bool isDriveFileSystem(const MountEntry &mount)
{
    if (isNetworkFileSystem(mount.fsType))
        return true;
    // squashfs holds read-only application images (snaps, live media), not volumes of the PC.
    return mount.device.startsWith(u"/dev/"_s) && mount.fsType != u"squashfs"_s;
}

QList<DriveMount> assignDriveLetters(const QList<MountEntry> &mounts)
{
    QList<DriveMount> drives;
    // Only the last mount on a folder is visible; the root is drive C whatever its kind.
    QList<MountEntry> visible;
    for (qsizetype i = 0; i < mounts.size(); ++i) {
        bool hidden = false;
        for (qsizetype j = i + 1; j < mounts.size() && !hidden; ++j)
            hidden = mounts[j].mountPoint == mounts[i].mountPoint;
        if (!hidden)
            visible << mounts[i];
    }
    QSet<QString> devicesLettered;
    for (const MountEntry &mount : visible) {
        if (mount.mountPoint == u"/"_s) {
            drives.prepend({u'C', mount});
            devicesLettered.insert(mount.device);
        }
    }
    QChar next = u'D';
    for (const MountEntry &mount : visible) {
        if (next > u'Z')
            break;
        if (mount.mountPoint == u"/"_s || !isDriveFileSystem(mount) || devicesLettered.contains(mount.device))
            continue;
        devicesLettered.insert(mount.device);
        drives << DriveMount{next, mount};
        next = QChar(next.unicode() + 1);
    }
    return drives;
}

QString driveTypeText(const MountEntry &mount, bool removableMedium)
{
    if (isNetworkFileSystem(mount.fsType))
        return u"REMOTE"_s;
    if (mount.fsType == u"iso9660"_s || mount.fsType == u"udf"_s
        || startsWithAny(mount.device, {u"/dev/sr", u"/dev/scd", u"/dev/cdrom"}))
        return u"CD-ROM"_s;
    if (mount.fsType == u"tmpfs"_s || mount.fsType == u"ramfs"_s
        || startsWithAny(mount.device, {u"/dev/ram", u"/dev/zram"}))
        return u"RAMDISK"_s;
    return removableMedium ? u"REMOVABLE"_s : u"FIXED"_s;
}

QString unescapeLabel(const QString &linkName)
{
    QByteArray out;
    const QByteArray raw = linkName.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x') {
            bool ok = false;
            const int value = raw.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += raw[i];
    }
    return QString::fromUtf8(out);
}

DriveRow emptyDriveRow(QChar letter)
{
    return DriveRow{QString(letter), u"Unknown(1)"_s, QString(), QString(),
                    SysInfo::FormatSize(0), SysInfo::FormatSize(0)};
}

} // namespace SysProbe
