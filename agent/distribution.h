#pragma once

#include "net/frame.h"

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QString>

#include <optional>
#include <variant>

/// Requests 500, 510 and 520: a file sent by the console stored in the agent folder.
namespace Distribution {

enum class Result {
    Stored,
    StoredAgentProgram, // the agent's own program, kept as "<program>.new" for the updater
    BadName,
    KeyFile, // the agent's key file, which a plain session may not replace
    Failed,
};

/// Where and how a distributed file is stored, decided from its sub-header alone.
struct Target
{
    QString path;
    bool ownProgram = false;
    std::optional<QFileDevice::Permissions> permissions;
    QDateTime lastWritten;
    QDateTime lastAccessed;
};

/// The target of a file, or the refusal (BadName, KeyFile when it would replace `guarded`,
/// Failed for times that are no dates). Nothing is written before the name and the times are
/// known to be good. `guarded`: the key file over a plain session, "" over an encrypted one.
std::variant<Target, Result> plan(const QString &folder, const QString &programName,
                                  const Frame::FileHeader &header, const QString &guarded);
/// Sets the times of the stored file; the result to reply with.
Result finish(const Target &target);
/// Stores the file of a whole file-request payload. The file is written to a temporary file
/// and renamed into place, so a failed distribution never leaves a partial file.
Result store(const QString &folder, const QString &programName, const QByteArray &payload,
             const QString &guarded);
/// A bare file name: not empty, no "/" or "\", not "." or "..".
bool isBareName(const QString &name);

} // namespace Distribution
