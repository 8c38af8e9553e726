#pragma once

#include "common/clock.h"
#include "common/profilefile.h"

#include <QString>

/// The three column lists that the collection step fills and the SQL step turns into statements.
struct ColumnLists
{
    QString columnList; // column + ","
    QString valueList;  // "'" + value + "',"
    QString setList;    // column + "='" + value + "',"

    /// Appends one column; a single quote inside the value is doubled, so no value can end the
    /// quoted SQL text early.
    void AddColumn(const QString &column, const QString &value);
};

/// What the steps of one collection pass share.
struct RunContext
{
    QString folder;              // the program folder: every file of the run lies there
    QString macText;             // SysMACAddress: names the output files, keys the table row
    ProfileFile agentSettings;   // TarvoAgent.ini (only section TarvoInfo is read)
    ColumnLists columns;
    const Clock *clock = nullptr;
    int mailTimeoutMs = 30000;   // the mail step's longest wait for a step of the dialogue

    /// A key of section TarvoInfo of the agent settings, decoded from CP932 ("" when missing).
    QString setting(const char *key) const;
    /// `macText` + `extension` inside the program folder (".SQL.LOG", ".DAT", ...).
    QString outputFile(const QString &extension) const;
    /// TarvoInfo.dat inside the program folder: the data of the pass.
    QString dataFile() const;
    /// Copies TarvoInfo.dat as it is at this moment to `target` (the PC's name + ".DAT"), which
    /// the mail step sends.
    bool copyDataFile(const QString &target) const;
};
