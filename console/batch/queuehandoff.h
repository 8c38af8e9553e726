#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct BatchResult;
struct ConsoleSettings;

/// The computers of a finished batch run that could not be reached (NG without a connection):
/// those worth handing to the queue. A computer that answered NG needs a person instead.
QStringList UnreachableHosts(const QList<BatchResult> &rows);

/// What handing the unreachable computers of a batch to the queue came to: the job number, or
/// the text of why not.
struct QueueHandOff
{
    std::optional<qint64> job;
    int hosts = 0;
    QString text; // the message the window shows
};

/// Adds a job (default life, no waking) with the batch's `code` (130-150, 500-520) and file for
/// the unreachable computers of `rows`, in the queue of `settings` (console folder `folder`).
QueueHandOff HandUnreachableToQueue(const ConsoleSettings &settings, const QString &folder,
                                    int code, const QString &filePath,
                                    const QList<BatchResult> &rows);
