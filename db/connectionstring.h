#pragma once

#include <QString>
#include <QStringList>

/// What a connection string asks for, translated into the terms of a Qt SQL driver.
///
/// The text is a list of `key=value` pairs separated by ";" (keys compare without regard to case
/// and surrounding blanks; a value may be quoted with '...', "..." or {...} to hold ";"). When a
/// key occurs more than once, its last non-empty value counts, so the "User ID" and "Password"
/// that the callers append never blank out credentials already given in `SqlConnection`.
///
/// The driver is chosen by the text: `Driver=` or `DSN=` goes to ODBC unchanged, otherwise
/// `Provider=SQLite` (with `Data Source=<file>`, relative to the base folder) or
/// `Provider=MariaDB` / `Provider=MySQL` (with `Server`, `Port`, `Database`; `Data Source` and
/// `Initial Catalog` are accepted as aliases).
struct ConnectionTarget
{
    QString driver;         // "QSQLITE", "QMYSQL" or "QODBC"; empty when none could be chosen
    QString databaseName;   // the SQLite file, the MariaDB database or the ODBC connection text
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions; // Qt driver options (time-outs, row counting)
    QString error;          // why no driver was chosen (never holds the password)
    QStringList secrets;    // every password value of the text, kept out of all messages

    bool isValid() const { return !driver.isEmpty(); }
};

/// The connection string the callers build: `sqlConnection` + ";User ID=" + user + ";Password="
/// + password, with no trimming or quoting.
QString buildConnectionString(const QString &sqlConnection, const QString &userId,
                              const QString &password);

/// Reads a connection string. `baseFolder` anchors a relative SQLite file.
ConnectionTarget parseConnectionString(const QString &text, const QString &baseFolder);
