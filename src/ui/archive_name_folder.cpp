#include "ui/archive_name_folder.h"

#include <wchar.h>

#include "base/paths.h"

static BOOL AppendArchiveName(WCHAR* text, int capacity, const WCHAR* baseName) {
    int length = lstrlenW(text);
    int slash = (length > 0 && text[length - 1] != L'\\') ? 1 : 0;
    if (length + slash + lstrlenW(baseName) + 1 >= capacity) return FALSE;
    AddTrailingBackslash(text, capacity);
    lstrcatW(text, baseName);
    return TRUE;
}

static void RemoveArchiveName(WCHAR* text, const WCHAR* baseName) {
    RemoveTrailingBackslash(text);
    if (!baseName[0]) return;
    WCHAR* found = wcsstr(text, baseName);
    if (found && !wcschr(found + lstrlenW(baseName), L'\\')) *found = 0;
}

BOOL ApplyArchiveNameChoice(WCHAR* text, int capacity, const WCHAR* baseName, BOOL checked) {
    BOOL applied = TRUE;
    if (checked)
        applied = AppendArchiveName(text, capacity, baseName);
    else
        RemoveArchiveName(text, baseName);
    AddTrailingBackslash(text, capacity);
    return applied;
}
