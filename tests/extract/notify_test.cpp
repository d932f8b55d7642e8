// The notification handler called the way the cabinet library calls it,
// with real output files: the cases that need no dialog.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <string>

#include "base/state.h"
#include "base/string_list.h"
#include "extract/decoder.h"
#include "extract/notify.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/import_patch.h"
#include "support/test_files.h"

namespace {

const USHORT kDate = 0x5867, kTime = 0x70AF;  // 7 March 2024, 14:05:30

std::string Text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class Notify : public ::testing::Test {
protected:
    void SetUp() override {
        lstrcpyW(G.RunSettings.destination, temp.path().c_str());
        G.RedirectOpenToArchive = TRUE;
    }

    INT_PTR Copy(const char* name, ULONG size, USHORT date = kDate, USHORT time = kTime) {
        FDINOTIFICATION entry = {};
        entry.psz1 = (char*)name;
        entry.cb = (LONG)size;
        entry.date = date;
        entry.time = time;
        return FileNotify(fdintCOPY_FILE, &entry);
    }

    INT_PTR Close(INT_PTR descriptor, USHORT attribs = 0x20, USHORT date = kDate, USHORT time = kTime) {
        FDINOTIFICATION entry = {};
        entry.hf = descriptor;
        entry.date = date;
        entry.time = time;
        entry.attribs = attribs;
        return FileNotify(fdintCLOSE_FILE_INFO, &entry);
    }

    // One stored file as the library handles it: announce, write, close.
    void Extract(const char* name, const std::string& data, USHORT attribs = 0x20, ULONG announced = ~0u) {
        INT_PTR descriptor = Copy(name, announced == ~0u ? (ULONG)data.size() : announced);
        ASSERT_GT(descriptor, 0) << name;
        if (!data.empty()) ASSERT_EQ(data.size(), DecoderWrite(descriptor, (void*)data.data(), (UINT)data.size()));
        EXPECT_EQ(TRUE, Close(descriptor, attribs));
    }


    TempFolder temp;
};

TEST_F(Notify, WritesTheFileWithItsStoredTimeAndKeptAttributes) {
    Extract("sub/file.txt", "contents", 0xE7);
    std::wstring path = temp / L"sub\\file.txt";
    EXPECT_EQ("contents", std::string((const char*)ReadBytes(path).data(), 8));
    EXPECT_EQ(((DWORD)kDate << 16) | kTime, LocalStamp(path));
    // Read-only, hidden, system and archive only: never 0x40 or 0x80.
    EXPECT_EQ(0x27u, GetFileAttributesW(path.c_str()));
    EXPECT_EQ(-1, G.OutputDescriptor);
}

TEST_F(Notify, StoredTimeIsLocalTime) {
    INT_PTR descriptor = Copy("t.txt", 0, DosDate(2001, 2, 3), DosTime(4, 5, 6));
    ASSERT_GT(descriptor, 0);
    Close(descriptor, 0x00, DosDate(2001, 2, 3), DosTime(4, 5, 6));
    std::wstring path = temp / L"t.txt";
    EXPECT_EQ(((DWORD)DosDate(2001, 2, 3) << 16) | DosTime(4, 5, 6), LocalStamp(path));

    // The same instant in UTC, as the file system holds it.
    SYSTEMTIME local = {2001, 2, 0, 3, 4, 5, 6, 0}, universal;
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal));
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    SYSTEMTIME written;
    FileTimeToSystemTime(&data.ftLastWriteTime, &written);
    EXPECT_EQ(universal.wHour, written.wHour);
    EXPECT_EQ(universal.wDay, written.wDay);
    // No kept attribute: a normal file (Wine always reports the archive bit).
    EXPECT_EQ(0u, GetFileAttributesW(path.c_str()) & 0x07);
}

TEST_F(Notify, SizeMismatchDeletesThatFileMarksTheRunAndGoesOn) {
    INT_PTR descriptor = Copy("short.txt", 10);
    ASSERT_GT(descriptor, 0);
    ASSERT_EQ(3u, DecoderWrite(descriptor, (void*)"abc", 3));
    EXPECT_EQ(TRUE, Close(descriptor));
    EXPECT_FALSE(FileExists(temp / L"short.txt"));
    EXPECT_TRUE(G.RunIncomplete);

    Extract("next.txt", "next");
    EXPECT_TRUE(FileExists(temp / L"next.txt"));
    EXPECT_EQ(0, G.AbortCode);
}

