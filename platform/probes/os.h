#pragma once

#include "platform/probes/sysprobe.h"

#include <QByteArrayView>
#include <QString>

/// Operating system, names, folders and uptime: the items Windows gives through its version,
/// name and directory calls and its tick count.
namespace SysProbe {

struct KernelVersion
{
    int major = 0;
    int minor = 0;
    int patch = 0;
    bool valid = false;
};

/// "6.1.0-18-amd64" -> 6, 1, 0. Anything after the numbers is ignored.
KernelVersion parseKernelRelease(QByteArrayView release);
/// The system's display name from os-release: PRETTY_NAME, else NAME + " " + VERSION, else NAME.
QString osNameFromRelease(QByteArrayView osRelease);
/// Milliseconds since boot from the first figure of /proc/uptime; -1 when unreadable.
qint64 parseUptimeMilliseconds(QByteArrayView procUptime);
/// A folder text ending in "/" (the Linux counterpart of the trailing "\"); empty stays empty.
QString withTrailingSlash(QString path);
/// The computer name of a host name: the part before the first dot, as a Windows name has no
/// domain part.
QString computerNameOf(const QString &hostName);
/// The domain part of a host name ("pc1.example.jp" -> "example.jp"), empty when it has none.
QString domainPartOf(const QString &hostName);

void probeOsVersion(ItemTexts &items);
void probeUserName(ItemTexts &items);
void probeDirectories(ItemTexts &items);
void probeComputerName(ItemTexts &items);
void probeUptime(ItemTexts &items);

/// gethostname(), whole (may carry a domain part); empty on failure.
QString hostName();

} // namespace SysProbe
