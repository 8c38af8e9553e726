#include "console/consolecore.h"

#include "console/connection/agentconnection.h"
#include "console/batch/batchrun.h"
#include "console/connection/consoletls.h"
#include "console/network/databasesource.h"
#include "console/network/inventorysource.h"
#include "console/network/networktree.h"
#include "console/network/scansource.h"
#include "db/connectionstring.h"

#include <QDir>

using namespace Qt::StringLiterals;

ConsoleCore::ConsoleCore(int workerStartDelayMs, QObject *parent)
    : QObject(parent), m_workerStartDelayMs(workerStartDelayMs),
      m_connection(std::make_unique<AgentConnection>(m_settings, m_names, m_relay)),
      m_batch(makeBatch())
{
}

ConsoleCore::~ConsoleCore()
{
    // The tree, the workers and the connection end before the name table and the settings they
    // use.
    delete m_tree;
    m_batch.reset();
    m_connection.reset();
}

std::unique_ptr<BatchRun> ConsoleCore::makeBatch()
{
    return std::make_unique<BatchRun>(m_settings, m_names, m_relay, m_workerStartDelayMs);
}

void ConsoleCore::open(const QString &folder)
{
    m_folder = folder;
    m_settings = LoadConsoleSettings(folder);
}

void ConsoleCore::rereadPort()
{
    m_settings.Port = ReadIniString(QString::fromUtf16(SettingsSection), u"Port"_s,
                                    m_settings.IniFilePath);
}

void ConsoleCore::attach(ConsoleFrontEnd *face)
{
    m_relay.face = face;
}

void ConsoleCore::close()
{
    // Every worker ends (closing its sockets) before the single connection is released.
    m_batch = makeBatch();
    m_connection->ReleaseSockets();
}

NetworkTree &ConsoleCore::tree()
{
    if (m_tree)
        return *m_tree;
    const QString inventory = QDir(m_folder).filePath(InventorySource::sourceName());
    const QString connection = buildConnectionString(m_settings.SqlConnection,
                                                     m_settings.SqlUserid,
                                                     m_settings.SqlPassword);
    auto *scan = new ScanSource(inventory, quint16(m_settings.portNumber()), m_settings.TimeoutMs);
    scan->setTransportFactory(ConsoleTransportFactory(m_settings));
    const QList<NetworkSource *> sources{
        new InventorySource(inventory), new DatabaseSource(connection, m_settings.SqlTable, m_folder),
        scan};
    m_tree = new NetworkTree(sources, this);
    for (NetworkSource *source : sources)
        source->setParent(m_tree);
    connect(m_tree, &NetworkTree::addressKnown, this,
            [this](const QString &name, const QString &address) { m_names.add(name, address); });
    return *m_tree;
}

void ConsoleCore::Relay::showStatus(const QString &text)
{
    if (face)
        face->showStatus(text);
}

void ConsoleCore::Relay::showMessage(Icon icon, const QString &text)
{
    if (face)
        face->showMessage(icon, text);
}

void ConsoleCore::Relay::setBusy(bool busy)
{
    if (face)
        face->setBusy(busy);
}

QString ConsoleCore::Relay::chooseFile(const QString &caption, const QString &folder,
                                       const QString &filter, bool save)
{
    return face ? face->chooseFile(caption, folder, filter, save) : QString();
}
