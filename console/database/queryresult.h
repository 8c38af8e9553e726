#pragma once

#include "console/settings/fieldcheck.h"
#include "console/database/querycsv.h"
#include "console/settings/sqlsettings.h"
#include "db/database.h"

#include <QSqlQueryModel>

#include <memory>


/// A whole result, read off the thread that shows it: the column names and every row's values.
using QueryTable = ValueSet;

/// The result window's data (frmDatabase) without widgets: one connection held while the
/// window is open, a model that fetches rows only as the grid shows them, and the CSV save that
/// runs the statement again so that every record is written, whatever the grid has fetched.
class QueryResult
{
public:
    QueryResult(SqlSettings settings, QString queryText);
    ~QueryResult();

    /// Runs the statement (again) into the model. A refused statement leaves the model empty.
    DatabaseOutcome run();
    QSqlQueryModel *model() { return &m_model; }
    const QString &queryText() const { return m_queryText; }

    /// Runs the statement once more and writes the whole result as CSV to `path`.
    CsvSaveResult save(const QString &path);

    /// The whole result as CSV bytes, as save() writes them (for standard output).
    std::optional<QByteArray> csv(qint64 *records, int *lossy, DatabaseOutcome *outcome);

    /// Runs the statement on a connection of its own and reads every row: for a thread other
    /// than the window's, which then shows the table (a connection serves one thread only).
    static std::optional<QueryTable> fetchAll(const SqlSettings &settings, const QString &queryText,
                                              DatabaseOutcome *outcome);

private:
    bool ensureOpen(DatabaseOutcome *outcome);

    SqlSettings m_settings;
    QString m_queryText;
    std::unique_ptr<Database> m_db;
    QSqlQueryModel m_model;
};
