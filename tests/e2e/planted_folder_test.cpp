// Anyone may make the private folder's fixed name first, in the temporary
// folder that every user can write to (a deployment tool running as the
// system account shares the machine's), with a program of the package's
// name in it and a symbolic link that leads out, and the names ".1" to
// ".999" after it. The fixture plants them (plant_private_folder.sh). The
// run leaves those folders as they are: it extracts into a folder it has
// just made under a name with a random part, runs the command there and
// removes that folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

std::string Text(const std::wstring& path) {
    std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(PlantedPrivateFolder, IsLeftAloneWhileTheRunUsesAFolderOfItsOwnAndRemovesIt) {
    std::wstring planted = PrivateFolder(L"planted.exe");
    std::wstring temp = planted.substr(0, planted.size() - 13);
    std::wstring victim = BuildPath("tests/e2e/planted-victim.txt");
    ASSERT_EQ("the planted program", Text(planted + L"setup.exe")) << "not planted";
    ASSERT_EQ("a file the link leads to", Text(planted + L"readme.txt")) << "no link planted";
    ASSERT_TRUE(FolderExists(WithoutTrailingBackslash(planted) + L".999")) << "not a thousand planted";

    TempFolder folder;
    PackageOptions options;
    options.destination = L"%temp%";
    options.command = L"setup.exe";
    options.deleteAfterRun = true;
    std::wstring package = folder / L"planted.exe";
    WriteBytes(package, MakePackage(options));
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");

    ModuleRun run;
    ASSERT_TRUE(run.Start(package));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record);
    ASSERT_TRUE(setup.present) << "setup.exe did not run";
    std::wstring own = setup.folder.substr(temp.size());
    EXPECT_EQ(L"~planted.exe.", own.substr(0, 13)) << Narrow(setup.folder);
    EXPECT_EQ(29u, own.size()) << Narrow(own);
    EXPECT_EQ(std::wstring::npos, own.substr(13).find_first_not_of(L"0123456789ABCDEF")) << Narrow(own);
    EXPECT_EQ(SamplePayload, setup.files);
    EXPECT_FALSE(FolderExists(setup.folder)) << "the run's own folder stays";
    EXPECT_EQ((std::vector<std::wstring>{L"readme.txt", L"setup.exe"}), ListTree(planted));
    EXPECT_EQ("the planted program", Text(planted + L"setup.exe"));
    for (int number = 1; number < 1000; number++)
        ASSERT_TRUE(FolderExists(WithoutTrailingBackslash(planted) + L"." + std::to_wstring(number))) << number;
    EXPECT_EQ("a file the link leads to", Text(victim));
}

}  // namespace
