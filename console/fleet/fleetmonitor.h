#pragma once

#include "console/fleet/fleetstatus.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>

class BatchRun;
class ConsoleFrontEnd;
class MacDirectory;
class NameTable;
class NetworkInventory;
class NetworkTree;
class WakeRun;
struct ConsoleSettings;

/// The rows of the status list: one per computer, its columns filled when its answer arrives.
class FleetStatusModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setHosts(const QStringList &hosts);
    void setStatus(int row, const FleetStatus &status);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Every row as its texts (what the CSV holds); rows still waiting show only the host.
    QList<QStringList> textRows() const;

private:
    QList<QStringList> m_rows;
};

/// The window's status and Wake-on-LAN runs over computers of the tree: a status run (request
/// 300 only, no start delay) fills the model as answers arrive and remembers each computer's
/// last known state; a wake run sends the magic packets.
class FleetMonitor : public QObject
{
    Q_OBJECT
public:
    FleetMonitor(const ConsoleSettings &settings, const NameTable &names, QString programFolder,
                 ConsoleFrontEnd &frontEnd, QObject *parent = nullptr);
    ~FleetMonitor() override;

    /// Starts a status run; false (with a box) while one is still going.
    bool checkStatus(const QStringList &hosts);
    /// Sends magic packets; the outcome goes to the status bar, skipped computers to a box.
    void wake(const QStringList &hosts);

    FleetStatusModel &model() { return m_model; }
    bool isChecking() const;
    /// The last state known of `host`; nullptr before its first answer or failure.
    const FleetStatus *known(const QString &host) const;

Q_SIGNALS:
    /// A computer's state became known (up or down).
    void statusKnown(const QString &host);
    void checkFinished();
    void wakeFinished();

private:
    void onRowFinished(int row);
    void onWakeFinished();

    const ConsoleSettings &m_settings;
    const NameTable &m_names;
    QString m_programFolder;
    ConsoleFrontEnd &m_frontEnd;
    BatchRun *m_batch = nullptr;
    WakeRun *m_wake = nullptr;
    std::unique_ptr<NetworkInventory> m_inventory;
    std::unique_ptr<MacDirectory> m_macs;
    FleetStatusModel m_model;
    QHash<QString, FleetStatus> m_known; // key: host in lower case
};

/// The computers a tree node stands for: itself when it is a computer, else every computer
/// under it (a node not yet expanded is expanded first).
QStringList ComputersUnder(NetworkTree &tree, const QString &key);
