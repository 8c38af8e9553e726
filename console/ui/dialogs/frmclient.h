#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class BatchWorker;

namespace Ui {
class frmClient;
}

/// The small window of one batch worker: its target in the caption, the slot, the status text,
/// the result, the progress and the socket messages. It closes itself when its worker ends;
/// closed by the user first, it ends its worker, which then reports no outcome of its own.
class frmClient : public QWidget
{
    Q_OBJECT
public:
    explicit frmClient(BatchWorker &worker, QWidget *parent = nullptr);
    ~frmClient() override;

    QString statusText() const;
    int progress() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::frmClient> m_ui;
    QPointer<BatchWorker> m_worker;
};
