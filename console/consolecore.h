#pragma once

#include "console/settings/consolesettings.h"
#include "console/network/consoletargets.h"
#include "console/frontend.h"
#include "console/connection/nametable.h"

#include <QObject>
#include <QString>

#include <memory>

class AgentConnection;
class BatchRun;
class NetworkTree;

/// The console's core, built once by the program and handed to its face, the window or the
/// command line: the settings of the console folder, the name table, the targets, the single
/// connection, the batch run and the network tree over its sources. What the core shows goes to
/// the front end the face attaches.
class ConsoleCore : public QObject
{
    Q_OBJECT
public:
    /// The worker windows start their request one second after they appear; the command line's
    /// workers start at once.
    static constexpr int WindowWorkerDelayMs = 1000;
    static constexpr int CommandLineWorkerDelayMs = 0;

    explicit ConsoleCore(int workerStartDelayMs, QObject *parent = nullptr);
    ~ConsoleCore() override;

    /// Reads TarvoControl.ini of `folder`, the console folder from now on.
    void open(const QString &folder);
    /// The console folder, for a face that reads the settings itself.
    void setFolder(const QString &folder) { m_folder = folder; }
    /// The Port of TarvoControl.ini again, after the settings dialog saved it.
    void rereadPort();
    /// Where the core's status texts and boxes go; nullptr: nowhere (the face is gone).
    void attach(ConsoleFrontEnd *face);
    /// Ends every batch worker (closing its sockets), then releases the single connection; the
    /// batch run is a fresh one afterwards.
    void close();

    const QString &folder() const { return m_folder; }
    ConsoleSettings &settings() { return m_settings; }
    NameTable &names() { return m_names; }
    NetworkInventory &inventory() { return m_inventory; }
    ConsoleTargets &targets() { return m_targets; }
    ConsoleFrontEnd &frontEnd() { return m_relay; }
    AgentConnection &connection() const { return *m_connection; }
    BatchRun &batch() const { return *m_batch; }
    /// The network tree over the inventory, the computers that reported to the database and the
    /// scan; made at the first call, with the settings then in force. The addresses it learns go
    /// into the name table.
    NetworkTree &tree();

private:
    /// Passes everything on to the attached face.
    class Relay : public ConsoleFrontEnd
    {
    public:
        void showStatus(const QString &text) override;
        void showMessage(Icon icon, const QString &text) override;
        void setBusy(bool busy) override;
        QString chooseFile(const QString &caption, const QString &folder, const QString &filter,
                           bool save) override;

        ConsoleFrontEnd *face = nullptr;
    };

    std::unique_ptr<BatchRun> makeBatch();

    int m_workerStartDelayMs;
    QString m_folder;
    ConsoleSettings m_settings;
    NameTable m_names;
    NetworkInventory m_inventory;
    ConsoleTargets m_targets;
    Relay m_relay;
    std::unique_ptr<AgentConnection> m_connection;
    std::unique_ptr<BatchRun> m_batch;
    NetworkTree *m_tree = nullptr;
};
