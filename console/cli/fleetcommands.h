#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

class MacDirectory;
struct BatchResult;
struct ConsoleSettings;

/// The columns of a finished batch row on the command line: the status run has its own
/// (host, up/down, milliseconds, version, last pass), the others host, result, status.
QStringList BatchRowFields(int code, const BatchResult &row);
QStringList BatchHeaders(int code, bool file);
/// The summary line of a batch run; `allGood` says whether every row succeeded (all up).
QString BatchSummary(int code, const QList<BatchResult> &rows, bool &allGood);

/// `wake`: a magic packet to each host; one line per host as it goes, the summary on `err`.
/// Returns the exit status.
int RunWakeCommand(const QStringList &hosts, const ConsoleSettings &settings, MacDirectory &macs,
                   bool csv, std::FILE *out, std::FILE *err);
