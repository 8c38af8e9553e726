#include "console/ui/pages/func4page.h"

#include "console/connection/agentconnection.h"
#include "console/network/consoletargets.h"
#include "console/ui/pages/pagecontext.h"
#include "ui_func4page.h"

#include <QScrollBar>

Func4Page::Func4Page(PageContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_ui(std::make_unique<Ui::Func4Page>())
{
    m_ui->setupUi(this);
    useTextFont(*m_ui->rtxtFunc4Log);
    connect(m_ui->cmdFunc4_0, &QPushButton::clicked, this, &Func4Page::fetch);
    connect(&context.connection, &AgentConnection::ShowStatusLog, this,
            &Func4Page::showStatusLog);
}

Func4Page::~Func4Page() = default;

QString Func4Page::logText() const
{
    return m_ui->rtxtFunc4Log->toPlainText();
}

void Func4Page::fetch()
{
    m_ui->cmdFunc4_0->setEnabled(false);
    m_ui->rtxtFunc4Log->clear();
    m_context.connection.SendCommand(m_context.targets.targetHost(), Frame::GetStatusLog, {});
    m_ui->cmdFunc4_0->setEnabled(true);
}

void Func4Page::showStatusLog(const QString &body)
{
    // The log is the agent's text: plain, with the newest lines in view.
    m_ui->rtxtFunc4Log->setPlainText(body);
    QTextCursor end = m_ui->rtxtFunc4Log->textCursor();
    end.movePosition(QTextCursor::End);
    m_ui->rtxtFunc4Log->setTextCursor(end);
    m_ui->rtxtFunc4Log->ensureCursorVisible();
}
