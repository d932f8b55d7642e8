// The modeless progress dialog of the extraction (template 2008).
#pragma once

#include <windows.h>

// Creates and shows the dialog; then sets G.ProgressWindow (null on failure).
HWND CreateProgressDialog(LONG archiveSize);

// Worker thread: the owner of its boxes and questions and the receiver of
// its closing message. Waits while the GUI thread is still creating the
// dialog, so nothing is asked without the dialog behind it.
HWND ProgressOwner(void);
