#pragma once

#include "db/connectionstring.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

/// One error of a failed database operation, as the database or its driver reported it.
struct DatabaseError
{
    QString description; // one line of text; the password never appears in it
    QString nativeCode;  // the database's own error code ("1062", "2067", ...)
    bool duplicateKey = false; // the statement would have repeated a unique key
};

/// The result of a query: column names and every record, each value as text (NULL as "").
struct RecordSet
{
    QStringList columns;
    QList<QStringList> records;
};

/// The result of a query with the values as the driver gives them (NULL as a null variant).
struct ValueSet
{
    QStringList columns;
    QList<QVariantList> rows;
};

/// One connection to the inventory database through Qt SQL, chosen by its connection string
/// (see ConnectionTarget). Opened and closed within one operation of its caller; each object has
/// its own Qt connection name, removed again on close.
///
/// A failed operation returns false (or nullopt) and leaves its errors in errors() (what the
/// database or driver said, possibly nothing) and failureText() (always set: the description of
/// the failing call itself).
class Database
{
public:
    /// `baseFolder` anchors a relative SQLite file: the program folder by default.
    explicit Database(QString baseFolder = QString());
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    bool open(const QString &connectionString);
    bool isOpen() const;
    /// Runs one statement as command text; no result set is read. `rowsAffected` gets the rows
    /// the statement matched when the driver knows it, else -1.
    bool execute(const QString &commandText, qint64 *rowsAffected = nullptr);
    /// The column names of `table` in the database's order. The name is used unquoted, as the
    /// statements use it.
    std::optional<QStringList> columns(const QString &table);
    /// Runs a query and reads every record.
    std::optional<RecordSet> query(const QString &selectText);
    /// Opens `connectionString`, runs one query and closes again; on failure `failure` gets
    /// failureText().
    static std::optional<RecordSet> queryOnce(const QString &baseFolder,
                                              const QString &connectionString,
                                              const QString &selectText, QString &failure);
    /// The same as query(), with the values as the driver gives them.
    std::optional<ValueSet> queryValues(const QString &selectText);
    /// Closes the connection; false when it was not open.
    bool close();

    /// The open Qt connection, for views that fetch rows only as they are shown.
    class QSqlDatabase handle() const;
    /// Takes over the error of a statement run on handle(), as the operations above report theirs.
    void takeError(const class QSqlError &error, const QString &fallback);

    const QList<DatabaseError> &errors() const { return m_errors; }
    const QString &failureText() const { return m_failureText; }

private:
    void clearErrors();
    void fail(const QString &text);
    void failFromDriver(const class QSqlError &error, const QString &fallback);
    QString scrub(QString text) const;

    QString m_baseFolder;
    QString m_connectionName;
    QStringList m_secrets;
    QList<DatabaseError> m_errors;
    QString m_failureText;
};
