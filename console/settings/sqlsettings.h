#pragma once

#include "console/settings/consolesettings.h"
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

/// The database settings of the console's settings; a relative SQLite file lies in `folder`.
inline SqlSettings sqlSettingsOf(const ConsoleSettings &settings, const QString &folder = QString())
{
    return {settings.SqlConnection, settings.SqlTable, settings.SqlUserid, settings.SqlPassword, folder};
}
