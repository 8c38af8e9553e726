#include "console/ipaddressboxes.h"

using namespace Qt::Literals::StringLiterals;

namespace IpAddressBoxes {

KeyAction keyAction(int box, QChar key)
{
    if (key == u'\b' || (key >= u'0' && key <= u'9'))
        return KeyAction::Accept;
    if (key == u'.')
        return box < BoxCount - 1 ? KeyAction::DiscardAndNextBox : KeyAction::Discard;
    return KeyAction::Discard;
}

QString clampBox(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    // Only a number above the range is corrected; an empty box stays empty.
    return ok && value > 255 ? u"255"_s : text;
}

QString targetHost(const QStringList &boxes)
{
    QStringList parts;
    for (int i = 0; i < BoxCount; ++i)
        parts.append(boxes.value(i).trimmed());
    return parts.join(u'.');
}

bool isComplete(const QStringList &boxes)
{
    for (int i = 0; i < BoxCount; ++i) {
        if (boxes.value(i).trimmed().isEmpty())
            return false;
    }
    return true;
}

} // namespace IpAddressBoxes
