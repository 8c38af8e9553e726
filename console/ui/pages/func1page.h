#pragma once

#include "console/ui/pages/consolepage.h"
#include "net/frame.h"

#include <QList>
#include <QWidget>

#include <memory>

class ParameterEditModel;
class QPushButton;
struct PageContext;

namespace Ui {
class Func1Page;
}

/// Page 1: remote control of one agent and its settings (fetch, edit, update).
class Func1Page : public QWidget, public ConsolePage
{
    Q_OBJECT
public:
    explicit Func1Page(PageContext &context, QWidget *parent = nullptr);
    ~Func1Page() override;

    /// A chosen target enables `frameFunc10` and `frameFunc11`.
    void targetChosen(bool chosen) override;
    const ParameterEditModel &parameters() const { return *m_parameters; }

private:
    void send(Frame::Code code, const QString &data);
    void fetch();
    void update();
    void showParameters(const QString &body);
    void showRow(int row, bool changeStates);
    void confirmEdit();

    PageContext &m_context;
    std::unique_ptr<Ui::Func1Page> m_ui;
    ParameterEditModel *m_parameters;
};
