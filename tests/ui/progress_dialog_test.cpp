// The progress dialog under Wine with a real display, driven as during an
// extraction: this thread pumps, a second thread sends what the worker sends.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>

#include "base/state.h"
#include "resource.h"
#include "support/gui_driver.h"
#include "support/ui/dialog_harness.h"
#include "ui/progress_dialog.h"

namespace {

int BarRangeHigh() { return (int)SendMessageW(G.ProgressBar, PBM_GETRANGE, FALSE, 0); }
int BarRangeLow() { return (int)SendMessageW(G.ProgressBar, PBM_GETRANGE, TRUE, 0); }
int BarPosition() { return (int)SendMessageW(G.ProgressBar, PBM_GETPOS, 0, 0); }

TEST(ProgressDialog, RangeInKibibytesOfTheArchive) {
    struct Row {
        LONG archiveSize;
        int high;
    } rows[] = {{0, 0}, {1023, 0}, {1024, 1}, {1025, 1}, {10 * 1024 * 1024 + 1023, 10240}, {0x7FFFFFFF, 0x1FFFFF}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.archiveSize);
        HWND dialog = CreateProgressDialog(row.archiveSize);
        ASSERT_TRUE(dialog != nullptr);
        EXPECT_EQ(dialog, G.ProgressWindow);
        EXPECT_EQ(GetDlgItem(dialog, IDC_PROGRESS_BAR), G.ProgressBar);
        EXPECT_EQ(0, BarRangeLow());
        EXPECT_EQ(row.high, BarRangeHigh());
        DestroyWindow(dialog);
    }
}

TEST(ProgressDialog, ShownWithCaptionAndFocusOnCancel) {
    ASSERT_TRUE(CreateProgressDialog(4096) != nullptr);
    EXPECT_TRUE(IsWindowVisible(G.ProgressWindow));
    EXPECT_EQ(JapaneseRun ? L"進捗状況" : L"Decompressing...", WindowText(G.ProgressWindow));
    EXPECT_EQ(GetDlgItem(G.ProgressWindow, IDCANCEL), GetFocus());
    EXPECT_EQ(L"", ControlText(G.ProgressWindow, IDC_CURRENT_FILE));
    DestroyWindow(G.ProgressWindow);
}

TEST(ProgressDialog, PositionsAndFileNameFromTheWorker) {
    bool ended = RunProgressDialog(10 * 1024 * 1024, [](ProgressRun&) {
        // The handler posts to the bar, so the position shows a little later.
        SendMessageW(G.ProgressWindow, ProgressMessage, 0, 2048);
        EXPECT_TRUE(WaitUntil([] { return BarPosition() == 2048; }));
        SetDlgItemTextW(G.ProgressWindow, IDC_CURRENT_FILE, L"docs\\readme.txt");
        EXPECT_EQ(L"docs\\readme.txt", ControlText(G.ProgressWindow, IDC_CURRENT_FILE));
        SendMessageW(G.ProgressWindow, ProgressMessage, 0, 7000);
        EXPECT_TRUE(WaitUntil([] { return BarPosition() == 7000; }));
        SaveScreenshot(ShotName("progress"), G.ProgressWindow);

        // Beyond the range: handed on unchanged, the bar clamps it.
        SendMessageW(G.ProgressWindow, ProgressMessage, 0, 99999);
        EXPECT_TRUE(WaitUntil([] { return BarPosition() == 10240; }));
        EXPECT_EQ(0, G.AbortCode);
    });
    // The worker's WM_CLOSE at its end closed the window and ended the loop.
    EXPECT_TRUE(ended);
    EXPECT_FALSE(IsWindow(G.ProgressWindow));
    EXPECT_TRUE(G.ProgressWindow != nullptr);
    EXPECT_EQ(0, G.AbortCode);
}

// Cancel commands that the dialog has handled, counted around its
// procedure: a second press leaves AbortCode at 100, so only the count shows
// it came. Counted after the procedure, so that a test that sees the count
// also sees what the procedure did.
WNDPROC dialogProcedure = nullptr;
std::atomic<int> cancelCommands{0};

LRESULT CALLBACK CountCancels(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcW(dialogProcedure, window, message, wParam, lParam);
    if (message == WM_COMMAND && wParam == IDCANCEL) cancelCommands++;
    return result;
}

