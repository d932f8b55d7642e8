#include "vuvpack/system/console_text.h"

#include <io.h>

#include "vuvpack/system/windows/wide_text.h"

static HANDLE ConsoleOf(FILE* stream) {
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// The console takes UTF-16 whatever its code page; through the C library
// the bytes would be read in the code page instead.
void WriteText(FILE* stream, const std::string& text) {
    HANDLE console = ConsoleOf(stream);
    if (!console) {
        fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    fflush(stream);
    std::wstring wide = WideText(text);
    DWORD written;
    WriteConsoleW(console, wide.data(), (DWORD)wide.size(), &written, nullptr);
}

bool IsTerminal(FILE* stream) { return ConsoleOf(stream) != nullptr; }

uint64_t MonotonicMs() { return GetTickCount64(); }
