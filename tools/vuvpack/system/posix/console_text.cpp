#include "vuvpack/system/console_text.h"

#include <time.h>
#include <unistd.h>

void WriteText(FILE* stream, const std::string& text) { fwrite(text.data(), 1, text.size(), stream); }

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)); }

uint64_t MonotonicMs() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000 + (uint64_t)now.tv_nsec / 1000000;
}
