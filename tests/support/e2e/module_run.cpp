#include "support/e2e/module_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/cab_writer.h"
#include "support/pe_image.h"
#include "support/test_files.h"

const Captions English = {L"Decompressing...", L"Confirm Extracting", L"Confirm File Replace"};
const Captions Japanese = {L"進捗状況", L"展開先の指定", L"ファイル上書きの確認"};

namespace {

constexpr DWORD PollMs = 20;
constexpr wchar_t DialogClass[] = L"#32770";

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM lParam) {
    ProcessWindows* search = (ProcessWindows*)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && IsWindowVisible(window) && ClassName(window) == DialogClass)
        search->found->push_back(window);
    return TRUE;
}

struct TitleSearch {
    std::wstring title;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectForeignWindow(HWND window, LPARAM lParam) {
    TitleSearch* search = (TitleSearch*)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() && IsWindowVisible(window) && WindowText(window) == search->title)
        search->found->push_back(window);
    return TRUE;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Bit by bit, from the definition.
uint32_t ReferenceCrc(const std::vector<unsigned char>& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; bit++) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

}  // namespace

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

bool ModuleRun::Start(const std::wstring& program, const std::wstring& arguments) {
    bool started = child_.Start(program, arguments);
    EXPECT_TRUE(started) << "cannot start " << Narrow(program);
    return started;
}

// Suspended until the hook is in place, so that no early window escapes.
bool ModuleRun::StartWatched(const std::wstring& program, const std::wstring& arguments) {
    bool started = child_.Start(program, arguments, true);
    EXPECT_TRUE(started) << "cannot start " << Narrow(program);
    if (!started) return false;
    bool watched = watcher_.Watch(child_.Id());
    EXPECT_TRUE(watched) << "no window hook";
    bool resumed = child_.Resume();
    EXPECT_TRUE(resumed) << "cannot resume " << Narrow(program);
    return watched && resumed;
}

std::vector<HWND> ModuleRun::OpenWindows() const {
    std::vector<HWND> found;
    ProcessWindows search = {child_.Id(), &found};
    EnumWindows(CollectProcessWindow, (LPARAM)&search);
    return found;
}

// The progress dialog and the caption-less CRC window come and go by
// themselves; every other window waits for an answer.
bool ModuleRun::Tolerated(const std::wstring& title, const std::wstring& expected) const {
    return title == expected || title == captions_.progress || title.empty();
}

// The title is read once: the window may be gone by the time it is reported.
bool ModuleRun::ReportUnexpected(const std::wstring& expected) {
    for (HWND window : OpenWindows()) {
        std::wstring title = WindowText(window);
        if (Tolerated(title, expected)) continue;
        ADD_FAILURE() << "unexpected window \"" << Narrow(title) << "\": " << Narrow(MessageBoxText(window));
        child_.Kill();
        return true;
    }
    return false;
}

HWND ModuleRun::WaitFor(const std::wstring& caption, DWORD timeoutMs) { return Await(caption, timeoutMs, true); }

HWND ModuleRun::WaitForUnlessEnded(const std::wstring& caption, DWORD timeoutMs) {
    return Await(caption, timeoutMs, false);
}

HWND ModuleRun::Await(const std::wstring& caption, DWORD timeoutMs, bool endIsFailure) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : OpenWindows()) {
            if (WindowText(window) != caption) continue;
            // Its creation was reported before it could be found: named
            // now, while it exists, not once the caller has closed it.
            watcher_.Seen();
            return window;
        }
        if (ReportUnexpected(caption)) return nullptr;
        if (!child_.Running()) {
            if (endIsFailure) ADD_FAILURE() << "the module ended without showing \"" << Narrow(caption) << "\"";
            return nullptr;
        }
        if (GetTickCount() - start >= timeoutMs) {
            ADD_FAILURE() << "no window \"" << Narrow(caption) << "\" came";
            child_.Kill();
            return nullptr;
        }
        watcher_.Seen();  // names windows while they are still there
        Sleep(PollMs);
    }
}

std::wstring ModuleRun::Answer(const std::wstring& caption, int button) {
    HWND box = WaitFor(caption);
    if (!box) return std::wstring();
    std::wstring text = MessageBoxText(box);
    EXPECT_TRUE(ClickButton(box, button)) << "no button " << button << " in \"" << Narrow(caption) << "\"";
    EXPECT_TRUE(WaitForWindowGone(box)) << "\"" << Narrow(caption) << "\" stayed";
    return text;
}