TEST(ProgressDialog, CancelAndEscSetAbortCodeAndKeepTheWindow) {
    struct Way {
        const char* name;
        bool fromZero;  // else AbortCode is already 100: a second press
        bool (*act)();
    } ways[] = {
        {"BM_CLICK on Cancel", true, [] { return ClickButton(G.ProgressWindow, IDCANCEL); }},
        {"mouse click on Cancel", true, [] { return ClickWithMouse(GetDlgItem(G.ProgressWindow, IDCANCEL)); }},
        {"Esc", true, [] { return SendKeyChord(G.ProgressWindow, {VK_ESCAPE}); }},
        // Sent, so that it has been handled before the checks.
        {"Cancel again", false, [] { return SendDlgItemMessageW(G.ProgressWindow, IDCANCEL, BM_CLICK, 0, 0) == 0; }},
    };
    bool ended = RunProgressDialog(1 << 20, [&](ProgressRun& run) {
        dialogProcedure = (WNDPROC)SetWindowLongPtrW(G.ProgressWindow, GWLP_WNDPROC, (LONG_PTR)CountCancels);
        for (const Way& way : ways) {
            SCOPED_TRACE(way.name);
            if (way.fromZero) G.AbortCode = 0;
            int before = cancelCommands;
            ASSERT_TRUE(way.act());
            EXPECT_TRUE(WaitUntil([&] { return cancelCommands == before + 1; }))
                << DescribeInputState("progress-cancel", G.ProgressWindow);
            EXPECT_EQ(100, G.AbortCode);
            EXPECT_TRUE(IsWindowVisible(G.ProgressWindow));
            EXPECT_FALSE(run.loopEnded);
        }
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(100, G.AbortCode);
}

TEST(ProgressDialog, CommandsOtherThanAPlainCancelChangeNothing) {
    bool ended = RunProgressDialog(1 << 20, [](ProgressRun& run) {
        const WPARAM commands[] = {MAKEWPARAM(IDCANCEL, 1), MAKEWPARAM(IDCANCEL, BN_DOUBLECLICKED),
                                   MAKEWPARAM(IDCANCEL, 0xFFFF), MAKEWPARAM(IDOK, 0), MAKEWPARAM(IDC_CURRENT_FILE, 0)};
        for (WPARAM command : commands) {
            SCOPED_TRACE(command);
            // Sent: handled when the call returns.
            SendMessageW(G.ProgressWindow, WM_COMMAND, command, 0);
            EXPECT_EQ(0, G.AbortCode);
            EXPECT_TRUE(IsWindowVisible(G.ProgressWindow));
            EXPECT_FALSE(run.loopEnded);
        }
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(0, G.AbortCode);
}

TEST(ProgressDialog, CloseBoxCancelsAndEndsTheLoopAtOnce) {
    struct Way {
        const char* name;
        bool (*act)();
    } ways[] = {
        {"close box", [] { return ClickNonClient(G.ProgressWindow, HTCLOSE); }},
        {"Alt+F4", [] { return SendKeyChord(G.ProgressWindow, {VK_MENU, VK_F4}); }},
        {"system menu Close", [] { return PostMessageW(G.ProgressWindow, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        G.AbortCode = 0;
        HWND closed = nullptr;
        bool ended = RunProgressDialog(1 << 20, [&](ProgressRun& run) {
            closed = G.ProgressWindow;
            // A trace of the main thread does not show in failures here.
            ASSERT_TRUE(way.act()) << way.name;
            // The loop ends while this "worker" still runs.
            EXPECT_TRUE(WaitUntil([&] { return run.loopEnded.load(); }))
                << way.name << "\n" << DescribeInputState("progress-close", closed);
            EXPECT_FALSE(IsWindow(closed));
            EXPECT_EQ(100, G.AbortCode);
            // What the worker still sends reaches a destroyed window.
            SetLastError(NO_ERROR);
            EXPECT_EQ(0, SendMessageW(G.ProgressWindow, ProgressMessage, 0, 5));
            EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
        });
        EXPECT_TRUE(ended);
        EXPECT_EQ(closed, G.ProgressWindow);
    }
}

TEST(ProgressDialog, CloseFromAnotherThreadEndsTheLoop) {
    bool ended = RunProgressDialog(1 << 20, [](ProgressRun& run) {
        HWND window = G.ProgressWindow;
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(WaitUntil([&] { return run.loopEnded.load(); }));
        EXPECT_EQ(0, G.AbortCode);
    });
    EXPECT_TRUE(ended);
}

}  // namespace
