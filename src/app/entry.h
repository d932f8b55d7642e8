// The program's start-up steps and its one run.
#pragma once

#include <windows.h>

// Hardens the library search, sets the defaults, parses the command line
// and runs once. Returns the process exit code: -1 for an empty command
// line, else the parser's result, whatever the run does; with /Q the
// run's own exit code.
// Clears the archive path buffer and the run settings, then sets the one
// default that is not zero (OpenFolderWhenDone).
void SetDefaultSettings(void);

int RunProgram(const WCHAR* commandLine);
