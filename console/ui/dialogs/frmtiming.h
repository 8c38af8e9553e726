#pragma once

#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class frmTiming;
}
class PageDialogs;

/// The schedule dialog: weekdays or days of the month and a start time.
class frmTiming : public QDialog
{
    Q_OBJECT

public:
    frmTiming(PageDialogs &dialogs, const std::array<QString, 3> &timer, QWidget *parent = nullptr);
    ~frmTiming() override;

    /// The schedule labels after "設定(&S)".
    const std::array<QString, 3> &timer() const { return m_timer; }

private:
    void showCondition(int index);
    void acceptChoice();

    std::unique_ptr<Ui::frmTiming> m_ui;
    PageDialogs &m_dialogs;
    std::array<QString, 3> m_timer;
};
