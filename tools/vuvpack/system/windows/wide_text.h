// UTF-8 inside vuvpack, UTF-16 at the Windows calls; paths in their long
// form, so that deep payloads pass the 260-character limit.
#pragma once

#include <stdint.h>
#include <time.h>
#include <windows.h>

#include <string>

std::wstring WideText(const std::string& text);
std::string Utf8Text(const wchar_t* text, size_t length);
// The full path as \\?\C:\... or \\?\UNC\server\share\...; forward slashes
// become backslashes first, since the long form takes names literally.
std::wstring LongPath(const std::string& path);
// Sets errno from GetLastError(), so that messages read as on Linux.
void SetErrnoFromLastError();
// A 100-ns FILETIME as seconds since 1970.
time_t UnixTime(const FILETIME& time);
