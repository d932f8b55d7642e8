// An existing file is replaced only by a complete one: the entry is written
// to a hidden temporary file in the same folder, which takes the old name
// once it is whole. Until that moment the old file is not touched.
#pragma once

#include <windows.h>

// Creates the temporary file beside target ("~vuv" and four hex digits)
// into temporary (a MAX_PATH buffer) and returns it as a write-only
// descriptor; -1 when its path would not fit or it can't be created, with
// the reason as the last error. The file is deleted when it is closed
// uncommitted, or when the process ends before that (killed): no temporary
// file stays beside the user's. Where the file system refuses that
// (ReplacementDeletesItself stays FALSE), the replacement goes on without
// it: the caller deletes the file it gives up, and a kill leaves it.
int CreateReplacement(const WCHAR* target, WCHAR* temporary);

// Before the complete temporary file is committed: its contents reach the
// disk, so that after a power loss the name never holds data that was not
// written (the rename may be on the disk before them). FALSE when that
// fails, and then it must not take the name.
BOOL SealReplacement(int descriptor);

// Puts the sealed temporary file, still open as descriptor, in target's
// place: the old file's read-only bit cleared, the temporary file's
// deletion at close taken back, and then at once renamed through its own
// handle; the caller's close is all that follows. TRUE when target now
// holds it. Otherwise target is as it was, attributes included, the last
// error is the reason, and the temporary file is still to be deleted once
// closed (DiscardReplacement).
BOOL CommitReplacement(int descriptor, const WCHAR* target);

// The closed temporary file of a failed commit goes; it may carry the
// stored read-only bit. The last error is kept.
void DiscardReplacement(const WCHAR* temporary);
