// The modeless progress dialog of the extraction (template 2008).
#pragma once

#include <windows.h>

// Creates and shows the dialog; sets G.ProgressWindow (null on failure).
HWND CreateProgressDialog(LONG archiveSize);
