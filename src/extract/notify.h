// The cabinet library's notification callback: what happens to each
// stored file. Worker thread only.
#pragma once

#include <windows.h>

#include <fdi.h>

INT_PTR DIAMONDAPI FileNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification);

// After the library has returned: an output file that was opened but not
// finished (a failed write, a cancel, a damaged cabinet) is closed and
// deleted, so no partial file keeps the name of a complete one; an existing
// file that it was to replace stays as it was.
void DiscardUnfinishedOutput(void);
