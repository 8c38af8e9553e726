#include "platform/probes/cpuinfo.h"

#include <QFile>

#include <cmath>
#include <unistd.h>

namespace {

// Whole MHz as the registry's ~MHz value holds it: the nearest integer.
int wholeMhz(QByteArrayView text)
{
    bool ok = false;
    const double value = QByteArray(text.data(), text.size()).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0 || value > 1e7)
        return 0;
    return int(std::lround(value));
}

int number(QByteArrayView text)
{
    bool ok = false;
    const int value = QByteArray(text.data(), text.size()).toInt(&ok, 0);
    return ok && value >= 0 ? value : 0;
}

} // namespace

CpuInfo parseCpuInfo(QByteArrayView text)
{
    CpuInfo info;
    for (QByteArrayView line : QByteArray::fromRawData(text.data(), text.size()).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArrayView key = line.first(colon).trimmed();
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (key == "processor") {
            ++info.processors;
            continue;
        }
        // Only the first processor's block describes the CPU, as the registry's key 0 does.
        if (info.processors > 1)
            continue;
        if (key == "cpu family")
            info.family = number(value);
        else if (key == "model")
            info.model = number(value);
        else if (key == "stepping")
            info.stepping = number(value);
        else if (key == "cpu MHz")
            info.mhz = wholeMhz(value);
        else if (key == "model name")
            info.modelName = QString::fromUtf8(value);
        else if (key == "vendor_id")
            info.vendor = QString::fromUtf8(value);
    }
    return info;
}

namespace {

// The rated clock of the first processor. "cpu MHz" of /proc/cpuinfo is the momentary clock,
// which frequency scaling changes from second to second; the rated one stays put between runs,
// as the registry's ~MHz does.
int cpufreqMhz()
{
    for (const char *name : {"base_frequency", "cpuinfo_max_freq"}) {
        QFile file(QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/") + QLatin1StringView(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qint64 khz = file.readAll().trimmed().toLongLong(&ok);
        if (ok && khz > 0)
            return int((khz + 500) / 1000);
    }
    return 0;
}

} // namespace

CpuInfo readCpuInfo()
{
    CpuInfo info;
    // /proc files report a size of 0: read until end instead of trusting size().
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly))
        info = parseCpuInfo(file.readAll());
    if (info.processors == 0) {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        info.processors = online > 0 ? int(online) : 0;
    }
    if (const int rated = cpufreqMhz(); rated > 0)
        info.mhz = rated;
    return info;
}
