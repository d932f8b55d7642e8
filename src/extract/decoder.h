// The cabinet library's memory and file callbacks. The cabinet may sit
// behind an executable image: descriptors of the archive are positioned
// and seeked relative to CabinetOffset. Worker thread only.
#pragma once

#include <windows.h>

#include <fdi.h>

void* DIAMONDAPI DecoderAlloc(ULONG count);
void DIAMONDAPI DecoderFree(void* block);
// name: the library's byte string (ignored while RedirectOpenToArchive is
// set: ArchivePath is opened), or a UTF-16 output path otherwise.
INT_PTR DIAMONDAPI DecoderOpen(char* name, int flags, int mode);
UINT DIAMONDAPI DecoderRead(INT_PTR descriptor, void* buffer, UINT count);
UINT DIAMONDAPI DecoderWrite(INT_PTR descriptor, void* buffer, UINT count);
int DIAMONDAPI DecoderClose(INT_PTR descriptor);
LONG DIAMONDAPI DecoderSeek(INT_PTR descriptor, LONG distance, int origin);
