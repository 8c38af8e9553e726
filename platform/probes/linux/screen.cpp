#include "platform/probes/screen.h"

#include <QDir>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

QString resolutionText(QByteArrayView text, const QRegularExpression &pattern)
{
    const QString line = QString::fromLatin1(text).section(u'\n', 0, 0).trimmed();
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return {};
    return match.captured(1) + u'*' + match.captured(2);
}

} // namespace

QString resolutionFromDrmModes(QByteArrayView modes)
{
    // "1920x1080", with "i" after interlaced modes.
    static const QRegularExpression pattern(u"^([1-9][0-9]{0,5})x([1-9][0-9]{0,5})i?$"_s);
    return resolutionText(modes, pattern);
}

QString resolutionFromFramebuffer(QByteArrayView virtualSize)
{
    static const QRegularExpression pattern(u"^([1-9][0-9]{0,5}),([1-9][0-9]{0,5})$"_s);
    return resolutionText(virtualSize, pattern);
}

QString screenResolution(const QString &drmFolder, const QString &graphicsFolder)
{
    const QDir drm(drmFolder);
    // Connectors are "card0-HDMI-A-1"; the bare "card0" and "renderD128" have no status.
    for (const QString &connector : drm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString base = drm.filePath(connector) + u'/';
        if (readSmallFile(base + u"status"_s).trimmed() != "connected")
            continue;
        const QString text = resolutionFromDrmModes(readSmallFile(base + u"modes"_s));
        if (!text.isEmpty())
            return text;
    }
    const QDir graphics(graphicsFolder);
    for (const QString &fb : graphics.entryList({u"fb*"_s}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString text =
            resolutionFromFramebuffer(readSmallFile(graphics.filePath(fb) + u"/virtual_size"_s));
        if (!text.isEmpty())
            return text;
    }
    return {};
}

void probeScreen(ItemTexts &items)
{
    items[u"SysScreenResolution"_s] =
        screenResolution(u"/sys/class/drm"_s, u"/sys/class/graphics"_s);
}

} // namespace SysProbe
