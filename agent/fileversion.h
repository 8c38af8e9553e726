#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

/// The file and product versions of a program file, from its fixed version record: the
/// resource section of a Windows executable, or the version block of our own programs.
struct FileVersion
{
    QString file;    // "1.2.0.35"
    QString product;
};

/// Looks for the record in `bytes` (a whole file). nullopt when the file has none.
std::optional<FileVersion> findFileVersion(QByteArrayView bytes);
/// Reads `path` (mapped, not copied) and looks for the record.
std::optional<FileVersion> readFileVersion(const QString &path);
