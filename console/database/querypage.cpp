#include "console/database/querypage.h"

using namespace Qt::StringLiterals;

DatabaseOutcome QueryPage::connect(const SqlSettings &settings)
{
    QStringList columns;
    const DatabaseOutcome outcome = readColumns(settings, &columns);
    if (outcome.ok)
        takeColumns(columns);
    return outcome;
}

DatabaseOutcome QueryPage::readColumns(const SqlSettings &settings, QStringList *columns)
{
    return FieldCheck::listColumns(settings, columns, true);
}

void QueryPage::takeColumns(const QStringList &columns)
{
    m_fields = columns;
    m_checked = QList<bool>(columns.size(), false);
    m_buttons.connect = false;
    m_buttons.checkAll = true;
    m_buttons.clearAll = true;
}

void QueryPage::setChecked(int index, bool checked)
{
    if (index < 0 || index >= m_checked.size())
        return;
    m_checked[index] = checked;
    const bool any = m_checked.contains(true);
    m_buttons.list = any;
    m_buttons.clearAll = any;
}

void QueryPage::checkAll()
{
    m_checked.fill(true);
    m_buttons.list = true;
}

void QueryPage::clearAll()
{
    m_checked.fill(false);
    m_buttons.list = false;
}

QStringList QueryPage::checkedFields() const
{
    QStringList names;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_checked.value(i))
            names.append(m_fields.at(i));
    }
    return names;
}

QString QueryPage::QueryText(const QString &table, const QString &where) const
{
    return buildQueryText(checkedFields(), table, where);
}

QString buildQueryText(const QStringList &columns, const QString &table, const QString &where)
{
    QString text = u"SELECT "_s + columns.join(u',') + u" FROM "_s + table;
    if (const QString condition = where.trimmed(); !condition.isEmpty())
        text += u" WHERE "_s + condition;
    return text;
}
