// tarvo_console_screenshots fleet|pages ...: renders the console's windows to PNG files for
// review (scripts/screenshots.sh). "fleet" drives the window over running agents page by page;
// "pages" renders pages 6 and 7 and their dialogs over a demo database of its own.
#include <QApplication>

#include <cstdio>
#include <cstring>

int runFleetShots(int argc, char **argv);
int runPageShots(int argc, char **argv);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "fleet") == 0)
        return runFleetShots(argc - 1, argv + 1);
    if (argc >= 2 && std::strcmp(argv[1], "pages") == 0)
        return runPageShots(argc - 1, argv + 1);
    std::fputs("usage: tarvo_console_screenshots fleet|pages ...\n", stderr);
    return 2;
}
