#include "console/database/queryresult.h"

#include "db/database.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

QueryResult::QueryResult(SqlSettings settings, QString queryText)
    : m_settings(std::move(settings))
    , m_queryText(std::move(queryText))
{
}

QueryResult::~QueryResult()
{
    m_model.clear(); // the model's query goes before its connection
}

bool QueryResult::ensureOpen(DatabaseOutcome *outcome)
{
    if (m_db && m_db->isOpen())
        return true;
    m_db = std::make_unique<Database>(m_settings.baseFolder);
    if (m_db->open(m_settings.connectionString()))
        return true;
    *outcome = failureOf(*m_db);
    return false;
}

DatabaseOutcome QueryResult::run()
{
    DatabaseOutcome outcome;
    m_model.clear();
    if (!ensureOpen(&outcome))
        return outcome;
    m_model.setQuery(m_queryText, m_db->handle());
    if (m_model.lastError().isValid()) {
        m_db->takeError(m_model.lastError(), u"問い合わせを実行できませんでした。"_s);
        m_model.clear();
        return failureOf(*m_db);
    }
    return outcome;
}

std::optional<QByteArray> QueryResult::csv(qint64 *records, int *lossy, DatabaseOutcome *outcome)
{
    if (!ensureOpen(outcome))
        return std::nullopt;
    QSqlQuery query(m_db->handle());
    query.setForwardOnly(true);
    if (!query.exec(m_queryText)) {
        m_db->takeError(query.lastError(), u"問い合わせを実行できませんでした。"_s);
        *outcome = failureOf(*m_db);
        return std::nullopt;
    }
    QByteArray bytes = QueryCsv::fromQuery(query, records, lossy);
    if (query.lastError().isValid()) {
        m_db->takeError(query.lastError(), u"問い合わせの結果を読み取れませんでした。"_s);
        *outcome = failureOf(*m_db);
        return std::nullopt;
    }
    return bytes;
}

std::optional<QueryTable> QueryResult::fetchAll(const SqlSettings &settings,
                                                 const QString &queryText, DatabaseOutcome *outcome)
{
    Database db(settings.baseFolder);
    std::optional<QueryTable> table;
    if (db.open(settings.connectionString()))
        table = db.queryValues(queryText);
    if (!table)
        *outcome = failureOf(db);
    return table;
}

CsvSaveResult QueryResult::save(const QString &path)
{
    CsvSaveResult result;
    DatabaseOutcome outcome;
    const auto bytes = csv(&result.records, &result.unrepresentable, &outcome);
    if (!bytes) {
        result.error = outcome.errors.join(u'\n');
        return result;
    }
    QueryCsv::writeFile(path, *bytes, &result);
    return result;
}
