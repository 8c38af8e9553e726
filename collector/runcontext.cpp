#include "collector/runcontext.h"

#include "common/agentinikeys.h"
#include "common/atomicfile.h"
#include "common/codepage.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

void ColumnLists::AddColumn(const QString &column, const QString &value)
{
    QString quoted = value;
    quoted.replace(u"'"_s, u"''"_s);
    columnList += column + u',';
    valueList += u'\'' + quoted + u"',"_s;
    setList += column + u"='"_s + quoted + u"',"_s;
}

QString RunContext::setting(const char *key) const
{
    return CodePage::fromAnsi(agentSettings.value(AgentIni::InfoSection, key));
}

QString RunContext::outputFile(const QString &extension) const
{
    return QDir(folder).filePath(macText + extension);
}

QString RunContext::dataFile() const
{
    return QDir(folder).filePath(u"TarvoInfo.dat"_s);
}

bool RunContext::copyDataFile(const QString &target) const
{
    QFile source(dataFile());
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    return source.error() == QFileDevice::NoError && writeFileAtomically(target, bytes);
}
