#include "extract/replacement.h"

#include <fcntl.h>
#include <io.h>
#include <wchar.h>

#include "base/state.h"

enum {
    kTemporaryNameChars = 8,  // "~vuv" and four hex digits, whatever the folder
    kTemporaryNames = 0x10000,
};

// A delete disposition rather than FILE_FLAG_DELETE_ON_CLOSE, which can't
// be taken back: the file would go at its close, after the rename with
// the user's name.
static BOOL SetDeleteOnClose(HANDLE file, BOOLEAN deleteFile) {
    FILE_DISPOSITION_INFO disposition = {deleteFile};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

int CreateReplacement(const WCHAR* target, WCHAR* temporary) {
    G.ReplacementDeletesItself = FALSE;
    int folderLength = (int)(wcsrchr(target, L'\\') - target) + 1;
    // Never a shorter name, and never the old file itself: too long is a failure.
    if (folderLength + kTemporaryNameChars >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    lstrcpynW(temporary, target, folderLength + 1);
    for (int number = 0; number < kTemporaryNames; number++) {
        wsprintfW(temporary + folderLength, L"~vuv%04X", number);
        HANDLE file = CreateFileW(temporary, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            // A name left by an earlier run is passed over.
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return -1;
        }
        // Deleted when its handle closes, also when the process is killed,
        // until CommitReplacement takes that back. Refusing the disposition
        // (a network share may) does not refuse the replacement, which
        // worked there before the disposition was used.
        G.ReplacementDeletesItself = SetDeleteOnClose(file, TRUE);
        int descriptor = _open_osfhandle((intptr_t)file, _O_WRONLY | _O_BINARY);
        if (descriptor == -1) {
            CloseHandle(file);
            DeleteFileW(temporary);
        }
        return descriptor;
    }
    return -1;
}

BOOL SealReplacement(int descriptor) { return FlushFileBuffers((HANDLE)_get_osfhandle(descriptor)); }

// The rename record holds the name itself, without its terminator; target
// is a path of MAX_PATH characters at most.
static BOOL RenameThroughHandle(HANDLE file, const WCHAR* target) {
    struct {
        FILE_RENAME_INFO info;
        WCHAR name[MAX_PATH];
    } rename = {};
    rename.info.ReplaceIfExists = TRUE;
    rename.info.FileNameLength = (DWORD)lstrlenW(target) * sizeof(WCHAR);
    memcpy(rename.info.FileName, target, rename.info.FileNameLength);
    return SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof(rename));
}

// A rename through the open handle rather than MoveFileExW after the
// close: the file is open without delete sharing, and a kill between the
// close and a move would leave it under its hidden name. A kill after the
// disposition is taken back and before the rename still does, beside the
// old file (which may then have lost its read-only bit); nothing smaller
// than one call can separate the two. Not ReplaceFileW either: the file
// must end with the entry's own time and attributes, which ReplaceFileW
// would take from the old file (with its ACL and streams), and a failed
// ReplaceFileW may leave the old file under neither name. Only this name
// changes hands: other hard links of the old file keep its contents.
BOOL CommitReplacement(int descriptor, const WCHAR* target) {
    HANDLE file = (HANDLE)_get_osfhandle(descriptor);
    DWORD attributes = GetFileAttributesW(target);
    // A read-only file can't be replaced; its attributes change only now.
    BOOL readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
    if ((!G.ReplacementDeletesItself || SetDeleteOnClose(file, FALSE)) && RenameThroughHandle(file, target))
        return TRUE;
    DWORD error = GetLastError();
    if (readOnly) SetFileAttributesW(target, attributes);
    SetLastError(error);
    return FALSE;
}

void DiscardReplacement(const WCHAR* temporary) {
    DWORD error = GetLastError();
    SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary);
    SetLastError(error);
}
