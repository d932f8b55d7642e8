// The overwrite question (template 2007), modal on the worker thread.
#pragma once

#include "app/state.h"

// Returns 6 (Yes, Newer), 7 (No), 100 (Yes to All) or -1 (Cancel, Esc,
// or the dialog could not be created).
INT_PTR ShowOverwritePrompt(const OverwriteQuery* query);
int FormatFileDetails(DWORD stamp, WCHAR* output, int capacity);
const WCHAR* FormatThousands(ULONGLONG value);
