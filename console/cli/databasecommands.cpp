#include "console/cli/databasecommands.h"

#include "console/cli/clitext.h"
#include "common/programfolder.h"
#include "console/consolecore.h"
#include "console/settings/definitionlist.h"
#include "console/settings/fieldcheck.h"
#include "console/database/querypage.h"
#include "console/database/queryresult.h"

using namespace Qt::StringLiterals;

namespace {

class DatabaseCommand
{
public:
    DatabaseCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out, std::FILE *err)
        : m_options(options), m_args(options.arguments), m_out(out), m_err(err)
    {
        core.open(options.folder.isEmpty() ? ProgramFolder::path() : options.folder);
        m_settings = sqlSettingsOf(core.settings(), core.folder());
    }

    int run()
    {
        const QString &command = m_options.command;
        if (command == u"fields" && m_args.isEmpty())
            return fields();
        if (command == u"field-add" && m_args.size() == 1)
            return edit(FieldCheck::Edit::Add, m_args[0], {});
        if (command == u"field-change" && m_args.size() == 2)
            return edit(FieldCheck::Edit::Change, m_args[1], m_args[0]);
        if (command == u"field-drop" && m_args.size() == 1)
            return edit(FieldCheck::Edit::Drop, m_args[0], m_args[0]);
        if (command == u"check" && m_args.size() == 1)
            return check(m_args[0]);
        if (command == u"query")
            return query();
        return usage(u"wrong arguments for "_s + command);
    }

private:
    int usage(const QString &error)
    {
        WriteCliText(m_err, error + u'\n' + CliUsage());
        return CliExit::Usage;
    }

    int failed(const DatabaseOutcome &outcome)
    {
        for (const QString &error : outcome.errors)
            WriteCliText(m_err, error + u'\n');
        return CliExit::Failed;
    }

    int refused(const QString &message)
    {
        WriteCliText(m_err, message + u'\n');
        return CliExit::Failed;
    }

    int fields()
    {
        QStringList columns;
        const DatabaseOutcome outcome = FieldCheck::listColumns(m_settings, &columns);
        if (!outcome.ok)
            return failed(outcome);
        for (const QString &column : std::as_const(columns))
            WriteCliText(m_out, column + u'\n');
        return CliExit::Ok;
    }

    int edit(FieldCheck::Edit edit, const QString &field, const QString &old)
    {
        // The page offers only the columns it lists: the collector's own are not to be touched.
        if (!old.isEmpty() && FieldCheck::isHiddenColumn(old.trimmed()))
            return refused(u"フィールド「"_s + old.trimmed() + u"」は収集プログラムの項目のため変更・削除できません。"_s);
        std::optional<PageRefusal> refusal;
        const DatabaseOutcome outcome = FieldCheck::edit(m_settings, edit, field, old, &refusal);
        if (refusal)
            return refused(refusal->message);
        return outcome.ok ? CliExit::Ok : failed(outcome);
    }

    int check(const QString &datFile)
    {
        DefinitionList definitions;
        QString error;
        if (!definitions.open(datFile, &error))
            return refused(error); // a file that is not there is no verdict
        QStringList columns;
        const DatabaseOutcome outcome = FieldCheck::listColumns(m_settings, &columns);
        if (!outcome.ok)
            return failed(outcome);
        const PageMessage message = FieldCheck::consistencyCheck(definitions, columns);
        if (message.notice) {
            WriteCliText(m_out, QString(message.text).replace(u"\r\n"_s, u"\n"_s) + u'\n');
            return CliExit::Ok;
        }
        const QStringList missing = FieldCheck::missingKeys(definitions.rows(), columns);
        if (missing.isEmpty() || columns.isEmpty())
            return refused(message.text);
        for (const QString &line : missing)
            WriteCliText(m_out, line + u'\n');
        return CliExit::Failed;
    }

    int query()
    {
        QString where;
        QString outFile;
        QStringList columns;
        for (qsizetype i = 0; i < m_args.size(); ++i) {
            const QString &arg = m_args[i];
            if ((arg == u"--where" || arg == u"--out") && i + 1 < m_args.size())
                (arg == u"--where" ? where : outFile) = m_args[++i];
            else if (arg.startsWith(u"--"))
                return usage(u"unknown option: "_s + arg);
            else
                columns.append(arg);
        }
        if (columns.isEmpty())
            return usage(u"query needs at least one COLUMN"_s);
        QueryResult result(m_settings, buildQueryText(columns, m_settings.table, where));
        DatabaseOutcome outcome;
        CsvSaveResult saved;
        const auto bytes = result.csv(&saved.records, &saved.unrepresentable, &outcome);
        if (!bytes)
            return failed(outcome);
        if (outFile.isEmpty()) {
            std::fwrite(bytes->constData(), 1, size_t(bytes->size()), m_out);
            std::fflush(m_out);
        } else {
            QueryCsv::writeFile(outFile, *bytes, &saved);
            if (!saved.ok)
                return refused(saved.error);
        }
        if (saved.unrepresentable > 0)
            WriteCliText(m_err, QString::number(saved.unrepresentable)
                             + u" 件の値にShift-JISで表せない文字があり、「?」で出力しました。\n"_s);
        return CliExit::Ok;
    }

    const CliOptions &m_options;
    const QStringList &m_args;
    std::FILE *m_out;
    std::FILE *m_err;
    SqlSettings m_settings;
};

} // namespace

bool IsDatabaseCommand(const QString &command)
{
    static const QStringList commands = {u"fields"_s, u"field-add"_s, u"field-change"_s,
                                         u"field-drop"_s, u"check"_s, u"query"_s};
    return commands.contains(command);
}

int RunDatabaseCommand(const CliOptions &options, ConsoleCore &core, std::FILE *out,
                       std::FILE *err)
{
    return DatabaseCommand(options, core, out, err).run();
}

QString DatabaseCommandsUsage()
{
    return u"  fields                              the table's columns (not the collector's own)\n"
           "  field-add NAME | field-drop NAME    add or drop a column\n"
           "  field-change OLD NEW                rename a column, keeping its values\n"
           "  check DATFILE                       every key of the definition file has a column\n"
           "  query [--where COND] [--out FILE] COLUMN...   the rows as CSV\n"_s;
}
