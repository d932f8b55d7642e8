// The typical run and an overwrite flow under a Japanese user interface,
// with a screenshot of each window (build/screenshots/e2e_ja_*.png).
#include <gtest/gtest.h>

#include "resource.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

// The sample package with Japanese texts, under a Japanese file name.
TEST(JapaneseRun, TheTypicalRun) {
    const std::wstring programName = L"サンプル.exe";
    std::wstring privateFolder = PrivateFolder(programName);
    RemoveTree(privateFolder);
    TempFolder folder;
    std::wstring package = folder / programName;
    std::wstring record = folder / L"setup-record.txt";

    PackageHeader header = MakeSampleHeader(L"サンプルのインストール", L"サンプルのファイルをインストールしますか？");
    long offset = 0;
    WriteBytes(package, BuildPackage(CabinetOf(ReadBytes(FixturePath("sample.exe"))), &offset, &header));
    PrepareSetup(record, L"docs\\setup.log");

    ModuleRun run(Japanese);
    ASSERT_TRUE(run.Start(package));
    HWND box = run.WaitFor(L"サンプルのインストール");
    ASSERT_TRUE(box);
    EXPECT_EQ(L"サンプルのファイルをインストールしますか？", MessageBoxText(box));
    SaveScreenshot("e2e_ja_confirmation", box);
    ASSERT_TRUE(ClickButton(box, IDYES));
    ASSERT_TRUE(WaitForWindowGone(box));

    box = run.WaitFor(L"VUV-UZU");
    ASSERT_TRUE(box);
    EXPECT_EQ(L"'" + privateFolder + L"'\n\n展開先フォルダは存在しません。\nフォルダを作成しますか？", MessageBoxText(box));
    SaveScreenshot("e2e_ja_create_folder", box);
    ASSERT_TRUE(ClickButton(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record);
    ASSERT_TRUE(setup.present) << "setup.exe did not run";
    EXPECT_TRUE(setup.done);
    EXPECT_EQ(WithoutTrailingBackslash(privateFolder), WithoutTrailingBackslash(setup.folder));
    EXPECT_EQ(SamplePayload, setup.files);
    EXPECT_EQ((std::vector<std::wstring>{L"docs\\", L"docs\\setup.log"}), ListTree(privateFolder));
    RemoveTree(privateFolder);
}

// An existing file: the Japanese overwrite dialog over the progress
// dialog; Yes replaces it.
TEST(JapaneseRun, AnOverwriteFlow) {
    TempFolder folder;
    std::wstring archive = folder / L"書庫.cab";
    std::wstring destination = folder / L"展開先";
    CabContents contents;
    contents.files = {{"first.txt", "incoming first"}, {"readme.txt", "incoming readme"}, {"last.txt", "incoming last"}};
    WriteBytes(archive, BuildCabinet(contents));
    ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
    WriteBytes(destination + L"\\readme.txt", std::string("old readme"));

    ModuleRun run(Japanese);
    ASSERT_TRUE(run.Start(StubPath(), L"/H /N " + Quoted(archive) + L" " + Quoted(destination)));
    HWND dialog = run.WaitFor(Japanese.overwrite);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(L"展開先には既に 'readme.txt' のファイルが存在します。", ControlText(dialog, IDC_REPLACE_TEXT));
    SaveScreenshot("e2e_ja_overwrite", dialog);
    // The question covers the progress dialog behind it: moved below it,
    // both show on the display's picture.
    HWND progress = FindTopWindow({Japanese.progress, L"#32770", run.Id()});
    ASSERT_TRUE(progress);
    RECT progressRect;
    ASSERT_TRUE(GetWindowRect(progress, &progressRect));
    SetWindowPos(dialog, nullptr, progressRect.left, progressRect.bottom + 16, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SaveScreenshot("e2e_ja_progress");
    ASSERT_TRUE(ClickButton(dialog, IDYES));
    ASSERT_TRUE(WaitForWindowGone(dialog));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());

    EXPECT_EQ((std::vector<std::wstring>{L"first.txt", L"last.txt", L"readme.txt"}), ListTree(destination));
    std::vector<unsigned char> readme = ReadBytes(destination + L"\\readme.txt");
    EXPECT_EQ("incoming readme", std::string(readme.begin(), readme.end()));
}

}  // namespace
