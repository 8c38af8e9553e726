#include "console/ui/func6page.h"

#include "console/ui/func6agentsettings.h"
#include "console/ui/func6definitions.h"
#include "console/ui/func6fields.h"

#include <QGridLayout>

Func6Page::Func6Page(PageDialogs &dialogs, std::function<SqlSettings()> settings, QWidget *parent)
    : QWidget(parent)
    , m_agent(new Func6AgentSettings(dialogs, this))
    , m_definitions(new Func6Definitions(dialogs, this))
    , m_fields(new Func6Fields(dialogs, std::move(settings), m_definitions->definitions(), this))
{
    setObjectName(QStringLiteral("frameFunc6"));
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_agent, 0, 0);
    layout->addWidget(m_fields, 1, 0);
    layout->addWidget(m_definitions, 0, 1, 2, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1); // spare height goes to the field list
    connect(m_agent, &Func6AgentSettings::explanationRequested, this, &Func6Page::explanationRequested);
    connect(m_definitions, &Func6Definitions::explanationRequested, this, &Func6Page::explanationRequested);
    connect(m_fields, &Func6Fields::explanationRequested, this, &Func6Page::explanationRequested);
}

void Func6Page::setTableLabel(const QString &table)
{
    m_fields->showTable(table);
}
