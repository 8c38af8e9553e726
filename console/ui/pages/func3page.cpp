#include "console/ui/pages/func3page.h"

#include "console/connection/agentconnection.h"
#include "console/network/consoletargets.h"
#include "console/frontend.h"
#include "console/connection/replyparsers.h"
#include "console/ui/dialogs/frmfileview.h"
#include "console/ui/pages/pagecontext.h"
#include "ui_func3page.h"

#include <QStandardItemModel>

using namespace Qt::Literals::StringLiterals;

Func3Page::Func3Page(PageContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_ui(std::make_unique<Ui::Func3Page>()),
      m_files(new QStandardItemModel(this))
{
    m_ui->setupUi(this);
    m_files->setHorizontalHeaderLabels({u"ファイル名"_s, u"サイズ"_s, u"更新日時"_s,
                                        u"ﾌｧｲﾙﾊﾞｰｼﾞｮﾝ"_s, u"製品ﾊﾞｰｼﾞｮﾝ"_s});
    m_ui->lvwFile->setModel(m_files);
    sizeColumns(*m_ui->lvwFile, {u"ファイル名"_s + QString(18, u' '), u"サイズ"_s + QString(7, u' '),
                                 u"更新日時"_s + QString(18, u' '), u"バージョン"_s + QString(7, u' '),
                                 u"製品バージョン"_s + QString(2, u' ')});
    connect(m_ui->cmdFunc3_0, &QPushButton::clicked, this, &Func3Page::list);
    connect(m_ui->cmdFunc3_1, &QPushButton::clicked, this, &Func3Page::view);
    connect(m_ui->lvwFile, &QAbstractItemView::clicked, this,
            [this] { m_ui->cmdFunc3_1->setEnabled(true); });
    connect(m_ui->lvwFile, &QAbstractItemView::doubleClicked, this, &Func3Page::view);
    connect(&context.connection, &AgentConnection::ShowFileList, this, &Func3Page::showFileList);
    connect(&context.connection, &AgentConnection::ShowDataFile, this, &Func3Page::showDataFile);
}

Func3Page::~Func3Page() = default;

void Func3Page::targetChosen(bool chosen)
{
    setEnabled(chosen);
    if (chosen)
        m_ui->cmdFunc3_1->setEnabled(false);
}

QString Func3Page::selectedFile() const
{
    const QModelIndex current = m_ui->lvwFile->currentIndex();
    return current.isValid() ? m_files->item(current.row(), 0)->text().trimmed() : QString();
}

void Func3Page::list()
{
    m_ui->cmdFunc3_0->setEnabled(false);
    m_ui->cmdFunc3_1->setEnabled(false);
    m_files->removeRows(0, m_files->rowCount());
    m_context.connection.SendCommand(m_context.targets.targetHost(), Frame::GetFileInfo, {});
    m_ui->cmdFunc3_0->setEnabled(true);
}

void Func3Page::view()
{
    m_ui->cmdFunc3_0->setEnabled(false);
    m_context.connection.SendCommand(m_context.targets.targetHost(), Frame::GetDataFile, selectedFile());
    m_ui->cmdFunc3_0->setEnabled(true);
}

void Func3Page::showFileList(const QString &body)
{
    m_files->removeRows(0, m_files->rowCount());
    for (const FileRow &file : ParseFileList(body)) {
        QList<QStandardItem *> row;
        const QStringList fields = file.fields();
        for (int i = 0; i < fields.size(); ++i) {
            auto *item = new QStandardItem(fields.at(i));
            item->setEditable(false);
            item->setTextAlignment(i == 1 ? Qt::AlignRight | Qt::AlignVCenter
                                   : i >= 3 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
            row.append(item);
        }
        m_files->appendRow(row);
    }
    m_ui->cmdFunc3_1->setEnabled(true);
    // A long file name widens its column rather than being cut; a short list keeps the width.
    const int nameWidth = m_ui->lvwFile->columnWidth(0);
    m_ui->lvwFile->resizeColumnToContents(0);
    m_ui->lvwFile->setColumnWidth(0, qMax(nameWidth, m_ui->lvwFile->columnWidth(0)));
    if (m_files->rowCount() > 0) {
        const QModelIndex first = m_files->index(0, 0);
        m_ui->lvwFile->setCurrentIndex(first);
        m_ui->lvwFile->scrollTo(first);
    }
}

void Func3Page::showDataFile(const QString &body)
{
    if (!m_fileView)
        m_fileView = new frmFileView(window());
    m_fileView->showFile(m_context.targets.targetHost(), selectedFile(), body);
}
