#include "console/settings/fieldcheck.h"

#include "db/database.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxIdentifierChars = 64;
const QString ColumnType = u" nvarchar(050);"_s;

} // namespace

DatabaseOutcome failureOf(const Database &db)
{
    DatabaseOutcome outcome{false, {}};
    for (const DatabaseError &error : db.errors())
        outcome.errors.append(error.description);
    // A driver that said nothing still must not leave the user without a word.
    if (outcome.errors.isEmpty() && !db.failureText().isEmpty())
        outcome.errors.append(db.failureText());
    return outcome;
}

namespace FieldCheck {

bool isHiddenColumn(const QString &name)
{
    return name.left(3).toUpper() == u"SYS" || name.left(10).toUpper() == u"LASTUPDATE";
}

bool isPlainIdentifier(const QString &name)
{
    if (name.isEmpty() || name.size() > MaxIdentifierChars || name.front().isDigit())
        return false;
    for (QChar c : name) {
        if (!c.isLetterOrNumber() && c != u'_')
            return false;
    }
    return true;
}

DatabaseOutcome listColumns(const SqlSettings &settings, QStringList *columns, bool all)
{
    Database db(settings.baseFolder);
    if (!db.open(settings.connectionString()))
        return failureOf(db);
    const auto names = db.columns(settings.table);
    if (!names) {
        const DatabaseOutcome outcome = failureOf(db);
        db.close();
        return outcome;
    }
    db.close();
    columns->clear();
    for (const QString &name : *names) {
        if (all || !isHiddenColumn(name))
            columns->append(name);
    }
    return {};
}

QStringList statements(Edit edit, const QString &table, const QString &field, const QString &selected)
{
    const QString alter = u"ALTER TABLE "_s + table;
    switch (edit) {
    case Edit::Add:
        return {alter + u" ADD "_s + field + ColumnType};
    case Edit::Change:
        if (field == selected)
            return {};
        return {alter + u" ADD "_s + field + ColumnType,
                u"UPDATE "_s + table + u" SET "_s + field + u" = "_s + selected + u';',
                alter + u" DROP COLUMN "_s + selected + u';'};
    case Edit::Drop:
        return {alter + u" DROP COLUMN "_s + field + u';'};
    }
    return {};
}

DatabaseOutcome edit(const SqlSettings &settings, Edit edit, const QString &typed,
                     const QString &selected, std::optional<PageRefusal> *refusal)
{
    const QString field = typed.trimmed();
    const QString old = selected.trimmed();
    if (field.isEmpty()) {
        *refusal = PageRefusal{u"txtFunc6Field"_s, u"フィールド名を選択または入力してください！"_s};
        return {false, {}};
    }
    // Names go into the statements as they are: only plain identifiers may get there.
    for (const QString &name : {field, edit == Edit::Change ? old : field}) {
        if (!isPlainIdentifier(name)) {
            *refusal = PageRefusal{u"txtFunc6Field"_s,
                                   u"フィールド名「"_s + name
                                       + u"」は使用できません。英字・かな漢字・数字・「_」で、"
                                         u"数字以外で始まる64文字以内の名前を指定してください！"_s};
            return {false, {}};
        }
    }
    Database db(settings.baseFolder);
    if (!db.open(settings.connectionString()))
        return failureOf(db);
    for (const QString &statement : statements(edit, settings.table, field, old)) {
        if (!db.execute(statement)) {
            const DatabaseOutcome outcome = failureOf(db);
            db.close();
            return outcome;
        }
    }
    db.close();
    return {};
}

QStringList missingKeys(const QList<DefinitionRow> &definitions, const QStringList &fields)
{
    QStringList missing;
    QString section;
    for (const DefinitionRow &row : definitions) {
        if (row.isSection())
            section = row.text;
        else if (!fields.contains(row.text, Qt::CaseSensitive))
            missing.append(section + u' ' + row.text);
    }
    return missing;
}

PageMessage consistencyCheck(const QList<DefinitionRow> &definitions, const QStringList &fields)
{
    if (definitions.isEmpty())
        return {u"TarvoInfo.datを読み込んでください！"_s, false};
    if (fields.isEmpty())
        return {u"「DB接続」を先に実行してください！"_s, false};
    const QStringList missing = missingKeys(definitions, fields);
    if (missing.isEmpty())
        return {u"GOOD!\r\n\r\nTarvoInfo.datのキーはすべてDBのテーブルフィールドとして存在します。"_s, true};
    QString text = u"NG!\r\n\r\n以下のフィールドがDBのテーブルに存在しません！"_s;
    for (const QString &line : missing)
        text += u"\r\n"_s + line;
    return {text, false};
}

PageMessage consistencyCheck(const DefinitionList &definitions, const QStringList &fields)
{
    return consistencyCheck(definitions.isRead() ? definitions.rows() : QList<DefinitionRow>(),
                            fields);
}

} // namespace FieldCheck
