#include "platform/probes/os.h"

#include "platform/probes/sysinfo.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace SysProbe {

KernelVersion parseKernelRelease(QByteArrayView release)
{
    KernelVersion version;
    int parts[3] = {0, 0, 0};
    int index = 0;
    bool digits = false;
    for (const char c : release) {
        if (c >= '0' && c <= '9') {
            if (parts[index] > 100000)
                return {};
            parts[index] = parts[index] * 10 + (c - '0');
            digits = true;
        } else if (c == '.' && digits && index < 2) {
            ++index;
            digits = false;
        } else {
            break;
        }
    }
    // At least "major.minor" must be there for the text to be a kernel release.
    if (index < 1 || (index == 1 && !digits))
        return {};
    version.major = parts[0];
    version.minor = parts[1];
    version.patch = index == 2 && digits ? parts[2] : 0;
    version.valid = true;
    return version;
}

QString osNameFromRelease(QByteArrayView osRelease)
{
    const QString pretty = shellVariable(osRelease, "PRETTY_NAME");
    if (!pretty.isEmpty())
        return pretty;
    const QString name = shellVariable(osRelease, "NAME");
    const QString version = shellVariable(osRelease, "VERSION");
    if (!name.isEmpty() && !version.isEmpty())
        return name + u' ' + version;
    return name;
}

qint64 parseUptimeMilliseconds(QByteArrayView procUptime)
{
    const QByteArray first = QByteArray(procUptime.data(), procUptime.size()).trimmed().split(' ').value(0);
    bool ok = false;
    const double seconds = first.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 1e12)
        return -1;
    return qint64(seconds * 1000.0);
}

QString withTrailingSlash(QString path)
{
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString computerNameOf(const QString &hostName)
{
    return hostName.section(u'.', 0, 0);
}

QString domainPartOf(const QString &hostName)
{
    const qsizetype dot = hostName.indexOf(u'.');
    return dot < 0 ? QString() : hostName.mid(dot + 1);
}

QString hostName()
{
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return {};
    return QString::fromLocal8Bit(buffer).trimmed();
}

void probeOsVersion(ItemTexts &items)
{
    QString name = osNameFromRelease(readSmallFile(u"/etc/os-release"_s));
    if (name.isEmpty())
        name = osNameFromRelease(readSmallFile(u"/usr/lib/os-release"_s));
    struct utsname uts = {};
    if (uname(&uts) != 0) {
        // The same shape as a failed version query: no name parts, version 0.0.
        items[u"SysOSVersion"_s] = u"0.0"_s;
        items[u"SysOS"_s] = name;
        return;
    }
    if (name.isEmpty())
        name = QString::fromUtf8(uts.sysname);
    items[u"SysOS"_s] = name;
    const KernelVersion kernel = parseKernelRelease(uts.release);
    items[u"SysOSVersion"_s] = QString::number(kernel.major) + u'.' + QString::number(kernel.minor);
    if (kernel.valid)
        items[u"SysOSBuildNumber"_s] = QString::number(kernel.patch & 0xFFFF);
    // The full kernel release carries the distribution's update level, as a service pack does.
    items[u"SysOSServicePack"_s] = QString::fromUtf8(uts.release).trimmed();
}

void probeUserName(ItemTexts &items)
{
    QString name;
    if (const struct passwd *entry = getpwuid(geteuid()); entry && entry->pw_name)
        name = QString::fromLocal8Bit(entry->pw_name);
    if (name.isEmpty())
        name = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    items[u"SysUserName"_s] = name.trimmed();
}

namespace {

QString existingFolder(const QString &path)
{
    return QFileInfo(path).isDir() ? withTrailingSlash(path) : QString();
}

} // namespace

void probeDirectories(ItemTexts &items)
{
    // The system's own installation lies at the root, its programs and libraries under /usr.
    items[u"SysWindowsDirectory"_s] = existingFolder(u"/"_s);
    items[u"SysSystemDirectory"_s] = existingFolder(u"/usr/bin"_s);
    // TMPDIR as every Linux program honours it, when it names a real folder.
    const QString tmpdir = qEnvironmentVariable("TMPDIR");
    const bool usable = tmpdir.startsWith(u'/') && QFileInfo(tmpdir).isDir();
    items[u"SysTemporaryDirectory"_s] = existingFolder(usable ? QDir::cleanPath(tmpdir) : u"/tmp"_s);
}

void probeComputerName(ItemTexts &items)
{
    items[u"SysComputerName"_s] = computerNameOf(hostName());
}

void probeUptime(ItemTexts &items)
{
    const qint64 ms = parseUptimeMilliseconds(readSmallFile(u"/proc/uptime"_s));
    if (ms >= 0)
        items[u"SysTickCount"_s] = SysInfo::UptimeText(ms);
}

} // namespace SysProbe
