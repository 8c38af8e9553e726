#include "console/ui/frmtarvocontrol.h"

#include "console/connection/agentconnection.h"
#include "console/batch/batchrun.h"
#include "console/batch/batchworker.h"
#include "console/consolecore.h"
#include "console/batch/queuehandoff.h"
#include "console/fleet/fleetmonitor.h"
#include "console/frontend.h"
#include "console/network/networktree.h"
#include "console/batch/resultcsv.h"
#include "console/batch/resultlist.h"
#include "console/ui/consoleicons.h"
#include "console/ui/fleettreemenu.h"
#include "console/ui/dialogs/frmclient.h"
#include "console/ui/dialogs/frmhelp.h"
#include "console/ui/dialogs/frmsetting.h"
#include "console/ui/pages/func1page.h"
#include "console/ui/pages/func2page.h"
#include "console/ui/pages/func3page.h"
#include "console/ui/pages/func4page.h"
#include "console/ui/pages/func5page.h"
#include "console/ui/networktreebinder.h"
#include "console/ui/pages/pagecontext.h"
#include "console/ui/dialogs/frminformation.h"
#include "console/ui/pages/func6page.h"
#include "console/ui/pages/func7page.h"
#include "console/ui/ipaddressboxeswidget.h"
#include "console/ui/pages/pagedialogs.h"
#include "console/ui/windowfrontend.h"
#include "ui_frmtarvocontrol.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTreeWidget>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>

using namespace Qt::Literals::StringLiterals;

namespace {
// The tree's heights in twips (15 per pixel): shorter where the address boxes sit below it.
constexpr int SingleTargetTreeHeight = 5235 / 15;
constexpr int BatchTreeHeight = 5715 / 15;

const char16_t *const PageTips[] = {u"リモート制御（個別）", u"リモート制御（一括）",
                                    u"モジュールチェック", u"稼動ログ参照", u"モジュール配布",
                                    u"システム環境管理", u"データベース参照"};
} // namespace

frmTarvoControl::frmTarvoControl(ConsoleCore &core, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::frmTarvoControl>()), m_core(core),
      m_computerPanel(new QLabel(this)), m_statusPanel(new QLabel(this))
{
    m_ui->setupUi(this);
    m_frontEnd = std::make_unique<WindowFrontEnd>(this, m_statusPanel);
    m_core.attach(m_frontEnd.get());
    m_context.reset(new PageContext{m_core.settings(), m_core.connection(), m_core.targets(),
                                    *m_frontEnd, m_core.folder()});
    m_func2Results = new ResultList(ResultList::func2Columns(), this);
    m_func5Results = new ResultList(ResultList::func5Columns(), this);
    m_statusPanel->setTextFormat(Qt::PlainText);
    // A long status text is cut at the window's edge; it never widens (or moves) the window.
    m_statusPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_ui->StatusBar1->addWidget(m_computerPanel);
    m_ui->StatusBar1->addWidget(m_statusPanel, 1);
    load();
}

frmTarvoControl::~frmTarvoControl()
{
    // The core outlives the window: what it shows from now on goes nowhere.
    m_core.attach(nullptr);
}

void frmTarvoControl::load()
{
    m_frontEnd->setBusy(true);
    setWindowTitle(ApplicationTitle());
    setWindowIcon(ConsoleIcons::treeImage(u"root"_s));
    m_loaded = m_core.connection().InitSockets();
    m_computerPanel->setText(GetLocalComputerName());
    buildTree();
    buildToolbar();
    addPages();
    connectButtonsAndMenus();
    showPage(1);
    setTargetChosen(false);
    fitToScreen();
    m_frontEnd->showStatus({});
    enableMenus();
    m_frontEnd->setBusy(false);
}

void frmTarvoControl::buildTree()
{
    m_tree = &m_core.tree();
    m_binder = new NetworkTreeBinder(*m_tree, *m_ui->tvwNetwork, this);
    m_tree->buildFirstLevel();
    connect(m_binder, &NetworkTreeBinder::ticked, this, &frmTarvoControl::onTicked);
    connect(m_ui->tvwNetwork, &QTreeWidget::itemClicked, this, &frmTarvoControl::onNodeClicked);
    m_fleet = new FleetMonitor(m_core.settings(), m_core.names(), m_core.folder(), *m_frontEnd,
                               this);
    m_fleetMenu = new FleetTreeMenu(*m_tree, *m_binder, *m_ui->tvwNetwork, *m_fleet,
                                    m_core.folder(), *m_frontEnd, this);
    m_ui->tvwNetwork->installEventFilter(this);
    connect(m_ui->ipInner, &IpAddressBoxesWidget::focused, this, [this] { showTargetSource(false); });
    connect(m_ui->ipInner, &IpAddressBoxesWidget::edited, this, &frmTarvoControl::onAddressEdited);
}

