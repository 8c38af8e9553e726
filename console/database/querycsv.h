#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariant>

class QSqlQuery;

/// What a CSV save wrote.
struct CsvSaveResult
{
    bool ok = false;
    qint64 records = 0;
    int unrepresentable = 0; // values written with "?" for characters CP932 cannot hold
    QString error;
};

/// The CSV layout of query results: every value in its write-statement form followed by a comma,
/// CR LF after each line, CP932 text.
namespace QueryCsv {

/// One value: "text" (a double quote inside doubled), numbers bare with a period, #date time#,
/// #NULL#, #TRUE#/#FALSE#. `columnType` lets a number the driver hands over as text stay bare.
/// `lossy` is counted up when the text had characters CP932 cannot hold.
QByteArray field(const QVariant &value, QMetaType columnType, int *lossy);

/// The header line and one line per record of an executed query, from its current position to
/// its end.
QByteArray fromQuery(QSqlQuery &query, qint64 *records, int *lossy);

/// Writes `bytes` to `path` atomically; `result` keeps its counts and gets the failure text.
void writeFile(const QString &path, const QByteArray &bytes, CsvSaveResult *result);

} // namespace QueryCsv
