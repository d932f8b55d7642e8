// Command-line switches and the archive path.
#pragma once

#include <windows.h>

enum {
    kCommandLineChars = 512,
    kLongestCommandLine = 32768,  // the system's limit for a command line, with its terminator
};

// text: the command line after the program's name, never empty. Fills
// G.RunSettings and archivePath (MAX_PATH), and sets G.QuietRun for /Q. Returns 1 (self-extract, or an
// archive that exists) or 0 (archive missing, a folder, or refused).
//
// Over-long input is refused, never cut, since a cut path or command
// could name a different file: a line of kCommandLineChars or more and an
// archive path of MAX_PATH or more (trailing blanks not counted) give 0
// and set G.commandLineRefused, so the run reports that the archive can't
// be opened; a destination of MAX_PATH or more is not taken; an /E:
// command of kCommandChars or more leaves the command empty. Under /Q
// (found in the whole line, also in one refused for its length) the last
// two are refused as well, and a refusal sets G.QuietExitCode:
// ERROR_INVALID_COMMAND_LINE, or ERROR_FILENAME_EXCED_RANGE for the
// destination. /Q also sets the process's error mode before the parser
// touches a drive.
int ParseCommandLine(const WCHAR* text, WCHAR* archivePath);
