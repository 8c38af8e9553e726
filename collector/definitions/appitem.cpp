#include "collector/definitions/appitem.h"

#include "collector/definitions/definitionfile.h"
#include "common/codepage.h"

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