DWORD ModuleRun::WaitForEnd(DWORD timeoutMs) {
    constexpr DWORD Failed = 0xDEADBEEF;
    DWORD start = GetTickCount();
    while (child_.Running()) {
        if (ReportUnexpected(std::wstring())) return Failed;
        if (GetTickCount() - start >= timeoutMs) {
            ADD_FAILURE() << "the module did not end";
            child_.Kill();
            return Failed;
        }
        watcher_.Seen();
        Sleep(PollMs);
    }
    DWORD exitCode = Failed;
    EXPECT_TRUE(child_.WaitForExit(DefaultWaitMs, &exitCode));
    return exitCode;
}

void PrepareSetup(const std::wstring& recordPath, const std::wstring& extra) {
    SetEnvironmentVariableW(L"VUV_SETUP_RECORD", recordPath.c_str());
    SetEnvironmentVariableW(L"VUV_SETUP_EXTRA", extra.empty() ? nullptr : extra.c_str());
    SetEnvironmentVariableW(L"VUV_SETUP_LIFE_MS", std::to_wstring(SetupLifeMs).c_str());
}

SetupRecord ReadSetupRecord(const std::wstring& recordPath) {
    SetupRecord record;
    std::vector<unsigned char> bytes = ReadBytes(recordPath);
    if (bytes.empty()) return record;
    std::vector<std::wstring> lines = SplitLines(Widen(std::string(bytes.begin(), bytes.end())));
    if (lines.size() < 2) return record;
    record.present = true;
    record.commandLine = lines[0];
    record.folder = lines[1];
    record.files.assign(lines.begin() + 2, lines.end());
    record.done = FileExists(recordPath + L".done");
    return record;
}

bool RemoveCommandFolder(const std::wstring& folder) {
    return WaitUntil([&] {
        RemoveTree(folder);
        return !FolderExists(folder);
    });
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring FixturePath(const std::string& name) { return BuildPath("tests/e2e/" + name); }

std::vector<unsigned char> CommandPackage(std::vector<CabFile> files, const std::wstring& destination) {
    std::vector<unsigned char> setup = ReadBytes(FixturePath("payload\\setup.exe"));
    EXPECT_FALSE(setup.empty()) << "the sample setup program is missing";
    files.push_back({"setup.exe", std::string(setup.begin(), setup.end())});
    CabContents contents;
    contents.files = files;
    PackageHeader header = MakeHeader();
    SetHeaderText(header.destination, kDestinationChars, destination);
    SetHeaderText(header.command, kCommandChars, L"setup.exe");
    header.OverwriteAll = 1;
    header.SkipDestinationDialog = 1;
    long offset = 0;
    return BuildPackage(BuildCabinet(contents), &offset, &header);
}

std::vector<unsigned char> CabinetOf(const std::vector<unsigned char>& package) {
    std::string signature = CabinetSignature();
    auto at = std::search(package.begin(), package.end(), signature.begin(), signature.end());
    EXPECT_NE(package.end(), at) << "no cabinet in the package";
    return std::vector<unsigned char>(at, package.end());
}

std::vector<unsigned char> MakePackage(const PackageOptions& options, std::vector<unsigned char> cabinet) {
    if (cabinet.empty()) cabinet = CabinetOf(ReadBytes(FixturePath("sample.exe")));
    PackageHeader header = MakeHeader();
    header.variant = options.variant;
    SetHeaderText(header.destination, kDestinationChars, options.destination);
    SetHeaderText(header.command, kCommandChars, options.command);
    header.OverwriteAll = 1;
    header.DeleteAfterRun = options.deleteAfterRun;
    header.SkipDestinationDialog = 1;
    if (options.crc) header.PackageCrc = ReferenceCrc(cabinet);
    long offset = 0;
    return BuildPackage(cabinet, &offset, &header);
}

const std::vector<std::wstring> SamplePayload = {L"data\\table.csv", L"docs\\deep\\notes.txt", L"docs\\guide.txt",
                                                 L"readme.txt", L"setup.exe"};
const std::vector<std::wstring> SampleTree = {L"data\\",          L"data\\table.csv", L"docs\\",
                                              L"docs\\deep\\",    L"docs\\deep\\notes.txt",
                                              L"docs\\guide.txt", L"readme.txt",      L"setup.exe"};

std::wstring PrivateFolder(const std::wstring& programName) {
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = temp;
    if (folder.back() != L'\\') folder += L'\\';
    return folder + L"~" + programName + L"\\";
}

std::vector<HWND> FindForeignWindows(const std::wstring& title) {
    std::vector<HWND> found;
    TitleSearch search = {title, &found};
    EnumWindows(CollectForeignWindow, (LPARAM)&search);
    return found;
}

bool CloseForeignWindow(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0) && WaitForWindowGone(window); }
