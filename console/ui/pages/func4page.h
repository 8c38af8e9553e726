#pragma once

#include "console/ui/pages/consolepage.h"

#include <QWidget>

#include <memory>

struct PageContext;

namespace Ui {
class Func4Page;
}

/// Page 4: the agent's status log.
class Func4Page : public QWidget, public ConsolePage
{
    Q_OBJECT
public:
    explicit Func4Page(PageContext &context, QWidget *parent = nullptr);
    ~Func4Page() override;
    QString logText() const;
    /// The page acts on a chosen target only.
    void targetChosen(bool chosen) override { setEnabled(chosen); }

private:
    void fetch();
    void showStatusLog(const QString &body);

    PageContext &m_context;
    std::unique_ptr<Ui::Func4Page> m_ui;
};
