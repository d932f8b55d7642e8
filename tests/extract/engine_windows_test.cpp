// The engine with its windows: the extraction phase with the real progress
// dialog, the overwrite dialog, and every message box the engine shows. A
// second thread plays the user through the GUI driver while the engine
// runs on the test's thread, as on the program's GUI thread.
#include <gtest/gtest.h>

#include <io.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/extraction_phase.h"
#include "base/state.h"
#include "extract/decoder.h"
#include "extract/names.h"
#include "extract/notify.h"
#include "extract/output_path.h"
#include "resource.h"
#include "support/answer_box.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/gui_driver.h"
#include "support/test_files.h"

namespace {

std::string Text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Filler(size_t size, char first) {
    std::string bytes(size, 0);
    for (size_t i = 0; i < size; i++) bytes[i] = (char)(first + i % 23);
    return bytes;
}

// The low-level write seam: counts the writes, may hold one until the test
// releases it, and may make one fail or come up short.
struct WriteSeam {
    std::atomic<int> calls{0};
    int holdAt = 0;
    int failAt = 0;
    bool shortWrite = false;
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
} seam;

int __cdecl SeamWrite(int descriptor, const void* buffer, unsigned int count) {
    int call = ++seam.calls;
    if (call == seam.holdAt) {
        SetEvent(seam.held);
        WaitForSingleObject(seam.release, 20000);
    }
    if (call == seam.failAt) return seam.shortWrite ? _write(descriptor, buffer, count - 1) : -1;
    return _write(descriptor, buffer, count);
}

// The progress dialog's creation is held on this thread (inside its
// WM_INITDIALOG) until a condition holds or a time-out passes.
HHOOK holdDialog = nullptr;
std::function<bool()> releaseDialog;
bool releasedInTime = false;

LRESULT CALLBACK HoldDialog(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* call = (const CWPRETSTRUCT*)lParam;
    if (code == HC_ACTION && call->message == WM_INITDIALOG && releaseDialog) {
        releasedInTime = WaitUntil(releaseDialog, 10000);
        releaseDialog = nullptr;
    }
    return CallNextHookEx(holdDialog, code, wParam, lParam);
}

class EngineWindows : public ::testing::Test {
protected:
    void SetUp() override {
        destination = temp / L"out\\";
        ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
        G.LowLevelWrite = SeamWrite;
    }

    // Writes the cabinet, runs the whole phase with the progress dialog.
    int RunPhase(const CabContents& contents) {
        std::vector<unsigned char> cabinet = BuildCabinet(contents);
        std::wstring archive = temp / L"archive.cab";
        WriteBytes(archive, cabinet);
        PrepareExtraction(archive, 0, destination);
        return RunExtractionPhase((LONG)cabinet.size());
    }

    // The same, with the dialog's creation held until release() holds.
    int RunPhaseHoldingTheDialog(const CabContents& contents, std::function<bool()> release) {
        releaseDialog = std::move(release);
        releasedInTime = false;
        holdDialog = SetWindowsHookExW(WH_CALLWNDPROCRET, HoldDialog, nullptr, GetCurrentThreadId());
        EXPECT_TRUE(holdDialog);
        int result = RunPhase(contents);
        UnhookWindowsHookEx(holdDialog);
        return result;
    }

    bool QuitMessagePending() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    }

    TempFolder temp;
    std::wstring destination;
};

// f1 and f2 fill the first block with the start of f3; f3 spans further
// blocks, each of them written in one call.
CabContents FiveFiles() {
    CabContents contents;
    contents.files = {{"f1.txt", Filler(1000, 'a')},
                  {"f2.txt", Filler(1000, 'b')},
                  {"f3.bin", Filler(200000, 'c')},
                  {"f4.txt", "four"},
                  {"f5.txt", "five"}};
    return contents;
}

void ExpectFirstTwoOnly(const std::wstring& destination) {
    EXPECT_EQ((std::vector<std::wstring>{L"f1.txt", L"f2.txt"}), ListTree(destination));
    EXPECT_EQ(Filler(1000, 'a'), Text(ReadBytes(destination + L"f1.txt")));
    EXPECT_EQ(Filler(1000, 'b'), Text(ReadBytes(destination + L"f2.txt")));
}

