#include "console/ui/pages/func5page.h"

#include "console/batch/distributionrules.h"
#include "console/frontend.h"
#include "console/batch/resultlist.h"
#include "console/ui/pages/pagecontext.h"
#include "ui_func5page.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QStorageInfo>

using namespace Qt::Literals::StringLiterals;

Func5Page::Func5Page(ResultList &results, const NetworkTree &tree, ConsoleFrontEnd &frontEnd,
                     const QString &startFolder, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Func5Page>()), m_frontEnd(frontEnd),
      m_folders(new QFileSystemModel(this)), m_files(new QFileSystemModel(this)),
      m_targets(tree, results, [this](bool enabled) { setTargetsEnabled(enabled); })
{
    m_ui->setupUi(this);
    m_ui->lvwFunc5Result->setModel(&results);
    QStringList sizing;
    for (const ResultList::Column &column : results.columns())
        sizing.append(column.sizingText);
    sizeColumns(*m_ui->lvwFunc5Result, sizing);

    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setRootPath(u"/"_s);
    m_ui->Dir1->setModel(m_folders);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        m_ui->Dir1->hideColumn(column);
    m_files->setFilter(QDir::Files);
    // The list refreshes itself when the folder changes on disk; the selection that the view
    // moves meanwhile is not the user's choice. Connected before the view is, so that the flag
    // is up before the view moves anything.
    connect(m_files, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_listChanging = true; });
    connect(m_files, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { m_listChanging = true; });
    m_ui->File1->setModel(m_files);
    connect(m_ui->File1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Func5Page::takeChoice);
    connect(m_files, &QAbstractItemModel::rowsRemoved, this, &Func5Page::keepChoice);
    connect(m_files, &QAbstractItemModel::layoutChanged, this, &Func5Page::keepChoice);
    fillDrives(startFolder);
    setFolder(startFolder);

    connect(m_ui->Drive1, &QComboBox::activated, this,
            [this](int index) { setFolder(m_ui->Drive1->itemData(index).toString()); });
    connect(m_ui->Dir1, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { setFolder(m_folders->filePath(index)); });
    const QList<QPushButton *> buttons{m_ui->cmdFunc5_0, m_ui->cmdFunc5_1, m_ui->cmdFunc5_2,
                                       m_ui->cmdFunc5_3, m_ui->cmdFunc5_4};
    for (int i = 0; i < buttons.size(); ++i)
        connect(buttons.at(i), &QPushButton::clicked, this, [this, i] { pressed(i); });
    connect(m_ui->cmdFunc5_5, &QPushButton::clicked, this, [this] {
        m_ui->cmdFunc5_5->setEnabled(false); // once per run
        Q_EMIT queueRequested();
    });
    setTargetsEnabled(false); // until computers are ticked
}

void Func5Page::setQueueEnabled(bool enabled)
{
    m_ui->cmdFunc5_5->setEnabled(enabled);
}

Func5Page::~Func5Page() = default;

void Func5Page::fillDrives(const QString &startFolder)
{
    // The mounted file systems stand for the drive letters.
    const QString startRoot = QStorageInfo(startFolder).rootPath();
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        m_ui->Drive1->addItem(volume.rootPath() + u"  ["_s + QString::fromUtf8(volume.fileSystemType())
                                  + u']',
                              volume.rootPath());
        if (volume.rootPath() == startRoot)
            m_ui->Drive1->setCurrentIndex(m_ui->Drive1->count() - 1);
    }
}

void Func5Page::setFolder(const QString &folder)
{
    // Another folder shows other files: the choice made in the last one ends here.
    m_chosen.clear();
    m_ui->File1->selectionModel()->clear();
    const QString path = QDir(folder).absolutePath();
    const QModelIndex index = m_folders->index(path);
    m_ui->Dir1->setCurrentIndex(index);
    m_ui->Dir1->scrollTo(index);
    m_ui->Dir1->expand(index);
    m_ui->File1->setRootIndex(m_files->setRootPath(path));
    m_ui->lblFile1->setText(path);
}

QString Func5Page::folder() const
{
    return m_files->rootPath();
}

void Func5Page::chooseFile(const QString &folder, const QString &fileName)
{
    setFolder(folder);
    const QModelIndex index = m_files->index(QDir(folder).filePath(fileName));
    m_ui->File1->setCurrentIndex(index);
    m_ui->File1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
}

void Func5Page::takeChoice()
{
    if (m_listChanging)
        return;
    const QModelIndexList selected = m_ui->File1->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        // Taken away by the user, or by the file going away (keepChoice() clears that one).
        if (QFileInfo::exists(m_chosen))
            m_chosen.clear();
        return;
    }
    m_chosen = m_files->filePath(selected.first());
    setButtonsEnabled(true);
}

void Func5Page::keepChoice()
{
    m_listChanging = false;
    const QSignalBlocker quiet(m_ui->File1->selectionModel());
    const QModelIndex index = m_chosen.isEmpty() ? QModelIndex() : m_files->index(m_chosen);
    if (!index.isValid()) {
        m_ui->File1->selectionModel()->clear();
        if (!m_chosen.isEmpty()) {
            m_chosen.clear();
            setButtonsEnabled(false);
        }
        return;
    }
    m_ui->File1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_ui->File1->viewport()->update();
}

void Func5Page::setTargetsEnabled(bool enabled)
{
    setEnabled(enabled);
    setDistributionEnabled(enabled);
}

void Func5Page::setDistributionEnabled(bool enabled)
{
    m_ui->frameFunc50->setEnabled(enabled);
    setButtonsEnabled(enabled);
}

void Func5Page::setButtonsEnabled(bool enabled)
{
    for (QPushButton *button : {m_ui->cmdFunc5_0, m_ui->cmdFunc5_1, m_ui->cmdFunc5_2})
        button->setEnabled(enabled);
}

void Func5Page::pressed(int index)
{
    const QString chosen = m_chosen;
    const QString fileName = QFileInfo(chosen).fileName();
    const DistributionStep step = DistributionRules::step(index, fileName);
    if (!fileName.isEmpty())
        setDistributionEnabled(false);
    switch (step.kind) {
    case DistributionStep::Message:
        m_frontEnd.showMessage(step.warning ? ConsoleFrontEnd::Icon::Exclamation
                                            : ConsoleFrontEnd::Icon::Information,
                               step.text);
        break;
    case DistributionStep::Batch:
        Q_EMIT batchRequested(step.code, chosen);
        break;
    case DistributionStep::Export:
        Q_EMIT exportRequested();
        break;
    }
    if (!fileName.isEmpty() && !DistributionRules::keepsButtonsDisabled(step))
        setDistributionEnabled(true);
}
