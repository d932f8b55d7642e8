// Whole runs of the built module when the disk or the user stops them: a
// package with a command that fills a small tmpfs (from mounts.sh, under
// VUV_MOUNTS), and cancels at several moments of a long extraction. In
// neither case may the command run or a short file keep a stored name.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/package_header.h"
#include "resource.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/harden/mount_paths.h"
#include "support/harden/stored_files.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

const wchar_t CannotCreateFile[] = L"Cannot create a file.";
const wchar_t CannotCreateFolder[] = L"Cannot create a folder.\nThis archive forbids writing.";
const wchar_t ExtractionFailed[] = L"The archive is damaged or could not be extracted completely.";


std::vector<unsigned char> Bytes(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// What a full disk leaves: string 11 once, the files before the one that
// did not fit whole, that one gone, nothing after it, and no command. The
// package names the folder on the small mount in its header, or the
// archive mode gets it in quotes with /E: and /D.
class FullDiskRun : public ::testing::TestWithParam<bool> {};

TEST_P(FullDiskRun, StopsWithString11AndRunsNoCommand) {
    bool archiveMode = GetParam();
    ASSERT_TRUE(FolderExists(Mounts() + L"small")) << "the mounts are missing";
    TempFolder folder;
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    std::wstring destination = Mounts() + L"small\\run" + std::to_wstring(GetCurrentProcessId()) + L"\\";

    std::vector<unsigned char> setup = ReadBytes(FixturePath("payload\\setup.exe"));
    ASSERT_FALSE(setup.empty());
    CabContents contents;
    contents.files = {{"first.txt", PatternBytes(100000, 1)},
                      {"setup.exe", std::string(setup.begin(), setup.end())},
                      {"big.bin", PatternBytes(3000000, 3)},
                      {"after.txt", "after"}};
    std::vector<unsigned char> cabinet = BuildCabinet(contents);

    ModuleRun run;
    if (archiveMode) {
        std::wstring archive = folder / L"full.cab";
        WriteBytes(archive, cabinet);
        ASSERT_TRUE(run.Start(StubPath(), L"/E:setup.exe /D /H /O " + Quoted(archive) + L" " +
                                                           Quoted(WithoutTrailingBackslash(destination))));
    } else {
        PackageOptions options;
        options.destination = WithoutTrailingBackslash(destination);
        options.command = L"setup.exe";
        options.deleteAfterRun = true;
        std::wstring package = folder / L"full.exe";
        WriteBytes(package, MakePackage(options, cabinet));
        ASSERT_TRUE(run.Start(package));
    }
    // WaitForEnd fails the test on any further box, string 24 among them.
    EXPECT_EQ(CannotCreateFile, run.Answer(L"VUV-UZU", IDOK));
    run.WaitForEnd();

    EXPECT_EQ((std::vector<std::wstring>{L"first.txt", L"setup.exe"}), ListTree(destination));
    EXPECT_TRUE(ReadBytes(destination + L"first.txt") == Bytes(contents.files[0].data));
    EXPECT_TRUE(ReadBytes(destination + L"setup.exe") == setup);
    EXPECT_FALSE(FileExists(record)) << "the command ran after a full disk";
    RemoveTree(destination);
}

INSTANTIATE_TEST_SUITE_P(Modes, FullDiskRun, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "ArchiveMode" : "PackageHeader";
                         });

// A destination that can't be written, as a whole run of a package with a
// command: a missing folder under a read-only mount and one on a drive
// letter that does not exist give string 17 before anything is extracted;
// an existing read-only folder takes the extraction, whose first file can't
// be opened: string 24. Never a command, never a file.
struct UnwritableCase {
    const char* name;
    const wchar_t* destination;  // under the mounts; a leading '?' is a missing drive
    const wchar_t* box;
};

void PrintTo(const UnwritableCase& row, std::ostream* out) { *out << row.name; }

