#include "console/cli/fleetcommands.h"

#include "console/batch/batchrun.h"
#include "console/cli/clitext.h"
#include "console/cli/consolecli.h"
#include "console/fleet/fleetstatus.h"
#include "console/network/macdirectory.h"
#include "console/batch/resultcsv.h"
#include "console/batch/wakerun.h"
#include "net/frame.h"

#include <QEventLoop>

using namespace Qt::StringLiterals;

namespace {

QString csvText(const QStringList &headers, const QList<QStringList> &rows)
{
    return ResultListCsvText(headers, rows).replace(u"\r\n"_s, u"\n"_s);
}

} // namespace

QStringList BatchRowFields(int code, const BatchResult &row)
{
    if (code == Frame::GetFileInfo)
        return FleetStatusOf(row).fields();
    return {row.host, row.result, row.status};
}

QStringList BatchHeaders(int code, bool file)
{
    if (code == Frame::GetFileInfo)
        return FleetStatusHeaders();
    return file ? Func5ResultHeaders() : Func2ResultHeaders();
}

QString BatchSummary(int code, const QList<BatchResult> &rows, bool &allGood)
{
    const bool status = code == Frame::GetFileInfo;
    qsizetype good = 0;
    for (const BatchResult &row : rows)
        good += status ? FleetStatusOf(row).up : row.result == u"OK";
    const qsizetype bad = rows.size() - good;
    allGood = bad == 0;
    if (status)
        return QString::number(good) + u" up, "_s + QString::number(bad) + u" down"_s;
    return QString::number(rows.size()) + u" computers: "_s + QString::number(good) + u" OK, "_s
           + QString::number(bad) + u" NG"_s;
}

int RunWakeCommand(const QStringList &hosts, const ConsoleSettings &settings, MacDirectory &macs,
                   bool csv, std::FILE *out, std::FILE *err)
{
    WakeRun run(settings, macs);
    QString errorText;
    if (!run.open(errorText)) {
        WriteCliText(err, settings.IniFilePath + u": "_s + errorText + u'\n');
        return CliExit::Usage;
    }
    QEventLoop loop;
    QObject::connect(&run, &WakeRun::rowFinished, &run, [&](int row) {
        if (!csv)
            WriteCliText(out, run.rows().at(row).fields().join(u'\t') + u'\n');
    });
    QObject::connect(&run, &WakeRun::finished, &loop, &QEventLoop::quit);
    run.start(hosts);
    loop.exec(); // the rows finish from the event loop, the last one ends it
    if (!macs.databaseFailure().isEmpty())
        WriteCliText(err, u"database: "_s + macs.databaseFailure() + u'\n');
    QList<QStringList> rows;
    qsizetype sent = 0;
    for (const WakeResult &row : run.rows()) {
        rows.append(row.fields());
        sent += row.result == u"OK";
    }
    if (csv)
        WriteCliText(out, csvText(WakeRun::headers(), rows));
    const qsizetype skipped = run.rows().size() - sent;
    WriteCliText(err, QString::number(sent) + u" woken, "_s + QString::number(skipped) + u" skipped\n"_s);
    return skipped == 0 ? CliExit::Ok : CliExit::Failed;
}
