// Environment, file output and the tree walk for the small stand-in
// programs the tests start (setup programs, planted programs). Header
// only: those programs link nothing of the test library (which walks
// trees with it too).
#pragma once

#include <windows.h>

#include <string>

inline std::wstring Env(const wchar_t* name) {
    wchar_t value[1024];
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    if (length == 0 || length >= 1024) return std::wstring();
    return value;
}

inline void WriteUtf8(const std::wstring& path, const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &utf8[0], bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    CloseHandle(file);
}

// Calls visit(path, data) for everything below root (which ends with a
// backslash), a folder (its path ending with a backslash) before what it
// holds; paths are relative to root.
template <typename Visit>
void WalkTree(const std::wstring& root, const std::wstring& relative, Visit visit) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((root + relative + L"*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            visit(relative + name + L"\\", data);
            WalkTree(root, relative + name + L"\\", visit);
        } else {
            visit(relative + name, data);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

// Starts this program again, with arguments after its quoted path, outside
// the caller's job when breakaway is asked for. False when it can't start.
inline bool StartSelf(const std::wstring& arguments, bool breakaway, PROCESS_INFORMATION* process) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"" + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    *process = {};
    DWORD flags = breakaway ? CREATE_BREAKAWAY_FROM_JOB : 0;
    return CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, process);
}
