#include "vuvpack/system/folder_walk.h"

#include "vuvpack/system/windows/wide_text.h"

const char kPathSeparator = '\\';

bool ListFolderNames(const std::string& folder, std::vector<std::string>* names) {
    std::wstring pattern = LongPath(folder);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return false;
    }
    names->clear();
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names->push_back(Utf8Text(name.data(), name.size()));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// The final path of the opened file, without its \\?\ prefix, so that the
// root and a link's target compare as plain paths.
bool RealPath(const std::string& path, std::string* resolved) {
    HANDLE file = CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return false;
    }
    wchar_t buffer[32768];
    DWORD length = GetFinalPathNameByHandleW(file, buffer, sizeof buffer / sizeof buffer[0], FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof buffer / sizeof buffer[0]) SetErrnoFromLastError();
    CloseHandle(file);
    if (length == 0 || length >= sizeof buffer / sizeof buffer[0]) return false;
    std::wstring full(buffer, length);
    if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        full = L"\\\\" + full.substr(8);
    } else if (full.compare(0, 4, L"\\\\?\\") == 0) {
        full = full.substr(4);
    }
    *resolved = Utf8Text(full.data(), full.size());
    return true;
}
