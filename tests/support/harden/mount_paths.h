// Where the disk-fault tests write: the mounts of mounts.sh (the Linux
// folder in VUV_MOUNTS, as a Windows path with a trailing backslash), and
// a drive letter that does not exist.
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

// An unused drive letter with its backslash ("Q:\\"), empty when none is.
inline std::wstring MissingDrive() {
    DWORD drives = GetLogicalDrives();
    for (int letter = 'Q'; letter <= 'Y'; letter++)
        if (!(drives & (1u << (letter - 'A')))) return std::wstring(1, (wchar_t)letter) + L":\\";
    return L"";
}
