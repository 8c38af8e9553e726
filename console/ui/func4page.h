#pragma once

#include <QWidget>

#include <memory>

struct PageContext;

namespace Ui {
class Func4Page;
}

/// Page 4: the agent's status log.
class Func4Page : public QWidget
{
    Q_OBJECT
public:
    explicit Func4Page(PageContext &context, QWidget *parent = nullptr);
    ~Func4Page() override;
    QString logText() const;

private:
    void fetch();
    void showStatusLog(const QString &body);

    PageContext &m_context;
    std::unique_ptr<Ui::Func4Page> m_ui;
};
