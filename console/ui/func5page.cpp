#include "console/ui/func5page.h"

#include "console/distributionrules.h"
#include "console/frontend.h"
#include "console/resultlist.h"
#include "console/ui/pagecontext.h"
#include "ui_func5page.h"

#include <QDir>
#include <QFileSystemModel>
#include <QStorageInfo>

using namespace Qt::Literals::StringLiterals;

Func5Page::Func5Page(ResultList &results, ConsoleFrontEnd &frontEnd, const QString &startFolder,
                     QWidget *parent)
    : QWidget(parent), m_ui(new Ui::Func5Page), m_frontEnd(frontEnd),
      m_folders(new QFileSystemModel(this)), m_files(new QFileSystemModel(this))
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
    m_ui->File1->setModel(m_files);
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
}

Func5Page::~Func5Page()
{
    delete m_ui;
}

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

QString Func5Page::selectedFile() const
{
    const QModelIndex current = m_ui->File1->currentIndex();
    return current.isValid() && m_ui->File1->selectionModel()->isSelected(current)
        ? m_files->fileName(current)
        : QString();
}

void Func5Page::chooseFile(const QString &folder, const QString &fileName)
{
    setFolder(folder);
    const QModelIndex index = m_files->index(QDir(folder).filePath(fileName));
    m_ui->File1->setCurrentIndex(index);
    m_ui->File1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
}

void Func5Page::setDistributionEnabled(bool enabled)
{
    m_ui->frameFunc50->setEnabled(enabled);
    for (QPushButton *button : {m_ui->cmdFunc5_0, m_ui->cmdFunc5_1, m_ui->cmdFunc5_2})
        button->setEnabled(enabled);
}

void Func5Page::pressed(int index)
{
    const QString fileName = selectedFile();
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
        Q_EMIT batchRequested(step.code, QDir(folder()).filePath(fileName));
        break;
    case DistributionStep::Export:
        Q_EMIT exportRequested();
        break;
    }
    if (!fileName.isEmpty() && !DistributionRules::keepsButtonsDisabled(step))
        setDistributionEnabled(true);
}
