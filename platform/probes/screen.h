#pragma once

#include "platform/probes/sysprobe.h"

#include <QByteArrayView>
#include <QString>

/// The screen resolution (SysScreenResolution) from the kernel's display connectors.
namespace SysProbe {

/// "1920*1080" of the first mode in a DRM connector's "modes" file (its preferred mode).
QString resolutionFromDrmModes(QByteArrayView modes);
/// "1024*768" of a framebuffer's "virtual_size" ("1024,768").
QString resolutionFromFramebuffer(QByteArrayView virtualSize);

/// The first connected connector (in name order) of a /sys/class/drm-like folder; else the
/// first framebuffer of a /sys/class/graphics-like folder; else empty.
QString screenResolution(const QString &drmFolder, const QString &graphicsFolder);

void probeScreen(ItemTexts &items);

} // namespace SysProbe