TEST_F(EngineWindows, CleanRunEndsWithTheWorkersCloseAndExitCodeZero) {
    BoxAnswerer boxes;
    EXPECT_EQ(0, RunPhase(FiveFiles()));
    EXPECT_TRUE(boxes.Stop().empty());
    EXPECT_TRUE(G.ProgressWindow != nullptr);
    EXPECT_FALSE(IsWindow(G.ProgressWindow));
    EXPECT_FALSE(QuitMessagePending());
    EXPECT_EQ(5u, ListTree(destination).size());
    EXPECT_EQ(Filler(200000, 'c'), Text(ReadBytes(destination + L"f3.bin")));
    // Every byte read reached the bar's total (the last message may have
    // been skipped by the throttle, not the count).
    EXPECT_GT(G.BytesReadTotal, 203000u);
}

bool DialogShown() { return G.ProgressWindow && IsWindowVisible(G.ProgressWindow); }

// The worker is held inside its fourth write (in the middle of f3) while
// the user presses Cancel; once released it stops at its next read.
TEST_F(EngineWindows, CancelStopsAtTheNextReadAndKeepsTheFinishedFiles) {
    seam.holdAt = 4;
    std::thread user([] {
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(seam.held, 10000));
        ASSERT_TRUE(WaitUntil(DialogShown));  // the worker may be there first
        EXPECT_TRUE(ClickButton(G.ProgressWindow, IDCANCEL));
        EXPECT_TRUE(WaitUntil([] { return G.AbortCode == 100; }));
        EXPECT_TRUE(IsWindow(G.ProgressWindow));  // Cancel keeps the dialog up
        SetEvent(seam.release);
    });
    EXPECT_EQ(-1, RunPhase(FiveFiles()));
    user.join();
    EXPECT_EQ(100, G.AbortCode);
    EXPECT_EQ(4, seam.calls);
    EXPECT_FALSE(IsWindow(G.ProgressWindow));
    ExpectFirstTwoOnly(destination);
}

TEST_F(EngineWindows, CloseBoxEndsTheLoopAtOnceAndThePhaseWaitsForTheWorker) {
    seam.holdAt = 4;
    std::thread user([] {
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(seam.held, 10000));
        ASSERT_TRUE(WaitUntil(DialogShown));
        EXPECT_TRUE(ClickNonClient(G.ProgressWindow, HTCLOSE));
        // Gone while the worker is still held in its write.
        EXPECT_TRUE(WaitUntil([] { return !IsWindow(G.ProgressWindow); }));
        EXPECT_EQ(100, G.AbortCode);
        SetEvent(seam.release);
    });
    EXPECT_EQ(-1, RunPhase(FiveFiles()));
    user.join();
    EXPECT_EQ(4, seam.calls);
    EXPECT_FALSE(QuitMessagePending());
    ExpectFirstTwoOnly(destination);
}

// Failing writes: a disk that is full, or a write that comes up short.
// Under Wine the library would write on; the engine stops it instead.
struct WriteFailure {
    const char* name;
    bool shortWrite;
};

class EngineWriteFailure : public EngineWindows, public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(EngineWriteFailure, ShowsString11OnceAndDeletesThePartialFile) {
    seam.failAt = 4;
    seam.shortWrite = GetParam().shortWrite;
    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunPhase(FiveFiles()));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"Cannot create a file.", G.ProgressWindow}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_EQ(4, seam.calls);
    ExpectFirstTwoOnly(destination);
}

INSTANTIATE_TEST_SUITE_P(Writes, EngineWriteFailure,
                         ::testing::Values(WriteFailure{"Failed", false}, WriteFailure{"Short", true}),
                         [](const ::testing::TestParamInfo<WriteFailure>& info) { return info.param.name; });

TEST_F(EngineWindows, ContinuationCabinetIsRefusedWithString13) {
    CabContents contents;
    contents.blockSize = 100;
    contents.nextCabinet = "next.cab";
    contents.splitLastBlock = true;
    contents.files = {{"whole.txt", Filler(50, 'w')}, {"split.txt", Filler(300, 's')}};
    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunPhase(contents));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"not supported archive format.", G.ProgressWindow}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_EQ((std::vector<std::wstring>{L"whole.txt"}), ListTree(destination));
}

// The second part of a set: its first file began in an earlier cabinet.
TEST_F(EngineWindows, FileContinuedFromAnEarlierCabinetIsRefusedWithString13) {
    CabContents contents;
    contents.previousCabinet = "first.cab";
    contents.files = {{"rest.txt", Filler(50, 'r')}, {"whole.txt", Filler(50, 'w')}};
    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunPhase(contents));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"not supported archive format.", G.ProgressWindow}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_TRUE(ListTree(destination).empty());
}

