// Runs the progress dialog as the extraction does: created on this (GUI)
// thread, a second thread in the worker's place, and a message loop that
// offers every message to IsDialogMessageW first.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

// Which resources the test program expects the system to pick: the
// Japanese build of a test program runs under LC_ALL=ja_JP.UTF-8.
#ifdef VUV_EXPECT_JAPANESE
constexpr bool JapaneseRun = true;
#else
constexpr bool JapaneseRun = false;
#endif

// A FAT stamp: DOS date in the high word, DOS time (seconds / 2) in the low.
DWORD DosStamp(int year, int month, int day, int hour, int minute, int second);

// Shows a template as it is: no control is touched.
INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Screenshot names carry the language.
std::string ShotName(const std::string& what);

struct ProgressRun {
    std::atomic<bool> loopEnded{false};  // the GUI thread's loop saw WM_QUIT
};

// Creates the dialog for archiveSize, runs worker on a second thread and
// pumps until WM_QUIT. When worker returns, the second thread sends
// WM_CLOSE to G.ProgressWindow as the real worker does at its end. Returns
// false when the dialog could not be created or the loop did not end in
// time (the window is then destroyed). Always waits for the worker.
bool RunProgressDialog(LONG archiveSize, const std::function<void(ProgressRun&)>& worker);

// Runs work on a second thread while this thread pumps its messages, so
// that dialogs of this thread stay alive (and get drawn) while work looks
// at them. Returns when work has returned.
void RunWhilePumping(const std::function<void()>& work);
