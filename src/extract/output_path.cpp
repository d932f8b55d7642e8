#include "extract/output_path.h"

#include <wchar.h>

#include "base/messages.h"
#include "base/paths.h"
#include "base/state.h"
#include "resource.h"
#include "ui/progress_dialog.h"

// Walks the levels of path from the drive root or the share on, creating
// the missing ones. Levels that end before knownLength were found or
// created earlier in this run and are not looked at again.
static BOOL CreateFolderLevels(const WCHAR* path, int knownLength) {
    int length = lstrlenW(path);
    BOOL endsWithBackslash = length > 0 && path[length - 1] == L'\\';
    // A path that would not fit with its trailing backslash is refused, never cut.
    if (length + (endsWithBackslash ? 0 : 1) >= MAX_PATH) return FALSE;

    WCHAR copy[MAX_PATH];
    lstrcpynW(copy, path, MAX_PATH);
    int start;
    if (length >= 3 && copy[1] == L':' && copy[2] == L'\\') {
        start = 0;
    } else if (length >= 8 && copy[0] == L'\\' && copy[1] == L'\\') {
        const WCHAR* serverEnd = wcschr(copy + 2, L'\\');
        if (!serverEnd) return FALSE;
        start = (int)(serverEnd - copy) + 1;
    } else {
        return FALSE;
    }
    if (!wcschr(copy + start, L'\\')) return FALSE;
    AddTrailingBackslash(copy, MAX_PATH);

    for (WCHAR* level = wcschr(copy + start, L'\\'); level; level = wcschr(level + 1, L'\\')) {
        if (level - copy < knownLength) continue;
        WCHAR saved = level[1];
        level[1] = 0;
        // A level that exists as a file counts as present, as does one that
        // appeared between the two calls.
        BOOL present = GetFileAttributesW(copy) != INVALID_FILE_ATTRIBUTES || CreateDirectoryW(copy, nullptr) ||
                       GetLastError() == ERROR_ALREADY_EXISTS;
        level[1] = saved;
        if (!present) return FALSE;
    }
    return TRUE;
}

BOOL CreateFolderPath(const WCHAR* path) { return CreateFolderLevels(path, 0); }

// Entries of one folder follow each other in most cabinets: the levels
// shared with the previous entry's folder are known to exist.
static BOOL CreateOutputFolder(const WCHAR* folder) {
    int known = 0;
    for (int i = 0; folder[i] && folder[i] == G.KnownOutputFolder[i]; i++)
        if (folder[i] == L'\\') known = i + 1;
    if (!CreateFolderLevels(folder, known)) return FALSE;
    lstrcpynW(G.KnownOutputFolder, folder, MAX_PATH);
    return TRUE;
}

int BuildOutputPath(const WCHAR* destination, WCHAR* name, WCHAR* out) {
    TrimTrailingBlanks(name);
    int destinationLength = lstrlenW(destination);
    BOOL tooLong = destinationLength + lstrlenW(name) >= MAX_PATH;
    if (!name[0] || wcspbrk(name, L":*?\"<>|") || tooLong) {
        // Unattended, a name too long for the destination is told from an invalid one.
        if (tooLong) NoteQuietFailure(ERROR_FILENAME_EXCED_RANGE);
        WaitForProgressDialog();
        ShowFormattedBox(nullptr, IDS_INVALID_FILENAME_SKIPPED, name, kCaption, MB_ICONWARNING);
        return 0;
    }

    lstrcpynW(out, destination, MAX_PATH);
    const WCHAR* lastSlash = wcsrchr(name, L'\\');
    if (!lastSlash) {
        lstrcpynW(out + destinationLength, name, MAX_PATH - destinationLength);
        return 1;
    }

    int folderLength = (int)(lastSlash - name) + 1;  // with its backslash
    lstrcpynW(out + destinationLength, name, folderLength + 1);
    if (!CreateOutputFolder(out)) {
        G.AbortCode = -1;
        WaitForProgressDialog();
        ShowStringBox(nullptr, IDS_CANNOT_CREATE_FOLDER, MB_ICONERROR);
        return -1;
    }
    if (!lastSlash[1]) return 0;

    int used = destinationLength + folderLength;
    lstrcpynW(out + used, lastSlash + 1, MAX_PATH - used);
    return 1;
}
