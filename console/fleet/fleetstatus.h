#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct BatchResult;

/// What a status run (request 300 only) tells about one computer.
struct FleetStatus
{
    QString host;
    bool up = false;         // the agent answered the request
    qint64 roundTripMs = -1; // -1 when it did not
    QString version;         // the agent program's file version; "-" when unknown
    QString lastPass;        // newest last-write time of the collector's output files; "-"

    /// host, "up"/"down", milliseconds, version, last pass ("-" for what is unknown).
    QStringList fields() const;
};

/// The status of a finished status-run row.
FleetStatus FleetStatusOf(const BatchResult &row);
/// The status read from a 301 body.
void ReadFileListStatus(const QString &body, FleetStatus &status);
/// True for a file the collector writes (MAC text + ".DAT", ".INSERT.SQL", ...).
bool IsCollectorOutputFile(const QString &fileName);
/// The column headers of the status list and its CSV.
QStringList FleetStatusHeaders();
