// The destination dialog's "create folder as the archive name" box, as a
// text edit: appends or removes the archive's base name as the last folder.
#pragma once

#include <windows.h>

// text: the folder text in a buffer of capacity characters. checked: the
// box's new state. The result always ends in a backslash unless it is
// empty. Returns FALSE, with the name not appended, when text, backslash,
// name and backslash would not fit. Removing cuts the text at the first
// occurrence of baseName (case-sensitive, at any position) when no
// backslash follows it; an empty baseName is never found.
BOOL ApplyArchiveNameChoice(WCHAR* text, int capacity, const WCHAR* baseName, BOOL checked);
