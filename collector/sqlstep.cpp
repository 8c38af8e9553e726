#include "collector/sqlstep.h"

#include "collector/runcontext.h"
#include "collector/runlog.h"
#include "common/agentinikeys.h"
#include "collector/sqlstatements.h"
#include "common/atomicfile.h"
#include "common/clock.h"
#include "common/codepage.h"
#include "db/database.h"

using namespace Qt::StringLiterals;

namespace {

const QString insertFailed = u"データベースのデータ挿入（INSERT）に失敗しました！"_s;
const QString updateFailed = u"データベースのデータ更新（UPDATE）に失敗しました！"_s;
const QString inserted = u"データベースにデータが挿入（INSERT）されました。"_s;
const QString updated = u"データベースのデータが更新（UPDATE）されました。"_s;
const QString finished = u"データベースへの処理が完了しました。"_s;

void writeStatementFile(const QString &path, const QString &statement)
{
    // Write errors are passed over: the step goes on to the database either way.
    writeFileAtomically(path, CodePage::toAnsi(QString(statement + u"\r\n"_s)));
}

// The phase's failure line, then what the database said, one description per line; the
// description of the failing call itself when the database said nothing.
void logFailure(RunLog &log, const QString &failureLine, const Database &db)
{
    log.WriteRunLog(failureLine);
    if (db.errors().isEmpty()) {
        log.WriteRunLog(db.failureText());
        return;
    }
    for (const DatabaseError &error : db.errors())
        log.WriteRunLog(error.description);
}

} // namespace

void UpdateDatabase(RunContext &run)
{
    static const Clock systemClock;
    const Clock &clock = run.clock ? *run.clock : systemClock;

    const QString connection = run.setting(AgentIni::InfoKey::SqlConnection);
    const QString table = run.setting(AgentIni::InfoKey::SqlTable);
    const QString userId = run.setting(AgentIni::InfoKey::SqlUserid);
    const QString password = run.setting(AgentIni::InfoKey::SqlPassword);

    const SqlStatements statements =
        buildSqlStatements(table, run.columns, run.macText, clock.now());
    writeStatementFile(run.outputFile(u".INSERT.SQL"_s), statements.insert);
    writeStatementFile(run.outputFile(u".UPDATE.SQL"_s), statements.update);

    RunLog log(clock);
    log.OpenRunLog(run.outputFile(u".SQL.LOG"_s));

    Database db(run.folder);
    bool insertFailedOnce = false;
    if (!db.open(buildConnectionString(connection, userId, password))) {
        logFailure(log, insertFailed, db);
        insertFailedOnce = true;
    }
    if (!db.execute(statements.insert)) {
        logFailure(log, insertFailed, db);
        insertFailedOnce = true;
    }

    if (insertFailedOnce) {
        qint64 rows = -1;
        if (!db.execute(statements.update, &rows)) {
            logFailure(log, updateFailed, db);
        } else if (rows == 0) {
            // The row is missing (a DIF run that does not carry the key column, or a table that
            // was emptied): nothing was written, so this is no success.
            log.WriteRunLog(updateFailed);
            log.WriteRunLog(u"SysMACAddress='"_s + run.macText + u"' の行がテーブル "_s + table
                            + u" にありません。"_s);
        } else {
            log.WriteRunLog(updated);
        }
        if (!db.close())
            logFailure(log, updateFailed, db);
    } else {
        log.WriteRunLog(inserted);
        if (!db.close())
            logFailure(log, insertFailed, db);
    }
    log.WriteRunLog(finished);
    log.CloseRunLog();
}
