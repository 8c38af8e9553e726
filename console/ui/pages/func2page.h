#pragma once

#include "console/ui/pages/consolepage.h"
#include "console/ui/pages/tickedtargets.h"

#include <QWidget>

#include <memory>

class NetworkTree;
class ResultList;

namespace Ui {
class Func2Page;
}

/// Page 2: remote control of the ticked computers, handed to the batch workers.
class Func2Page : public QWidget, public ConsolePage
{
    Q_OBJECT
public:
    /// `results` lists the ticked computers of `tree`.
    Func2Page(ResultList &results, const NetworkTree &tree, QWidget *parent = nullptr);
    ~Func2Page() override;

    void pageShown() override { m_targets.refill(); }
    void ticksChanged(const QStringList &keys) override { m_targets.apply(keys); }

    /// The queue button: enabled after a run that left computers unreachable.
    void setQueueEnabled(bool enabled);

Q_SIGNALS:
    /// A batch button: 130, 140 or 150 for every row of the list.
    void batchRequested(int code);
    void exportRequested();
    /// "未到達のPCを再試行キューへ": the unreachable computers of the last run go to the queue.
    void queueRequested();

private:
    /// The page and `frameFunc20`, the batch buttons' frame.
    void setTargetsEnabled(bool enabled);

    std::unique_ptr<Ui::Func2Page> m_ui;
    TickedTargets m_targets;
};