void frmTarvoControl::buildToolbar()
{
    auto *group = new QActionGroup(this);
    for (int page = 1; page <= ConsoleTargets::PageCount; ++page) {
        QAction *button = m_ui->tbrFunction->addAction(ConsoleIcons::pageButton(page),
                                                       QString::fromUtf16(PageTips[page - 1]));
        button->setObjectName(u"tbrFunction_%1"_s.arg(page));
        button->setToolTip(QString::fromUtf16(PageTips[page - 1]));
        button->setCheckable(true);
        group->addAction(button);
        connect(button, &QAction::triggered, this, [this, page] { showPage(page); });
        m_pageButtons.append(button);
    }
}

// Only the page on show claims room, so that no page scrolls (or widens the window) for another.
void frmTarvoControl::letOnlyPageClaimRoom(int current)
{
    for (int index = 0; index < m_ui->pageStack->count(); ++index) {
        const auto policy = index == current ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        m_ui->pageStack->widget(index)->setSizePolicy(policy, policy);
    }
}

// On a screen too small for the window's natural size (1024x768) the pages scroll instead of
// pushing the window's bottom off the screen.
void frmTarvoControl::scrollPagesWhenTooTall()
{
    letOnlyPageClaimRoom(m_ui->pageStack->currentIndex());
    auto *layout = m_ui->rightSide->layout();
    const int index = layout->indexOf(m_ui->pageStack);
    layout->removeWidget(m_ui->pageStack);
    m_pageScroll = new QScrollArea(m_ui->rightSide);
    m_pageScroll->setObjectName(u"pageScroll"_s);
    m_pageScroll->setFrameShape(QFrame::NoFrame);
    m_pageScroll->setWidgetResizable(true);
    m_pageScroll->setWidget(m_ui->pageStack);
    static_cast<QBoxLayout *>(layout)->insertWidget(index, m_pageScroll, 1);
    connect(m_ui->pageStack, &QStackedWidget::currentChanged, this,
            &frmTarvoControl::letOnlyPageClaimRoom);
}

// The window's natural size: what lies around the pages, with room for the largest page whole,
// so that no page scrolls on a screen that holds it.
QSize frmTarvoControl::naturalSize()
{
    QSize largestPage;
    for (int index = 0; index < m_ui->pageStack->count(); ++index)
        largestPage = largestPage.expandedTo(m_ui->pageStack->widget(index)->minimumSizeHint());
    // The page area asks for that room just long enough to read the window's size hint; the
    // window's minimum stays small, so that a small screen scrolls the pages instead.
    m_pageScroll->setMinimumSize(largestPage);
    relayoutUpTo(m_pageScroll);
    const QSize natural = sizeHint().expandedTo(minimumSizeHint()).expandedTo(size());
    m_pageScroll->setMinimumSize(0, 0);
    relayoutUpTo(m_pageScroll);
    return natural;
}

// Not shown yet, widgets pass no change of size up on their own: each level is told.
void frmTarvoControl::relayoutUpTo(QWidget *changed)
{
    for (QWidget *level = changed; level; level = level->parentWidget()) {
        level->updateGeometry();
        if (level->layout())
            level->layout()->invalidate();
    }
    layout()->activate();
}

// The window at its natural size where the screen allows, centred on the screen once its
// pages have given it its size. The size set is that of the inside: the window manager's frame
// (title bar and borders) must fit too, or the title bar lands above the screen.
void frmTarvoControl::fitToScreen()
{
    const QScreen *screen = QApplication::primaryScreen();
    if (!screen)
        return;
    constexpr QSize FrameAllowance(16, 48);
    const QRect available = screen->availableGeometry();
    resize(naturalSize().boundedTo(available.size() - FrameAllowance));
    move(available.center() - rect().center() + QPoint(0, FrameAllowance.height() / 4));
}

