// The overwrite question (template 2007), modal on the worker thread.
#pragma once

#include "base/state.h"

// Asks about query->path, owned by G.ProgressWindow. Returns 6 (Yes,
// Newer), 7 (No), 100 (Yes to All) or -1 (Cancel, Esc, the close box, or
// no question: the dialog could not be created or its owner is gone).
// Newer also sets G.NewerOnly; Cancel first sends WM_CLOSE to the owner.
INT_PTR ShowOverwritePrompt(const OverwriteQuery* query);

// First pass of the details text (string 19) for a DOS stamp: the date and
// time, with "%s" left for the size. Returns the characters written, 0 when
// nothing usable came out (the text did not fit, or no string).
int FormatFileDetails(DWORD stamp, WCHAR* output, int capacity);

// The value in decimal with ',' between groups of three digits. The text
// lives in a static buffer until the next call; null when it cannot fit.
const WCHAR* FormatThousands(ULONGLONG value);
