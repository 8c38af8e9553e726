#pragma once

#include <QString>

#include <cstdio>

/// Writes `text` to a standard stream of the command line as UTF-8, at once: the lines of a
/// long command reach a pipe while it runs.
void WriteCliText(std::FILE *stream, const QString &text);
