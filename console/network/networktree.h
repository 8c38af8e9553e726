#pragma once

#include "console/network/computertick.h"
#include "console/network/networkresource.h"

#include <QHash>
#include <QObject>
#include <QStringList>

/// One node of the network tree.
struct TreeNode
{
    QString key;        // "_ROOT", a source's name, or the parent's key + "|" + remote name
    QString parentKey;
    QString text;
    QString image;      // image key: "root", "network", "group", "server", ..., "generic"
    QString tag;        // "N" until the children are asked for, then "Y"; "" for a placeholder
    bool ticked = false;
    QStringList children;
    NetworkResource resource;
};

/// The logic of the network tree: the first level (one node per source), lazy filling with
/// "FAKE" placeholders, and ticking. A widget mirrors the nodes it announces.
class NetworkTree : public QObject
{
    Q_OBJECT
public:
    static constexpr QLatin1String RootKey{"_ROOT"};
    static constexpr QLatin1String PlaceholderText{"FAKE"};

    explicit NetworkTree(QList<NetworkSource *> sources, QObject *parent = nullptr);

    /// Adds the top node and one node per source, each with its placeholder.
    void buildFirstLevel();
    /// The expansion of a node tagged "N": the placeholder goes, the source is asked for the
    /// children, the node is tagged "Y". Nodes tagged "Y" are never enumerated again.
    void expand(const QString &key);
    const TreeNode *node(const QString &key) const;
    /// Ticks or unticks a node and, depth first, everything under it; returns the keys changed
    /// in that order. A ticked node not yet filled is filled first, as its expansion would: what
    /// arrives under a ticked node arrives ticked (announced by ticksAdded()).
    QStringList tick(const QString &key, bool ticked);
    /// The names of the ticked computers, in tree order, each once.
    QStringList tickedComputers() const;

    /// The computer nodes among `keys`, in their order, each with its tick (never a placeholder).
    QList<ComputerTick> computerTicks(const QStringList &keys) const;

Q_SIGNALS:
    /// `keys` were added under `parentKey`, in order.
    void nodesAdded(const QString &parentKey, const QStringList &keys);
    void nodeRemoved(const QString &key);
    /// `keys` arrived under a ticked node and are ticked with it.
    void ticksAdded(const QStringList &keys);
    /// A computer's address became known (for the console's name table).
    void addressKnown(const QString &name, const QString &address);

private:
    void onEnumerated(int source, const QStringList &path,
                      const QList<NetworkResource> &children);
    QString addNode(const QString &parentKey, const NetworkResource &resource);
    void fillTicked(const QStringList &keys);
    void collectTickedComputers(const QString &key, QStringList &names) const;
    void addPlaceholder(const QString &key);
    void collectTicks(const QString &key, bool ticked, QStringList &changed);

    QList<NetworkSource *> m_sources;
    QHash<QString, TreeNode> m_nodes;
};
