#include "collector/sqlstatements.h"

#include "collector/runcontext.h"

using namespace Qt::StringLiterals;

QString lastUpdateBy()
{
    return u"TarvoInfo "_s + QStringLiteral(TARVO_VERSION);
}

SqlStatements buildSqlStatements(const QString &table, const ColumnLists &columns,
                                 const QString &macText, const QDateTime &now)
{
    const QString by = lastUpdateBy();
    const QString date = now.toString(u"yyyyMMdd"_s);
    const QString time = now.toString(u"HHmmss"_s);

    const QString columnList = columns.columnList + u"LastUpdateBy,LastUpdateDate,LastUpdateTime"_s;
    const QString valueList =
        columns.valueList + u'\'' + by + u"','"_s + date + u"','"_s + time + u'\'';
    const QString setList = columns.setList + u"LastUpdateBy='"_s + by + u"',"_s
                            + u"LastUpdateDate='"_s + date + u"',"_s + u"LastUpdateTime='"_s
                            + time + u'\'';

    // The key is quoted like every value, so a computer name standing in for the MAC address
    // cannot end the literal early.
    QString key = macText;
    key.replace(u"'"_s, u"''"_s);

    SqlStatements statements;
    statements.insert =
        u"INSERT INTO "_s + table + u'(' + columnList + u") VALUES("_s + valueList + u')';
    statements.update = u"UPDATE "_s + table + u" SET "_s + setList
                        + u" WHERE SysMACAddress='"_s + key + u'\'';
    return statements;
}