void frmTarvoControl::addPages()
{
    m_func1 = new Func1Page(*m_context, this);
    m_func2 = new Func2Page(*m_func2Results, *m_tree, this);
    m_func3 = new Func3Page(*m_context, this);
    m_func4 = new Func4Page(*m_context, this);
    m_func5 = new Func5Page(*m_func5Results, *m_tree, *m_frontEnd, m_core.folder(), this);
    m_pageDialogs = std::make_unique<PageDialogs>(*m_frontEnd, m_core.folder());
    const auto sqlSettings = [this] { return sqlSettingsOf(m_core.settings(), m_core.folder()); };
    m_func6 = new Func6Page(*m_pageDialogs, sqlSettings, this);
    m_func7 = new Func7Page(*m_pageDialogs, sqlSettings, this);
    connect(m_func6, &Func6Page::explanationRequested, this, [this](const QString &file) {
        frmInformation explanation(m_core.folder(), file, this);
        explanation.exec();
    });
    for (QWidget *page : std::initializer_list<QWidget *>{m_func1, m_func2, m_func3, m_func4,
                                                          m_func5, m_func6, m_func7})
        m_ui->pageStack->addWidget(page);
    m_pages = {m_func1, m_func2, m_func3, m_func4, m_func5, m_func6, m_func7};
    scrollPagesWhenTooTall();
    connect(m_func2, &Func2Page::batchRequested, this,
            [this](int code) { startBatch(*m_func2Results, code, {}); });
    connect(m_func2, &Func2Page::exportRequested, this, [this] { exportList(*m_func2Results); });
    connect(m_func5, &Func5Page::batchRequested, this,
            [this](int code, const QString &path) { startBatch(*m_func5Results, code, path); });
    connect(m_func5, &Func5Page::exportRequested, this, [this] { exportList(*m_func5Results); });
    connect(m_func2, &Func2Page::queueRequested, this, &frmTarvoControl::queueUnreachable);
    connect(m_func5, &Func5Page::queueRequested, this, &frmTarvoControl::queueUnreachable);
}

void frmTarvoControl::queueUnreachable()
{
    const BatchRun &batch = m_core.batch();
    const QueueHandOff handOff = HandUnreachableToQueue(m_core.settings(), m_core.folder(),
                                                        batch.code(), batch.filePath(),
                                                        batch.rows());
    m_frontEnd->showMessage(handOff.job ? ConsoleFrontEnd::Icon::Information
                                        : ConsoleFrontEnd::Icon::Exclamation,
                            handOff.text);
}

void frmTarvoControl::connectButtonsAndMenus()
{
    connect(m_ui->cmdButton_1, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->mnuFileItem_0, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->cmdButton_2, &QPushButton::clicked, this, &frmTarvoControl::openSettings);
    connect(m_ui->mnuHelpItem_0, &QAction::triggered, this, [this] {
        frmHelp help(m_core.folder(), windowIcon(), this);
        help.exec();
    });
    connect(m_ui->mnuHelpItem_2, &QAction::triggered, this, [this] { showAboutBox(this); });
}

int frmTarvoControl::currentPage() const
{
    return m_core.targets().page();
}

void frmTarvoControl::showPage(int page)
{
    m_core.targets().setPage(page);
    m_pageButtons.at(page - 1)->setChecked(true);
    const bool batchPage = m_core.targets().isBatchPage();
    m_ui->tvwNetwork->setMinimumHeight(batchPage ? BatchTreeHeight : SingleTargetTreeHeight);
    m_ui->ipBoxes->setVisible(!batchPage);
    // Switched off and on again on the batch pages so that every box is drawn anew.
    m_binder->setCheckBoxes(false);
    m_binder->setCheckBoxes(batchPage);
    m_ui->frameComputers->setEnabled(m_core.targets().treeEnabled());
    m_pages.at(page - 1)->pageShown();
    m_ui->pageStack->setCurrentIndex(page - 1);
    m_frontEnd->showStatus({});
    enableMenus();
}

void frmTarvoControl::setTargetChosen(bool chosen)
{
    for (ConsolePage *page : m_pages)
        page->targetChosen(chosen);
}

void frmTarvoControl::onNodeClicked()
{
    const QTreeWidgetItem *item = m_ui->tvwNetwork->currentItem();
    if (item) {
        const TreeNode *node = m_tree->node(m_binder->keyOf(item));
        if (node) {
            if (const auto enabled = m_core.targets().nodeClicked(node->image, node->text))
                setTargetChosen(*enabled);
        }
    }
    enableMenus();
}

void frmTarvoControl::onTicked(const QStringList &changed)
{
    m_pages.at(m_core.targets().page() - 1)->ticksChanged(changed);
}

void frmTarvoControl::onAddressEdited(const QStringList &boxes)
{
    if (const auto enabled = m_core.targets().addressChanged(boxes))
        setTargetChosen(*enabled);
    enableMenus();
}

// The source that takes the focus is the active one: the other is shown inactive, greyed
// clearly, text and ground, so that the target in use is plain to see.
void frmTarvoControl::showTargetSource(bool tree)
{
    QPalette inactive = m_ui->tvwNetwork->palette();
    inactive.setColor(QPalette::Base, inactive.color(QPalette::Window).darker(112));
    inactive.setColor(QPalette::Text, inactive.color(QPalette::Disabled, QPalette::Text));
    m_ui->tvwNetwork->setPalette(tree ? QPalette() : inactive);
    m_ui->ipInner->setBoxPalette(tree ? inactive : QPalette());
}

