#pragma once

#include "console/settings/agentsettingspage.h"
#include "console/settings/definitionlist.h"
#include "console/settings/sqlsettings.h"

#include <QStringList>

/// What a database operation of the pages ended with: the database's own error descriptions,
/// one message box each (none when the database said nothing).
struct DatabaseOutcome
{
    bool ok = true;
    QStringList errors;
};

class Database;
/// The failure `db` has just reported, as the pages show it.
DatabaseOutcome failureOf(const Database &db);

/// A message for the user: the text and whether it is a notice (information icon) or a refusal.
struct PageMessage
{
    QString text;
    bool notice = false;
};

/// The database field page without widgets: the table's columns with the hidden-column rule,
/// adding, renaming and dropping columns, and the check of the definition keys against them.
namespace FieldCheck {

enum class Edit { Add, Change, Drop };

/// The collector's own columns (Sys..., LastUpdate...) are not shown and cannot be edited.
bool isHiddenColumn(const QString &name);
/// Letters (Japanese ones included), digits and "_", not starting with a digit, at most 64.
bool isPlainIdentifier(const QString &name);

/// Every column of the table in the database's order (hidden ones included when `all`).
DatabaseOutcome listColumns(const SqlSettings &settings, QStringList *columns, bool all = false);

/// The statements an edit runs, in order. A change adds the new column, copies the values
/// across and only then drops the old one, so that no value is lost.
QStringList statements(Edit edit, const QString &table, const QString &field,
                       const QString &selected = {});

/// Checks the typed name, then runs the statements on one connection, stopping at the first
/// that fails. `refusal` is set (and nothing is run) when the name is empty or not plain.
DatabaseOutcome edit(const SqlSettings &settings, Edit edit, const QString &typed,
                     const QString &selected, std::optional<PageRefusal> *refusal);

/// "[SECTION] KEY" of every item row of the definition list that has no column of exactly its name.
QStringList missingKeys(const QList<DefinitionRow> &definitions, const QStringList &fields);
/// Every item key of the definition list must be a column: the GOOD or NG message.
PageMessage consistencyCheck(const QList<DefinitionRow> &definitions, const QStringList &fields);
/// The same for an opened list; a file that could not be read counts as no list at all.
PageMessage consistencyCheck(const DefinitionList &definitions, const QStringList &fields);

} // namespace FieldCheck