// An existing f3.bin (read-only and hidden) that the run was to replace
// when it failed: the old file stays byte for byte with its attributes,
// and no temporary file is left.
struct ReplacementFailure {
    const char* name;
    int failAt;         // the low-level write that fails
    int holdAt;         // the write held while the user cancels
    bool lockOldFile;   // held open without sharing: the final move fails
    const wchar_t* box;  // string 11, or none
    LONG abortCode;
};

void PrintTo(const ReplacementFailure& row, std::ostream* out) { *out << row.name; }

class EngineReplacementFailure : public EngineWindows, public ::testing::WithParamInterface<ReplacementFailure> {};

TEST_P(EngineReplacementFailure, KeepsTheOldFileByteForByte) {
    const ReplacementFailure& row = GetParam();
    std::wstring old = destination + L"f3.bin";
    WriteBytes(old, std::string("OLD-CONTENT"));
    ASSERT_TRUE(SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    G.RunSettings.OverwriteAll = 1;
    seam.failAt = row.failAt;
    seam.holdAt = row.holdAt;
    HANDLE holder = row.lockOldFile ? CreateFileW(old.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                    : INVALID_HANDLE_VALUE;
    ASSERT_EQ(row.lockOldFile, holder != INVALID_HANDLE_VALUE);
    std::thread user;
    if (row.holdAt)
        user = std::thread([] {
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(seam.held, 10000));
            ASSERT_TRUE(WaitUntil(DialogShown));
            EXPECT_TRUE(ClickButton(G.ProgressWindow, IDCANCEL));
            EXPECT_TRUE(WaitUntil([] { return G.AbortCode == 100; }));
            SetEvent(seam.release);
        });
    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunPhase(FiveFiles()));
    if (user.joinable()) user.join();
    std::vector<SeenBox> seen = boxes.Stop();
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

    if (row.box)
        EXPECT_TRUE(OneBox(seen, {L"VUV-UZU", row.box, G.ProgressWindow}));
    else
        EXPECT_TRUE(seen.empty());
    EXPECT_EQ(row.abortCode, G.AbortCode);
    EXPECT_EQ("OLD-CONTENT", Text(ReadBytes(old)));
    EXPECT_EQ(0x03u, GetFileAttributesW(old.c_str()) & 0x07);
    EXPECT_EQ((std::vector<std::wstring>{L"f1.txt", L"f2.txt", L"f3.bin"}), ListTree(destination));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, EngineReplacementFailure,
    ::testing::Values(ReplacementFailure{"WriteFails", 4, 0, false, L"Cannot create a file.", -1},
                      ReplacementFailure{"CancelDuringTheWrite", 0, 4, false, nullptr, 100},
                      ReplacementFailure{"OldFileLocked", 0, 0, true, L"Cannot create a file.", -1}),
    [](const ::testing::TestParamInfo<ReplacementFailure>& info) { return info.param.name; });

// The temporary name has a fixed length: where it does not fit beside the
// old file, string 11, and the old file is never written in place.
TEST_F(EngineWindows, ReplacementWithoutRoomForItsTemporaryNameShowsString11) {
    G.RunSettings.OverwriteAll = 1;
    G.RedirectOpenToArchive = TRUE;
    for (size_t folderLength : {MAX_PATH - 9, MAX_PATH - 8}) {
        std::wstring folder = destination + std::wstring(folderLength - destination.size() - 1, L'x') + L"\\";
        ASSERT_EQ(folderLength, folder.size());
        ASSERT_TRUE(CreateFolderPath(folder.c_str()));
        WriteBytes(folder + L"a", std::string("OLD-CONTENT"));
        lstrcpyW(G.RunSettings.destination, folder.c_str());
        G.AbortCode = 0;
        BoxAnswerer boxes;
        FDINOTIFICATION entry = {};
        entry.psz1 = (char*)"a";
        entry.cb = 3;
        INT_PTR descriptor = FileNotify(fdintCOPY_FILE, &entry);
        std::vector<SeenBox> seen = boxes.Stop();
        if (folderLength == MAX_PATH - 9) {
            // The longest folder that still takes it.
            EXPECT_GT(descriptor, 0);
            EXPECT_TRUE(seen.empty());
            if (descriptor > 0) DecoderClose(descriptor);
            DiscardUnfinishedOutput();
        } else {
            EXPECT_EQ(-1, descriptor);
            EXPECT_TRUE(OneBox(seen, {L"VUV-UZU", L"Cannot create a file.", nullptr}));
            EXPECT_EQ(-1, G.AbortCode);
        }
        EXPECT_EQ("OLD-CONTENT", Text(ReadBytes(folder + L"a")));
        EXPECT_EQ(std::vector<std::wstring>{L"a"}, ListTree(folder));
    }
}