TEST_F(Notify, FolderEntryCreatesItsFoldersAndWritesNothing) {
    EXPECT_EQ(0, Copy("d1\\d2\\", 0));
    EXPECT_TRUE(FolderExists(temp / L"d1\\d2"));
    EXPECT_EQ((std::vector<std::wstring>{L"d1\\", L"d1\\d2\\"}), ListTree(temp.path()));
}

TEST_F(Notify, SingleBackslashEndsTheExtractionWithoutMessage) {
    EXPECT_EQ(-1, Copy("\\", 1));
    EXPECT_EQ(0, G.AbortCode);
    EXPECT_TRUE(ListTree(temp.path()).empty());
}

TEST_F(Notify, OneLeadingBackslashIsDropped) {
    Extract("\\root.txt", "r");
    EXPECT_TRUE(FileExists(temp / L"root.txt"));
    Extract("\\\\srv\\share\\f.txt", "f");
    EXPECT_TRUE(FileExists(temp / L"srv\\share\\f.txt"));
}

TEST_F(Notify, Utf8NameWithoutTheUtf8BitIsStillUtf8) {
    Extract("caf\xC3\xA9.txt", "x", 0x20);
    Extract("\xE3\x81\x82.txt", "y", 0xA0);
    EXPECT_TRUE(FileExists(temp / L"caf\x00E9.txt"));
    EXPECT_TRUE(FileExists(temp / L"\x3042.txt"));
}

TEST_F(Notify, RecordsWrittenFilesOnlyWithACommandToDeleteAfter) {
    G.RunSettings.DeleteAfterRun = 1;
    Extract("a.txt", "a");
    EXPECT_EQ(0, StringListCount(&G.PathList));

    lstrcpyW(G.RunSettings.command, L"setup.exe");
    Extract("b.txt", "b");
    EXPECT_EQ(0, Copy("folder\\", 0));
    ASSERT_EQ(1, StringListCount(&G.PathList));
    EXPECT_EQ(temp / L"b.txt", StringListFirst(&G.PathList));

    // A file the user had is replaced but never listed for deletion.
    WriteBytes(temp / L"had.txt", std::string("the user's"));
    G.RunSettings.OverwriteAll = 1;
    Extract("had.txt", "h");
    EXPECT_EQ(1, StringListCount(&G.PathList));

    // In the run's own private folder every file is the run's, replaced too.
    G.PrivateTempFolder = TRUE;
    Extract("had.txt", "h2");
    G.PrivateTempFolder = FALSE;
    ASSERT_EQ(2, StringListCount(&G.PathList));
    StringListFirst(&G.PathList);
    EXPECT_EQ(temp / L"had.txt", StringListNext(&G.PathList));

    G.RunSettings.DeleteAfterRun = 0;
    Extract("c.txt", "c");
    EXPECT_EQ(2, StringListCount(&G.PathList));
}

// The entry goes to a hidden file beside the old one, which keeps its
// contents and attributes until the entry is whole.
TEST_F(Notify, OverwriteAllReplacesAReadOnlyFileOnlyOnceTheEntryIsWhole) {
    std::wstring path = temp / L"ro.txt";
    WriteBytes(path, std::string("old contents"));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    G.RunSettings.OverwriteAll = 1;
    INT_PTR descriptor = Copy("ro.txt", 3);
    ASSERT_GT(descriptor, 0);
    ASSERT_EQ(3u, DecoderWrite(descriptor, (void*)"new", 3));
    EXPECT_EQ("old contents", Text(ReadBytes(path)));
    EXPECT_EQ(0x03u, GetFileAttributesW(path.c_str()) & 0x07);
    std::vector<std::wstring> during = ListTree(temp.path());
    ASSERT_EQ(2u, during.size());
    EXPECT_EQ(L"ro.txt", during[0]);
    EXPECT_EQ(L"~vuv", during[1].substr(0, 4));
    EXPECT_EQ(8u, during[1].size());
    std::wstring temporary = temp / during[1];
    EXPECT_EQ(0x02u, GetFileAttributesW(temporary.c_str()) & 0x07);

    EXPECT_EQ(TRUE, Close(descriptor, 0x21));
    EXPECT_EQ("new", Text(ReadBytes(path)));
    EXPECT_EQ(0x21u, GetFileAttributesW(path.c_str()));
    EXPECT_EQ(((DWORD)kDate << 16) | kTime, LocalStamp(path));
    EXPECT_EQ(std::vector<std::wstring>{L"ro.txt"}, ListTree(temp.path()));
    EXPECT_EQ(0, G.AbortCode);
}

