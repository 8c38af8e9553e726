#include "console/ui/networktreebinder.h"

#include "console/network/networktree.h"
#include "console/ui/consoleicons.h"

#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int KeyRole = Qt::UserRole;
constexpr int ImageRole = Qt::UserRole + 1;
} // namespace

NetworkTreeBinder::NetworkTreeBinder(NetworkTree &tree, QTreeWidget &widget, QObject *parent)
    : QObject(parent), m_tree(tree), m_widget(widget)
{
    connect(&tree, &NetworkTree::nodesAdded, this, &NetworkTreeBinder::onNodesAdded);
    connect(&tree, &NetworkTree::nodeRemoved, this, &NetworkTreeBinder::onNodeRemoved);
    connect(&widget, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *item) { m_tree.expand(keyOf(item)); });
    connect(&widget, &QTreeWidget::itemChanged, this, &NetworkTreeBinder::onItemChanged);
    // Computers that a ticked group brought along are ticked targets too.
    connect(&tree, &NetworkTree::ticksAdded, this, &NetworkTreeBinder::ticked);
}

QString NetworkTreeBinder::keyOf(const QTreeWidgetItem *item) const
{
    return item ? item->data(0, KeyRole).toString() : QString();
}

void NetworkTreeBinder::onNodesAdded(const QString &parentKey, const QStringList &keys)
{
    QTreeWidgetItem *parent = m_items.value(parentKey);
    QList<QTreeWidgetItem *> items;
    items.reserve(keys.size());
    m_updating = true;
    for (const QString &key : keys) {
        const TreeNode *node = m_tree.node(key);
        if (!node)
            continue;
        auto *item = new QTreeWidgetItem(QStringList{node->text});
        item->setData(0, KeyRole, key);
        item->setData(0, ImageRole, node->image);
        item->setIcon(0, ConsoleIcons::treeImage(node->image));
        if (!node->resource.comment.isEmpty())
            item->setToolTip(0, node->resource.comment);
        applyCheckBox(item);
        if (m_checkBoxes)
            item->setCheckState(0, node->ticked ? Qt::Checked : Qt::Unchecked);
        m_items.insert(key, item);
        items.append(item);
    }
    // One insertion for the whole batch keeps a group of a thousand computers quick.
    if (parent)
        parent->addChildren(items);
    else
        m_widget.addTopLevelItems(items);
    m_updating = false;
    if (parent && parentKey == NetworkTree::RootKey)
        parent->setExpanded(true);
}

void NetworkTreeBinder::onNodeRemoved(const QString &key)
{
    delete m_items.take(key);
}

void NetworkTreeBinder::applyCheckBox(QTreeWidgetItem *item) const
{
    Qt::ItemFlags flags = item->flags();
    flags.setFlag(Qt::ItemIsUserCheckable, m_checkBoxes);
    item->setFlags(flags);
    if (!m_checkBoxes)
        item->setData(0, Qt::CheckStateRole, QVariant());
}

void NetworkTreeBinder::setCheckBoxes(bool shown)
{
    m_checkBoxes = shown;
    m_updating = true;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
        applyCheckBox(*it);
        if (shown) {
            const TreeNode *node = m_tree.node(it.key());
            (*it)->setCheckState(0, node && node->ticked ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_updating = false;
}

void NetworkTreeBinder::onItemChanged(QTreeWidgetItem *item, int column)
{
    if (m_updating || column != 0 || !m_checkBoxes)
        return;
    const bool checked = item->checkState(0) == Qt::Checked;
    const TreeNode *node = m_tree.node(keyOf(item));
    if (!node || node->ticked == checked)
        return;
    const QStringList changed = m_tree.tick(keyOf(item), checked);
    m_updating = true;
    for (const QString &key : changed) {
        if (QTreeWidgetItem *child = m_items.value(key))
            child->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
    m_updating = false;
    Q_EMIT ticked(changed);
}
