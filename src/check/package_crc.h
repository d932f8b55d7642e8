// The optional CRC-32 pass over everything behind the package header.
#pragma once

#include <windows.h>

// Rebuilds G.CrcTable, chooses the fold (G.CrcWide) and sets G.CrcState
// to 0xFFFFFFFF.
void Crc32Init(void);
// Folds count bytes into G.CrcState; a count of 0 changes nothing.
void Crc32Update(const BYTE* bytes, DWORD count);

// archive: open for reading, positioned on the first byte after the header;
// read without seeking up to endValue - 996, the end of the checked range
// (CheckedRangeEnd: the file's end, or where a certificate table starts).
// endValue and headerOffset, file offsets of 64 bits (a package may pass
// 2 GiB), also size the progress bar. Returns the computed CRC when
// expected is 0 or matches it; after a mismatch shows message 18 (caption
// "Warning") and returns 0.
DWORD CheckPackageCrc(HANDLE archive, HINSTANCE instance, DWORD expected, LONGLONG endValue, LONGLONG headerOffset,
                      const WCHAR* archivePath);
