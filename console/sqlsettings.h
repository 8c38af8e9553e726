#pragma once

#include "db/connectionstring.h"

#include <QString>

/// The console's own database settings (TarvoControl.ini) that the database pages use.
struct SqlSettings
{
    QString connection; // SqlConnection
    QString table;      // SqlTable
    QString userId;     // SqlUserid
    QString password;   // SqlPassword
    QString baseFolder; // anchors a relative SQLite file; empty: the program folder

    /// SqlConnection;User ID=...;Password=..., as every database page connects.
    QString connectionString() const { return buildConnectionString(connection, userId, password); }
};