class UnwritableDestinationRun : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableDestinationRun, ShowsItsStringAndRunsNothing) {
    const UnwritableCase& row = GetParam();
    ASSERT_TRUE(FolderExists(Mounts() + L"readonly\\existing")) << "the mounts are missing";
    std::wstring destination = row.destination;
    if (destination[0] == L'?') {
        std::wstring drive = MissingDrive();
        ASSERT_FALSE(drive.empty());
        destination = drive + destination.substr(1);
    } else {
        destination = Mounts() + destination;
    }
    TempFolder folder;
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    std::wstring package = folder / L"unwritable.exe";
    WriteBytes(package, CommandPackage({{"first.txt", "first"}}, destination));
    ModuleRun run;
    ASSERT_TRUE(run.Start(package));
    EXPECT_EQ(row.box, run.Answer(L"VUV-UZU", IDOK));
    run.WaitForEnd();

    EXPECT_FALSE(FileExists(record)) << "the command ran";
    EXPECT_FALSE(FileExists(destination + L"\\first.txt"));
    if (destination.find(L"existing") != std::wstring::npos) EXPECT_TRUE(ListTree(destination + L"\\").empty());
    else EXPECT_FALSE(FolderExists(destination));
}

INSTANTIATE_TEST_SUITE_P(Destinations, UnwritableDestinationRun,
                         ::testing::Values(UnwritableCase{"MissingUnderReadOnlyMount", L"readonly\\missing\\out",
                                                          CannotCreateFolder},
                                           UnwritableCase{"OnAMissingDrive", L"?vuv\\out", CannotCreateFolder},
                                           UnwritableCase{"ExistingReadOnly", L"readonly\\existing",
                                                          ExtractionFailed}),
                         [](const ::testing::TestParamInfo<UnwritableCase>& info) { return info.param.name; });

// Cancels in the progress dialog at fixed moments after it appears, on a
// cabinet whose last file (256 MiB of zeros) takes far longer to write.
class CancelMoment : public ::testing::TestWithParam<int> {};

TEST_P(CancelMoment, NoCommandAndNoShortFileBehindAStoredName) {
    TempFolder folder;
    std::wstring destination = folder / L"cancelled\\";
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    std::map<std::wstring, uint32_t> stored = StoredFiles(CabinetOf(ReadBytes(FixturePath("cancel.exe"))));
    ASSERT_EQ(3u, stored.size());

    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/E:setup.exe /D /H /O " + Quoted(FixturePath("cancel.exe")) +
                                                       L" " + Quoted(WithoutTrailingBackslash(destination))));
    HWND progress = run.WaitFor(English.progress);
    ASSERT_TRUE(progress);
    Sleep(GetParam());
    ASSERT_TRUE(ClickButton(progress, IDCANCEL));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());

    EXPECT_FALSE(FileExists(record)) << "the command ran after a cancel";
    for (const std::wstring& entry : ListTree(destination)) {
        auto file = stored.find(entry);
        ASSERT_NE(stored.end(), file) << "not a stored name: " << Narrow(entry);
        EXPECT_EQ(file->second, SizeOf(destination + entry)) << Narrow(entry) << " is short";
    }
}

INSTANTIATE_TEST_SUITE_P(AfterMs, CancelMoment, ::testing::Values(0, 50, 150, 400));

