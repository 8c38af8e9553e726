#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

/// The installed packages of the Debian package database, name -> version.
namespace DpkgStatus {

/// Reads the stanzas of a dpkg status file; only "Package", "Status" and "Version" lines are
/// looked at. A package counts when its status word is "installed"; of several architectures
/// of one package the first installed stanza wins.
QHash<QByteArray, QByteArray> parseInstalled(QByteArrayView text);
QHash<QByteArray, QByteArray> readInstalled(const QString &path);

} // namespace DpkgStatus
