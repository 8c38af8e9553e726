#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

class ConsoleFrontEnd;

/// Column headers of the two batch result lists.
QStringList Func2ResultHeaders(); // コンピュータ名, 結果, ステータス
QStringList Func5ResultHeaders(); // コンピュータ名, 結果, 理由

/// A result list as CSV (CP932): the header line (every header quoted and followed by a comma),
/// one line per row (fields quoted, joined by commas; embedded quotes doubled), one empty line.
QByteArray ResultListCsv(const QStringList &headers, const QList<QStringList> &rows);
/// The same as text (for standard output).
QString ResultListCsvText(const QStringList &headers, const QList<QStringList> &rows);

/// Asks for a file through the front end and writes the CSV there atomically. False when the
/// user cancels (nothing shown) or the write fails (a box).
bool ExportListToCsv(const QStringList &headers, const QList<QStringList> &rows,
                     const QString &folder, ConsoleFrontEnd &frontEnd);
