#pragma once

#include "console/cli/consolecli.h"

#include <cstdio>

/// `keygen FILE [IDENTITY]`: a new pre-shared key file for the encrypted channel, the identity
/// defaulting to this computer's host name.
bool IsKeygenCommand(const QString &command);
/// Writes the file; exit 0, 1 when it cannot (an existing file is never replaced), 2 on a usage
/// error. The key itself is never printed.
int RunKeygenCommand(const CliOptions &options, std::FILE *out, std::FILE *err);
QString KeygenUsage();
