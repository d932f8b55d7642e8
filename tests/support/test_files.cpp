#include "support/test_files.h"

#include "support/helper_io.h"

#include <gtest/gtest.h>

#include <algorithm>

TempFolder::TempFolder() {
    WCHAR base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        WCHAR name[MAX_PATH];
        wsprintfW(name, L"%svuvtest-%lu-%u\\", base, GetCurrentProcessId(), counter++);
        if (CreateDirectoryW(name, nullptr)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder";
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (!path_.empty()) RemoveTree(path_);
}

QuietFolder::QuietFolder() {
    path_ = L"C:\\vuvbrowse-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    if (!CreateDirectoryW(path_.c_str(), nullptr)) ADD_FAILURE() << "cannot create " << Narrow(path_);
}

QuietFolder::~QuietFolder() { RemoveTree(path_); }

NetworkShare::NetworkShare() {
    WCHAR prefix[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        ADD_FAILURE() << "no WINEPREFIX: not under Wine?";
        return;
    }
    std::wstring folder = L"Z:" + std::wstring(prefix);
    for (WCHAR& c : folder)
        if (c == L'/') c = L'\\';
    static unsigned counter = 0;
    std::wstring share = L"share-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    for (const wchar_t* part : {L"\\dosdevices\\unc", L"\\vuv-server"}) {
        folder += part;
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    local_ = folder + L"\\" + share + L"\\";
    if (!CreateDirectoryW(local_.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << Narrow(local_);
        local_.clear();
        return;
    }
    path_ = L"\\\\vuv-server\\" + share + L"\\";
}

NetworkShare::~NetworkShare() {
    if (!local_.empty()) RemoveTree(local_);
}

void WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << Narrow(path);
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << Narrow(path);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> ReadBytes(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    unsigned char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) bytes.insert(bytes.end(), buffer, buffer + read);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}


std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::wstring base = root;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    std::vector<std::wstring> out;
    WalkTree(base, L"", [&](const std::wstring& path, const WIN32_FIND_DATAW&) { out.push_back(path); });
    std::sort(out.begin(), out.end());
    return out;
}

void RemoveTree(const std::wstring& path) {
    std::wstring base = path;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    std::vector<std::wstring> entries = ListTree(base);
    // Deepest first, so folders are empty when they are removed.
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
    for (const std::wstring& entry : entries) {
        std::wstring full = base + entry;
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.back() == L'\\')
            RemoveDirectoryW(full.c_str());
        else
            DeleteFileW(full.c_str());
    }
    RemoveDirectoryW(base.c_str());
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string narrow(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

// The build folder is a Unix path; Wine shows the root file system as Z:.
std::wstring BuildPath(const std::string& relative) {
    std::wstring path = L"Z:" + Widen(std::string(VUV_BUILD_DIR) + "/" + relative);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring StubPath() { return BuildPath(VUV_STUB_FILE); }

std::string PatternBytes(size_t size, unsigned seed) {
    std::string bytes(size, 0);
    for (size_t i = 0; i < size; i++) {
        seed = seed * 1103515245 + 12345;
        bytes[i] = (char)(seed >> 16);
    }
    return bytes;
}

std::wstring PathTooLongText() {
    WCHAR* text = nullptr;
    std::wstring result = L"Unknown error -2147417803";
    if (FormatMessageW(0x1300, nullptr, (DWORD)CO_E_PATHTOOLONG, 0x400, (LPWSTR)&text, 0, nullptr) && text)
        result = text;
    if (text) LocalFree(text);
    return result;
}
