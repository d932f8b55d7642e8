#include "base/folder_tree.h"

static void RemoveSubfolders(const WCHAR* folder, BOOL withFiles) {
    WCHAR pattern[MAX_PATH];
    if (lstrlenW(folder) + 3 >= MAX_PATH) return;
    wsprintfW(pattern, L"%s*.*", folder);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!lstrcmpW(found.cFileName, L".") || !lstrcmpW(found.cFileName, L"..")) continue;
        WCHAR child[MAX_PATH];
        if (lstrlenW(folder) + lstrlenW(found.cFileName) + 1 >= MAX_PATH) continue;
        wsprintfW(child, L"%s%s\\", folder, found.cFileName);
        DWORD kind = found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        if (kind == FILE_ATTRIBUTE_DIRECTORY) {
            RemoveSubfolders(child, withFiles);
            RemoveDirectoryW(child);
        } else if (withFiles && (kind & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveDirectoryW(child);
        } else if (withFiles) {
            child[lstrlenW(child) - 1] = 0;
            SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(child);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Called also from the extraction's fault filter: no C runtime heap.
void RemoveFolder(const WCHAR* folder, BOOL withFiles) {
    RemoveSubfolders(folder, withFiles);
    RemoveDirectoryW(folder);
}
