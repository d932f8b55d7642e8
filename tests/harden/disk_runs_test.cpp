// Whole runs of the built module when the disk or the user stops them: a
// package with a command that fills a small tmpfs (from mounts.sh, under
// VUV_MOUNTS), and cancels at several moments of a long extraction. In
// neither case may the command run or a short file keep a stored name.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "../e2e/module_run.h"
#include "app/package_header.h"
#include "cab_writer.h"
#include "mount_paths.h"
#include "pe_image.h"
#include "test_files.h"

namespace {

const wchar_t CannotCreateFile[] = L"Cannot create a file.";


std::vector<unsigned char> Bytes(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

uint32_t Read32(const std::vector<unsigned char>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// Stored name (Windows separators) -> stored size, from the CFFILE entries.
std::map<std::wstring, uint32_t> StoredFiles(const std::vector<unsigned char>& cabinet) {
    std::map<std::wstring, uint32_t> files;
    uint32_t at = Read32(cabinet, 16);
    unsigned count = cabinet[28] | cabinet[29] << 8;
    for (unsigned i = 0; i < count; i++) {
        uint32_t size = Read32(cabinet, at);
        std::string name((const char*)&cabinet[at + 16]);
        for (char& c : name)
            if (c == '/') c = '\\';
        files[Widen(name)] = size;
        at += 16 + (uint32_t)name.size() + 1;
    }
    return files;
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
        ASSERT_TRUE(run.Start(BuildPath("vuvuzu.exe"), L"/E:setup.exe /D /H /O " + Quoted(archive) + L" " +
                                                           Quoted(WithoutTrailingBackslash(destination))));
    } else {
        PackageHeader header = MakeHeader();
        SetHeaderText(header.destination, kDestinationChars, WithoutTrailingBackslash(destination));
        SetHeaderText(header.command, kCommandChars, L"setup.exe");
        header.DeleteAfterRun = 1;
        header.OverwriteAll = 1;
        header.SkipDestinationDialog = 1;
        long offset = 0;
        std::wstring package = folder / L"full.exe";
        WriteBytes(package, BuildPackage(cabinet, &offset, &header));
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
    ASSERT_TRUE(run.Start(BuildPath("vuvuzu.exe"), L"/E:setup.exe /D /H /O " + Quoted(FixturePath("cancel.exe")) +
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

}  // namespace
