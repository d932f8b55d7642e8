// The GUI driver against real windows: a message box of this process and
// Wine's own Notepad as a child process.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/gui_driver.h"
#include "support/test_files.h"

namespace {

TEST(GuiDriver, ReadsAndAnswersAMessageBox) {
    std::atomic<int> answer{0};
    std::thread box([&] {
        answer = MessageBoxW(nullptr, L"First line\nSecond line", L"Driver check", MB_OKCANCEL | MB_ICONQUESTION);
    });
    WindowQuery query;
    query.title = L"Driver check";
    query.className = L"#32770";
    query.processId = GetCurrentProcessId();
    HWND window = WaitForWindow(query);
    EXPECT_TRUE(window != nullptr);
    if (window) {
        EXPECT_EQ(L"First line\nSecond line", MessageBoxText(window));
        EXPECT_EQ(L"Driver check", WindowText(window));
        EXPECT_TRUE(SaveScreenshot("driver-message-box", window));
        EXPECT_TRUE(ClickButton(window, IDCANCEL));
    }
    box.join();
    EXPECT_EQ(IDCANCEL, answer);
}

std::wstring NotepadPath() {
    WCHAR folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\notepad.exe";
}

TEST(GuiDriver, TypesIntoAChildProcessAndKillsIt) {
    ChildProcess notepad;
    ASSERT_TRUE(notepad.Start(NotepadPath(), L""));
    WindowQuery query;
    query.className = L"Notepad";
    query.processId = notepad.Id();
    HWND window = WaitForWindow(query);
    ASSERT_TRUE(window != nullptr);
    HWND edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
    ASSERT_TRUE(edit != nullptr);

    const std::wstring typed = L"Hello, World: 1 + 2 = 3! Grüße";
    ASSERT_TRUE(TypeText(edit, typed));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(edit) == typed; })) << Narrow(WindowText(edit));

    // A chord: select all, then replace the text with one character.
    ASSERT_TRUE(SendKeyChord(window, {VK_CONTROL, 'A'}));
    ASSERT_TRUE(TypeText(edit, L"x"));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(edit) == L"x"; })) << Narrow(WindowText(edit));

    // Notepad does not end by itself: the wait runs out and kills it.
    DWORD exitCode = 0;
    EXPECT_FALSE(notepad.WaitForExit(200, &exitCode));
    EXPECT_FALSE(notepad.Running());
    EXPECT_TRUE(WaitForWindowGone(window));
}

TEST(GuiDriver, StartFailsForAMissingModule) {
    ChildProcess missing;
    EXPECT_FALSE(missing.Start(L"C:\\no\\such\\program.exe", L""));
    EXPECT_FALSE(missing.Running());
}

TEST(GuiDriver, ScreenshotIsAPng) {
    ASSERT_TRUE(SaveScreenshot("driver-display"));
    std::vector<unsigned char> bytes = ReadBytes(BuildPath("screenshots/driver-display.png"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::vector<unsigned char>({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}),
              std::vector<unsigned char>(bytes.begin(), bytes.begin() + 8));
}

}  // namespace
