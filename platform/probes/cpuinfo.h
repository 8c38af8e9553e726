#pragma once

#include <QByteArrayView>
#include <QString>

/// What the collector and the registry stand-in need from /proc/cpuinfo.
struct CpuInfo
{
    int processors = 0;
    int family = 0;
    int model = 0;
    int stepping = 0;
    int mhz = 0;        // whole MHz of the first processor, 0 when unknown
    QString modelName;  // "model name" of the first processor
    QString vendor;
};

CpuInfo parseCpuInfo(QByteArrayView text);
CpuInfo readCpuInfo();
