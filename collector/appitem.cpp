#include "collector/appitem.h"

#include "collector/definitionfile.h"
#include "collector/registrytext.h"
#include "common/codepage.h"
#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString AppItem::line(const QString &lineDate, const QString &lineTime) const
{
    return QStringList{id, lineDate, lineTime, keyOrFolder, subKeyOrFile, valueEntry,
                       DefinitionFile::escapeValue(value)}
        .join(u';');
}

QList<AppItem> LoadAppItems(const ProfileFile &definitions, const QString &section)
{
    QList<AppItem> items;
    if (section.isEmpty())
        return items;
    const QByteArray sectionName = CodePage::toAnsi(section);
    for (const QByteArray &key : DefinitionFile::sectionKeys(definitions, sectionName)) {
        const QString line = CodePage::fromAnsi(definitions.value(sectionName, key));
        const QStringList fields = DefinitionFile::splitFields(line, 7);
        AppItem item;
        item.column = CodePage::fromAnsi(key).trimmed();
        item.id = fields[0].trimmed();
        item.date = fields[1].trimmed();
        item.time = fields[2].trimmed();
        item.keyOrFolder = fields[3].trimmed();
        item.subKeyOrFile = fields[4].trimmed();
        item.valueEntry = fields[5].trimmed();
        item.value = DefinitionFile::unescapeValue(fields[6].trimmed());
        items.append(item);
    }
    return items;
}

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
