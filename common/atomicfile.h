#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include <optional>

/// Replaces `path` with `data` atomically: a temporary file in the same folder is written,
/// flushed and renamed over the target, so a reader never sees half a file and a crash never
/// loses the old one. `permissions`, when given, are set on the new file before the rename.
bool writeFileAtomically(const QString &path, QByteArrayView data, QString *error = nullptr,
                         std::optional<QFileDevice::Permissions> permissions = std::nullopt);
