#pragma once

#include <QList>
#include <QMainWindow>

#include <memory>

class ConsoleCore;
class ConsolePage;
class FleetMonitor;
class FleetTreeMenu;
class Func1Page;
class Func2Page;
class Func3Page;
class Func4Page;
class Func5Page;
class NetworkTree;
class NetworkTreeBinder;
class Func6Page;
class Func7Page;
class PageDialogs;
class QAction;
class QLabel;
class QScrollArea;
class ResultList;
class WindowFrontEnd;
struct PageContext;

namespace Ui {
class frmTarvoControl;
}

/// The console's main window: the network tree, the toolbar of seven pages, the buttons, the
/// menus and the status bar. It composes the pages over the console's core, which it is handed
/// and which outlives it.
class frmTarvoControl : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmTarvoControl(ConsoleCore &core, QWidget *parent = nullptr);
    ~frmTarvoControl() override;

    /// Shows page 1 to 7, as the toolbar button does.
    void showPage(int page);
    int currentPage() const;
    /// The size at which every page shows whole: the window opens at it where the screen
    /// allows.
    QSize naturalSize();
    /// False when the socket layer could not start (the window then closes itself).
    bool loaded() const { return m_loaded; }

    WindowFrontEnd &frontEnd() const { return *m_frontEnd; }
    NetworkTreeBinder &treeBinder() const { return *m_binder; }
    FleetTreeMenu &fleetMenu() const { return *m_fleetMenu; }
    ResultList &func2Results() const { return *m_func2Results; }
    ResultList &func5Results() const { return *m_func5Results; }
    Func3Page &func3() const { return *m_func3; }
    Func4Page &func4() const { return *m_func4; }
    Func5Page &func5() const { return *m_func5; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();
    void buildToolbar();
    void addPages();
    void letOnlyPageClaimRoom(int current);
    void scrollPagesWhenTooTall();
    void relayoutUpTo(QWidget *changed);
    void placeWorkerWindow(QWidget *window, int slot);
    void fitToScreen();
    void buildTree();
    void connectButtonsAndMenus();
    void setTargetChosen(bool chosen);
    void onNodeClicked();
    void onTicked(const QStringList &changed);
    void onAddressEdited(const QStringList &boxes);
    void showTargetSource(bool tree);
    void startBatch(ResultList &list, int code, const QString &filePath);
    void exportList(const ResultList &list);
    /// The unreachable computers of the last batch run go to the queue as a job.
    void queueUnreachable();
    void openSettings();
    void enableMenus();

    std::unique_ptr<Ui::frmTarvoControl> m_ui;
    ConsoleCore &m_core;
    QLabel *m_computerPanel;
    QLabel *m_statusPanel;
    std::unique_ptr<WindowFrontEnd> m_frontEnd;
    std::unique_ptr<PageContext> m_context;
    ResultList *m_func2Results = nullptr;
    ResultList *m_func5Results = nullptr;
    ResultList *m_batchList = nullptr;
    NetworkTree *m_tree = nullptr;
    NetworkTreeBinder *m_binder = nullptr;
    FleetMonitor *m_fleet = nullptr;
    FleetTreeMenu *m_fleetMenu = nullptr;
    QList<QAction *> m_pageButtons;
    QList<ConsolePage *> m_pages; // pages 1 to 7
    Func1Page *m_func1 = nullptr;
    Func2Page *m_func2 = nullptr;
    Func3Page *m_func3 = nullptr;
    Func4Page *m_func4 = nullptr;
    Func5Page *m_func5 = nullptr;
    std::unique_ptr<PageDialogs> m_pageDialogs;
    Func6Page *m_func6 = nullptr;
    Func7Page *m_func7 = nullptr;
    bool m_loaded = false;
    QScrollArea *m_pageScroll = nullptr;
};
