// TarvoControl: the administrator's console. With a command it runs on the command line
// without a display; without one it opens the window.
#include <cstdio>

int main()
{
    std::fputs("usage: TarvoControl [options] COMMAND ...\n", stderr);
    return 2;
}
