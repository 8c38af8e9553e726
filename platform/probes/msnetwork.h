#pragma once

#include "platform/probes/sysprobe.h"

#include <QByteArrayView>
#include <QString>

/// The Microsoft-network membership (workgroup or domain) from Samba's and SSSD's configuration.
namespace SysProbe {

/// The [global] settings of smb.conf that decide the membership.
struct SambaGlobals
{
    bool present = false; // the file had any content at all
    QString workgroup;
    QString security; // lower case: "user", "ads", "domain", ...
    QString realm;
};

SambaGlobals parseSmbConf(QByteArrayView smbConf);
/// The first domain of sssd.conf's [sssd] "domains" whose section uses the AD or IPA provider.
QString parseSssdDomain(QByteArrayView sssdConf);

struct MsNetwork
{
    QString type; // SysMicrosoftNetworkType
    QString name; // SysMicrosoftNetwork
};

/// The membership from the two files' contents (pure).
MsNetwork microsoftNetwork(QByteArrayView smbConf, QByteArrayView sssdConf);

void probeMicrosoftNetwork(ItemTexts &items);

} // namespace SysProbe
