#pragma once

#include "console/network/networkresource.h"

#include <QMap>
#include <optional>

/// The computers that have reported to the console's database: grouped by
/// SysMicrosoftNetwork, named by SysComputerName, addressed by SysIPAddress. The table is read
/// once, on the first expansion; a database that cannot be read shows no children.
class DatabaseSource : public NetworkSource
{
    Q_OBJECT
public:
    /// `connection` as the database pages build it (SqlConnection, User ID, Password);
    /// `baseFolder` anchors a relative SQLite file.
    DatabaseSource(QString connection, QString table, QString baseFolder,
                   QObject *parent = nullptr);
    NetworkResource resource() const override;
    void enumerate(const QStringList &path) override;
    /// Why the last read failed ("" after a good read).
    const QString &failureText() const { return m_failure; }

    static QString sourceName();

private:
    void readTable();

    QString m_connection;
    QString m_table;
    QString m_baseFolder;
    QString m_failure;
    std::optional<QMap<QString, QList<NetworkResource>>> m_groups;
};
