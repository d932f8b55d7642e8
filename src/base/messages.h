// Message boxes with texts from the string table. Every box of the program
// goes through here, so captions and buffer sizes are decided once, and so
// is what an unattended run (/Q) does instead of showing one.
#pragma once

#include <windows.h>

extern const WCHAR kCaption[];  // "VUV-UZU"

// Loads string id into text (capacity characters); an empty string when
// the resource is missing.
void LoadText(UINT id, WCHAR* text, int capacity);

// Shows text; returns the box's answer. Under /Q nothing is shown: the
// answer is the one Enter gives (Yes, OK), and a nonzero quietCode
// becomes the exit code unless an earlier failure has set one.
int ShowBox(HWND owner, const WCHAR* text, const WCHAR* caption, UINT style, DWORD quietCode);

// Under /Q, code becomes the exit code unless an earlier failure has set
// one: for a failure whose box, if any, comes later and tells less.
void NoteQuietFailure(DWORD code);

// Shows string id under caption "VUV-UZU"; returns the box's answer.
int ShowStringBox(HWND owner, UINT id, UINT style);

// Shows string id with its one "%s" filled by argument (cut to fit).
int ShowFormattedBox(HWND owner, UINT id, const WCHAR* argument, const WCHAR* caption, UINT style);
