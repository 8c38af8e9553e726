#pragma once

#include <QList>
#include <QString>

/// One reported system fact: its item name (SysOS ...) and its text.
struct SystemItem
{
    QString name;
    QString value;
};

/// One drive letter's row: letter, type text and the four values of the drive keys.
struct DriveRow
{
    QString letter;     // "A" to "Z"
    QString type;       // "FIXED", "REMOTE", ... "Unknown(1)" for no drive
    QString volume;     // key suffix "Volume"
    QString fileSystem; // key suffix "File"
    QString total;      // key suffix "Total", FormatSize form
    QString free;       // key suffix "Free", FormatSize form
};

/// The system probes of the collector. Every probe is guarded: an item Linux cannot give is
/// empty, and no failure stops the others.
namespace SysInfo {

/// The 41 system items, in the order the collection pass fills them.
QList<SystemItem> collectSystemItems();
/// One row for every letter A to Z, whether or not the drive exists.
QList<DriveRow> collectDriveRows();
/// "n Bytes" / "nKB" / "n.nnMB" text of a byte count.
QString FormatSize(quint64 bytes);
/// "d日h時m分s秒" of a millisecond count.
QString UptimeText(qint64 milliseconds);

} // namespace SysInfo