// The file system calls of a replacement, through stand-ins for the
// program's imports: each flush, each change of a file's information (its
// details, its deletion at close set or taken back, its rename) and of its
// attributes, with the names of the files. A file system
// that refuses the delete disposition (a network share may) is staged by
// refusing it here.
static std::vector<std::wstring> fileCalls;
static bool refuseDisposition;
static BOOL(WINAPI* realFlushFileBuffers)(HANDLE);
static BOOL(WINAPI* realSetFileInformationByHandle)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD);
static BOOL(WINAPI* realSetFileAttributesW)(const WCHAR*, DWORD);

static std::wstring LeafName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

static std::wstring HandleName(HANDLE file) {
    WCHAR name[MAX_PATH] = L"";
    GetFinalPathNameByHandleW(file, name, MAX_PATH, 0);
    return LeafName(name);
}

static BOOL WINAPI TracedFlushFileBuffers(HANDLE file) {
    fileCalls.push_back(L"flush " + HandleName(file));
    return realFlushFileBuffers(file);
}

static BOOL WINAPI TracedSetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* information,
                                                    DWORD size) {
    std::wstring name = HandleName(file);
    if (kind == FileDispositionInfo) {
        fileCalls.push_back((((FILE_DISPOSITION_INFO*)information)->DeleteFile ? L"delete " : L"keep ") + name +
                            (refuseDisposition ? L" (refused)" : L""));
        if (refuseDisposition) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    } else if (kind == FileRenameInfo) {
        const FILE_RENAME_INFO* rename = (const FILE_RENAME_INFO*)information;
        fileCalls.push_back(L"rename " + name + L" " +
                            LeafName(std::wstring(rename->FileName, rename->FileNameLength / sizeof(WCHAR))));
    } else {
        fileCalls.push_back(L"details " + name);
    }
    return realSetFileInformationByHandle(file, kind, information, size);
}

static BOOL WINAPI TracedSetFileAttributesW(const WCHAR* path, DWORD attributes) {
    fileCalls.push_back(L"attributes " + LeafName(path) + L" " + std::to_wstring(attributes));
    return realSetFileAttributesW(path, attributes);
}

class TracedNotify : public Notify {
protected:
    void SetUp() override {
        Notify::SetUp();
        HMODULE kernel = GetModuleHandleW(L"kernel32");
        realFlushFileBuffers = (decltype(realFlushFileBuffers))(void*)GetProcAddress(kernel, "FlushFileBuffers");
        realSetFileInformationByHandle = (decltype(realSetFileInformationByHandle))(void*)GetProcAddress(
            kernel, "SetFileInformationByHandle");
        realSetFileAttributesW = (decltype(realSetFileAttributesW))(void*)GetProcAddress(kernel, "SetFileAttributesW");
        ASSERT_GT(PatchImports((void*)realFlushFileBuffers, (void*)TracedFlushFileBuffers), 0);
        ASSERT_GT(PatchImports((void*)realSetFileInformationByHandle, (void*)TracedSetFileInformationByHandle), 0);
        ASSERT_GT(PatchImports((void*)realSetFileAttributesW, (void*)TracedSetFileAttributesW), 0);
        fileCalls.clear();
        refuseDisposition = false;
    }
    void TearDown() override {
        PatchImports((void*)TracedFlushFileBuffers, (void*)realFlushFileBuffers);
        PatchImports((void*)TracedSetFileInformationByHandle, (void*)realSetFileInformationByHandle);
        PatchImports((void*)TracedSetFileAttributesW, (void*)realSetFileAttributesW);
        refuseDisposition = false;
    }
};

