#pragma once

#include "console/cli/consolecli.h"

#include <cstdio>

/// `verify FILE KEYFILE`: checks FILE.minisig beside FILE as an agent with UpdateKeyFile would
/// (key, trusted comment, timestamp, file name, content), so that an administrator can test a
/// signed program before distributing it. No record of a running program takes part.
bool IsVerifyCommand(const QString &command);
/// Exit 0 when the signature holds, 1 with the reason on `err` when not, 2 on a usage error.
int RunVerifyCommand(const CliOptions &options, std::FILE *out, std::FILE *err);
QString VerifyCommandUsage();
