// In-place edits of UTF-16 path strings. The only separator known here is
// the backslash; a blank is U+0020 only.
#pragma once

#include <windows.h>

void AddTrailingBackslash(WCHAR* path, int capacity);
void RemoveTrailingBackslash(WCHAR* path);
void TrimTrailingBlanks(WCHAR* path);
void SlashesToBackslashes(WCHAR* path);

// Either output may be null; both are MAX_PATH buffers and are cut to fit.
void SplitPath(const WCHAR* path, WCHAR* folderOut, WCHAR* nameOut);