bool frmTarvoControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->tvwNetwork && event->type() == QEvent::FocusIn) {
        showTargetSource(true);
        onNodeClicked();
    }
    return QMainWindow::eventFilter(watched, event);
}

// Worker windows stand beside the main window (right, left, or below it) where the screen has
// room, else over the tree along the screen's left edge, one step further per slot: never over
// the result list they report to.
void frmTarvoControl::placeWorkerWindow(QWidget *window, int slot)
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    constexpr int Gap = 8;
    constexpr int Step = 32;
    const QRect available = screen->availableGeometry();
    const QSize size = window->sizeHint() + QSize(Gap, 3 * Gap); // with room for the frame
    const QRect main = frameGeometry();
    const int step = (qMax(1, slot) - 1) * Step;
    const QList<QPoint> corners{{main.right() + Gap, available.top() + Gap},
                                {main.left() - Gap - size.width(), available.top() + Gap},
                                {available.left() + Gap, main.bottom() + Gap}};
    for (const QPoint &corner : corners) {
        // Placed down the side (or along the bottom), wrapping round when the room is used up.
        const bool below = corner.y() > available.top() + Gap;
        const int room = below ? available.right() - corner.x() - size.width()
                               : available.bottom() - corner.y() - size.height();
        if (!available.contains(QRect(corner, size)) || room < 0)
            continue;
        const int offset = room > 0 ? step % (room + 1) : 0;
        window->move(below ? corner + QPoint(offset, 0) : corner + QPoint(0, offset));
        return;
    }
    // Over the tree at the left, which a running batch does not use.
    const int rows = qMax(1, (available.height() - size.height()) / Step);
    window->move(available.left() + Gap, available.top() + Gap + (step / Step % rows) * Step);
}

void frmTarvoControl::startBatch(ResultList &list, int code, const QString &filePath)
{
    QStringList hosts;
    for (const QStringList &row : list.rows())
        hosts.append(row.value(0));
    if (m_core.batch().isRunning()) {
        // One hand-over at a time: the slot table belongs to the run under way.
        m_frontEnd->showMessage(ConsoleFrontEnd::Icon::Information,
                                u"一括処理の実行中です。終了してから実行してください。"_s);
        return;
    }
    m_batchList = &list;
    disconnect(&m_core.batch(), nullptr, this, nullptr);
    connect(&m_core.batch(), &BatchRun::workerStarted, this, [this](BatchWorker *worker) {
        auto *window = new frmClient(*worker, this);
        placeWorkerWindow(window, worker->job().slot);
        window->show();
    });
    connect(&m_core.batch(), &BatchRun::rowFinished, this, [this](int row) {
        const BatchResult &result = m_core.batch().rows().at(row);
        if (m_batchList)
            m_batchList->setResult(row, result.result, result.status);
    });
    m_func2->setQueueEnabled(false);
    m_func5->setQueueEnabled(false);
    connect(&m_core.batch(), &BatchRun::finished, this, [this, &list] {
        const bool unreachable = !UnreachableHosts(m_core.batch().rows()).isEmpty();
        if (&list == m_func2Results)
            m_func2->setQueueEnabled(unreachable);
        else
            m_func5->setQueueEnabled(unreachable);
    });
    m_core.batch().start(hosts, code, filePath);
    if (!filePath.isEmpty())
        m_frontEnd->showStatus(QDir::toNativeSeparators(filePath)); // the file that goes out
}

void frmTarvoControl::exportList(const ResultList &list)
{
    ExportListToCsv(list.headers(), list.rows(), m_core.folder(), *m_frontEnd);
}

void frmTarvoControl::openSettings()
{
    frmSetting dialog(m_core.settings(), *m_frontEnd, this);
    dialog.exec();
    m_core.rereadPort();
}

void frmTarvoControl::enableMenus()
{
    for (QAction *action : {m_ui->mnuFileItem_0, m_ui->mnuHelpItem_0, m_ui->mnuHelpItem_2})
        action->setEnabled(true);
    m_ui->mnuFile->setEnabled(true);
    m_ui->mnuHelp->setEnabled(true);
}

void frmTarvoControl::closeEvent(QCloseEvent *event)
{
    // Closing ends the workers and loses the results still to come: only when the user says so.
    if (m_core.batch().isRunning()
        && QMessageBox::question(this, ApplicationTitle(),
                                 u"一括処理の実行中です。終了すると処理結果が失われます。終了しますか？"_s,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    m_core.close();
    event->accept();
}
