#include "console/ui/consolewindowmain.h"

#include "common/programfolder.h"
#include "console/consolesettings.h"
#include "console/frontend.h"
#include "console/ui/frmtarvocontrol.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

using namespace Qt::Literals::StringLiterals;

int RunConsoleWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle());
    QString folder = ProgramFolder::path();
    const QStringList arguments = QApplication::arguments();
    const qsizetype at = arguments.indexOf(u"--folder"_s);
    if (at > 0 && at + 1 < arguments.size())
        folder = QDir(arguments.at(at + 1)).absolutePath();
    QDir::setCurrent(folder);
    ConsoleSettings settings = LoadConsoleSettings(folder);
    frmTarvoControl window(settings, folder);
    if (!window.loaded())
        return 1;
    window.show();
    // Unusable numbers are named once; the settings dialog is where they are put right.
    if (const auto problem = CheckConsoleSettings(settings))
        QMessageBox::warning(&window, ApplicationTitle(), *problem);
    return QApplication::exec();
}
