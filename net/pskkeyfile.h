#pragma once

#include "net/pskkeylist.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

/// The pre-shared key file: one `identity hexkey` line per key, blank lines ignored. Several
/// lines let a site rotate keys: the agent accepts any key listed, each under its own identity.
/// Error texts name the line and the fault, never a key.
namespace PskKeyFile {

/// The most a key file may hold; anything larger is no key file.
constexpr qsizetype MaxFileBytes = 64 * 1024;

/// The keys of `text`, or nullopt with the reason: a line that is not two fields, an identity
/// that is empty, too long, not printable ASCII or listed twice, a key that is not hex or is
/// shorter than PskKeyList::MinKeyBytes (or longer than MaxKeyBytes), or no key at all.
std::optional<PskKeyList> parse(QByteArrayView text, QString *error);

/// Reads and parses the file at `path`, refusing a file that is missing, unreadable, not a
/// regular file, or readable or writable by others than its owner and group.
std::optional<PskKeyList> read(const QString &path, QString *error);

/// The line of a key file for `identity` and `key` (hex, LF ended).
QByteArray line(QByteArrayView identity, QByteArrayView key);

/// Writes a new key file at `path`: one line with `identity` and 32 random bytes from the
/// operating system, owner-only (0600), created atomically and never over an existing file.
/// False with the reason (which holds no key).
bool create(const QString &path, QByteArrayView identity, QString *error);

/// True when `identity` can stand in a key file and on the wire.
bool isValidIdentity(QByteArrayView identity);

} // namespace PskKeyFile
