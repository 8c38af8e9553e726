#include "console/ui/consoleicons.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

using namespace Qt::Literals::StringLiterals;

namespace {
struct Choice
{
    const char16_t *theme;
    QStyle::StandardPixmap fallback;
};

QIcon pick(const Choice &choice)
{
    // Without a desktop (offscreen, a bare window manager) Qt's theme is only "hicolor", which
    // has none of these icons: the theme Debian installs with GTK stands in.
    static const bool themeChosen = [] {
        if (!QIcon::hasThemeIcon(u"computer"_s))
            QIcon::setThemeName(u"Adwaita"_s);
        return true;
    }();
    Q_UNUSED(themeChosen);
    const QIcon themed = QIcon::fromTheme(QString::fromUtf16(choice.theme));
    return themed.isNull() ? QApplication::style()->standardIcon(choice.fallback) : themed;
}
} // namespace

namespace ConsoleIcons {

QIcon treeImage(const QString &key)
{
    static const QHash<QString, Choice> images = {
        {u"root"_s, {u"network-workgroup", QStyle::SP_DriveNetIcon}},
        {u"network"_s, {u"network-wired", QStyle::SP_DriveNetIcon}},
        {u"domain"_s, {u"network-workgroup", QStyle::SP_DirIcon}},
        {u"group"_s, {u"folder-remote", QStyle::SP_DirIcon}},
        {u"ndscontainer"_s, {u"folder", QStyle::SP_DirIcon}},
        {u"tree"_s, {u"folder", QStyle::SP_DirIcon}},
        {u"server"_s, {u"computer", QStyle::SP_ComputerIcon}},
        {u"share"_s, {u"folder-remote", QStyle::SP_DirLinkIcon}},
        {u"adminshare"_s, {u"folder-remote", QStyle::SP_DirLinkIcon}},
        {u"directory"_s, {u"folder", QStyle::SP_DirIcon}},
        {u"folder"_s, {u"folder", QStyle::SP_DirIcon}},
        {u"printer"_s, {u"printer", QStyle::SP_FileIcon}},
        {u"file"_s, {u"text-x-generic", QStyle::SP_FileIcon}},
    };
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(key);
    if (found != cache.cend())
        return *found;
    const Choice choice = images.value(key, {u"network-server", QStyle::SP_DriveNetIcon});
    return *cache.insert(key, pick(choice));
}

QIcon withState(const QIcon &base, bool up)
{
    // The desktop themes name no emblem that every one of them has: Qt's own marks are used.
    const QIcon emblem = QApplication::style()->standardIcon(
        up ? QStyle::SP_DialogApplyButton : QStyle::SP_DialogCancelButton);
    // Two icons laid over each other; nothing is drawn by hand.
    QIcon combined;
    for (const int size : {16, 22, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.drawPixmap(0, 0, base.pixmap(size, size));
        const int corner = size * 5 / 8;
        painter.drawPixmap(size - corner, size - corner, emblem.pixmap(corner, corner));
        painter.end();
        combined.addPixmap(pixmap);
    }
    return combined;
}

QIcon pageButton(int page)
{
    static const Choice buttons[] = {
        {u"computer", QStyle::SP_ComputerIcon},
        {u"network-workgroup", QStyle::SP_DriveNetIcon},
        {u"system-search", QStyle::SP_FileDialogContentsView},
        {u"text-x-generic", QStyle::SP_FileDialogDetailedView},
        {u"document-send", QStyle::SP_ArrowUp},
        {u"preferences-system", QStyle::SP_FileDialogListView},
        {u"x-office-spreadsheet", QStyle::SP_DriveHDIcon},
    };
    if (page < 1 || page > 7)
        return {};
    return pick(buttons[page - 1]);
}

} // namespace ConsoleIcons
