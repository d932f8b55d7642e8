// The extraction phase: progress dialog, worker thread, message loop.
#pragma once

#include <windows.h>

// archiveSize: LocateCabinet's result, the progress bar's total. Returns
// the worker's exit code (0 success, -1 failure), -1 when the worker
// could not be started (then no dialog is shown). Always ends once the
// worker has ended.
int RunExtractionPhase(LONG archiveSize);
