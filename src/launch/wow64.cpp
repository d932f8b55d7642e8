#include "launch/wow64.h"

#include <windows.h>

#include "base/state.h"

const WCHAR kNativeAlias[] = L"\\Sysnative\\";

typedef BOOLEAN(WINAPI* Wow64EnableWow64FsRedirectionFn)(BOOLEAN);
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);

struct Wow64Functions {
    HMODULE kernel;
    Wow64EnableWow64FsRedirectionFn enableRedirection;  // null when the system lacks it
};

static BOOL CALLBACK LookUpWow64Functions(PINIT_ONCE, PVOID parameter, PVOID*) {
    Wow64Functions* functions = (Wow64Functions*)parameter;
    functions->kernel = GetModuleHandleW(L"kernel32");
    if (functions->kernel)
        functions->enableRedirection = (Wow64EnableWow64FsRedirectionFn)(void*)GetProcAddress(
            functions->kernel, "Wow64EnableWow64FsRedirection");
    return TRUE;
}

int Wow64Control(int mode) {
    // Built without thread-safe statics: the once-only set-up is explicit.
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    static Wow64Functions functions;
    InitOnceExecuteOnce(&once, LookUpWow64Functions, &functions, nullptr);
    if (!functions.kernel || !functions.enableRedirection) return 0;

    if (mode != -1) return functions.enableRedirection((BOOLEAN)mode);

    // Looked up on every query, never kept.
    IsWow64ProcessFn isWow64Process = (IsWow64ProcessFn)(void*)GetProcAddress(functions.kernel, "IsWow64Process");
    BOOL underWow64 = FALSE;
    if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &underWow64)) return 0;
    return underWow64;
}

int RunsOn64BitWindows() {
#ifdef _WIN64
    return 1;
#else
    return Wow64Control(-1);
#endif
}

#ifdef _WIN64
// Looked at once per process; the package's mark on every call.
int RunsAsUnderWow64() {
    static int wow64Rundll = -1;  // GUI thread only
    if (wow64Rundll == -1) {
        WCHAR path[MAX_PATH];
        UINT length = GetSystemWow64DirectoryW(path, MAX_PATH);
        wow64Rundll = length > 0 && length < MAX_PATH - 14 && lstrcatW(path, L"\\rundll32.exe") &&
                      GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    }
    return wow64Rundll && G.RunSettings.variant != kVariantX64;
}
#endif
