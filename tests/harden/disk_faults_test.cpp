// The engine on disks that fail it: a small tmpfs that fills up mid-file,
// a read-only mount, a drive letter that does not exist. The mounts come
// from mounts.sh (a ctest fixture), under VUV_MOUNTS.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/state.h"
#include "extract/output_path.h"
#include "support/answer_box.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/harden/mount_paths.h"
#include "support/test_files.h"

namespace {



std::vector<std::wstring> Texts(const std::vector<SeenBox>& boxes) {
    std::vector<std::wstring> texts;
    for (const SeenBox& box : boxes) texts.push_back(box.text);
    return texts;
}

class DiskFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FolderExists(Mounts() + L"small")) << "the mounts are missing";
        G.RunSettings.OverwriteAll = 1;
    }
    int Extract(const CabContents& contents, const std::wstring& destination, std::vector<std::wstring>* boxes) {
        BoxAnswerer answerer;
        int result = ExtractOnThisThread(temp / L"disk.cab", BuildCabinet(contents), 0, destination);
        *boxes = Texts(answerer.Stop());
        return result;
    }
    TempFolder temp;
};

TEST_F(DiskFaults, FullDiskStopsWithString11AndRemovesThePartialFile) {
    std::wstring destination = Mounts() + L"small\\out" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CabContents contents;
    contents.files = {{"first.txt", PatternBytes(100000, 1)}, {"sub/second.bin", PatternBytes(200000, 2)},
                  {"big.bin", PatternBytes(3000000, 3)}, {"after.txt", "after"}};
    std::vector<std::wstring> boxes;
    EXPECT_EQ(-1, Extract(contents, destination, &boxes));
    EXPECT_EQ(std::vector<std::wstring>{L"Cannot create a file."}, boxes);
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_EQ((std::vector<std::wstring>{L"first.txt", L"sub\\", L"sub\\second.bin"}), ListTree(destination));
    EXPECT_TRUE(ReadBytes(destination + L"first.txt") == std::vector<unsigned char>(contents.files[0].data.begin(),
                                                                                     contents.files[0].data.end()));
    EXPECT_EQ(200000u, ReadBytes(destination + L"sub\\second.bin").size());
    RemoveTree(destination);
}

// The replacement of an existing file fills the disk: the old file stays
// whole, and its unfinished replacement goes.
TEST_F(DiskFaults, FullDiskKeepsTheFileThatWasToBeReplaced) {
    std::wstring destination = Mounts() + L"small\\keep" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
    WriteBytes(destination + L"big.bin", std::string("OLD-CONTENT"));
    CabContents contents;
    contents.files = {{"first.txt", PatternBytes(100000, 1)}, {"big.bin", PatternBytes(3000000, 3)}};
    std::vector<std::wstring> boxes;
    EXPECT_EQ(-1, Extract(contents, destination, &boxes));
    EXPECT_EQ(std::vector<std::wstring>{L"Cannot create a file."}, boxes);
    EXPECT_EQ((std::vector<std::wstring>{L"big.bin", L"first.txt"}), ListTree(destination));
    std::vector<unsigned char> old = ReadBytes(destination + L"big.bin");
    EXPECT_EQ("OLD-CONTENT", std::string(old.begin(), old.end()));
    RemoveTree(destination);
}

TEST_F(DiskFaults, MissingDestinationUnderAReadOnlyMountCannotBeCreated) {
    EXPECT_FALSE(CreateFolderPath((Mounts() + L"readonly\\missing\\deeper\\").c_str()));
    EXPECT_FALSE(FolderExists(Mounts() + L"readonly\\missing"));
}

TEST_F(DiskFaults, DestinationOnAMissingDriveCannotBeCreated) {
    std::wstring drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    EXPECT_FALSE(CreateFolderPath((drive + L"missing\\").c_str()));
}

// An existing read-only destination: string 17 when the first entry needs
// a sub-folder; a plain first entry cannot be opened, which the engine
// reports to the driver by its failure alone (the driver shows string 24).
TEST_F(DiskFaults, ExistingReadOnlyDestination) {
    std::wstring destination = Mounts() + L"readonly\\existing\\";
    CabContents nested;
    nested.files = {{"sub/a.txt", "a"}, {"b.txt", "b"}};
    std::vector<std::wstring> boxes;
    EXPECT_EQ(-1, Extract(nested, destination, &boxes));
    EXPECT_EQ(std::vector<std::wstring>{L"Cannot create a folder.\nThis archive forbids writing."}, boxes);
    EXPECT_EQ(-1, G.AbortCode);

    G.AbortCode = 0;
    G.KnownOutputFolder[0] = 0;
    CabContents plain;
    plain.files = {{"a.txt", "a"}, {"sub/b.txt", "b"}};
    EXPECT_EQ(-1, Extract(plain, destination, &boxes));
    EXPECT_EQ(std::vector<std::wstring>{}, boxes);
    EXPECT_TRUE(ListTree(destination).empty());
}

TEST_F(DiskFaults, EntryWithFoldersOnAMissingDriveShowsString17) {
    std::wstring drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    CabContents contents;
    contents.files = {{"sub/a.txt", "a"}};
    std::vector<std::wstring> boxes;
    EXPECT_EQ(-1, Extract(contents, drive + L"dest\\", &boxes));
    EXPECT_EQ(std::vector<std::wstring>{L"Cannot create a folder.\nThis archive forbids writing."}, boxes);
}

}  // namespace
