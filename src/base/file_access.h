// Thin wrappers over the Win32 file functions with the C runtime's
// low-level open flags (0x0001 write only, 0x0002 read/write, 0x0008
// append, 0x0100 create, 0x0200 truncate, 0x8000 binary).
#pragma once

#include <windows.h>

enum {
    kOpenWriteOnly = 0x0001,
    kOpenReadWrite = 0x0002,
    kOpenAppend = 0x0008,
    kOpenSequential = 0x0020,
    kOpenCreate = 0x0100,
    kOpenTruncate = 0x0200,
    kOpenBinary = 0x8000,
    kShareDenyNone = 0x40,
};

// With descriptorOut, a successful handle is also adopted as a C runtime
// descriptor (binary) stored there; on failure it becomes -1.
HANDLE FileOpen(const WCHAR* path, int openFlags, int share, int* descriptorOut);
LONGLONG FileSeek(HANDLE file, LONG distanceLow, LONG distanceHigh, DWORD method);
LONGLONG FileTell(HANDLE file);
LONGLONG FileSize(HANDLE file);
int FileRead(HANDLE file, void* buffer, DWORD count);
BOOL FileClose(HANDLE file);
