#include "platform/probes/drives.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace SysProbe;

class TestDrives : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mounts();
    void letters_data();
    void letters();
    void lettersEndAtZ();
    void typeText_data();
    void typeText();
    void labels();
    void emptyRow();
};

void TestDrives::mounts()
{
    const QList<MountEntry> mounts = parseMounts(
        "/dev/sda2 / ext4 rw,relatime 0 0\n"
        "/dev/sdb1 /media/taro/My\\040Disk vfat rw 0 0\n"
        "short line\n\n"_ba);
    QCOMPARE(mounts.size(), 2);
    QCOMPARE(mounts[0].device, u"/dev/sda2"_s);
    QCOMPARE(mounts[1].mountPoint, u"/media/taro/My Disk"_s);
    QCOMPARE(mounts[1].fsType, u"vfat"_s);
}

void TestDrives::letters_data()
{
    QTest::addColumn<QByteArray>("mounts");
    QTest::addColumn<QStringList>("assigned"); // letter + mount point

    QTest::newRow("root is C, others from D in mount order")
        << "sysfs /sys sysfs rw 0 0\nproc /proc proc rw 0 0\n/dev/nvme0n1p2 / ext4 rw 0 0\n"
           "tmpfs /run tmpfs rw 0 0\n/dev/nvme0n1p1 /boot/efi vfat rw 0 0\n"
           "/dev/sdb1 /media/usb vfat rw 0 0\nserver:/export /mnt/nfs nfs4 rw 0 0\n"
           "//nas/share /mnt/smb cifs rw 0 0\n"_ba
        << QStringList{u"C /"_s, u"D /boot/efi"_s, u"E /media/usb"_s, u"F /mnt/nfs"_s,
                       u"G /mnt/smb"_s};
    QTest::newRow("root from overlay still C")
        << "overlay / overlay rw 0 0\n/dev/vda1 /data ext4 rw 0 0\n"_ba
        << QStringList{u"C /"_s, u"D /data"_s};
    QTest::newRow("bind mounts and snaps get no letter")
        << "/dev/sda1 / ext4 rw 0 0\n/dev/sda1 /var/lib/docker ext4 rw 0 0\n"
           "/dev/loop3 /snap/core/1 squashfs ro 0 0\n/dev/sda3 /home ext4 rw 0 0\n"_ba
        << QStringList{u"C /"_s, u"D /home"_s};
    QTest::newRow("hidden mount replaced")
        << "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /mnt ext4 rw 0 0\n/dev/sdc1 /mnt ext4 rw 0 0\n"_ba
        << QStringList{u"C /"_s, u"D /mnt"_s};
    QTest::newRow("no root") << "proc /proc proc rw 0 0\n"_ba << QStringList{};
}

void TestDrives::letters()
{
    QFETCH(QByteArray, mounts);
    QFETCH(QStringList, assigned);
    QStringList result;
    for (const DriveMount &drive : assignDriveLetters(parseMounts(mounts)))
        result << QString(drive.letter) + u' ' + drive.mount.mountPoint;
    QCOMPARE(result, assigned);
}

void TestDrives::lettersEndAtZ()
{
    QByteArray text = "/dev/sda1 / ext4 rw 0 0\n"_ba;
    for (int i = 0; i < 30; ++i)
        text += "/dev/sdx" + QByteArray::number(i) + " /m/" + QByteArray::number(i) + " ext4 rw 0 0\n";
    const QList<DriveMount> drives = assignDriveLetters(parseMounts(text));
    QCOMPARE(drives.size(), 24); // C to Z
    QCOMPARE(drives.last().letter, QChar(u'Z'));
    QCOMPARE(drives.last().mount.mountPoint, u"/m/22"_s);
}

void TestDrives::typeText_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("fsType");
    QTest::addColumn<bool>("removable");
    QTest::addColumn<QString>("text");

    QTest::newRow("disk") << u"/dev/sda1"_s << u"ext4"_s << false << u"FIXED"_s;
    QTest::newRow("usb stick") << u"/dev/sdb1"_s << u"vfat"_s << true << u"REMOVABLE"_s;
    QTest::newRow("nfs") << u"srv:/x"_s << u"nfs"_s << false << u"REMOTE"_s;
    QTest::newRow("cifs") << u"//nas/s"_s << u"cifs"_s << false << u"REMOTE"_s;
    QTest::newRow("cd") << u"/dev/sr0"_s << u"iso9660"_s << true << u"CD-ROM"_s;
    QTest::newRow("zram") << u"/dev/zram0"_s << u"ext4"_s << false << u"RAMDISK"_s;
}

void TestDrives::typeText()
{
    QFETCH(QString, device);
    QFETCH(QString, fsType);
    QFETCH(bool, removable);
    QFETCH(QString, text);
    QCOMPARE(driveTypeText(MountEntry{device, u"/x"_s, fsType}, removable), text);
}

void TestDrives::labels()
{
    QCOMPARE(unescapeLabel(u"My\\x20Disk"_s), u"My Disk"_s);
    QCOMPARE(unescapeLabel(u"\\xe3\\x83\\x87\\xe3\\x83\\xbc\\xe3\\x82\\xbf"_s), u"データ"_s);
    QCOMPARE(unescapeLabel(u"plain"_s), u"plain"_s);
}

void TestDrives::emptyRow()
{
    const DriveRow row = emptyDriveRow(u'Q');
    QCOMPARE(row.letter, u"Q"_s);
    QCOMPARE(row.type, u"Unknown(1)"_s);
    QCOMPARE(row.volume, QString());
    QCOMPARE(row.fileSystem, QString());
    QCOMPARE(row.total, u" 0Bytes"_s);
    QCOMPARE(row.free, u" 0Bytes"_s);
}

QTEST_APPLESS_MAIN(TestDrives)
#include "tst_drives.moc"
