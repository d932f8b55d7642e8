#include "vuvpack/system/windows/wide_text.h"

#include <errno.h>

#include "vuvpack/system/utf_text.h"

std::wstring WideText(const std::string& text) {
    std::u16string wide;
    Utf8ToUtf16(text, &wide);
    return std::wstring(wide.begin(), wide.end());
}

std::string Utf8Text(const wchar_t* text, size_t length) {
    return Utf16ToUtf8(std::u16string(text, text + length));
}

std::wstring LongPath(const std::string& path) {
    std::wstring wide = WideText(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

void SetErrnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_DIRECTORY:
        errno = ENOTDIR;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    default:
        errno = EIO;
    }
}

time_t UnixTime(const FILETIME& time) {
    const uint64_t k1970 = 116444736000000000ull;  // 1601 to 1970 in 100 ns
    uint64_t ticks = ((uint64_t)time.dwHighDateTime << 32) | time.dwLowDateTime;
    return (time_t)(((int64_t)ticks - (int64_t)k1970) / 10000000);
}
