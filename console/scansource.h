#pragma once

#include "console/networkresource.h"

/// The computers found by scanning the ranges of TarvoNetwork.ini (section "Scan", key
/// "Ranges"): one group per range; expanding a range scans it in the background.
class ScanSource : public NetworkSource
{
    Q_OBJECT
public:
    ScanSource(QString iniPath, quint16 port, int timeoutMs, QObject *parent = nullptr);
    NetworkResource resource() const override;
    void enumerate(const QStringList &path) override;

    static QString sourceName();

private:
    void scanRange(const QStringList &path);

    QString m_iniPath;
    quint16 m_port;
    int m_timeoutMs;
};
