#include "base/paths.h"

#include <wchar.h>

// capacity counts the terminator; a full buffer is left as it is rather
// than overrun.
void AddTrailingBackslash(WCHAR* path, int capacity) {
    int length = lstrlenW(path);
    if (length == 0 || path[length - 1] == L'\\' || length + 1 >= capacity) return;
    path[length] = L'\\';
    path[length + 1] = 0;
}

void RemoveTrailingBackslash(WCHAR* path) {
    int length = lstrlenW(path);
    if (length > 0 && path[length - 1] == L'\\') path[length - 1] = 0;
}

void TrimTrailingBlanks(WCHAR* path) {
    int length = lstrlenW(path);
    while (length > 0 && path[length - 1] == L' ') path[--length] = 0;
}

void SlashesToBackslashes(WCHAR* path) {
    for (; *path; path++)
        if (*path == L'/') *path = L'\\';
}

void SplitPath(const WCHAR* path, WCHAR* folderOut, WCHAR* nameOut) {
    if (folderOut) folderOut[0] = 0;
    if (nameOut) nameOut[0] = 0;
    if (!path || !path[0]) return;

    const WCHAR* lastSlash = wcsrchr(path, L'\\');

    if (!lastSlash) {
        if (nameOut) lstrcpynW(nameOut, path, MAX_PATH);
        return;
    }
    int folderLength = (int)(lastSlash - path) + 1;
    if (folderOut) lstrcpynW(folderOut, path, folderLength + 1 > MAX_PATH ? MAX_PATH : folderLength + 1);
    if (nameOut) lstrcpynW(nameOut, lastSlash + 1, MAX_PATH);
}
