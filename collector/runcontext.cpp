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

bool RunContext::copyDataFile(const QString &target, QByteArray *copied) const
{
    QFile source(QDir(folder).filePath(u"TarvoInfo.dat"_s));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return false;
    if (!writeFileAtomically(target, bytes))
        return false;
    if (copied)
        *copied = bytes;
    return true;
}
