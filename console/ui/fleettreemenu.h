#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class FleetMonitor;
class NetworkTree;
class NetworkTreeBinder;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class frmFleetStatus;
class ConsoleFrontEnd;

/// The context menu of the network tree's computer and group nodes ("状態を確認",
/// "Wake-on-LAN"), and the state it leaves on the computer nodes: an up/down overlay on the
/// icon and the version and last pass in the tooltip.
class FleetTreeMenu : public QObject
{
    Q_OBJECT
public:
    FleetTreeMenu(NetworkTree &tree, NetworkTreeBinder &binder, QTreeWidget &widget,
                  FleetMonitor &monitor, QString programFolder, ConsoleFrontEnd &frontEnd,
                  QObject *parent = nullptr);
    ~FleetTreeMenu() override;

    /// The menu for `item`, or nullptr for a node that stands for no computer.
    QMenu *menuFor(QTreeWidgetItem *item);
    /// The list window of the last status run (nullptr before the first).
    frmFleetStatus *statusWindow() const;

    static QString checkText() { return QStringLiteral("状態を確認"); }
    static QString wakeText() { return QStringLiteral("Wake-on-LAN"); }

private:
    void onContextMenu(const class QPoint &position);
    void checkStatus(const QStringList &hosts);
    void onStatusKnown(const QString &host);

    NetworkTree &m_tree;
    NetworkTreeBinder &m_binder;
    QTreeWidget &m_widget;
    FleetMonitor &m_monitor;
    QString m_programFolder;
    ConsoleFrontEnd &m_frontEnd;
    QPointer<QMenu> m_menu;
    QPointer<frmFleetStatus> m_window;
};
