#include "agent/statuslogmodel.h"

#include "agent/statuslog.h"

#include <QTimer>

StatusLogModel::StatusLogModel(const StatusLog &log, QObject *parent)
    : QAbstractListModel(parent), m_log(log), m_lines(log.lines())
{
    connect(&log, &StatusLog::lineAdded, this, &StatusLogModel::take);
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

void StatusLogModel::take(const QString &line)
{
    if (m_pending.isEmpty())
        QTimer::singleShot(0, this, &StatusLogModel::flush);
    m_pending.append(line);
    // Lines the log has already dropped again need not wait.
    const qsizetype kept = m_log.ansiLines().size();
    if (m_pending.size() > kept)
        m_pending.remove(0, m_pending.size() - kept);
}

void StatusLogModel::flush()
{
    if (m_pending.isEmpty())
        return;
    // Keep as many rows as the log keeps lines.
    const int kept = int(m_log.ansiLines().size());
    const int surplus = int(m_lines.size() + m_pending.size()) - kept;
    if (surplus > 0) {
        const int removed = qMin(surplus, int(m_lines.size()));
        beginRemoveRows({}, 0, removed - 1);
        m_lines.remove(0, removed);
        endRemoveRows();
    }
    const int first = int(m_lines.size());
    beginInsertRows({}, first, first + int(m_pending.size()) - 1);
    m_lines.append(m_pending);
    m_pending.clear();
    endInsertRows();
}
