#pragma once

#include <QWidget>

#include <memory>

class ResultList;

namespace Ui {
class Func2Page;
}

/// Page 2: remote control of the ticked computers, handed to the batch workers.
class Func2Page : public QWidget
{
    Q_OBJECT
public:
    Func2Page(ResultList &results, QWidget *parent = nullptr);
    ~Func2Page() override;

    /// `frameFunc20`, the batch buttons' frame.
    QWidget *commandFrame() const;

    /// The queue button: enabled after a run that left computers unreachable.
    void setQueueEnabled(bool enabled);

Q_SIGNALS:
    /// A batch button: 130, 140 or 150 for every row of the list.
    void batchRequested(int code);
    void exportRequested();
    /// "未到達のPCを再試行キューへ": the unreachable computers of the last run go to the queue.
    void queueRequested();

private:
    std::unique_ptr<Ui::Func2Page> m_ui;
};
