#pragma once

#include <QAbstractListModel>
#include <QStringList>

class StatusLog;

/// The status log as a list model for `lstLog`: the same lines and the same bound as the log.
/// Lines logged in one go reach the model together once the event loop turns, as one removal
/// of the oldest rows and one insertion, so that a view lays out only what changed however
/// long the log is and however fast lines come.
class StatusLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit StatusLogModel(const StatusLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void take(const QString &line);
    void flush();

    const StatusLog &m_log;
    QStringList m_lines;
    QStringList m_pending;
};
