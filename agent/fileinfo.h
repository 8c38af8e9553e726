#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// Request 300: one line per file of the agent folder.
namespace FileInfo {

/// name ";" size ";" last-written ";" file version ";" product version CR LF for every file a
/// plain listing shows (hidden files left out), sorted by name; nullopt when the folder cannot
/// be listed. The key file `keyFile` is never listed.
std::optional<QByteArray> listFolder(const QString &folder, const QString &keyFile);

/// The line of one file (without CR LF).
QByteArray fileLine(const QString &folder, const QString &name);

} // namespace FileInfo
