// Removing what a run made below a folder: the folders its deleted files
// left empty, or everything in the private folder of a run that ends
// before its command.
#pragma once

#include <windows.h>

// folder ends with a backslash. Removes the folders below it that are
// empty once (withFiles) every file below it is deleted too, then folder
// itself when nothing is left in it. A link or junction below it is never
// followed: with files it is removed itself, without them it stays (its
// target lies outside what the run made).
void RemoveFolder(const WCHAR* folder, BOOL withFiles);
