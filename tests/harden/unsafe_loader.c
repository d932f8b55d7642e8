/* The positive control of the planted-library test: loads every name on
   its command line the unsafe way (bare name, default search order) and
   starts "rundll32.exe" by bare name, from the folder of the markers. */
#include <windows.h>

/* Kernel calls only: a library already in the process would be found by
   its name without a search, and the control would prove nothing. */
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
    for (WCHAR* name = commandLine; *name;) {
        WCHAR* end = name;
        while (*end && *end != L' ') end++;
        WCHAR saved = *end;
        *end = 0;
        if (end > name) LoadLibraryW(name);
        *end = saved;
        name = saved ? end + 1 : end;
    }
    WCHAR run[] = L"rundll32.exe setupapi,InstallHinfSection DefaultInstall 132 none.inf";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
    if (CreateProcessW(NULL, run, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 20000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    return 0;
}
