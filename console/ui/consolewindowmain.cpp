#include "console/ui/consolewindowmain.h"

#include "common/programfolder.h"
#include "console/consolesettings.h"
#include "console/frontend.h"
#include "console/ui/frmtarvocontrol.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

int RunConsoleWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle());
    // The console speaks Japanese: Qt's own texts (file dialogs, standard buttons) do too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), u"qtbase"_s, u"_"_s,
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
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
