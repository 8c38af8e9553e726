#pragma once

#include "common/profilefile.h"

#include <QList>
#include <QString>

/// One application item: a key of the application section and its seven fields.
struct AppItem
{
    QString column;       // the key, which is also the database column
    QString id;           // "R" registry item, "F" file or folder item
    QString date;         // "YYYYMMDD" of the last report (or the placeholder)
    QString time;         // "HHMMSS" of the last report (or the placeholder)
    QString keyOrFolder;  // R: root key name; F: folder path
    QString subKeyOrFile; // R: key below the root; F: file name or ""
    QString valueEntry;   // R: value name or ""
    QString value;        // the last reported value, then the current one

    /// The stored line: ID;date;time;key;subkey;entry;value (value in its one-line form).
    QString line(const QString &lineDate, const QString &lineTime) const;
};

/// The items of an application section in key-list order, every field trimmed, field 7 read
/// back from its one-line form.
QList<AppItem> LoadAppItems(const ProfileFile &definitions, const QString &section);
