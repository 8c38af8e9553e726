#include "console/ui/dialogs/frmclient.h"

#include "console/batch/batchworker.h"
#include "ui_frmclient.h"

frmClient::frmClient(BatchWorker &worker, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmClient>()), m_worker(&worker)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(worker.caption());
    const BatchJob &job = worker.job();
    m_ui->lblProcess->setText(QString::number(job.slot));
    m_ui->lblParm->setText(job.filePath);
    m_ui->lblParm2->setText(job.fileName);
    const bool fileRequest = !job.filePath.isEmpty();
    for (QLabel *label : {m_ui->lblParm, m_ui->lblParmCaption, m_ui->lblParm2,
                          m_ui->lblParm2Caption})
        label->setVisible(fileRequest);
    for (QLabel *label : {m_ui->lblClient, m_ui->lblClientResult, m_ui->lblParm, m_ui->lblParm2})
        label->setTextFormat(Qt::PlainText);
    m_ui->lblClient->setText(worker.statusText());
    m_ui->lblClientResult->setText(worker.result());
    m_ui->ProgressBar1->setValue(worker.progress());
    connect(&worker, &BatchWorker::statusTextChanged, m_ui->lblClient, &QLabel::setText);
    connect(&worker, &BatchWorker::progressChanged, m_ui->ProgressBar1, &QProgressBar::setValue);
    connect(&worker, &BatchWorker::socketStatus, m_ui->StatusBar1,
            [this](const QString &text) { m_ui->StatusBar1->showMessage(text); });
    connect(&worker, &BatchWorker::finished, this, [this](BatchWorker *done) {
        m_ui->lblClientResult->setText(done->result());
        close();
    });
    // A worker that goes away first (the console closing) takes its window with it.
    connect(&worker, &QObject::destroyed, this, &QWidget::close);
}

frmClient::~frmClient() = default;

void frmClient::closeEvent(QCloseEvent *event)
{
    if (m_worker)
        m_worker->cancel();
    QWidget::closeEvent(event);
}

QString frmClient::statusText() const
{
    return m_ui->lblClient->text();
}

int frmClient::progress() const
{
    return m_ui->ProgressBar1->value();
}
