#include "support/ui/dialog_harness.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/state.h"
#include "ui/progress_dialog.h"

namespace {

constexpr DWORD LoopTimeoutMs = 20000;

struct WorkerStart {
    const std::function<void(ProgressRun&)>* worker;
    ProgressRun* run;
};

DWORD WINAPI WorkerThread(LPVOID parameter) {
    WorkerStart* start = (WorkerStart*)parameter;
    (*start->worker)(*start->run);
    SendMessageW(G.ProgressWindow, WM_CLOSE, 0, 0);
    return 0;
}

DWORD WINAPI WorkThread(LPVOID parameter) {
    (*(const std::function<void()>*)parameter)();
    return 0;
}

// One pass over the queue; true once WM_QUIT came.
bool PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return true;
        if (IsDialogMessageW(G.ProgressWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return false;
}

}  // namespace

DWORD DosStamp(int year, int month, int day, int hour, int minute, int second) {
    WORD date = (WORD)(((year - 1980) << 9) | (month << 5) | day);
    WORD time = (WORD)((hour << 11) | (minute << 5) | (second / 2));
    return MAKELONG(time, date);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string ShotName(const std::string& what) { return what + (JapaneseRun ? "-ja" : "-en"); }

bool RunProgressDialog(LONG archiveSize, const std::function<void(ProgressRun&)>& worker) {
    if (!CreateProgressDialog(archiveSize)) return false;
    ProgressRun run;
    WorkerStart start = {&worker, &run};
    HANDLE thread = CreateThread(nullptr, 0, WorkerThread, &start, 0, nullptr);
    if (!thread) {
        DestroyWindow(G.ProgressWindow);
        return false;
    }

    bool ended = false;
    DWORD begin = GetTickCount();
    while (!ended && GetTickCount() - begin < LoopTimeoutMs) {
        ended = PumpMessages();
        if (!ended) MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    run.loopEnded = ended;
    if (!ended) DestroyWindow(G.ProgressWindow);

    // The worker may still send to this thread: keep serving it until it ends.
    begin = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
        PumpMessages();
        if (GetTickCount() - begin > LoopTimeoutMs) {
            // The thread uses this frame: end the whole test program rather
            // than return under it. The failure is already printed.
            ADD_FAILURE() << "the worker thread does not end";
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 1);
        }
    }
    CloseHandle(thread);
    return ended;
}

void RunWhilePumping(const std::function<void()>& work) {
    HANDLE thread = CreateThread(nullptr, 0, WorkThread, (LPVOID)&work, 0, nullptr);
    ASSERT_TRUE(thread != nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) PumpMessages();
    CloseHandle(thread);
}
