#pragma once

/// The console without a command: reads TarvoControl.ini of the program folder (or of the
/// folder given with --folder), shows the main window and runs until it closes.
int RunConsoleWindow(int argc, char **argv);
