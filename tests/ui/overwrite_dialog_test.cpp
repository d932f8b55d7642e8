// The overwrite question, modal on the worker's thread and owned by the
// progress dialog of the GUI thread, answered by a third thread that acts
// as the user.
#include <windows.h>
#include <gtest/gtest.h>

#include <thread>

#include "base/state.h"
#include "resource.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/ui/dialog_harness.h"
#include "ui/overwrite_dialog.h"
#include "ui/progress_dialog.h"

namespace {

OverwriteQuery SampleQuery() {
    OverwriteQuery query = {};
    query.path = L"C:\\Out\\app.dll";
    query.existingStamp = DosStamp(2024, 3, 7, 14, 5, 30);
    query.existingSize = 1234567;
    query.incomingStamp = DosStamp(2024, 1, 12, 9, 30, 0);
    query.incomingSize = 1000;
    return query;
}

HWND WaitForPrompt() {
    WindowQuery query;
    query.title = JapaneseRun ? L"ファイル上書きの確認" : L"Confirm File Replace";
    query.className = L"#32770";
    query.processId = GetCurrentProcessId();
    query.owner = G.ProgressWindow;
    return WaitForWindow(query);
}

// Shows the prompt on the "worker" thread of a progress dialog while
// answer() plays the user on a third thread; returns the prompt's result.
// progressAlive: whether the progress dialog still existed when it returned.
INT_PTR AskWith(const OverwriteQuery& query, const std::function<void(HWND prompt)>& answer,
                bool* progressAlive = nullptr) {
    INT_PTR result = 0x7777;
    bool ended = RunProgressDialog(1 << 20, [&](ProgressRun&) {
        std::thread user([&] {
            HWND prompt = WaitForPrompt();
            EXPECT_TRUE(prompt != nullptr) << "no overwrite prompt owned by the progress dialog";
            if (!prompt) return;
            // Modal: the owner is disabled while the question stands.
            EXPECT_FALSE(IsWindowEnabled(G.ProgressWindow));
            answer(prompt);
            if (!WaitForWindowGone(prompt)) {
                ADD_FAILURE() << "the prompt is still up\n" << DescribeInputState("overwrite-prompt", prompt);
                PostMessageW(prompt, WM_COMMAND, IDNO, 0);  // end it, or the worker hangs
            }
        });
        result = ShowOverwritePrompt(&query);
        if (progressAlive) *progressAlive = IsWindow(G.ProgressWindow) != FALSE;
        user.join();
    });
    EXPECT_TRUE(ended);
    return result;
}

struct Answer {
    const char* name;
    bool (*act)(HWND prompt);
    INT_PTR result;
    BOOL newerOnly;
    bool closesProgress;  // WM_CLOSE went to the progress dialog
};

void PrintTo(const Answer& answer, std::ostream* out) { *out << answer.name; }

class OverwriteAnswer : public testing::TestWithParam<Answer> {};

TEST_P(OverwriteAnswer, ReturnsItsCodeWithItsSideEffects) {
    const Answer& answer = GetParam();
    OverwriteQuery query = SampleQuery();
    bool progressAlive = false;
    INT_PTR result = AskWith(query, [&](HWND prompt) { EXPECT_TRUE(answer.act(prompt)); }, &progressAlive);
    EXPECT_EQ(answer.result, result);
    EXPECT_EQ(answer.newerOnly, G.NewerOnly);
    // The dialog never touches AbortCode: the caller sets it on -1.
    EXPECT_EQ(0, G.AbortCode);
    // Only a cancel closes the progress dialog; every other answer leaves it.
    EXPECT_EQ(!answer.closesProgress, progressAlive);
}

const Answer Answers[] = {
    {"Yes", [](HWND prompt) { return ClickButton(prompt, IDYES); }, 6, FALSE, false},
    {"No", [](HWND prompt) { return ClickButton(prompt, IDNO); }, 7, FALSE, false},
    {"YesToAll", [](HWND prompt) { return ClickButton(prompt, IDC_YES_TO_ALL); }, 100, FALSE, false},
    {"Newer", [](HWND prompt) { return ClickButton(prompt, IDC_NEWER); }, 6, TRUE, false},
    {"Cancel", [](HWND prompt) { return ClickButton(prompt, IDC_OVERWRITE_CANCEL); }, -1, FALSE, true},
    {"CancelByMouse", [](HWND prompt) { return ClickWithMouse(GetDlgItem(prompt, IDC_OVERWRITE_CANCEL)); }, -1, FALSE,
     true},
    {"Esc", [](HWND prompt) { return SendKeyChord(prompt, {VK_ESCAPE}); }, -1, FALSE, true},
    {"CloseBox", [](HWND prompt) { return ClickNonClient(prompt, HTCLOSE); }, -1, FALSE, true},
    // Yes is the default button.
    {"Enter", [](HWND prompt) { return SendKeyChord(prompt, {VK_RETURN}); }, 6, FALSE, false},
};

INSTANTIATE_TEST_SUITE_P(Buttons, OverwriteAnswer, testing::ValuesIn(Answers),
                         [](const testing::TestParamInfo<Answer>& info) { return std::string(info.param.name); });

TEST(OverwritePrompt, NamesTheFileAndShowsBothDetails) {
    OverwriteQuery query = SampleQuery();
    INT_PTR result = AskWith(query, [](HWND prompt) {
        EXPECT_EQ(JapaneseRun ? L"展開先には既に 'app.dll' のファイルが存在します。" : L"'app.dll'",
                  ControlText(prompt, IDC_REPLACE_TEXT));
        EXPECT_EQ(JapaneseRun ? L"1,234,567 バイト\n2024年03月07日 木曜日、14:05:30"
                              : L"1,234,567 Bytes\nModified: 03, 07, 2024,  14:05:30",
                  ControlText(prompt, IDC_EXISTING_DETAILS));
        EXPECT_EQ(JapaneseRun ? L"1,000 バイト\n2024年01月12日 金曜日、09:30:00"
                              : L"1,000 Bytes\nModified: 01, 12, 2024,  09:30:00",
                  ControlText(prompt, IDC_INCOMING_DETAILS));
        // One shell icon of the file type, shown twice.
        HICON existing = (HICON)SendDlgItemMessageW(prompt, IDC_EXISTING_ICON, STM_GETICON, 0, 0);
        HICON incoming = (HICON)SendDlgItemMessageW(prompt, IDC_INCOMING_ICON, STM_GETICON, 0, 0);
        EXPECT_TRUE(existing != nullptr);
        EXPECT_EQ(existing, incoming);
        SaveScreenshot(ShotName("overwrite"), prompt);
        ClickButton(prompt, IDYES);
    });
    EXPECT_EQ(6, result);
}

TEST(OverwritePrompt, UnreadableExistingFileLeavesItsDetailsEmpty) {
    OverwriteQuery query = SampleQuery();
    query.existingStamp = 0;
    query.existingSize = 0;
    INT_PTR result = AskWith(query, [](HWND prompt) {
        EXPECT_EQ(L"", ControlText(prompt, IDC_EXISTING_DETAILS));
        EXPECT_NE(L"", ControlText(prompt, IDC_INCOMING_DETAILS));
        ClickButton(prompt, IDNO);
    });
    EXPECT_EQ(7, result);
}

TEST(OverwritePrompt, LongFileNameIsShownWhole) {
    std::wstring path = L"C:\\Out\\" + std::wstring(200, L'n') + L".txt";
    OverwriteQuery query = SampleQuery();
    query.path = path.c_str();
    INT_PTR result = AskWith(query, [](HWND prompt) {
        std::wstring text = ControlText(prompt, IDC_REPLACE_TEXT);
        EXPECT_NE(std::wstring::npos, text.find(L"'" + std::wstring(200, L'n') + L".txt'")) << Narrow(text);
        ClickButton(prompt, IDYES);
    });
    EXPECT_EQ(6, result);
}

TEST(OverwritePrompt, GoneProgressDialogAnswersCancel) {
    // The user closed the progress dialog from its close box while the
    // worker went on to the next file: the owner is gone, no question can
    // be asked. The system's 0 for a bad owner comes back as Cancel.
    ASSERT_TRUE(CreateProgressDialog(1024) != nullptr);
    DestroyWindow(G.ProgressWindow);
    OverwriteQuery query = SampleQuery();
    INT_PTR result = 0x7777;
    std::thread worker([&] { result = ShowOverwritePrompt(&query); });
    worker.join();
    EXPECT_EQ(-1, result);
}

}  // namespace
