#pragma once

#include "console/cli/consolecli.h"

#include <cstdio>

/// The database pages' work on the command line: fields, field-add, field-change, field-drop,
/// check and query, over the console's database settings.
bool IsDatabaseCommand(const QString &command);
/// Runs one of them over the core (opened on the options' folder); exit 0 on success, 1 on a
/// refusal or a database error (its description on `err`), 2 on a usage error.
int RunDatabaseCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out,
                       std::FILE *err);
/// The usage lines of these commands.
QString DatabaseCommandsUsage();
