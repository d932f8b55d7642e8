// Where the package CRC pass stops: the end of the file, or the start of a
// certificate table that signing appended.
#pragma once

#include <windows.h>

// archive: the package file, open for reading. headerEnd: the first byte
// after the package header; fileSize: the file's size. Returns the offset
// where the checked range ends and leaves the file pointer at headerEnd.
LONGLONG CheckedRangeEnd(HANDLE archive, LONGLONG headerEnd, LONGLONG fileSize);
