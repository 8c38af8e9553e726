#pragma once

#include <QWidget>

class BatchWorker;

namespace Ui {
class frmClient;
}

/// The small window of one batch worker: its target in the caption, the slot, the status text,
/// the result, the progress and the socket messages. It closes itself when its worker ends.
class frmClient : public QWidget
{
    Q_OBJECT
public:
    explicit frmClient(BatchWorker &worker, QWidget *parent = nullptr);
    ~frmClient() override;

    QString statusText() const;
    int progress() const;

private:
    Ui::frmClient *m_ui;
};
