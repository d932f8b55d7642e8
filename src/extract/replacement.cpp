#include "extract/replacement.h"

#include <fcntl.h>
#include <io.h>
#include <wchar.h>

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
        // until SealReplacement takes that back.
        SetDeleteOnClose(file, TRUE);
        int descriptor = _open_osfhandle((intptr_t)file, _O_WRONLY | _O_BINARY);
        if (descriptor == -1) {
            CloseHandle(file);
            DeleteFileW(temporary);
        }
        return descriptor;
    }
    return -1;
}

BOOL SealReplacement(int descriptor) {
    HANDLE file = (HANDLE)_get_osfhandle(descriptor);
    return FlushFileBuffers(file) && SetDeleteOnClose(file, FALSE);
}

// MoveFileExW rather than ReplaceFileW: the file must end with the entry's
// own time and attributes, which ReplaceFileW would take from the old file
// (with its ACL and streams), and a failed ReplaceFileW may leave the old
// file under neither name. Only this name changes hands: other hard links
// of the old file keep its contents.
BOOL CommitReplacement(const WCHAR* temporary, const WCHAR* target) {
    DWORD attributes = GetFileAttributesW(target);
    // A read-only file can't be replaced; its attributes change only now.
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING)) return TRUE;
    DWORD error = GetLastError();
    SetFileAttributesW(target, attributes);
    // It may carry the stored read-only bit already.
    SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary);
    SetLastError(error);
    return FALSE;
}
