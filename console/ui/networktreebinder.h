#pragma once

#include <QHash>
#include <QObject>

class NetworkTree;
class QTreeWidget;
class QTreeWidgetItem;

/// Mirrors a NetworkTree into the tree widget `tvwNetwork`: adds and removes items as the tree
/// announces nodes, expands lazily, and turns check box clicks into ticks.
class NetworkTreeBinder : public QObject
{
    Q_OBJECT
public:
    NetworkTreeBinder(NetworkTree &tree, QTreeWidget &widget, QObject *parent = nullptr);
    /// Check boxes on every item (the batch pages) or on none.
    void setCheckBoxes(bool shown);
    QString keyOf(const QTreeWidgetItem *item) const;
    QTreeWidgetItem *item(const QString &key) const { return m_items.value(key); }

Q_SIGNALS:
    /// A node was ticked or unticked by the user; `changed` lists it and everything under it.
    void ticked(const QStringList &changed);

private:
    void onNodesAdded(const QString &parentKey, const QStringList &keys);
    void onNodeRemoved(const QString &key);
    void onItemChanged(QTreeWidgetItem *item, int column);
    void applyCheckBox(QTreeWidgetItem *item) const;

    NetworkTree &m_tree;
    QTreeWidget &m_widget;
    QHash<QString, QTreeWidgetItem *> m_items;
    bool m_checkBoxes = false;
    bool m_updating = false;
};
