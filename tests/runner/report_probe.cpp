// Tests that end in each of GoogleTest's verdicts, run one at a time by
// check_report.sh to show that every verdict reaches the summary and the
// exit code under Wine (and under the i386 emulator). Disabled: the suite
// itself never runs them.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

TEST(Report, DISABLED_Skips) { GTEST_SKIP() << "skipped on purpose"; }

TEST(Report, DISABLED_Fails) { ADD_FAILURE() << "failed on purpose"; }

// The helper threads of the GUI tests report too.
TEST(Report, DISABLED_FailsInAnotherThread) {
    std::thread helper([] { ADD_FAILURE() << "failed on purpose in a helper thread"; });
    helper.join();
}

// As when a GUI test fails while its helper thread waits for a window.
TEST(Report, DISABLED_FailsWhileAThreadWaits) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread waiting([release] { WaitForSingleObject(release, INFINITE); });
    ADD_FAILURE() << "failed on purpose while a thread waits";
    SetEvent(release);
    waiting.join();
    CloseHandle(release);
}

TEST(Report, DISABLED_Passes) { SUCCEED(); }