// A cancel that came before the next existing file: no question, and the
// file is not touched.
TEST_F(EngineWindows, NoQuestionAfterACancel) {
    std::wstring existing = destination + L"e.txt";
    WriteBytes(existing, std::string("old"));
    ASSERT_TRUE(SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_READONLY));
    lstrcpyW(G.RunSettings.destination, destination.c_str());
    G.RedirectOpenToArchive = TRUE;
    G.AbortCode = 100;
    std::atomic<bool> done{false};
    std::atomic<int> questions{0};
    std::thread user([&] {
        WindowQuery query;
        query.title = L"Confirm File Replace";
        query.processId = GetCurrentProcessId();
        while (!done) {
            if (HWND prompt = FindTopWindow(query)) {
                questions++;
                ClickButton(prompt, IDC_OVERWRITE_CANCEL);
                WaitForWindowGone(prompt);
            }
            Sleep(20);
        }
    });
    FDINOTIFICATION entry = {};
    entry.psz1 = (char*)"e.txt";
    entry.cb = 3;
    EXPECT_EQ(-1, FileNotify(fdintCOPY_FILE, &entry));
    done = true;
    user.join();
    EXPECT_EQ(0, questions);
    EXPECT_EQ(0x01u, GetFileAttributesW(existing.c_str()) & 0x07);
    EXPECT_EQ("old", Text(ReadBytes(existing)));
}

TEST_F(EngineWindows, InvalidFileNameEndsTheExtraction) {
    CabContents contents;
    contents.files = {{"good.txt", "g"}, {". .", "dots"}, {"after.txt", "a"}};
    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunPhase(contents));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"Invalid file-name.", G.ProgressWindow}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_EQ((std::vector<std::wstring>{L"good.txt"}), ListTree(destination));
}

TEST_F(EngineWindows, NamesThatCleanToNothingAreSkippedWithString16) {
    CabContents contents;
    contents.files = {{"\\\\\\", "x"}, {"kept.txt", "k"}};
    BoxAnswerer boxes;
    EXPECT_EQ(0, RunPhase(contents));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"\n\ninvalid filename.(skipped)", nullptr}));
    EXPECT_EQ((std::vector<std::wstring>{L"kept.txt"}), ListTree(destination));
}


TEST_F(EngineWindows, StoredNameTooLongForThePathBufferEndsTheExtraction) {
    lstrcpyW(G.RunSettings.destination, destination.c_str());
    G.RedirectOpenToArchive = TRUE;
    BoxAnswerer boxes;
    std::string name(300, 'n');
    FDINOTIFICATION entry = {};
    entry.psz1 = &name[0];
    entry.cb = 4;
    EXPECT_EQ(-1, FileNotify(fdintCOPY_FILE, &entry));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", PathTooLongText(), nullptr}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_TRUE(ListTree(destination).empty());
}

TEST_F(EngineWindows, CleanStoredNameRefusesTooLongAndDotsOnlyNames) {
    struct Row {
        std::wstring name;
        std::wstring box;
        LONG abortCode;
    } rows[] = {
        {std::wstring(kCleanNameLimit, L'x'), PathTooLongText(), -1},
        {L".", L"Invalid file-name.", -1},
        {L"..", L"Invalid file-name.", -1},
        {L"   ", L"Invalid file-name.", -1},
        {L". .", L"Invalid file-name.", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.name.substr(0, 10)));
        G.AbortCode = 0;
        std::vector<WCHAR> buffer(row.name.begin(), row.name.end());
        buffer.resize(kCleanNameLimit + 8, 0);
        BoxAnswerer boxes;
        EXPECT_EQ(0, CleanStoredName(buffer.data()));
        EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", row.box, nullptr}));
        EXPECT_EQ(row.abortCode, G.AbortCode);
    }
}

