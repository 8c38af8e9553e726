#include "collector/appitemevaluation.h"

#include "collector/registrytext.h"
#include "platform/probes/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString evaluateRegistryItem(const AppItem &item, const Registry &registry)
{
    const std::optional<RegistryRoot> root = Registry::rootFromName(item.keyOrFolder);
    const bool opened = root && registry.openKey(*root, item.subKeyOrFile);
    if (item.valueEntry.isEmpty())
        return opened ? u"True"_s : u"False"_s;
    if (!opened)
        return u"オープンできず"_s;
    return RegistryText::valueText(registry.queryValue(*root, item.subKeyOrFile, item.valueEntry));
}

namespace {

// Dir() with directory entries included: the path itself, or the first match of a wildcard in
// its last component.
bool pathFound(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!name.contains(u'*') && !name.contains(u'?'))
        return info.exists();
    const QDir folder = info.dir();
    return !folder.entryList({name}, QDir::AllEntries | QDir::Hidden | QDir::System
                                         | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace

QString evaluateFileItem(const AppItem &item)
{
    if (item.subKeyOrFile.isEmpty())
        return pathFound(item.keyOrFolder) ? u"True"_s : u"False"_s;
    // The separator is added even when the folder already ends with one; "//" is harmless.
    QFile file(item.keyOrFolder + u'/' + item.subKeyOrFile);
    const bool readable = !QFileInfo(file.fileName()).isDir() && file.open(QIODevice::ReadOnly);
    return readable ? u"True"_s : u"False"_s;
}

void EvaluateAppItems(QList<AppItem> &items, const Registry &registry)
{
    for (AppItem &item : items) {
        if (item.id == u"R")
            item.value = evaluateRegistryItem(item, registry);
        else if (item.id == u"F")
            item.value = evaluateFileItem(item);
    }
}
