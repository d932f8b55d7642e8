// Stored names: the encoding test, the decoding and the cleaning that
// keeps every output inside the destination folder.
#pragma once

#include <windows.h>

enum {
    kCleanNameLimit = 520,  // CleanStoredName refuses names this long or longer
    kWideNameChars = 1040,  // AnsiToWide's buffer (1039 characters and the terminator)
};

int CountLeadingOnes(BYTE value);
BOOL Utf8LeadPlausible(const BYTE* lead);
BOOL LooksLikeUtf8(const char* stored);
const WCHAR* AnsiToWide(const char* stored);

// Decodes a stored name into a MAX_PATH buffer (UTF-8 when LooksLikeUtf8
// says so, else the ANSI code page). FALSE when the result does not fit.
BOOL DecodeStoredName(const char* stored, WCHAR* name);

// True when the component that starts at component names a device
// (base/name_rules.h).
BOOL EscapeDeviceName(const WCHAR* component);

// Cleans a name in place into a relative path with single backslashes:
// positive on success, 0 on failure (having shown its box, if any).
int CleanStoredName(WCHAR* name);

// Shows the system's text for code (or "Unknown error %ld") owned by
// ProgressWindow; returns the text, empty for code 0 (nothing shown).
const WCHAR* ShowSystemError(DWORD code);
