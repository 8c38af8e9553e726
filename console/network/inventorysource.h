#pragma once

#include "console/network/networkresource.h"

/// The computers listed in the inventory file TarvoNetwork.ini: a group per section, a
/// computer per key, its address the key's value. The file is read at each expansion.
class InventorySource : public NetworkSource
{
    Q_OBJECT
public:
    explicit InventorySource(QString iniPath, QObject *parent = nullptr);
    NetworkResource resource() const override;
    void enumerate(const QStringList &path) override;

    static QString sourceName();

private:
    QString m_iniPath;
};