TEST_F(EngineWindows, BuildOutputPathWarnsAndSkipsBadOrOverlongNames) {
    std::wstring deep = destination;
    while (deep.size() < 200) deep += L"level\\";
    ASSERT_TRUE(CreateFolderPath(deep.c_str()));
    struct Row {
        std::wstring folder;
        std::wstring name;
    } rows[] = {
        {destination, L""},
        {destination, L"a:b"},
        {destination, L"what?"},
        {deep, std::wstring(70, L'f')},
        {deep, L"sub\\" + std::wstring(65, L'g')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.name));
        WCHAR name[MAX_PATH], out[MAX_PATH] = L"untouched";
        lstrcpyW(name, row.name.c_str());
        BoxAnswerer boxes;
        EXPECT_EQ(0, BuildOutputPath(row.folder.c_str(), name, out));
        EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", row.name + L"\n\ninvalid filename.(skipped)", nullptr}));
        EXPECT_EQ(0, G.AbortCode);
    }
    EXPECT_FALSE(FolderExists(deep + L"sub"));
}

TEST_F(EngineWindows, FolderThatCannotBeCreatedShowsString17AndStops) {
    WriteBytes(destination + L"file", std::string("a file, not a folder"));
    CabContents contents;
    contents.files = {{"first.txt", "1"}, {"file/sub/x.txt", "x"}, {"last.txt", "l"}};
    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunPhase(contents));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"Cannot create a folder.\nThis archive forbids writing.", nullptr}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_EQ((std::vector<std::wstring>{L"file", L"first.txt"}), ListTree(destination));
}

// No progress dialog (its creation refused by a hook on this thread): the
// phase still ends when the worker has finished.
HHOOK refuseDialogs = nullptr;

LRESULT CALLBACK RefuseDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && ClassName((HWND)wParam) == L"#32770") return 1;
    return CallNextHookEx(refuseDialogs, code, wParam, lParam);
}

TEST_F(EngineWindows, PhaseWithoutAProgressDialogEndsWithTheWorker) {
    refuseDialogs = SetWindowsHookExW(WH_CBT, RefuseDialogs, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(refuseDialogs);
    int result = RunPhase(FiveFiles());
    UnhookWindowsHookEx(refuseDialogs);
    EXPECT_EQ(0, result);
    EXPECT_EQ(nullptr, G.ProgressWindow);
    EXPECT_EQ(5u, ListTree(destination).size());
}

// The extraction does not wait for the dialog: the whole set is written
// while the dialog is still being created, and the run ends normally.
TEST_F(EngineWindows, WorkerExtractsWhileTheDialogIsBeingCreated) {
    std::wstring last = destination + L"f5.txt";
    BoxAnswerer boxes;
    EXPECT_EQ(0, RunPhaseHoldingTheDialog(FiveFiles(), [&] { return FileExists(last); }));
    EXPECT_TRUE(releasedInTime);
    EXPECT_TRUE(boxes.Stop().empty());
    EXPECT_FALSE(IsWindow(G.ProgressWindow));
    EXPECT_FALSE(QuitMessagePending());
    EXPECT_EQ(5u, ListTree(destination).size());
    EXPECT_EQ(Filler(200000, 'c'), Text(ReadBytes(destination + L"f3.bin")));
    EXPECT_GT(G.BytesReadTotal, 203000u);  // reads before the dialog count too
}

// A box the worker raises before the dialog exists waits for it and is
// owned by it, as every box of the extraction is.
TEST_F(EngineWindows, BoxBeforeTheDialogWaitsForItsOwner) {
    CabContents contents;
    contents.files = {{"good.txt", "g"}, {". .", "dots"}, {"after.txt", "a"}};
    std::wstring good = destination + L"good.txt";
    BoxAnswerer boxes;
    DWORD heldSince = 0;
    EXPECT_EQ(-1, RunPhaseHoldingTheDialog(contents, [&] {
        if (!FileExists(good)) return false;
        if (!heldSince) heldSince = GetTickCount();
        return GetTickCount() - heldSince > 300;  // time for the worker to reach the box
    }));
    EXPECT_TRUE(releasedInTime);
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"VUV-UZU", L"Invalid file-name.", G.ProgressWindow}));
    EXPECT_TRUE(G.ProgressWindow != nullptr);
    EXPECT_FALSE(QuitMessagePending());
    EXPECT_EQ((std::vector<std::wstring>{L"good.txt"}), ListTree(destination));
}

