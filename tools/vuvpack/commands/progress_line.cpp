#include "vuvpack/commands/progress_line.h"

#include <stdio.h>

#include "vuvpack/system/console_text.h"

static const uint64_t kRedrawMs = 250;

// Bytes in MiB with one decimal, by integers.
static std::string MiB(uint64_t bytes) {
    uint64_t tenths = (bytes * 10 + 524288) / 1048576;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MiB";
}

static std::string Duration(uint64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        snprintf(text, sizeof text, "%u:%02u:%02u", (unsigned)(seconds / 3600), (unsigned)(seconds / 60 % 60),
                 (unsigned)(seconds % 60));
    } else {
        snprintf(text, sizeof text, "%u:%02u", (unsigned)(seconds / 60), (unsigned)(seconds % 60));
    }
    return text;
}

std::string ProgressText(uint64_t bytesDone, uint64_t totalBytes, size_t filesStarted, size_t totalFiles,
                         uint64_t elapsedMs) {
    std::string text = "vuvpack: " + std::to_string(filesStarted) + "/" + std::to_string(totalFiles) + " files, " +
                       MiB(bytesDone) + " of " + MiB(totalBytes) + " compressed";
    if (elapsedMs == 0 || bytesDone == 0) return text;
    uint64_t perSecond = bytesDone * 1000 / elapsedMs;
    uint64_t leftSeconds = (totalBytes - bytesDone) * elapsedMs / bytesDone / 1000;
    return text + ", " + MiB(perSecond) + "/s, " + Duration(leftSeconds) + " left";
}

void StartProgress(ProgressLine* progress, bool quiet, uint64_t totalBytes, size_t totalFiles) {
    *progress = ProgressLine();
    progress->shown = !quiet && IsTerminal(stderr);
    progress->totalBytes = totalBytes;
    progress->totalFiles = totalFiles;
    progress->startMs = MonotonicMs();
}

void ShowProgress(ProgressLine* progress, uint64_t bytesDone, size_t filesStarted) {
    if (!progress->shown) return;
    uint64_t now = MonotonicMs();
    if (progress->lastMs != 0 && now - progress->lastMs < kRedrawMs) return;
    progress->lastMs = now;
    std::string text = ProgressText(bytesDone, progress->totalBytes, filesStarted, progress->totalFiles,
                                    now - progress->startMs);
    size_t length = text.size();
    if (length < progress->lastLength) text.append(progress->lastLength - length, ' ');
    progress->lastLength = length;
    WriteText(stderr, "\r" + text);
    fflush(stderr);
}

void EndProgress(ProgressLine* progress) {
    if (!progress->shown || progress->lastMs == 0) return;
    WriteText(stderr, "\r" + std::string(progress->lastLength, ' ') + "\r");
    fflush(stderr);
}
