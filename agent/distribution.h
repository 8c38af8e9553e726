#pragma once

#include <QByteArray>
#include <QString>

/// Requests 500, 510 and 520: a file sent by the console stored in the agent folder.
namespace Distribution {

enum class Result {
    Stored,
    StoredAgentProgram, // the agent's own program, kept as "<program>.new" for the updater
    BadName,
    Failed,
};

/// Stores the file of a file-request payload. The file is written to a temporary file and
/// renamed into place, so a failed distribution never leaves a partial file; its last-write
/// and last-access times are set from the sub-header.
Result store(const QString &folder, const QString &programName, const QByteArray &payload);

/// A bare file name: not empty, no "/" or "\", not "." or "..".
bool isBareName(const QString &name);

} // namespace Distribution
