// The extraction worker: one pass of the cabinet library over the archive.
#pragma once

#include <windows.h>

// Thread body; argument: ArchivePath. Exit code 0 when the library
// reported success and nothing was stopped, else -1. Closes
// ProgressWindow at its end, on every path.
unsigned __stdcall ExtractionWorker(void* archivePath);
