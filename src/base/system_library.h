// Libraries loaded at run time, never by bare name: one planted beside a
// downloaded package must not be the one that runs. The full path also
// works where LOAD_LIBRARY_SEARCH_SYSTEM32 is not known.
#pragma once

#include <windows.h>

// fileName with its leading backslash (L"\\cabinet.dll"); null when the
// system folder's path is too long or the library does not load.
HMODULE LoadSystemLibrary(const WCHAR* fileName);
