// Message boxes of the extraction engine.
#pragma once

#include <windows.h>

extern const WCHAR kProgramCaption[];  // "VUV-UZU"

// Loads string stringId, formats it with insert when given ("%s"), and
// shows it with the program's caption. Returns the box's result.
int ShowStringBox(HWND owner, UINT stringId, UINT style, const WCHAR* insert);
