// TarvoControl: the administrator's console. With a command it runs on the command line
// without a display; without one it opens the window.
#include "console/ui/consolewindowmain.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    const bool windowOnly = argc == 1 || (argc == 3 && std::strcmp(argv[1], "--folder") == 0);
    if (windowOnly)
        return RunConsoleWindow(argc, argv);
    std::fputs("usage: TarvoControl [options] COMMAND ...\n", stderr);
    return 2;
}
