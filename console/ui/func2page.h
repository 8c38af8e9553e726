#pragma once

#include <QWidget>

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

Q_SIGNALS:
    /// A batch button: 130, 140 or 150 for every row of the list.
    void batchRequested(int code);
    void exportRequested();

private:
    Ui::Func2Page *m_ui;
};
