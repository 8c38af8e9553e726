#pragma once

#include <QDateTime>
#include <QString>

struct ColumnLists;

/// The two statements of the SQL step.
struct SqlStatements
{
    QString insert;
    QString update;
};

/// "TarvoInfo" + " " + major.minor.revision of this release.
QString lastUpdateBy();

/// The INSERT and UPDATE texts for the reported columns plus the three LastUpdate columns stamped
/// with `now`. The table name goes in unchanged; the row is keyed by `macText`.
SqlStatements buildSqlStatements(const QString &table, const ColumnLists &columns,
                                 const QString &macText, const QDateTime &now);
