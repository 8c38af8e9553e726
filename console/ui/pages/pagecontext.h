#pragma once

#include <QString>
#include <QStringList>

class AgentConnection;
class ConsoleFrontEnd;
class ConsoleTargets;
struct ConsoleSettings;

/// What the pages share with the main window: the settings, the single connection, the
/// current target and the front end.
struct PageContext
{
    ConsoleSettings &settings;
    AgentConnection &connection;
    ConsoleTargets &targets;
    ConsoleFrontEnd &frontEnd;
    QString programFolder;
};

/// The width of a list column: its sizing text in the list's font.
class QTreeView;
void sizeColumns(QTreeView &view, const QStringList &sizingTexts);
/// The font of the views that show an agent's text (log, data file, explanation).
class QWidget;
void useTextFont(QWidget &view);
