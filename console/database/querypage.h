#pragma once

#include "console/settings/fieldcheck.h"

#include <QList>
#include <QStringList>

/// Which of the query page's buttons can be pressed.
struct QueryButtons
{
    bool connect = true, list = false, checkAll = false, clearAll = false;
};

/// The query page without widgets: the table's columns with their check marks, the buttons'
/// enabled rules and the statement "一覧表示(&L)" builds.
class QueryPage
{
public:
    /// Fills the list with every column of the table (hidden ones too), unchecked.
    DatabaseOutcome connect(const SqlSettings &settings);
    /// The two halves of connect(): the columns read (on any thread, with a connection of its
    /// own), then taken into the list (on the page's thread).
    static DatabaseOutcome readColumns(const SqlSettings &settings, QStringList *columns);
    void takeColumns(const QStringList &columns);

    const QStringList &fields() const { return m_fields; }
    bool isChecked(int index) const { return m_checked.value(index); }
    const QueryButtons &buttons() const { return m_buttons; }

    void setChecked(int index, bool checked);
    void checkAll();
    void clearAll();

    QStringList checkedFields() const;
    /// SELECT <checked columns> FROM <table>[ WHERE <condition>]
    QString QueryText(const QString &table, const QString &where) const;

private:
    QStringList m_fields;
    QList<bool> m_checked;
    QueryButtons m_buttons;
};

/// SELECT a,b FROM table[ WHERE condition]: names and the trimmed condition go in as they are.
QString buildQueryText(const QStringList &columns, const QString &table, const QString &where);
