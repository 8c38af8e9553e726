#include "console/ui/pages/func6page.h"

#include "console/ui/pages/func6agentsettings.h"
#include "console/ui/pages/func6definitions.h"
#include "console/ui/pages/func6fields.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QTabWidget>

namespace {

// A part's frame title becomes its tab's label, so it is not said twice.
void addAsTab(QTabWidget *tabs, QWidget *part)
{
    auto *frame = part->findChild<QGroupBox *>(QString(), Qt::FindDirectChildrenOnly);
    tabs->addTab(part, frame ? frame->title() : QString());
    if (frame)
        frame->setTitle(QString());
}

} // namespace

Func6Page::Func6Page(PageDialogs &dialogs, std::function<SqlSettings()> settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_agent(new Func6AgentSettings(dialogs, this))
    , m_definitions(new Func6Definitions(dialogs, this))
    , m_fields(new Func6Fields(dialogs, std::move(settings), m_definitions->definitions(), this))
{
    setObjectName(QStringLiteral("frameFunc6"));
    // The settings file beside one tab each for the definition file and the database fields:
    // the three stacked would need more height than a 900-pixel screen has.
    auto *parts = new QTabWidget(this);
    parts->setObjectName(QStringLiteral("tabFunc6Parts"));
    addAsTab(parts, m_definitions);
    addAsTab(parts, m_fields);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_agent, 1);
    layout->addWidget(parts, 1);
    connect(m_agent, &Func6AgentSettings::explanationRequested, this, &Func6Page::explanationRequested);
    connect(m_definitions, &Func6Definitions::explanationRequested, this, &Func6Page::explanationRequested);
    connect(m_fields, &Func6Fields::explanationRequested, this, &Func6Page::explanationRequested);
}

void Func6Page::setTableLabel(const QString &table)
{
    m_fields->showTable(table);
}