// A power loss or a kill can't be staged at the right moment: the trace
// shows the order. The temporary file is deleted at its close until its
// contents are flushed and the old file's read-only bit is cleared; then
// it stops deleting itself and, with nothing in between, takes the name
// through its own handle (a kill can strike only between those two calls).
// Where the file system refuses the disposition, the file is replaced all
// the same.
TEST_F(TracedNotify, AReplacementStopsDeletingItselfOnlyRightBeforeItTakesTheName) {
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "disposition refused" : "disposition taken");
        refuseDisposition = refused;
        std::wstring path = temp / L"durable.txt";
        WriteBytes(path, std::string("old"));
        ASSERT_TRUE(realSetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        G.RunSettings.OverwriteAll = 1;
        fileCalls.clear();
        INT_PTR descriptor = Copy("durable.txt", 3);
        ASSERT_GT(descriptor, 0);
        ASSERT_EQ(3u, DecoderWrite(descriptor, (void*)"new", 3));
        std::wstring temporary = ListTree(temp.path()).at(1);
        EXPECT_EQ(TRUE, Close(descriptor, 0x21));

        std::vector<std::wstring> expected = {L"delete " + temporary + (refused ? L" (refused)" : L""),
                                              L"details " + temporary, L"flush " + temporary,
                                              L"attributes durable.txt 128"};
        if (!refused) expected.push_back(L"keep " + temporary);
        expected.push_back(L"rename " + temporary + L" durable.txt");
        EXPECT_EQ(expected, fileCalls);
        EXPECT_EQ("new", Text(ReadBytes(path)));
        EXPECT_EQ(0x21u, GetFileAttributesW(path.c_str()));
        EXPECT_EQ(std::vector<std::wstring>{L"durable.txt"}, ListTree(temp.path()));
        EXPECT_EQ(0, G.AbortCode);
        realSetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// Where the file system refuses the disposition, a replacement that ends
// unsound is deleted all the same: by name, once closed.
TEST_F(TracedNotify, WithoutTheDispositionAnUnsoundReplacementIsStillDeleted) {
    refuseDisposition = true;
    std::wstring path = temp / L"keep.txt";
    WriteBytes(path, std::string("OLD"));
    G.RunSettings.OverwriteAll = 1;
    for (bool discarded : {false, true}) {
        SCOPED_TRACE(discarded ? "discarded" : "short entry");
        INT_PTR descriptor = Copy("keep.txt", 10);
        ASSERT_GT(descriptor, 0);
        ASSERT_EQ(4u, DecoderWrite(descriptor, (void*)"part", 4));
        if (discarded)
            DiscardUnfinishedOutput();
        else
            EXPECT_EQ(TRUE, Close(descriptor));
        EXPECT_EQ("OLD", Text(ReadBytes(path)));
        EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, ListTree(temp.path()));
    }
}

// However the entry ends unsound, the old file stays byte for byte with
// its attributes, and nothing else is left beside it.
TEST_F(Notify, ExistingFileSurvivesAnEntryThatEndsUnsound) {
    enum Ending { ShortEntry, Discarded, ClosedByTheLibrary, CancelledAfterTheLastByte };
    for (Ending ending : {ShortEntry, Discarded, ClosedByTheLibrary, CancelledAfterTheLastByte}) {
        SCOPED_TRACE(ending);
        G.AbortCode = 0;
        std::wstring path = temp / L"keep.txt";
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteBytes(path, std::string("OLD-CONTENT"));
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
        G.RunSettings.OverwriteAll = 1;
        INT_PTR descriptor = Copy("keep.txt", ending == CancelledAfterTheLastByte ? 4 : 10);
        ASSERT_GT(descriptor, 0);
        ASSERT_EQ(4u, DecoderWrite(descriptor, (void*)"part", 4));
        if (ending == ShortEntry) EXPECT_EQ(TRUE, Close(descriptor));
        if (ending == ClosedByTheLibrary) DecoderClose(descriptor);
        if (ending == CancelledAfterTheLastByte) {
            G.AbortCode = 100;
            EXPECT_EQ(TRUE, Close(descriptor));
        }
        DiscardUnfinishedOutput();
        EXPECT_EQ("OLD-CONTENT", Text(ReadBytes(path)));
        EXPECT_EQ(0x05u, GetFileAttributesW(path.c_str()) & 0x07);
        EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, ListTree(temp.path()));
        EXPECT_EQ(-1, G.OutputDescriptor);
    }
}

TEST_F(Notify, NewerOnlyKeepsAFileAsNewAsTheStoredOne) {
    std::wstring path = temp / L"same.txt";
    Extract("same.txt", "first");
    G.NewerOnly = TRUE;
    EXPECT_EQ(0, Copy("same.txt", 6));
    EXPECT_EQ(5u, ReadBytes(path).size());
    EXPECT_EQ(0, Copy("same.txt", 6, kDate, kTime - 1));

    INT_PTR descriptor = Copy("same.txt", 6, kDate, kTime + 1);
    ASSERT_GT(descriptor, 0);
    DecoderWrite(descriptor, (void*)"second", 6);
    Close(descriptor, 0x20, kDate, kTime + 1);
    EXPECT_EQ(6u, ReadBytes(path).size());
}

// A file that cannot be opened for reading has stamp 0: any stored stamp
// but 0 is newer.
TEST_F(Notify, NewerOnlyReplacesAFileThatCannotBeRead) {
    std::wstring path = temp / L"locked.txt";
    WriteBytes(path, std::string("old"));
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    G.NewerOnly = TRUE;
    EXPECT_EQ(0, Copy("locked.txt", 4, 0, 0));
    INT_PTR descriptor = Copy("locked.txt", 4, DosDate(1980, 1, 1), 0);
    EXPECT_GT(descriptor, 0);
    if (descriptor > 0) DecoderClose(descriptor);
    CloseHandle(holder);
}

