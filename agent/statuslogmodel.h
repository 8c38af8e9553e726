#pragma once

#include <QAbstractListModel>
#include <QStringList>

class StatusLog;

/// The status log as a list model for `lstLog`: the same lines and the same bound as the log,
/// one row inserted per line and the oldest rows removed, so that a view only lays out what
/// changed however long the log may grow.
class StatusLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit StatusLogModel(const StatusLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void append(const QString &line);

    const StatusLog &m_log;
    QStringList m_lines;
};
