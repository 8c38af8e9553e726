#include "console/settings/parametermodel.h"

#include "common/ansifields.h"

using namespace Qt::StringLiterals;

void ParameterEditModel::load(const QString &body)
{
    beginResetModel();
    m_rows = ParseParameters(body);
    endResetModel();
}

void ParameterEditModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

ParameterEditModel::Selection ParameterEditModel::select(int row) const
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].isSection())
        return {};
    return {true, m_rows[row].key, m_rows[row].value};
}

bool ParameterEditModel::confirmEdit(int row, const QString &key, const QString &value,
                                     QString *refusal)
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].isSection())
        return false;
    if (const auto refused = AnsiFields::check({{u"txtParmValue"_s, u"設定値"_s, value.trimmed()}})) {
        if (refusal)
            *refusal = refused->message;
        return false;
    }
    ParameterRow &target = m_rows[row];
    target.mark = u"X"_s;
    target.key = key.trimmed();
    target.value = value.trimmed();
    Q_EMIT dataChanged(index(row, MarkColumn), index(row, ValueColumn));
    return true;
}

QString ParameterEditModel::updateData() const
{
    return ParameterUpdateData(m_rows);
}

QString ParameterUpdateData(const QList<ParameterRow> &rows)
{
    QString data;
    QString section;
    for (const ParameterRow &row : rows) {
        if (row.isSection())
            section = row.sectionName();
        if (row.isEdited())
            data += section + u';' + row.key + u'=' + row.value + u"\r\n"_s;
    }
    return data;
}

int ParameterEditModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ParameterEditModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ParameterEditModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    const ParameterRow &row = m_rows[index.row()];
    switch (index.column()) {
    case MarkColumn: return row.mark;
    case KeyColumn: return row.key;
    case ValueColumn: return row.value;
    default: return {};
    }
}

QVariant ParameterEditModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    static const QStringList headers = {u"変更"_s, u"キー"_s, u"値"_s};
    return section >= 0 && section < headers.size() ? headers[section] : QVariant();
}
