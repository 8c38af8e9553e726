#include "collector/runcontext.h"

#include "common/codepage.h"

#include <QDir>

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
    return CodePage::fromAnsi(agentSettings.value("TarvoInfo", key));
}

QString RunContext::outputFile(const QString &extension) const
{
    return QDir(folder).filePath(macText + extension);
}
