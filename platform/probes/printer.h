#pragma once

#include "platform/probes/sysprobe.h"

#include <QByteArrayView>
#include <QString>

/// The default printer (SysDefaultPrinter) from the CUPS configuration files.
namespace SysProbe {

/// The destination of the last "Default" line of an lpoptions file ("name" or "name/instance").
QString parseLpoptionsDefault(QByteArrayView lpoptions);
/// The name of the "<DefaultPrinter name>" block of CUPS' printers.conf.
QString parsePrintersConfDefault(QByteArrayView printersConf);

void probeDefaultPrinter(ItemTexts &items);

} // namespace SysProbe
