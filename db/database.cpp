#include "db/database.h"

#include "common/programfolder.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

std::atomic<quint64> connectionCounter{0};

bool isDuplicateKeyCode(const QString &driver, const QString &code)
{
    if (driver == u"QSQLITE")
        return code == u"1555" || code == u"2067"; // PRIMARYKEY, UNIQUE constraint
    if (driver == u"QMYSQL")
        return code == u"1062";
    return code == u"2627" || code == u"2601"; // SQL Server through ODBC
}

const QString notOpenText = u"データベースに接続されていないため、処理できません。"_s;

} // namespace

Database::Database(QString baseFolder)
    : m_baseFolder(baseFolder.isEmpty() ? ProgramFolder::path() : std::move(baseFolder))
    , m_connectionName(u"tarvo-db-"_s + QString::number(++connectionCounter))
{
}

Database::~Database()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool Database::open(const QString &connectionString)
{
    clearErrors();
    if (isOpen()) {
        fail(u"データベースにはすでに接続しています。"_s);
        return false;
    }
    const ConnectionTarget target = parseConnectionString(connectionString, m_baseFolder);
    m_secrets = target.secrets;
    if (!target.isValid()) {
        m_errors.append({scrub(target.error), {}, false});
        fail(target.error);
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(target.driver)) {
        const QString text = u"データベースドライバ "_s + target.driver + u" が利用できません。"_s;
        m_errors.append({scrub(text), {}, false});
        fail(text);
        return false;
    }
    // Qt's SQLite driver would create an empty database for a mistyped name; refuse instead.
    if (target.driver == u"QSQLITE" && target.databaseName != u":memory:"
        && !QFileInfo(target.databaseName).isFile()) {
        const QString text =
            u"データベースファイル「"_s + target.databaseName + u"」が見つかりません。"_s;
        m_errors.append({scrub(text), {}, false});
        fail(text);
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, m_connectionName);
        db.setDatabaseName(target.databaseName);
        db.setHostName(target.hostName);
        if (target.port > 0)
            db.setPort(target.port);
        db.setUserName(target.userName);
        db.setPassword(target.password);
        db.setConnectOptions(target.connectOptions);
        if (db.open())
            return true;
        failFromDriver(db.lastError(), u"データベースに接続できませんでした。"_s);
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    return false;
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName)
           && QSqlDatabase::database(m_connectionName, false).isOpen();
}

bool Database::execute(const QString &commandText, qint64 *rowsAffected)
{
    clearErrors();
    if (rowsAffected)
        *rowsAffected = -1;
    if (!isOpen()) {
        fail(notOpenText);
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(commandText)) {
        failFromDriver(query.lastError(), u"SQL文を実行できませんでした。"_s);
        return false;
    }
    if (rowsAffected)
        *rowsAffected = query.numRowsAffected();
    return true;
}

std::optional<QStringList> Database::columns(const QString &table)
{
    clearErrors();
    if (!isOpen()) {
        fail(notOpenText);
        return std::nullopt;
    }
    // A query that returns no row still describes its columns, in the table's order, and a
    // missing table gets the database's own message.
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(u"SELECT * FROM "_s + table + u" WHERE 1=0"_s)) {
        failFromDriver(query.lastError(), u"テーブルの列を取得できませんでした。"_s);
        return std::nullopt;
    }
    const QSqlRecord record = query.record();
    QStringList names;
    names.reserve(record.count());
    for (int i = 0; i < record.count(); ++i)
        names.append(record.fieldName(i));
    return names;
}

std::optional<RecordSet> Database::queryOnce(const QString &baseFolder,
                                             const QString &connectionString,
                                             const QString &selectText, QString &failure)
{
    Database database(baseFolder);
    std::optional<RecordSet> records;
    if (database.open(connectionString))
        records = database.query(selectText);
    if (!records)
        failure = database.failureText();
    database.close();
    return records;
}

std::optional<RecordSet> Database::query(const QString &selectText)
{
    std::optional<ValueSet> values = queryValues(selectText);
    if (!values)
        return std::nullopt;
    RecordSet result;
    result.columns = std::move(values->columns);
    for (const QVariantList &row : std::as_const(values->rows)) {
        QStringList texts;
        texts.reserve(row.size());
        for (const QVariant &value : row)
            texts.append(value.isNull() ? QString() : value.toString());
        result.records.append(std::move(texts));
    }
    return result;
}

std::optional<ValueSet> Database::queryValues(const QString &selectText)
{
    clearErrors();
    if (!isOpen()) {
        fail(notOpenText);
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(selectText)) {
        failFromDriver(query.lastError(), u"問い合わせを実行できませんでした。"_s);
        return std::nullopt;
    }
    ValueSet result;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        result.columns.append(record.fieldName(i));
    while (query.next()) {
        QVariantList values;
        values.reserve(record.count());
        for (int i = 0; i < record.count(); ++i)
            values.append(query.value(i));
        result.rows.append(std::move(values));
    }
    if (query.lastError().isValid()) {
        failFromDriver(query.lastError(), u"問い合わせの結果を読み取れませんでした。"_s);
        return std::nullopt;
    }
    return result;
}

bool Database::close()
{
    clearErrors();
    if (!isOpen()) {
        fail(notOpenText);
        return false;
    }
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    return true;
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Database::takeError(const QSqlError &error, const QString &fallback)
{
    clearErrors();
    failFromDriver(error, fallback);
}

void Database::clearErrors()
{
    m_errors.clear();
    m_failureText.clear();
}

void Database::fail(const QString &text)
{
    m_failureText = scrub(text);
}

void Database::failFromDriver(const QSqlError &error, const QString &fallback)
{
    const QString driver = QSqlDatabase::contains(m_connectionName)
                               ? QSqlDatabase::database(m_connectionName, false).driverName()
                               : QString();
    const bool duplicate = isDuplicateKeyCode(driver, error.nativeErrorCode());
    // A log line holds one description: a message of several lines gives several errors.
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString description = scrub(line.trimmed());
        if (!description.isEmpty())
            m_errors.append({description, error.nativeErrorCode(), duplicate});
    }
    fail(m_errors.isEmpty() ? fallback : m_errors.constFirst().description);
}

QString Database::scrub(QString text) const
{
    // Drivers may echo parts of the connection text; the password must never reach a log.
    for (const QString &secret : m_secrets)
        text.replace(secret, u"****"_s);
    return text;
}
