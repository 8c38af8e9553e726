#include "console/network/networktree.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
QString placeholderKey(const QString &key)
{
    return key + u"_FAKE"_s;
}
} // namespace

NetworkTree::NetworkTree(QList<NetworkSource *> sources, QObject *parent)
    : QObject(parent), m_sources(std::move(sources))
{
    for (int i = 0; i < m_sources.size(); ++i) {
        connect(m_sources.at(i), &NetworkSource::enumerated, this,
                [this, i](const QStringList &path, const QList<NetworkResource> &children) {
                    onEnumerated(i, path, children);
                });
    }
}

void NetworkTree::buildFirstLevel()
{
    TreeNode root;
    root.key = RootKey;
    root.text = u"ネットワーク全体"_s;
    root.image = u"root"_s;
    root.tag = u"Y"_s;
    m_nodes.insert(root.key, root);
    Q_EMIT nodesAdded({}, {root.key});
    for (NetworkSource *source : std::as_const(m_sources)) {
        const QString key = addNode(root.key, source->resource());
        Q_EMIT nodesAdded(root.key, {key});
        addPlaceholder(key);
    }
}

QString NetworkTree::addNode(const QString &parentKey, const NetworkResource &resource)
{
    TreeNode node;
    node.key = parentKey == RootKey ? resource.remoteName
                                    : parentKey + u'|' + resource.remoteName;
    node.parentKey = parentKey;
    node.text = resource.shortName();
    node.image = resource.imageKey();
    node.tag = u"N"_s;
    node.resource = resource;
    TreeNode &parent = m_nodes[parentKey];
    node.ticked = parent.ticked;
    parent.children.append(node.key);
    m_nodes.insert(node.key, node);
    if (resource.displayType == NetworkResource::Server && !resource.address.isEmpty())
        Q_EMIT addressKnown(node.text, resource.address);
    return node.key;
}

void NetworkTree::addPlaceholder(const QString &key)
{
    TreeNode fake;
    fake.key = placeholderKey(key);
    fake.parentKey = key;
    fake.text = PlaceholderText;
    fake.image = u"server"_s;
    m_nodes[key].children.append(fake.key);
    m_nodes.insert(fake.key, fake);
    Q_EMIT nodesAdded(key, {fake.key});
}

void NetworkTree::expand(const QString &key)
{
    auto it = m_nodes.find(key);
    if (it == m_nodes.end() || it->tag != u"N"_s)
        return;
    it->tag = u"Y"_s;
    const QString fake = placeholderKey(key);
    if (it->children.removeOne(fake)) {
        m_nodes.remove(fake);
        Q_EMIT nodeRemoved(fake);
    }
    const QStringList path = key.split(u'|');
    const auto source = std::find_if(m_sources.cbegin(), m_sources.cend(),
                                     [&](NetworkSource *s) {
                                         return s->resource().remoteName == path.first();
                                     });
    if (source != m_sources.cend())
        (*source)->enumerate(path);
}

void NetworkTree::onEnumerated(int, const QStringList &path,
                               const QList<NetworkResource> &children)
{
    const QString parentKey = path.join(u'|');
    if (!m_nodes.contains(parentKey))
        return;
    QStringList added;
    added.reserve(children.size());
    for (const NetworkResource &child : children) {
        const QString key = parentKey + u'|' + child.remoteName;
        if (!m_nodes.contains(key))
            added.append(addNode(parentKey, child));
    }
    Q_EMIT nodesAdded(parentKey, added);
    // Computers are leaves: only containers get an expand button.
    for (const QString &key : std::as_const(added)) {
        if (m_nodes.value(key).resource.displayType != NetworkResource::Server)
            addPlaceholder(key);
    }
    if (m_nodes.value(parentKey).ticked && !added.isEmpty()) {
        Q_EMIT ticksAdded(added);
        fillTicked(added);
    }
}

void NetworkTree::fillTicked(const QStringList &keys)
{
    for (const QString &key : keys) {
        const auto it = m_nodes.constFind(key);
        if (it != m_nodes.cend() && it->ticked && it->tag == u"N"_s
            && it->resource.displayType != NetworkResource::Server)
            expand(key);
    }
}

const TreeNode *NetworkTree::node(const QString &key) const
{
    const auto it = m_nodes.constFind(key);
    return it == m_nodes.cend() ? nullptr : &*it;
}

QStringList NetworkTree::tick(const QString &key, bool ticked)
{
    QStringList changed;
    if (m_nodes.contains(key))
        collectTicks(key, ticked, changed);
    if (ticked)
        fillTicked(changed);
    return changed;
}

QStringList NetworkTree::tickedComputers() const
{
    QStringList names;
    collectTickedComputers(RootKey, names);
    return names;
}

void NetworkTree::collectTickedComputers(const QString &key, QStringList &names) const
{
    const TreeNode *n = node(key);
    if (!n)
        return;
    if (n->ticked && n->image == u"server"_s && !names.contains(n->text))
        names.append(n->text);
    for (const QString &child : n->children)
        collectTickedComputers(child, names);
}

void NetworkTree::collectTicks(const QString &key, bool ticked, QStringList &changed)
{
    TreeNode &node = m_nodes[key];
    node.ticked = ticked;
    changed.append(key);
    const QStringList children = node.children;
    for (const QString &child : children)
        collectTicks(child, ticked, changed);
}

QList<ComputerTick> NetworkTree::computerTicks(const QStringList &keys) const
{
    QList<ComputerTick> ticks;
    for (const QString &key : keys) {
        const TreeNode *n = node(key);
        if (n && n->image == u"server"_s)
            ticks.append({n->text, n->ticked});
    }
    return ticks;
}
