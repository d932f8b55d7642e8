// One extraction from start to end, on the GUI thread.
#pragma once

#include <windows.h>

// archivePath: the parser's archive path buffer (MAX_PATH); empty in
// self-extract mode, when the program's own file name is written into it.
void RunExtraction(WCHAR* archivePath);
