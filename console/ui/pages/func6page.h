#pragma once

#include "console/settings/sqlsettings.h"
#include "console/ui/pages/consolepage.h"

#include <QWidget>

#include <functional>

class PageDialogs;
class Func6AgentSettings;
class Func6Definitions;
class Func6Fields;

/// Page 6 "システム環境管理" (frameFunc6): the agent settings file beside the definition file
/// and the database fields, one tab each. The main window places it into its page frame.
class Func6Page : public QWidget, public ConsolePage
{
    Q_OBJECT

public:
    Func6Page(PageDialogs &dialogs, std::function<SqlSettings()> settings, QWidget *parent = nullptr);

    Func6AgentSettings *agentSettings() const { return m_agent; }
    Func6Definitions *definitions() const { return m_definitions; }
    Func6Fields *fields() const { return m_fields; }

    /// The table label.
    void setTableLabel(const QString &table);
    /// The table label takes SqlTable as it is now.
    void pageShown() override { setTableLabel(m_settings().table); }

Q_SIGNALS:
    void explanationRequested(const QString &file);

private:
    std::function<SqlSettings()> m_settings;
    Func6AgentSettings *m_agent;
    Func6Definitions *m_definitions;
    Func6Fields *m_fields;
};
