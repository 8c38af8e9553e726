#pragma once

#include "console/cli/consolecli.h"

#include <cstdio>

/// `queue add|run|list|drop|retry`: jobs that keep trying the computers that were off until
/// each has been served or the job expires (console/jobqueue.h).
bool IsQueueCommand(const QString &command);
/// Exit 0, 1 when something failed (a failure reply in the round, a database error), 2 on a
/// usage error (unknown job, command or duration).
int RunQueueCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out, std::FILE *err);
QString QueueUsage();
