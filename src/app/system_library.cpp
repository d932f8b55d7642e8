#include "system_library.h"

HMODULE LoadSystemLibrary(const char* fileName) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + lstrlenA(fileName) >= MAX_PATH) return nullptr;
    lstrcatA(path, fileName);
    return LoadLibraryA(path);
}
