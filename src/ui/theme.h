// Themed tab-page background for dialogs, only when the theme library is
// already in the process: it is never loaded from here.
#pragma once

#include <windows.h>

void ApplyDialogTheme(HWND window);
