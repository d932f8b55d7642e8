// build's progress on a terminal: one line on stderr, rewritten in place.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

struct ProgressLine {
    bool shown;            // false: stderr is no terminal, or --quiet
    uint64_t totalBytes;
    size_t totalFiles;
    uint64_t startMs;      // monotonic clock
    uint64_t lastMs;       // when the line was last written; 0 before the first
    size_t lastLength;     // its length, to blank what a shorter line leaves
};

// The line for bytesDone of totalBytes after elapsedMs: files read, bytes
// compressed, speed and time left (once there is a speed to tell).
std::string ProgressText(uint64_t bytesDone, uint64_t totalBytes, size_t filesStarted, size_t totalFiles,
                         uint64_t elapsedMs);

// shown only when stderr is a terminal and not quiet.
void StartProgress(ProgressLine* progress, bool quiet, uint64_t totalBytes, size_t totalFiles);
// Rewrites the line: the first time, then at most four times a second.
void ShowProgress(ProgressLine* progress, uint64_t bytesDone, size_t filesStarted);
// Blanks the line, so that messages after it start on a clean line.
void EndProgress(ProgressLine* progress);
