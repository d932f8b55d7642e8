// Between UTF-8, vuvpack's own text, and UTF-16, what the package header
// stores and the Windows calls take.
#pragma once

#include <string>

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool Utf8ToUtf16(const std::string& text, std::u16string* out);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
