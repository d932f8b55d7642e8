#include "base/system_library.h"

HMODULE LoadSystemLibrary(const WCHAR* fileName) {
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + lstrlenW(fileName) >= MAX_PATH) return nullptr;
    lstrcatW(path, fileName);
    return LoadLibraryW(path);
}
