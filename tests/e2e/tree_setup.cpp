// A setup program that hands over, for the whole runs of the command's
// process tree. Its parameter is the number of programs still to start:
// above 0 it starts a copy of itself from its own folder with one less,
// stays a second (it reaches input idle first, as a front end showing its
// splash does) and ends with VUV_TREE_EXIT_CODE; at 0 it is the installer,
// which never looks at its message queue (a silent one) and ends with 3.
// The environment steers the rest:
//   VUV_TREE_RECORD     "<file>.started" is written when the installer
//                       starts; the file itself at its end: one line per
//                       file below its working folder, "read <name>" when
//                       every one of its rounds read it whole, else
//                       "missing <name>"; then "<file>.done"
//   VUV_TREE_BREAKAWAY  the copy starts outside the job its starter runs in
//   VUV_TREE_RELEASE    the installer holds until this named event is set
//                       (a while at most), instead of reading
#include <windows.h>

#include "support/helper_io.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 16;        // 500 ms apart: the files are read for 8 s
constexpr DWORD kHoldMs = 300000;  // a test that never releases it leaves no program behind for ever

struct Found {
    std::wstring name;
    LONGLONG size;
};


bool ReadsWhole(const std::wstring& path, LONGLONG size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    LONGLONG total = 0;
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) total += read;
    CloseHandle(file);
    return total == size;
}

int Install() {
    std::wstring record = Env(L"VUV_TREE_RECORD");
    WriteUtf8(record + L".started", L"started\n");
    std::wstring release = Env(L"VUV_TREE_RELEASE");
    std::wstring text;
    if (!release.empty()) {
        HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, release.c_str());
        if (event) {
            WaitForSingleObject(event, kHoldMs);
            CloseHandle(event);
        }
    } else {
        wchar_t folder[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, folder);
        std::wstring root = std::wstring(folder) + L"\\";
        std::vector<Found> files;
        WalkTree(root, L"", [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back({path, ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow});
        });
        std::sort(files.begin(), files.end(), [](const Found& a, const Found& b) { return a.name < b.name; });
        std::vector<bool> whole(files.size(), true);
        for (int round = 0; round < kRounds; round++) {
            if (round) Sleep(500);
            for (size_t i = 0; i < files.size(); i++)
                if (!ReadsWhole(root + files[i].name, files[i].size)) whole[i] = false;
        }
        for (size_t i = 0; i < files.size(); i++) text += (whole[i] ? L"read " : L"missing ") + files[i].name + L"\n";
    }
    WriteUtf8(record, text);
    WriteUtf8(record + L".done", L"done\n");
    return 3;
}

int HandOver(int left) {
    PROCESS_INFORMATION process;
    if (!StartSelf(L" " + std::to_wstring(left - 1), !Env(L"VUV_TREE_BREAKAWAY").empty(), &process)) return 2;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    Sleep(1000);
    return _wtoi(Env(L"VUV_TREE_EXIT_CODE").c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR parameters, int) {
    int left = _wtoi(parameters);
    return left > 0 ? HandOver(left) : Install();
}
