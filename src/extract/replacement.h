// An existing file is replaced only by a complete one: the entry is written
// to a hidden temporary file in the same folder, which takes the old name
// once it is whole. Until that moment the old file is not touched.
#pragma once

#include <windows.h>

// Creates the temporary file beside target ("~vuv" and four hex digits)
// into temporary (a MAX_PATH buffer) and returns it as a write-only
// descriptor; -1 when its path would not fit or it can't be created, with
// the reason as the last error. The file is deleted when it is closed
// unsealed, or when the process ends before that (killed): no temporary
// file stays beside the user's.
int CreateReplacement(const WCHAR* target, WCHAR* temporary);

// Before the complete temporary file is closed: its contents reach the
// disk, so that after a power loss the name never holds data that was not
// written (the rename may be on the disk before them), and it is kept when
// closed. FALSE when either fails, and then it must not take the name.
BOOL SealReplacement(int descriptor);

// Moves the complete temporary file over target. TRUE when target now holds
// it; otherwise (the old file is locked) the temporary file is gone and
// target is as it was, attributes included, and the last error is the
// reason the move failed.
BOOL CommitReplacement(const WCHAR* temporary, const WCHAR* target);
