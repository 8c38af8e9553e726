#pragma once

#include <QString>
#include <QStringList>

class ConsoleCore;
class QApplication;

/// The window's application: its name, and Qt's own texts (file dialogs, standard buttons) in
/// Japanese, as the console speaks.
void PrepareConsoleApplication(QApplication &app);
/// The console folder of the window: the program's own, or the one given with --folder.
QString ConsoleWindowFolder(const QStringList &arguments);
/// Shows the main window over `core` (opened on the console folder) and runs until it closes.
int RunConsoleWindow(ConsoleCore &core);