// Cancels at moments drawn from a seed (VUV_CANCEL_SEED, else a fixed one;
// the seed and each moment appear in a failure's trace): in the progress
// dialog after a random delay, or in the overwrite dialog at a random
// question, after yes to the ones before. Whatever the moment, each stored
// name holds either the file that was there before or the whole stored
// file, never a part of it, and no name that existed before is gone; the command runs only when a cancel came too
// late to stop anything, and then after every file is whole.
TEST(CancelAtRandom, LeavesOldOrWholeFilesAndRunsNoCommand) {
    unsigned seed = 20261210;
    WCHAR text[16];
    if (GetEnvironmentVariableW(L"VUV_CANCEL_SEED", text, 16)) seed = wcstoul(text, nullptr, 10);
    SCOPED_TRACE(testing::Message() << "VUV_CANCEL_SEED=" << seed);
    std::mt19937 rng(seed);

    TempFolder folder;
    std::vector<unsigned char> setup = ReadBytes(FixturePath("payload\\setup.exe"));
    ASSERT_FALSE(setup.empty());
    // 10 MB in all: long enough to cancel in, small enough for a 32-bit
    // test process under emulated Wine, whose heap ends near 128 MB.
    const int kFiles = 10;
    CabContents contents;
    for (int i = 0; i < kFiles; i++)
        contents.files.push_back({"f" + std::to_string(i) + ".bin", PatternBytes(1000000, i + 1)});
    contents.files.push_back({"setup.exe", std::string(setup.begin(), setup.end())});
    std::wstring archive = folder / L"random.cab";
    WriteBytes(archive, BuildCabinet(contents));

    for (int trial = 0; trial < 6; trial++) {
        bool inOverwrite = rng() % 2;
        std::wstring destination = folder / (L"t" + std::to_wstring(trial) + L"\\");
        std::wstring record = folder / (L"record" + std::to_wstring(trial) + L".txt");
        ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
        // Some names exist before the run in both kinds: with /O a cancel
        // in the progress dialog may come during a replacement.
        std::set<int> existing;
        existing.insert(rng() % kFiles);
        for (int i = 0; i < kFiles; i++)
            if (rng() % 3 == 0) existing.insert(i);
        for (int i : existing) WriteBytes(destination + L"f" + std::to_wstring(i) + L".bin", "old");
        PrepareSetup(record, L"");

        ModuleRun run;
        ASSERT_TRUE(run.Start(StubPath(), L"/E:setup.exe /H " + std::wstring(inOverwrite ? L"" : L"/O ") +
                                                           Quoted(archive) + L" " +
                                                           Quoted(WithoutTrailingBackslash(destination))));
        testing::Message moment;
        if (inOverwrite) {
            int question = (int)(rng() % existing.size());
            moment << "trial " << trial << ": cancel at question " << question + 1 << " of " << existing.size();
            SCOPED_TRACE(moment);
            for (int q = 0; q <= question; q++) {
                HWND dialog = run.WaitFor(English.overwrite);
                ASSERT_TRUE(dialog);
                ASSERT_TRUE(ClickButton(dialog, q == question ? IDC_OVERWRITE_CANCEL : IDYES));
                ASSERT_TRUE(WaitForWindowGone(dialog));
            }
        } else {
            DWORD delay = rng() % 250;
            moment << "trial " << trial << ": cancel " << delay << " ms after the dialog";
            SCOPED_TRACE(moment);
            // The extraction may be over before the dialog is seen: then
            // the cancel comes too late, which is one of the moments too.
            HWND progress = run.WaitForUnlessEnded(English.progress);
            Sleep(delay);
            if (progress) ClickButton(progress, IDCANCEL);  // fails when the run has ended
        }
        SCOPED_TRACE(moment);
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());

        bool commandRan = FileExists(record);
        EXPECT_FALSE(inOverwrite && commandRan) << "the command ran after a cancel";
        std::vector<std::wstring> entries = ListTree(destination);
        for (int i : existing)
            EXPECT_TRUE(FileExists(destination + L"f" + std::to_wstring(i) + L".bin")) << "f" << i << ".bin is gone";
        if (commandRan) EXPECT_EQ((size_t)kFiles + 1, entries.size()) << "the command ran from an incomplete set";
        for (const std::wstring& entry : entries) {
            int index = -1;
            for (int i = 0; i < kFiles; i++)
                if (entry == L"f" + std::to_wstring(i) + L".bin") index = i;
            if (index < 0) {
                EXPECT_EQ(L"setup.exe", entry);
                continue;
            }
            std::vector<unsigned char> now = ReadBytes(destination + entry);
            bool whole = now == Bytes(contents.files[index].data);
            bool old = existing.count(index) && now == Bytes("old");
            EXPECT_TRUE(whole || old) << Narrow(entry) << " holds " << now.size() << " bytes";
        }
        // The module does not wait for its command here: the setup window
        // must be gone before the next trial or program.
        if (commandRan) EXPECT_TRUE(RemoveCommandFolder(destination));
    }
}

}  // namespace
