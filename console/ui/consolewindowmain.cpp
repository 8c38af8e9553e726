#include "console/ui/consolewindowmain.h"

#include "common/programfolder.h"
#include "console/consolecore.h"
#include "console/frontend.h"
#include "console/ui/frmtarvocontrol.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

void PrepareConsoleApplication(QApplication &app)
{
    QApplication::setApplicationName(ApplicationTitle());
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::Japanese, QLocale::Japan), u"qtbase"_s, u"_"_s,
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
}

QString ConsoleWindowFolder(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(u"--folder"_s);
    if (at > 0 && at + 1 < arguments.size())
        return QDir(arguments.at(at + 1)).absolutePath();
    return ProgramFolder::path();
}

int RunConsoleWindow(ConsoleCore &core)
{
    QDir::setCurrent(core.folder());
    frmTarvoControl window(core);
    if (!window.loaded())
        return 1;
    window.show();
    // Unusable numbers are named once; the settings dialog is where they are put right.
    if (const auto problem = CheckConsoleSettings(core.settings()))
        QMessageBox::warning(&window, ApplicationTitle(), *problem);
    return QApplication::exec();
}
