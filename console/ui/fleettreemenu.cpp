#include "console/ui/fleettreemenu.h"

#include "console/fleet/fleetmonitor.h"
#include "console/network/networktree.h"
#include "console/ui/consoleicons.h"
#include "console/ui/dialogs/frmfleetstatus.h"
#include "console/ui/networktreebinder.h"

#include <QMenu>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

namespace {

QString toolTipOf(const FleetStatus &status)
{
    if (!status.up)
        return status.host + u"：応答なし"_s;
    const QStringList fields = status.fields();
    return status.host + u"：応答あり（"_s + fields[2] + u" ms）\nバージョン："_s + fields[3]
           + u"\n最終収集："_s + fields[4];
}

} // namespace

FleetTreeMenu::FleetTreeMenu(NetworkTree &tree, NetworkTreeBinder &binder, QTreeWidget &widget,
                             FleetMonitor &monitor, QString programFolder,
                             ConsoleFrontEnd &frontEnd, QObject *parent)
    : QObject(parent), m_tree(tree), m_binder(binder), m_widget(widget), m_monitor(monitor),
      m_programFolder(std::move(programFolder)), m_frontEnd(frontEnd)
{
    m_widget.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_widget, &QWidget::customContextMenuRequested, this, &FleetTreeMenu::onContextMenu);
    connect(&m_monitor, &FleetMonitor::statusKnown, this, &FleetTreeMenu::onStatusKnown);
}

FleetTreeMenu::~FleetTreeMenu()
{
    delete m_menu;
}

frmFleetStatus *FleetTreeMenu::statusWindow() const
{
    return m_window;
}

QMenu *FleetTreeMenu::menuFor(QTreeWidgetItem *item)
{
    const QString key = m_binder.keyOf(item);
    const TreeNode *node = m_tree.node(key);
    // The whole network and the placeholders stand for no computer of their own.
    if (!node || key == NetworkTree::RootKey || node->text == NetworkTree::PlaceholderText)
        return nullptr;
    delete m_menu;
    m_menu = new QMenu(&m_widget);
    m_menu->addAction(checkText(), this, [this, key] { checkStatus(ComputersUnder(m_tree, key)); });
    m_menu->addAction(wakeText(), this, [this, key] { m_monitor.wake(ComputersUnder(m_tree, key)); });
    return m_menu;
}

void FleetTreeMenu::onContextMenu(const QPoint &position)
{
    if (QMenu *menu = menuFor(m_widget.itemAt(position)))
        menu->popup(m_widget.viewport()->mapToGlobal(position));
}

void FleetTreeMenu::checkStatus(const QStringList &hosts)
{
    if (hosts.isEmpty() || !m_monitor.checkStatus(hosts))
        return;
    if (!m_window)
        m_window = new frmFleetStatus(m_monitor, m_programFolder, m_frontEnd, m_widget.window());
    m_window->show();
    m_window->raise();
}

void FleetTreeMenu::onStatusKnown(const QString &host)
{
    const FleetStatus *status = m_monitor.known(host);
    if (!status)
        return;
    // A computer may stand in several sources (inventory, database, scan): every node shows it.
    const auto items = m_widget.findItems(host, Qt::MatchFixedString | Qt::MatchRecursive);
    for (QTreeWidgetItem *item : items) {
        const TreeNode *node = m_tree.node(m_binder.keyOf(item));
        if (!node || node->image != u"server")
            continue;
        item->setIcon(0, ConsoleIcons::withState(ConsoleIcons::treeImage(node->image), status->up));
        item->setToolTip(0, toolTipOf(*status));
    }
}
