// The destination dialog under the Japanese user interface.
#include <gtest/gtest.h>

#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/ui/dialog_fixture.h"

namespace {

TEST(DestinationDialogJapanese, ShowsTheJapaneseTemplateAndCompletes) {
    TempFolder dir;
    ASSERT_TRUE(CreateDirectoryW((dir / L"a1").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((dir / L"a2").c_str(), nullptr));
    DialogRun run;
    run.Open(dir.path());
    ASSERT_NE(nullptr, run.dialog());
    EXPECT_EQ(L"展開先の指定", WindowText(run.dialog()));
    EXPECT_EQ(L"書庫名でフォルダを作成(&K)", ControlText(run.dialog(), 1012));
    SaveScreenshot("destination_dialog_ja", run.dialog());

    ASSERT_TRUE(run.Press(VK_END));
    ASSERT_TRUE(run.Type(L"a"));
    ASSERT_TRUE(WaitUntil([&] { return PopupItems().size() == 2; }));
    SaveScreenshot("destination_dialog_popup_ja");

    ClickButton(run.dialog(), 1000);
    WindowQuery query;
    query.className = L"#32770";
    query.owner = run.dialog();
    HWND browser = WaitForWindow(query);
    ASSERT_NE(nullptr, browser);
    EXPECT_EQ(nullptr, Popup());
    SaveScreenshot("destination_dialog_browse_ja", browser);
    ClickButton(browser, IDCANCEL);
    ASSERT_TRUE(WaitForWindowGone(browser));
    ASSERT_TRUE(run.Press(VK_ESCAPE));
    EXPECT_EQ(2, run.Result());
}

}  // namespace
