#include "agent/statuslogmodel.h"

#include "agent/statuslog.h"

StatusLogModel::StatusLogModel(const StatusLog &log, QObject *parent)
    : QAbstractListModel(parent), m_log(log), m_lines(log.lines())
{
    connect(&log, &StatusLog::lineAdded, this, &StatusLogModel::append);
}

int StatusLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant StatusLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size()
        || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return m_lines.at(index.row());
}

void StatusLogModel::append(const QString &line)
{
    // The log has already dropped what its bound requires: keep as many rows as it keeps lines.
    const int kept = int(m_log.ansiLines().size());
    const int surplus = int(m_lines.size()) + 1 - kept;
    if (surplus > 0) {
        beginRemoveRows({}, 0, surplus - 1);
        m_lines.remove(0, surplus);
        endRemoveRows();
    }
    const int row = int(m_lines.size());
    beginInsertRows({}, row, row);
    m_lines.append(line);
    endInsertRows();
}
