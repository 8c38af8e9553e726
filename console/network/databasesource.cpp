#include "console/network/databasesource.h"

#include "db/database.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
// A row that names no network still belongs somewhere the administrator can find it.
QString groupName(const QString &network)
{
    const QString trimmed = network.trimmed();
    return trimmed.isEmpty() ? u"(なし)"_s : trimmed;
}
} // namespace

DatabaseSource::DatabaseSource(QString connection, QString table, QString baseFolder,
                               QObject *parent)
    : NetworkSource(parent), m_connection(std::move(connection)), m_table(std::move(table)),
      m_baseFolder(std::move(baseFolder))
{
}

QString DatabaseSource::sourceName()
{
    return u"データベース"_s;
}

NetworkResource DatabaseSource::resource() const
{
    NetworkResource network;
    network.displayType = NetworkResource::Network;
    network.remoteName = sourceName();
    network.comment = m_table;
    network.provider = sourceName();
    return network;
}

void DatabaseSource::readTable()
{
    m_groups.emplace();
    m_failure.clear();
    if (m_table.trimmed().isEmpty()) {
        m_failure = u"SqlTable is empty"_s;
        return;
    }
    const auto records = Database::queryOnce(
        m_baseFolder, m_connection,
        u"SELECT SysMicrosoftNetwork, SysComputerName, SysIPAddress FROM "_s + m_table, m_failure);
    if (!records)
        return;
    for (const QStringList &record : records->records) {
        const QString name = record.value(1).trimmed();
        if (name.isEmpty())
            continue;
        auto &computers = (*m_groups)[groupName(record.value(0))];
        const auto same = [&](const NetworkResource &known) { return known.shortName() == name; };
        if (std::none_of(computers.cbegin(), computers.cend(), same))
            computers.append(computerResource(name, record.value(2).trimmed(), sourceName()));
    }
}

void DatabaseSource::enumerate(const QStringList &path)
{
    if (!m_groups)
        readTable();
    QList<NetworkResource> children;
    if (path.size() == 1) {
        for (const QString &group : m_groups->keys())
            children.append(groupResource(group, sourceName()));
    } else if (path.size() == 2) {
        children = m_groups->value(path.at(1));
    }
    Q_EMIT enumerated(path, children);
}
