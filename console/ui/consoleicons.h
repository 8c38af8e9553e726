#pragma once

#include <QIcon>
#include <QString>

/// The console's icons: the desktop theme's when it has them, Qt's standard icons otherwise,
/// so every icon exists offscreen too.
namespace ConsoleIcons {
/// The tree's image list: "root", "network", "group", "domain", "server", ... Any key without
/// an icon of its own ("generic", an unknown type) gets the default one.
QIcon treeImage(const QString &key);
/// `base` with a small up (answering) or down (silent) emblem in its lower right corner.
QIcon withState(const QIcon &base, bool up);
/// The toolbar button of page 1 to 7.
QIcon pageButton(int page);
} // namespace ConsoleIcons
