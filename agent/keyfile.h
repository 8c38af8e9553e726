#pragma once

#include <QString>

/// The agent's pre-shared key file (`TlsPskFile`) never leaves the PC: no request lists it,
/// reads it, or (over a plain session) replaces it.
namespace KeyFile {

/// True when `path` names `keyFile` (absolute; "" when none is named): the same path, or a
/// link that leads to it. A key file that does not exist yet is guarded by its name alone.
bool isKeyFile(const QString &path, const QString &keyFile);

} // namespace KeyFile
