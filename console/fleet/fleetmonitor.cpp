#include "console/fleet/fleetmonitor.h"

#include "console/batch/batchrun.h"
#include "console/settings/consolesettings.h"
#include "console/frontend.h"
#include "console/network/macdirectory.h"
#include "console/connection/nametable.h"
#include "console/network/networktree.h"
#include "console/settings/sqlsettings.h"
#include "console/batch/wakerun.h"
#include "net/frame.h"

#include <QDir>

using namespace Qt::StringLiterals;

void FleetStatusModel::setHosts(const QStringList &hosts)
{
    beginResetModel();
    m_rows.clear();
    for (const QString &host : hosts)
        m_rows.append({host, QString(), QString(), QString(), QString()});
    endResetModel();
}

void FleetStatusModel::setStatus(int row, const FleetStatus &status)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row] = status.fields();
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int FleetStatusModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FleetStatusModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FleetStatusHeaders().size());
}

QVariant FleetStatusModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[index.row()].value(index.column());
    if (role == Qt::TextAlignmentRole && index.column() > 0)
        return int(index.column() == 2 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
    return {};
}

QVariant FleetStatusModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return FleetStatusHeaders().value(section);
}

QList<QStringList> FleetStatusModel::textRows() const
{
    return m_rows;
}

FleetMonitor::FleetMonitor(const ConsoleSettings &settings, const NameTable &names,
                           QString programFolder, ConsoleFrontEnd &frontEnd, QObject *parent)
    : QObject(parent), m_settings(settings), m_names(names),
      m_programFolder(std::move(programFolder)), m_frontEnd(frontEnd)
{
    // The window asks without the worker windows' start delay: a status run only reads.
    m_batch = new BatchRun(m_settings, m_names, m_frontEnd, 0, this);
    connect(m_batch, &BatchRun::rowFinished, this, &FleetMonitor::onRowFinished);
    connect(m_batch, &BatchRun::finished, this, &FleetMonitor::checkFinished);
}

FleetMonitor::~FleetMonitor() = default;

bool FleetMonitor::isChecking() const
{
    return m_batch->isRunning();
}

bool FleetMonitor::checkStatus(const QStringList &hosts)
{
    if (m_batch->isRunning()) {
        m_frontEnd.showMessage(ConsoleFrontEnd::Icon::Information,
                               u"状態の確認中です。終了してから実行してください。"_s);
        return false;
    }
    m_model.setHosts(hosts);
    return m_batch->start(hosts, Frame::GetFileInfo);
}

const FleetStatus *FleetMonitor::known(const QString &host) const
{
    const auto found = m_known.constFind(host.toLower());
    return found == m_known.cend() ? nullptr : &*found;
}

void FleetMonitor::onRowFinished(int row)
{
    const FleetStatus status = FleetStatusOf(m_batch->rows().at(row));
    m_model.setStatus(row, status);
    m_known.insert(status.host.toLower(), status);
    Q_EMIT statusKnown(status.host);
}

void FleetMonitor::wake(const QStringList &hosts)
{
    if (m_wake && m_wake->isRunning()) {
        m_frontEnd.showMessage(ConsoleFrontEnd::Icon::Information,
                               u"Wake-on-LANの送信中です。終了してから実行してください。"_s);
        return;
    }
    // The inventory and the database are read afresh for each run: MACs change with the PCs.
    const QString inventoryPath = QDir(m_programFolder).filePath(
        QString::fromUtf16(NetworkInventory::FileName));
    m_inventory = std::make_unique<NetworkInventory>(NetworkInventory::load(inventoryPath));
    m_macs = std::make_unique<MacDirectory>(*m_inventory, sqlSettingsOf(m_settings, m_programFolder));
    delete m_wake;
    m_wake = new WakeRun(m_settings, *m_macs, this);
    connect(m_wake, &WakeRun::finished, this, &FleetMonitor::onWakeFinished);
    QString errorText;
    if (!m_wake->open(errorText)) {
        ShowWarning(m_frontEnd, errorText);
        return;
    }
    m_wake->start(hosts);
}

void FleetMonitor::onWakeFinished()
{
    QStringList skipped;
    int sent = 0;
    for (const WakeResult &row : m_wake->rows()) {
        if (row.result == u"OK")
            ++sent;
        else
            skipped.append(row.host + u"： "_s + row.status);
    }
    m_frontEnd.showStatus(u"マジックパケットを送信しました！("_s + QString::number(sent) + u"台)"_s);
    if (!skipped.isEmpty())
        ShowWarning(m_frontEnd, u"次のコンピュータには送信できませんでした。\r\n"_s
                                    + skipped.join(u"\r\n"_s));
    Q_EMIT wakeFinished();
}

QStringList ComputersUnder(NetworkTree &tree, const QString &key)
{
    const TreeNode *node = tree.node(key);
    if (!node || node->text == NetworkTree::PlaceholderText)
        return {};
    if (node->image == u"server")
        return {node->text};
    if (node->tag == u"N")
        tree.expand(key);
    QStringList hosts;
    const QStringList children = tree.node(key)->children;
    for (const QString &child : children) {
        for (const QString &host : ComputersUnder(tree, child)) {
            if (!hosts.contains(host, Qt::CaseInsensitive))
                hosts.append(host);
        }
    }
    return hosts;
}
