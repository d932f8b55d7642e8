// The optional CRC-32 pass over everything behind the package header.
#pragma once

#include <windows.h>

// Rebuilds G.CrcTable, chooses the fold (G.CrcWide) and sets G.CrcState
// to 0xFFFFFFFF.
void Crc32Init(void);
// Folds count bytes into G.CrcState; a count of 0 changes nothing.
void Crc32Update(const BYTE* bytes, DWORD count);

// archive: open for reading, positioned on the first byte after the header;
// read to its end without seeking. endValue and headerOffset only size the
// progress bar. Returns the computed CRC when expected is 0 or matches it;
// after a mismatch shows message 18 (caption "Warning") and returns 0.
DWORD CheckPackageCrc(HANDLE archive, HINSTANCE instance, DWORD expected, LONG endValue, LONG headerOffset,
                      const WCHAR* archivePath);
