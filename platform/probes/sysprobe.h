#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

/// Shared ground of the system probes: the item table they fill and the small-file reader.
namespace SysProbe {

/// Item name -> text. A probe writes only its own items; an item nobody wrote is empty.
using ItemTexts = QHash<QString, QString>;

/// Every probe has this shape, so that the collection can guard and order them uniformly.
using Probe = void (*)(ItemTexts &items);

/// The whole of a small text file (/proc, /sys, /etc); empty when it cannot be read.
/// /proc files report a size of 0, so this reads to the end instead of trusting the size.
QByteArray readSmallFile(const QString &path);

/// Value of a shell-style KEY=value line set (os-release, /etc/default/keyboard): quotes and
/// backslash escapes removed; empty when the key is missing.
QString shellVariable(QByteArrayView text, QByteArrayView key);

} // namespace SysProbe
