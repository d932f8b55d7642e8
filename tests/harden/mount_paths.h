// Where the disk-fault tests find the mounts of mounts.sh: the Linux
// folder in VUV_MOUNTS, as a Windows path with a trailing backslash.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring Mounts() {
    WCHAR value[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"VUV_MOUNTS", value, MAX_PATH);
    std::wstring path = std::wstring(L"Z:") + value;
    for (WCHAR& c : path)
        if (c == L'/') c = L'\\';
    return path + L"\\";
}