TEST_F(Notify, NothingIsOpenedOrTouchedOnceTheRunIsStopped) {
    std::wstring existing = temp / L"existing.txt";
    WriteBytes(existing, std::string("old"));
    SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    G.RunSettings.OverwriteAll = 1;
    G.AbortCode = 100;
    EXPECT_EQ(-1, Copy("late.txt", 4));
    EXPECT_EQ(-1, Copy("existing.txt", 4));
    EXPECT_EQ(0x03u, GetFileAttributesW(existing.c_str()) & 0x07);
    EXPECT_EQ(std::vector<std::wstring>{L"existing.txt"}, ListTree(temp.path()));
}

TEST_F(Notify, OutputThatCannotBeCreatedEndsTheExtraction) {
    CreateDirectoryW((temp / L"taken").c_str(), nullptr);
    G.RunSettings.OverwriteAll = 1;
    EXPECT_EQ(-1, Copy("taken", 4));
    EXPECT_EQ(-1, G.OutputDescriptor);
}

TEST_F(Notify, UnfinishedOutputIsClosedAndDeleted) {
    Extract("done.txt", "done");
    INT_PTR descriptor = Copy("partial.txt", 100);
    ASSERT_GT(descriptor, 0);
    DecoderWrite(descriptor, (void*)"part", 4);
    DiscardUnfinishedOutput();
    EXPECT_FALSE(FileExists(temp / L"partial.txt"));
    EXPECT_TRUE(FileExists(temp / L"done.txt"));
    EXPECT_EQ(-1, G.OutputDescriptor);
}

TEST_F(Notify, OutputClosedByTheLibraryAloneIsStillDeleted) {
    INT_PTR descriptor = Copy("partial.txt", 100);
    ASSERT_GT(descriptor, 0);
    DecoderClose(descriptor);
    DiscardUnfinishedOutput();
    EXPECT_FALSE(FileExists(temp / L"partial.txt"));
}

// A window with a control 1006, as the progress dialog has.
DWORD fakeNow = 0;
DWORD WINAPI FakeClock(void) { return fakeNow; }

std::wstring ShownName() {
    WCHAR text[MAX_PATH] = L"";
    GetDlgItemTextW(G.ProgressWindow, 1006, text, MAX_PATH);
    return text;
}

TEST_F(Notify, CurrentNameIsShownAtMostOncePerInterval) {
    G.ProgressWindow = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND label = CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, G.ProgressWindow, (HMENU)1006, nullptr,
                               nullptr);
    ASSERT_TRUE(label);
    G.ReadClock = FakeClock;

    Extract("one.txt", "1");
    EXPECT_EQ(L"one.txt", ShownName());
    fakeNow += 24;
    Extract("two.txt", "2");
    EXPECT_EQ(L"one.txt", ShownName());
    // The newest name goes with the next progress report.
    std::wstring archive = temp / L"archive.bin";
    WriteBytes(archive, std::string("abc"));
    int descriptor = _wopen(archive.c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_NE(-1, descriptor);
    char buffer[3];
    EXPECT_EQ(3u, DecoderRead(descriptor, buffer, 3));
    _close(descriptor);
    EXPECT_EQ(L"two.txt", ShownName());
    fakeNow += 1;
    Extract("dir/three.txt", "3");
    EXPECT_EQ(L"dir\\three.txt", ShownName());
    DestroyWindow(G.ProgressWindow);
}

// Names that come before the dialog are kept for it (the decoder shows the
// last one); once the dialog is there, the names go to it directly.
TEST_F(Notify, NamesBeforeTheDialogAreKeptForIt) {
    G.ProgressWindow = nullptr;
    G.ReadClock = FakeClock;
    Extract("first.bin", "1");
    EXPECT_STREQ(L"first.bin", G.UnshownName);
    Extract("dir/second.bin", "2");
    EXPECT_STREQ(L"dir\\second.bin", G.UnshownName);

    G.ProgressWindow = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, G.ProgressWindow, (HMENU)1006, nullptr,
                              nullptr));
    Extract("third.txt", "3");
    EXPECT_EQ(L"third.txt", ShownName());
    EXPECT_EQ(0, G.UnshownName[0]);
    DestroyWindow(G.ProgressWindow);
}

}  // namespace
