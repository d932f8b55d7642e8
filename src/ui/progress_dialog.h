// The modeless progress dialog of the extraction (template 2008).
#pragma once

#include <windows.h>

// Creates and shows the dialog; then sets G.ProgressWindow (null on failure).
HWND CreateProgressDialog(LONG archiveSize);

// Worker thread: waits while the GUI thread is still creating the dialog.
// Every box of the worker comes after it, owned or not: under Wine a box
// made while the other thread makes the process's first window may fail
// to appear (its dialog call returns -1), and its message is lost.
void WaitForProgressDialog(void);

// Worker thread: the owner of its boxes and questions and the receiver of
// its closing message, once the dialog is made (WaitForProgressDialog), so
// nothing is asked without the dialog behind it.
HWND ProgressOwner(void);
