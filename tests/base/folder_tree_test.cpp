// Removing what a run made below a folder: after the command only the
// folders left empty (files the command made stay, with their folders);
// at a run's end without its command, everything, read-only and hidden
// files included, and the folder itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/folder_tree.h"
#include "support/test_files.h"

namespace {

TEST(RemoveFolder, TakesTheEmptyFoldersOrEverything) {
    const struct {
        BOOL withFiles;
        bool folderStays;
        std::vector<std::wstring> left;
    } rows[] = {
        {FALSE, true, {L"d\\", L"d\\kept.txt", L"e\\", L"e\\f\\", L"e\\f\\kept.txt"}},
        {TRUE, false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.withFiles ? "with files" : "empty folders");
        TempFolder temp;
        std::wstring folder = temp / L"~setup.exe\\";
        for (const wchar_t* name : {L"", L"a", L"b", L"b\\c", L"d", L"e", L"e\\f"})
            ASSERT_TRUE(CreateDirectoryW((folder + name).c_str(), nullptr)) << Narrow(name);
        WriteBytes(folder + L"d\\kept.txt", std::string("d"));
        WriteBytes(folder + L"e\\f\\kept.txt", std::string("f"));
        ASSERT_TRUE(SetFileAttributesW((folder + L"e\\f\\kept.txt").c_str(),
                                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

        RemoveFolder(folder.c_str(), row.withFiles);

        EXPECT_EQ(row.folderStays, FolderExists(folder));
        EXPECT_EQ(row.left, ListTree(folder));
        SetFileAttributesW((folder + L"e\\f\\kept.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

}  // namespace
