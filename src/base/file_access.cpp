#include "base/file_access.h"

#include <fcntl.h>
#include <io.h>

HANDLE FileOpen(const WCHAR* path, int openFlags, int share, int* descriptorOut) {
    DWORD access = GENERIC_READ;
    if (openFlags & kOpenWriteOnly)
        access = GENERIC_WRITE;
    else if (openFlags & kOpenReadWrite)
        access = GENERIC_ALL;

    DWORD creation = OPEN_EXISTING;
    if (openFlags & kOpenAppend)
        creation = OPEN_ALWAYS;
    else if (openFlags & (kOpenCreate | kOpenTruncate))
        creation = CREATE_ALWAYS;

    DWORD shareMode = 0;
    if (descriptorOut || (share & kShareDenyNone)) shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;

    HANDLE file = CreateFileW(path, access, shareMode, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!descriptorOut) return file;

    *descriptorOut = -1;
    if (file == INVALID_HANDLE_VALUE) return file;
    *descriptorOut = _open_osfhandle((intptr_t)file, openFlags | _O_BINARY);
    if (*descriptorOut == -1) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

LONGLONG FileSeek(HANDLE file, LONG distanceLow, LONG distanceHigh, DWORD method) {
    LONG high = distanceHigh;
    SetLastError(NO_ERROR);  // a position of 0xFFFFFFFF is valid
    DWORD low = SetFilePointer(file, distanceLow, &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return ((LONGLONG)high << 32) | low;
}

LONGLONG FileTell(HANDLE file) { return FileSeek(file, 0, 0, FILE_CURRENT); }

LONGLONG FileSize(HANDLE file) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    return ((LONGLONG)high << 32) | low;
}

int FileRead(HANDLE file, void* buffer, DWORD count) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, count, &read, nullptr)) return -1;
    return (int)read;
}

BOOL FileClose(HANDLE file) { return CloseHandle(file); }
