// Output paths under the destination folder, and the folders they need.
#pragma once

#include <windows.h>

// destination ends with a backslash; name is a cleaned name (trailing
// blanks are removed in place); out is a MAX_PATH buffer.
// 1: out holds the file's path. 0: skip this entry (a warned bad or
// over-long name, or a folder entry whose folders now exist).
// -1: a folder could not be created (shown; AbortCode -1).
int BuildOutputPath(const WCHAR* destination, WCHAR* name, WCHAR* out);

// Creates every missing level of a full folder path (X:\... or
// \\server\share\...). TRUE when every level exists afterwards.
BOOL CreateFolderPath(const WCHAR* path);
