#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// Request 310: a text file of the agent folder, line by line, each line ended by CR LF.
namespace DataFile {

/// The content for the payload "name" CR LF; nullopt when the payload has no CR LF, the name
/// leads outside the agent folder (absolute, "..", or a link), or the file cannot be read.
/// A payload that starts with CR LF gives the empty content. The key file `keyFile` is never
/// read.
std::optional<QByteArray> read(const QString &folder, const QByteArray &payload,
                               const QString &keyFile);

/// The path of `name` inside `folder`, or nullopt when it would lead outside of it.
std::optional<QString> resolveInside(const QString &folder, const QString &name);

} // namespace DataFile