#ifndef _WIN64  // a 64-bit address space used up starves 64-bit Wine itself
// A worker that cannot start: the address space is used up, so the thread
// gets no stack. The phase ends at once, without a dialog and without a
// quit message left behind for a later message box.
TEST_F(EngineWindows, WorkerThatCannotStartEndsThePhase) {
    std::vector<unsigned char> cabinet = BuildCabinet(FiveFiles());
    std::wstring archive = temp / L"archive.cab";
    WriteBytes(archive, cabinet);
    PrepareExtraction(archive, 0, destination);
    G.ProgressWindow = nullptr;
    std::vector<void*> reserved;
    reserved.reserve(100000);
    for (SIZE_T size = (SIZE_T)1 << 30; size >= 0x10000; size /= 2)
        while (reserved.size() < reserved.capacity())
            if (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
                reserved.push_back(block);
            else
                break;
    int result = RunExtractionPhase((LONG)cabinet.size());
    for (void* block : reserved) VirtualFree(block, 0, MEM_RELEASE);
    ASSERT_FALSE(reserved.empty());

    EXPECT_EQ(-1, result);
    EXPECT_EQ(nullptr, G.ProgressWindow);
    EXPECT_FALSE(QuitMessagePending());
    EXPECT_FALSE(G.RedirectOpenToArchive);  // the worker never ran
    EXPECT_TRUE(ListTree(destination).empty());
}
#endif

// The overwrite question through the real dialog, owned by the progress
// dialog. On disk: e1 and e3 newer than the cabinet's copies, e2 older.
struct OverwriteCase {
    const char* name;
    int button;       // pressed on the first question (and on later ones)
    int questions;    // questions asked in all
    bool replaced[3];  // e1, e2, e3 afterwards
    bool newWritten;  // new.txt, which comes after e2
    int result;
    LONG abortCode;
};

void PrintTo(const OverwriteCase& row, std::ostream* out) { *out << row.name; }

class EngineOverwrite : public EngineWindows, public ::testing::WithParamInterface<OverwriteCase> {};

void SetStamp(const std::wstring& path, WORD year) {
    SYSTEMTIME time = {year, 6, 0, 15, 12, 0, 0, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&time, &stamp);
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
}

TEST_P(EngineOverwrite, AnswersDecideEachExistingFile) {
    const OverwriteCase& row = GetParam();
    for (const wchar_t* name : {L"e1.txt", L"e2.txt", L"e3.txt"}) WriteBytes(destination + name, std::string("old"));
    SetStamp(destination + L"e2.txt", 2000);
    CabContents contents;
    contents.files = {{"e1.txt", "new one"}, {"e2.txt", "new two"}, {"new.txt", "fresh"}, {"e3.txt", "new three"}};
    for (CabFile& file : contents.files) file.date = DosDate(2020, 1, 1);

    std::atomic<bool> done{false};
    std::atomic<int> questions{0};
    std::thread user([&] {
        WindowQuery query;
        query.title = L"Confirm File Replace";
        query.className = L"#32770";
        query.processId = GetCurrentProcessId();
        while (!done) {
            HWND prompt = FindTopWindow(query);
            if (!prompt) {
                Sleep(20);
                continue;
            }
            EXPECT_EQ(G.ProgressWindow, GetWindow(prompt, GW_OWNER));
            EXPECT_FALSE(IsWindowEnabled(G.ProgressWindow));
            if (++questions == 1) SaveScreenshot("engine_overwrite_question", prompt);
            ClickButton(prompt, row.button);
            WaitForWindowGone(prompt);
        }
    });
    EXPECT_EQ(row.result, RunPhase(contents));
    done = true;
    user.join();

    EXPECT_EQ(row.questions, questions);
    const wchar_t* names[] = {L"e1.txt", L"e2.txt", L"e3.txt"};
    const char* incoming[] = {"new one", "new two", "new three"};
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(row.replaced[i] ? incoming[i] : "old", Text(ReadBytes(destination + names[i]))) << Narrow(names[i]);
    EXPECT_EQ(row.newWritten, FileExists(destination + L"new.txt"));
    EXPECT_EQ(row.abortCode, G.AbortCode);
    EXPECT_FALSE(IsWindow(G.ProgressWindow));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EngineOverwrite,
    ::testing::Values(OverwriteCase{"Yes", IDYES, 3, {true, true, true}, true, 0, 0},
                      OverwriteCase{"No", IDNO, 3, {false, false, false}, true, 0, 0},
                      OverwriteCase{"YesToAll", IDC_YES_TO_ALL, 1, {true, true, true}, true, 0, 0},
                      // The dates decide from the first question on, without more questions.
                      OverwriteCase{"Newer", IDC_NEWER, 1, {false, true, false}, true, 0, 0},
                      OverwriteCase{"Cancel", IDC_OVERWRITE_CANCEL, 1, {false, false, false}, false, -1, 100}),
    [](const ::testing::TestParamInfo<OverwriteCase>& info) { return info.param.name; });

}  // namespace
