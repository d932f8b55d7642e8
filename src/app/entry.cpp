#include "app/entry.h"

#include <commctrl.h>

#include "app/command_line.h"
#include "app/driver.h"
#include "base/state.h"

// Keeps the program's own folder (a user's Downloads) out of the library
// search. Older systems lack the call; they go on silently.
static void HardenLibrarySearch(void) {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesFn setDirectories =
        (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
}

void SetDefaultSettings(void) {
    ZeroMemory(G.ArchivePathBuffer, sizeof(G.ArchivePathBuffer));
    ZeroMemory(&G.RunSettings, sizeof(G.RunSettings));
    G.RunSettings.OpenFolderWhenDone = 1;
}

int RunProgram(const WCHAR* commandLine) {
    HardenLibrarySearch();
    InitCommonControls();
    SetDefaultSettings();

    int exitCode = -1;
    if (commandLine && commandLine[0]) exitCode = ParseCommandLine(commandLine, G.ArchivePathBuffer);
    RunExtraction(G.ArchivePathBuffer);
    // Unattended, the exit code tells how the run ended.
    return G.QuietRun ? (int)G.QuietExitCode : exitCode;
}
